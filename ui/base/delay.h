#pragma once

#include "ui/base/gui_layer.h"

#include <windows.h>

// Waits ms milliseconds while keeping the GUI alive: waits for window input at most 20 ms at a
// time and processes whatever arrived; returns early once the application is terminating.
void DelayWithMessages(unsigned ms);

// Waits on the GUI thread for a kernel object (a worker's event, an installer's process) while
// the windows go on painting and answering and monitors' calls are served: processes messages,
// and runs the idle step after them, until the object is signalled (true) or the application
// is terminating (false, unless the object was signalled by then).
bool WaitWithMessages(HANDLE handle);
