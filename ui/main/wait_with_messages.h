// Waiting on the GUI thread for a worker's event while the window goes on painting and
// answering, and monitors' calls are served.
#pragma once

#include <windows.h>

// Processes messages, and runs the idle step after them, until the event is signalled (true) or the application is terminating
// (false, unless the event was signalled by then).
bool WaitWithMessages(HANDLE event);
