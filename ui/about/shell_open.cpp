#include "ui/about/shell_open.h"

#include <shellapi.h>

#include <utility>

namespace {
TShellExecute& Hook()
{
    static TShellExecute hook;
    return hook;
}
}  // namespace

TShellExecute SetShellExecuteHook(TShellExecute hook) { return std::exchange(Hook(), std::move(hook)); }

void ShellOpen(HWND parent, const std::wstring& target)
{
    if (Hook())
        Hook()(parent, nullptr, target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    else
        ShellExecuteW(parent, nullptr, target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}
