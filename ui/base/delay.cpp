#include "ui/base/delay.h"

#include "ui/base/application.h"

#include <windows.h>

void DelayWithMessages(unsigned ms)
{
    const DWORD start = GetTickCount();
    TApplication& app = Application();
    while (GetTickCount() - start < ms) {
        if (app.Terminated())
            return;
        if (MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT) == WAIT_OBJECT_0)
            app.ProcessMessages();
    }
}
