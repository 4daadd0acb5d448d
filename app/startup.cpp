#include "app/startup.h"

#include "ui/base/application.h"
#include "ui/base/message_box.h"

#include <windows.h>

#include <optional>

namespace {
std::optional<std::wstring>& Pending()
{
    static std::optional<std::wstring> error;
    return error;
}
}  // namespace

void RecordStartupError(const std::wstring& message) noexcept
{
    try {
        if (!Pending())
            Pending() = message;
    } catch (...) {
    }
}

const std::wstring* PendingStartupError() noexcept { return Pending() ? &*Pending() : nullptr; }

void ReportStartupFailure(const std::wstring& message) noexcept
{
    try {
        // A quit already posted (a window that ended half made ends the application) would
        // close the box before the user saw it.
        Application().ClearTerminated();
        AppMessageBox(ExceptionReportText(message), ApplicationTitle, MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
    } catch (...) {
    }
}
