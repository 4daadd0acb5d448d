#include "ui/base/layout.h"

#include "common/layout_values.h"
#include "common/registry.h"
#include "common/settings_key.h"
#include "ui/base/application.h"
#include "ui/base/window.h"
#include "ui/controls/list_view.h"

#include <commctrl.h>

#include <algorithm>

namespace {
constexpr const wchar_t* SizeValue = L"Size";
constexpr const wchar_t* ColumnsValue = L"Columns";

// A text value of a window's subkey; the empty text when the key, subkey or value is missing
// or the value is not text.
std::wstring ReadLayoutText(HKEY settings, const std::wstring& section, const wchar_t* name)
{
    if (!settings || section.empty())
        return {};
    return ReadRegText(settings, section, name).value_or(L"");
}

LSTATUS WriteLayoutText(HKEY settings, const std::wstring& section, const wchar_t* name, const std::wstring& text)
{
    if (!settings || section.empty())
        return ERROR_INVALID_HANDLE;
    UniqueRegKey key;
    LSTATUS status = CreateRegKey(settings, section, KEY_WRITE, key);
    if (status == ERROR_SUCCESS)
        status = WriteRegText(key.get(), name, text);
    return status;
}

// The window the user was last working in, or null.
HWND CascadeReference()
{
    HWND owner = Application().Handle();
    HWND popup = owner ? GetLastActivePopup(owner) : nullptr;
    if (popup && popup != owner && IsWindowVisible(popup))
        return popup;
    HWND active = GetActiveWindow();
    if (active && TWindow::FromHandle(active))
        return active;
    return popup;
}

SIZE OuterSize(HWND window)
{
    RECT r{};
    if (IsIconic(window)) {
        // A minimised window's rectangle is its icon's; the size it comes back with is kept.
        WINDOWPLACEMENT placement{};
        placement.length = sizeof(placement);
        GetWindowPlacement(window, &placement);
        r = placement.rcNormalPosition;
    } else {
        GetWindowRect(window, &r);
    }
    return SIZE{r.right - r.left, r.bottom - r.top};
}
}  // namespace

UniqueRegKey OpenLayoutKey()
{
    UniqueRegKey key;
    if (CreateRegKey(HKEY_CURRENT_USER, SettingsKey, KEY_ALL_ACCESS, key) != ERROR_SUCCESS &&
        OpenRegKey(HKEY_CURRENT_USER, SettingsKey, KEY_READ, key) != ERROR_SUCCESS)
        key.reset();
    return key;
}

bool LoadFormSize(const TWindow& window, HKEY settings)
{
    HWND wnd = window.Handle();
    const std::optional<SIZE> size = ParseFormSize(ReadLayoutText(settings, window.Name(), SizeValue));
    if (size)
        SetWindowPos(wnd, nullptr, 0, 0, size->cx, size->cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    CascadeWindow(wnd);
    RedrawWindow(wnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    return size.has_value();
}

LSTATUS SaveFormSize(const TWindow& window, HKEY settings)
{
    return WriteLayoutText(settings, window.Name(), SizeValue, FormatFormSize(OuterSize(window.Handle())));
}

void LoadColumnWidths(HWND listView, HKEY settings, const std::wstring& section)
{
    const std::vector<std::optional<int>> widths = ParseColumnWidths(ReadLayoutText(settings, section, ColumnsValue));
    const TListView list(listView);
    const int columns = list.ColumnCount();
    for (int i = 0; i < columns && i < static_cast<int>(widths.size()); ++i) {
        if (widths[static_cast<size_t>(i)])
            list.SetColumnWidth(i, *widths[static_cast<size_t>(i)]);
    }
}

LSTATUS SaveColumnWidths(HWND listView, HKEY settings, const std::wstring& section)
{
    const TListView list(listView);
    std::vector<int> widths(static_cast<size_t>(std::max(0, list.ColumnCount())));
    for (size_t i = 0; i < widths.size(); ++i)
        widths[i] = list.ColumnWidth(static_cast<int>(i));
    return WriteLayoutText(settings, section, ColumnsValue, FormatColumnWidths(widths));
}

std::wstring ReadLayoutValue(HKEY settings, const std::wstring& section, const wchar_t* name)
{
    return ReadLayoutText(settings, section, name);
}

LSTATUS WriteLayoutValue(HKEY settings, const std::wstring& section, const wchar_t* name, const std::wstring& text)
{
    return WriteLayoutText(settings, section, name, text);
}

void CascadeWindow(HWND window)
{
    HWND reference = CascadeReference();
    if (!reference)
        return;
    RECT referenceRect{}, windowRect{};
    GetWindowRect(reference, &referenceRect);
    GetWindowRect(window, &windowRect);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    if (!GetMonitorInfoW(MonitorFromWindow(reference, MONITOR_DEFAULTTONEAREST), &monitor))
        return;
    const POINT p = CascadePosition(
        referenceRect, SIZE{windowRect.right - windowRect.left, windowRect.bottom - windowRect.top}, monitor.rcWork);
    SetWindowPos(window, nullptr, p.x, p.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
}

void LoadDialogLayout(const TWindow& dialog)
{
    UniqueRegKey settings = OpenLayoutKey();
    LoadFormSize(dialog, settings.get());
}

void SaveDialogLayout(const TWindow& dialog)
{
    UniqueRegKey settings = OpenLayoutKey();
    SaveFormSize(dialog, settings.get());
}
