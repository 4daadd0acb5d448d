// The Parameters box of the properties dialog and the dialog's edit commands. Undo, Cut, Copy,
// Paste and Select All act on whichever text box has the focus; Open Folder and Open File open
// what the Parameters box's selection names. The box's context menu offers all of them; Escape
// in the box cancels the dialog (not while an installer is being waited for), and Tab moves on
// as in every other box of the dialog.
//
// Usage (the dialog's way): made once the box exists and destroyed before it; the dialog runs
// the commands' shortcuts, and the menu's WM_COMMAND (lParam 0), through Actions().
#pragma once

#include "ui/base/actions.h"
#include "ui/base/gui_handle.h"

#include <windows.h>

#include <functional>
#include <string>

// An existing folder; false for an empty path.
bool IsDirectory(const std::wstring& path);
// An existing file, not a folder; false for an empty path.
bool IsFile(const std::wstring& path);

class TParamsBox {
public:
    // The commands' ids, which the context menu sends to the dialog.
    enum TCommand : int {
        ActEditUndo = 1001,
        ActEditCut,
        ActEditCopy,
        ActEditPaste,
        ActEditSelectAll,
        ActOpenDir,
        ActOpenFile,
    };
    static constexpr bool IsCommand(int id) { return id >= ActEditUndo && id <= ActOpenFile; }

    // dialog: the menu's owner and the tab order Tab follows; memo: the Parameters box.
    // applying: whether an installer is being waited for; cancel: ends the dialog as Cancel.
    TParamsBox(HWND dialog, HWND memo, std::function<bool()> applying, std::function<void()> cancel);
    ~TParamsBox();
    TParamsBox(const TParamsBox&) = delete;
    TParamsBox& operator=(const TParamsBox&) = delete;

    // The commands; their enabling follows the focus and the selection whenever the
    // application is idle.
    TActionList& Actions() { return FActions; }
    // The box's context menu.
    HMENU Menu() const { return FMenu.get(); }
    // Whether the command's shortcut acts on a key that reached target: Open Folder (F3) and
    // Open File (F4) only from the Parameters box (elsewhere F4 opens a combo box's list), the
    // edit commands anywhere.
    bool ShortCutApplies(int id, HWND target) const
    {
        return (id != ActOpenDir && id != ActOpenFile) || target == FMemo;
    }

private:
    void CreateActions();
    void ActionsUpdate();
    void ActOpenDirUpdate();
    void ActOpenDirExecute();
    void ActOpenFileUpdate();
    void ActOpenFileExecute();
    // The selected text of the Parameters box.
    std::wstring Selection() const;
    void ContextPopup(LPARAM lParam);

    // The box's own message handling (Escape, Tab, the context menu).
    static LRESULT CALLBACK Proc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR ref);

    HWND FDialog;
    HWND FMemo;
    std::function<bool()> FApplying;
    std::function<void()> FCancel;
    TActionList FActions;
    UniqueMenu FMenu;
    int FIdleHandler = 0;
};
