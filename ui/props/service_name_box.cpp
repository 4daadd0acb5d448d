// The Service name box of the properties dialog: its key filter, and the filtering of pasted,
// set and otherwise changed text.
#include "ui/props/service_name_box.h"

#include "erp/install_command.h"
#include "ui/base/application.h"
#include "ui/base/message_box.h"
#include "ui/base/window.h"

#include <commctrl.h>

#include <algorithm>

bool IsServiceNameChar(wchar_t c)
{
    return c == 8 || (c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z') || c == L'_';
}

std::wstring FilterServiceName(const std::wstring& text)
{
    std::wstring kept;
    for (wchar_t c : text)
        if (c != 8 && IsServiceNameChar(c))
            kept += c;
    return kept;
}

bool IsValidServiceName(const std::wstring& name)
{
    return name.size() <= MaxServiceNameLength && FilterServiceName(name) == name;
}

namespace {
// What an edit put into before to make after: the part of after between what the two share at
// their start and at their end.
std::wstring InsertedText(const std::wstring& before, const std::wstring& after)
{
    size_t prefix = 0;
    while (prefix < before.size() && prefix < after.size() && before[prefix] == after[prefix])
        ++prefix;
    size_t suffix = 0;
    while (suffix < before.size() - prefix && suffix < after.size() - prefix &&
           before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix])
        ++suffix;
    return after.substr(prefix, after.size() - prefix - suffix);
}
}  // namespace

void TServiceNameBox::Changed()
{
    // Whatever way the text came in (Shift+Insert and WM_UNICHAR send no WM_CHAR or WM_PASTE,
    // and neither does an input method), the whole text is filtered; the dialog's own
    // "<default>" stays, and is a whole: any edit of it leaves only what was typed or pasted.
    if (FSetting)
        return;
    const std::wstring text = WindowText(FBox);
    if (text == FLast)
        return;
    // The box's undo brings back the dialog's own "<default>" whole: it stays as it was set.
    if (text == DefaultServiceName) {
        FLast = text;
        return;
    }
    std::wstring kept;
    size_t caret = 0;
    if (FLast == DefaultServiceName) {
        kept = FilterServiceName(InsertedText(FLast, text));
        caret = kept.size();
    } else {
        kept = FilterServiceName(text);
        DWORD start = 0, end = 0;
        SendMessageW(FBox, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
        // The caret stays after the characters kept before it.
        caret = std::min(FilterServiceName(text.substr(0, std::min<size_t>(end, text.size()))).size(), kept.size());
    }
    if (kept.size() > MaxServiceNameLength) {
        // Refused whole, never cut: the box goes back to what it held.
        SetText(FLast);
        SendMessageW(FBox, EM_SETSEL, FLast.size(), static_cast<LPARAM>(FLast.size()));
        AppMessageBox(L"Service name cannot be longer than 256 characters.", FCaption, MB_ICONERROR);
        return;
    }
    FLast = kept;
    if (kept == text)
        return;
    SetText(kept);
    SendMessageW(FBox, EM_SETSEL, static_cast<WPARAM>(caret), static_cast<LPARAM>(caret));
}

void TServiceNameBox::SetText(const std::wstring& text)
{
    FSetting = true;
    SetWindowTextW(FBox, text.c_str());
    FSetting = false;
    FLast = text;
}

void TServiceNameBox::Entered()
{
    if (FEntered)
        return;
    FEntered = true;
    // The first focus selects the whole text, so typing replaces "<default>"; posted, so that a
    // click that brought the focus has placed its caret first.
    PostMessageW(FBox, EM_SETSEL, 0, -1);
}

void TServiceNameBox::Attach(HWND box)
{
    FBox = box;
    // Past MaxServiceNameLength the box refuses the text with a message (Changed); its own
    // limit would cut a paste silently.
    SendMessageW(FBox, EM_LIMITTEXT, 0, 0);
    SetWindowSubclass(FBox, &TServiceNameBox::Proc, 0, reinterpret_cast<DWORD_PTR>(this));
}

void TServiceNameBox::Detach()
{
    if (FBox)
        RemoveWindowSubclass(FBox, &TServiceNameBox::Proc, 0);
    FBox = nullptr;
}

LRESULT CALLBACK TServiceNameBox::Proc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR ref)
{
    auto* self = reinterpret_cast<TServiceNameBox*>(ref);
    LRESULT result = 0;
    bool handled = false;
    GuardedCall([&] {
        switch (msg) {
        case WM_CHAR:
            // The key filter: anything else, control characters included, is dropped.
            handled = !IsServiceNameChar(static_cast<wchar_t>(wParam));
            break;
        case WM_PASTE: {
            handled = true;
            if (!OpenClipboard(wnd))
                break;
            std::wstring text;
            if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
                if (const auto* p = static_cast<const wchar_t*>(GlobalLock(data))) {
                    text = p;
                    GlobalUnlock(data);
                }
            }
            CloseClipboard();
            // Nothing to paste (an empty clipboard, or nothing the filter keeps) changes nothing.
            text = FilterServiceName(text);
            if (!text.empty())
                SendMessageW(wnd, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text.c_str()));
            break;
        }
        case EM_REPLACESEL:
        case WM_SETTEXT:
            // Text from outside is filtered as typed text is; the dialog's own "<default>" and
            // an installed service's name stay as set.
            if (lParam && !self->FSetting) {
                const std::wstring kept = FilterServiceName(reinterpret_cast<const wchar_t*>(lParam));
                result = DefSubclassProc(wnd, msg, wParam, reinterpret_cast<LPARAM>(kept.c_str()));
                handled = true;
            }
            break;
        default:
            break;
        }
    });
    return handled ? result : DefSubclassProc(wnd, msg, wParam, lParam);
}
