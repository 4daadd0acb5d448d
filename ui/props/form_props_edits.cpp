// The properties dialog's text boxes: the edit commands and the Parameters box's context menu
// with Open Folder and Open File, the Service name box's key filter (typed, pasted or set text),
// and Escape and Tab in the Parameters box.
#include "ui/props/form_props.h"

#include "erp/file_paths.h"
#include "ui/base/application.h"

#include <shellapi.h>
#include <windowsx.h>

#include <algorithm>
#include <functional>
#include <vector>

namespace {
bool IsEditControl(HWND wnd)
{
    wchar_t name[16] = L"";
    return wnd && GetClassNameW(wnd, name, 16) && CompareStringOrdinal(name, -1, L"Edit", -1, TRUE) == CSTR_EQUAL;
}
}  // namespace

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

void TFormProps::EditNameChange()
{
    // Whatever way the text came in (Shift+Insert and WM_UNICHAR send no WM_CHAR or WM_PASTE,
    // and neither does an input method), the whole text is filtered; the dialog's own
    // "<default>" stays.
    if (FSettingName)
        return;
    HWND name = Control(IdEditName);
    const std::wstring text = Text(IdEditName);
    if (text == DefaultServiceName)
        return;
    std::wstring kept = FilterServiceName(text);
    if (kept.size() > MaxServiceNameLength)
        kept.resize(MaxServiceNameLength);
    if (kept == text)
        return;
    DWORD start = 0, end = 0;
    SendMessageW(name, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    // The caret stays after the characters kept before it.
    const std::wstring before = FilterServiceName(text.substr(0, std::min<size_t>(end, text.size())));
    const auto caret = static_cast<WPARAM>(std::min(before.size(), kept.size()));
    FSettingName = true;
    SetWindowTextW(name, kept.c_str());
    FSettingName = false;
    SendMessageW(name, EM_SETSEL, caret, static_cast<LPARAM>(caret));
}

void TFormProps::EditNameEnter()
{
    if (FNameEntered)
        return;
    FNameEntered = true;
    // The first focus selects the whole text, so typing replaces "<default>"; posted, so that a
    // click that brought the focus has placed its caret first.
    PostMessageW(Control(IdEditName), EM_SETSEL, 0, -1);
}

void TFormProps::CreateActions()
{
    // The Parameters box's context menu, in order; a standard edit command is a message sent to
    // the focused text box, the others are the dialog's own.
    struct TEditCommandRow {
        int Id;
        const wchar_t* Name;
        const wchar_t* Caption;
        const wchar_t* Hint;
        TShortCut ShortCut;
        bool SeparatorBefore = false;
        UINT Message = 0;
        LPARAM LParam = 0;
        void (TFormProps::*OnExecute)() = nullptr;
    };
    static const TEditCommandRow Rows[] = {
        {.Id = ActEditUndo, .Name = L"ActEditUndo", .Caption = L"&Undo", .Hint = L"Undo|Reverts the last action",
         .ShortCut = {'Z', false, true}, .Message = WM_UNDO},
        {.Id = ActEditCut, .Name = L"ActEditCut", .Caption = L"Cu&t",
         .Hint = L"Cut|Cuts the selection and puts it on the Clipboard", .ShortCut = {'X', false, true},
         .SeparatorBefore = true, .Message = WM_CUT},
        {.Id = ActEditCopy, .Name = L"ActEditCopy", .Caption = L"&Copy",
         .Hint = L"Copy|Copies the selection and puts it on the Clipboard", .ShortCut = {'C', false, true},
         .Message = WM_COPY},
        {.Id = ActEditPaste, .Name = L"ActEditPaste", .Caption = L"&Paste", .Hint = L"Paste|Inserts Clipboard contents",
         .ShortCut = {'V', false, true}, .Message = WM_PASTE},
        {.Id = ActEditSelectAll, .Name = L"ActEditSelectAll", .Caption = L"Select &All",
         .Hint = L"Select All|Selects the entire document", .ShortCut = {'A', false, true}, .SeparatorBefore = true,
         .Message = EM_SETSEL, .LParam = -1},
        {.Id = ActOpenDir, .Name = L"ActOpenDir", .Caption = L"Open Folder", .Hint = L"", .ShortCut = {VK_F3},
         .SeparatorBefore = true, .OnExecute = &TFormProps::ActOpenDirExecute},
        {.Id = ActOpenFile, .Name = L"ActOpenFile", .Caption = L"Open File", .Hint = L"", .ShortCut = {VK_F4},
         .OnExecute = &TFormProps::ActOpenFileExecute},
    };
    std::vector<int> menu;
    for (const TEditCommandRow& row : Rows) {
        std::function<void()> execute;
        if (row.OnExecute)
            execute = [this, handler = row.OnExecute] { (this->*handler)(); };
        else
            execute = [message = row.Message, lParam = row.LParam] {
                HWND focus = GetFocus();
                if (IsEditControl(focus))
                    SendMessageW(focus, message, 0, lParam);
            };
        FActions.Add({row.Id, row.Name, row.Caption, row.Hint, {row.ShortCut}, -1, row.OnExecute == nullptr,
                      std::move(execute)});
        if (row.SeparatorBefore)
            menu.push_back(Separator);
        menu.push_back(row.Id);
    }
    FActions.OnUpdate = [this] { ActionsUpdate(); };
    FParamsMenu.reset(FActions.BuildMenu(menu));
}

void TFormProps::ActionsUpdate()
{
    ActOpenDirUpdate();
    ActOpenFileUpdate();
    // The standard edit commands, as they apply to the focused box.
    HWND focus = GetFocus();
    const bool edit = IsEditControl(focus);
    const bool writable = edit && (GetWindowLongPtrW(focus, GWL_STYLE) & ES_READONLY) == 0;
    DWORD start = 0, end = 0;
    if (edit)
        SendMessageW(focus, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    const bool selection = end > start;
    FActions.Find(ActEditUndo)->Enabled = writable && SendMessageW(focus, EM_CANUNDO, 0, 0) != 0;
    FActions.Find(ActEditCut)->Enabled = writable && selection;
    FActions.Find(ActEditCopy)->Enabled = edit && selection;
    FActions.Find(ActEditPaste)->Enabled = writable && IsClipboardFormatAvailable(CF_UNICODETEXT);
    FActions.Find(ActEditSelectAll)->Enabled = edit && GetWindowTextLengthW(focus) > 0;
}

// The idle updates never probe a network path (a slow or missing host would hold the dialog
// several times a second): for one, the text alone decides.
void TFormProps::ActOpenDirUpdate()
{
    const std::wstring selection = MemoSelection();
    const std::wstring folder = FolderOfSelection(selection);
    FActions.Find(ActOpenDir)->Enabled =
        !selection.empty() && (IsNetworkPath(selection) ? !folder.empty() : IsDirectory(folder));
}

void TFormProps::ActOpenFileUpdate()
{
    const std::wstring selection = MemoSelection();
    FActions.Find(ActOpenFile)->Enabled =
        !selection.empty() && (IsNetworkPath(selection) ? !ExtractFileName(selection).empty() : IsFile(selection));
}

void TFormProps::ActOpenDirExecute()
{
    ShellExecuteW(nullptr, L"explore", FolderOfSelection(MemoSelection()).c_str(), L"", L"", SW_SHOWNORMAL);
}

void TFormProps::ActOpenFileExecute()
{
    ShellExecuteW(nullptr, L"open", MemoSelection().c_str(), L"", L"", SW_SHOWNORMAL);
}

std::wstring TFormProps::MemoSelection() const
{
    DWORD start = 0, end = 0;
    SendMessageW(Control(IdMemoParams), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    const std::wstring text = Text(IdMemoParams);
    if (end <= start || start >= text.size())
        return {};
    return text.substr(start, end - start);
}

void TFormProps::MemoParamsContextPopup(LPARAM lParam)
{
    HWND memo = Control(IdMemoParams);
    SetFocus(memo);
    POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    if (lParam == -1) {
        RECT r{};
        GetWindowRect(memo, &r);
        at = {r.left + 8, r.top + 8};
    }
    FActions.Update();
    FActions.UpdateMenu(FParamsMenu.get());
    TrackPopupMenu(FParamsMenu.get(), TPM_LEFTALIGN | TPM_RIGHTBUTTON, at.x, at.y, 0, Handle(), nullptr);
}

LRESULT CALLBACK TFormProps::EditNameProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR ref)
{
    auto* self = reinterpret_cast<TFormProps*>(ref);
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
            if (lParam && !self->FSettingName) {
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

LRESULT CALLBACK TFormProps::MemoParamsProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                            DWORD_PTR ref)
{
    auto* self = reinterpret_cast<TFormProps*>(ref);
    bool handled = false;
    GuardedCall([&] {
        switch (msg) {
        case WM_KEYDOWN:
            if (wParam == VK_ESCAPE) {
                // Escape in the Parameters box cancels the dialog (not while an installer runs).
                if (!self->FApplying)
                    self->SetModalResult(mrCancel);
                handled = true;
            } else if (wParam == VK_TAB && (GetKeyState(VK_CONTROL) & 0x8000) == 0) {
                // Tab moves on, as in every other box of the dialog.
                const bool back = (GetKeyState(VK_SHIFT) & 0x8000) != 0;
                SetFocus(GetNextDlgTabItem(self->Handle(), wnd, back ? TRUE : FALSE));
                handled = true;
            }
            break;
        case WM_CHAR:
            handled = wParam == VK_ESCAPE || (wParam == L'\t' && (GetKeyState(VK_CONTROL) & 0x8000) == 0);
            break;
        case WM_CONTEXTMENU:
            self->MemoParamsContextPopup(lParam);
            handled = true;
            break;
        default:
            break;
        }
    });
    return handled ? 0 : DefSubclassProc(wnd, msg, wParam, lParam);
}
