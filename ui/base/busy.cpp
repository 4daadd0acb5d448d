#include "ui/base/busy.h"

#include <windows.h>

namespace {
int FBusyCount = 0;
HCURSOR FSavedCursor = nullptr;
}  // namespace

void BeginBusy()
{
    if (FBusyCount++ == 0)
        FSavedCursor = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
}

void EndBusy()
{
    if (FBusyCount <= 0)
        return;
    if (--FBusyCount == 0)
        SetCursor(FSavedCursor ? FSavedCursor : LoadCursorW(nullptr, IDC_ARROW));
}

int BusyCount() { return FBusyCount; }
