#include "ui/base/delay.h"

#include "common/errors.h"
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

bool WaitWithMessages(HANDLE handle)
{
    TApplication& app = Application();
    for (;;) {
        if (app.Terminated())
            return WaitForSingleObject(handle, 0) == WAIT_OBJECT_0;
        const DWORD woken = MsgWaitForMultipleObjects(1, &handle, FALSE, INFINITE, QS_ALLINPUT);
        if (woken == WAIT_OBJECT_0)
            return true;
        if (woken == WAIT_FAILED)
            RaiseLastOSError();
        app.ProcessMessages();
        // As in the main loop: the enabling of the commands follows (all refused meanwhile).
        app.Idle();
    }
}
