#pragma once

#include "ui/base/gui_layer.h"

// Waits ms milliseconds while keeping the GUI alive: waits for window input at most 20 ms at a
// time and processes whatever arrived; returns early once the application is terminating.
void DelayWithMessages(unsigned ms);
