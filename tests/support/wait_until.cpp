#include "tests/support/wait_until.h"

#include "ui/base/application.h"

bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs, DWORD stepMs)
{
    const ULONGLONG start = GetTickCount64();
    while (!done()) {
        if (GetTickCount64() - start >= timeoutMs)
            return done();
        Application().ProcessMessages();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, stepMs, QS_ALLINPUT);
    }
    return true;
}
