#include "ui/main/wait_with_messages.h"

#include "common/errors.h"
#include "ui/base/application.h"

bool WaitWithMessages(HANDLE event)
{
    TApplication& app = Application();
    for (;;) {
        if (app.Terminated())
            return WaitForSingleObject(event, 0) == WAIT_OBJECT_0;
        const DWORD woken = MsgWaitForMultipleObjects(1, &event, FALSE, INFINITE, QS_ALLINPUT);
        if (woken == WAIT_OBJECT_0)
            return true;
        if (woken == WAIT_FAILED)
            RaiseLastOSError();
        app.ProcessMessages();
        // As in the main loop: the enabling of the commands follows (all refused meanwhile).
        app.Idle();
    }
}
