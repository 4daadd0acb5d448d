#pragma once

#include "ui/base/gui_layer.h"

#include <windows.h>

// Waits ms milliseconds while keeping the GUI alive: waits for window input at most 20 ms at a
// time and processes whatever arrived; returns early once the application is terminating.
void DelayWithMessages(unsigned ms);

// Waits for a kernel object (a process, an event) while keeping the GUI alive: window messages
// are processed as they arrive. True when the object was signalled; false as soon as the
// application is terminating (the object is then left as it is).
bool WaitWithMessages(HANDLE handle);
