// The busy cursor: a nesting counter. The first BeginBusy saves the cursor and shows the
// hourglass; the EndBusy that brings the counter back to zero restores it; an EndBusy at
// zero does nothing. TBusyCursor pairs the two for one scope, so every path restores it.
#pragma once

#include "ui/base/gui_layer.h"

void BeginBusy();
void EndBusy();
int BusyCount();

class TBusyCursor {
public:
    TBusyCursor() { BeginBusy(); }
    ~TBusyCursor() { EndBusy(); }
    TBusyCursor(const TBusyCursor&) = delete;
    TBusyCursor& operator=(const TBusyCursor&) = delete;
};
