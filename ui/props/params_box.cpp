// The Parameters box of the properties dialog: the edit commands and their enabling, Open
// Folder and Open File on the box's selection, its context menu, and Escape and Tab in it.
#include "ui/props/params_box.h"

#include "erp/file_paths.h"
#include "ui/base/application.h"
#include "ui/base/window.h"

#include <commctrl.h>
#include <shellapi.h>
#include <windowsx.h>

#include <utility>
#include <vector>

bool IsDirectory(const std::wstring& path)
{
    DWORD attributes = GetFileAttributesW(path.c_str());
    return !path.empty() && attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool IsFile(const std::wstring& path)
{
    DWORD attributes = GetFileAttributesW(path.c_str());
    return !path.empty() && attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

namespace {
bool IsEditControl(HWND wnd)
{
    wchar_t name[16] = L"";
    return wnd && GetClassNameW(wnd, name, 16) && CompareStringOrdinal(name, -1, L"Edit", -1, TRUE) == CSTR_EQUAL;
}
}  // namespace

TParamsBox::TParamsBox(HWND dialog, HWND memo, std::function<bool()> applying, std::function<void()> cancel)
    : FDialog(dialog), FMemo(memo), FApplying(std::move(applying)), FCancel(std::move(cancel))
{
    SetWindowSubclass(FMemo, &TParamsBox::Proc, 0, reinterpret_cast<DWORD_PTR>(this));
    CreateActions();
    FIdleHandler = Application().AddIdleHandler([this] { FActions.Update(); });
}

TParamsBox::~TParamsBox()
{
    if (FIdleHandler)
        Application().RemoveIdleHandler(FIdleHandler);
    RemoveWindowSubclass(FMemo, &TParamsBox::Proc, 0);
}

void TParamsBox::CreateActions()
{
    // The context menu, in order; a standard edit command is a message sent to the focused text
    // box, the others are the box's own.
    struct TEditCommandRow {
        int Id;
        const wchar_t* Name;
        const wchar_t* Caption;
        const wchar_t* Hint;
        TShortCut ShortCut;
        bool SeparatorBefore = false;
        UINT Message = 0;
        LPARAM LParam = 0;
        void (TParamsBox::*OnExecute)() = nullptr;
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
         .SeparatorBefore = true, .OnExecute = &TParamsBox::ActOpenDirExecute},
        {.Id = ActOpenFile, .Name = L"ActOpenFile", .Caption = L"Open File", .Hint = L"", .ShortCut = {VK_F4},
         .OnExecute = &TParamsBox::ActOpenFileExecute},
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
    FMenu.reset(FActions.BuildMenu(menu));
}

void TParamsBox::ActionsUpdate()
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
void TParamsBox::ActOpenDirUpdate()
{
    const std::wstring selection = Selection();
    const std::wstring folder = FolderOfSelection(selection);
    FActions.Find(ActOpenDir)->Enabled =
        !selection.empty() && (IsNetworkPath(selection) ? !folder.empty() : IsDirectory(folder));
}

void TParamsBox::ActOpenFileUpdate()
{
    const std::wstring selection = Selection();
    FActions.Find(ActOpenFile)->Enabled =
        !selection.empty() && (IsNetworkPath(selection) ? !ExtractFileName(selection).empty() : IsFile(selection));
}

void TParamsBox::ActOpenDirExecute()
{
    ShellExecuteW(nullptr, L"explore", FolderOfSelection(Selection()).c_str(), L"", L"", SW_SHOWNORMAL);
}

void TParamsBox::ActOpenFileExecute()
{
    ShellExecuteW(nullptr, L"open", Selection().c_str(), L"", L"", SW_SHOWNORMAL);
}

std::wstring TParamsBox::Selection() const
{
    DWORD start = 0, end = 0;
    SendMessageW(FMemo, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    const std::wstring text = WindowText(FMemo);
    if (end <= start || start >= text.size())
        return {};
    return text.substr(start, end - start);
}

void TParamsBox::ContextPopup(LPARAM lParam)
{
    SetFocus(FMemo);
    POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    if (lParam == -1) {
        RECT r{};
        GetWindowRect(FMemo, &r);
        at = {r.left + 8, r.top + 8};
    }
    FActions.Update();
    FActions.UpdateMenu(FMenu.get());
    // The chosen command comes to the dialog as WM_COMMAND.
    TrackPopupMenu(FMenu.get(), TPM_LEFTALIGN | TPM_RIGHTBUTTON, at.x, at.y, 0, FDialog, nullptr);
}

LRESULT CALLBACK TParamsBox::Proc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR ref)
{
    auto* self = reinterpret_cast<TParamsBox*>(ref);
    bool handled = false;
    GuardedCall([&] {
        switch (msg) {
        case WM_KEYDOWN:
            if (wParam == VK_ESCAPE) {
                // Escape in the Parameters box cancels the dialog (not while an installer runs).
                if (!self->FApplying())
                    self->FCancel();
                handled = true;
            } else if (wParam == VK_TAB && (GetKeyState(VK_CONTROL) & 0x8000) == 0) {
                // Tab moves on, as in every other box of the dialog.
                const bool back = (GetKeyState(VK_SHIFT) & 0x8000) != 0;
                SetFocus(GetNextDlgTabItem(self->FDialog, wnd, back ? TRUE : FALSE));
                handled = true;
            }
            break;
        case WM_CHAR:
            handled = wParam == VK_ESCAPE || (wParam == L'\t' && (GetKeyState(VK_CONTROL) & 0x8000) == 0);
            break;
        case WM_CONTEXTMENU:
            self->ContextPopup(lParam);
            handled = true;
            break;
        default:
            break;
        }
    });
    return handled ? 0 : DefSubclassProc(wnd, msg, wParam, lParam);
}
