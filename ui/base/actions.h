// Commands as data: each action has a caption, hint, shortcuts, image and handler; the
// toolbar, the menus and the keyboard all reach the same actions, and one update handler,
// run whenever the application is idle, decides which are enabled.
#pragma once

#include "ui/base/gui_layer.h"

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

struct TShortCut {
    WORD Key = 0;        // virtual key; 0 = none
    bool Alt = false;
    bool Ctrl = false;
    bool Shift = false;
    bool operator==(const TShortCut&) const = default;
};

// The text a menu shows for a shortcut ("F5", "Del", "Ins", "Enter", "Alt+F4").
std::wstring ShortCutToText(const TShortCut& shortCut);

struct TAction {
    int Id = 0;  // command id used by menus and toolbar buttons
    std::wstring Name;
    std::wstring Caption;
    std::wstring Hint;
    std::vector<TShortCut> ShortCuts;  // the first one is shown in menus
    int ImageIndex = -1;
    bool Enabled = true;
    std::function<void()> OnExecute;
};

// An entry of a toolbar or menu: an action id, or 0 for a separator.
constexpr int Separator = 0;

class TActionList {
public:
    TActionList() = default;
    TActionList(const TActionList&) = delete;
    TActionList& operator=(const TActionList&) = delete;

    TAction& Add(TAction action);
    TAction* Find(int id);
    TAction* FindByName(const std::wstring& name);
    const std::vector<TAction>& Actions() const { return FActions; }

    // Runs the action's handler if it is enabled; errors go to the default report.
    // Returns whether the action ran.
    bool Execute(int id);
    // The enabled action whose shortcut the key message gives, or null.
    TAction* FindShortCut(const MSG& msg);

    // The update handler, run at idle; afterwards the toolbar buttons follow the enabling.
    std::function<void()> OnUpdate;
    void Update();

    // Toolbar buttons (icons without captions, hints as tooltips) in the given order.
    void FillToolBar(HWND toolBar, const std::vector<int>& entries);
    // A pop-up menu of the given entries; items show captions, shortcuts and icons.
    HMENU BuildMenu(const std::vector<int>& entries);
    // Brings the enabled state of the menu's items in line with the actions (WM_INITMENUPOPUP).
    void UpdateMenu(HMENU menu) const;
    // The tooltip text of a toolbar button (TTN_GETDISPINFO): of a hint "Short|Long" the part
    // before the bar; valid until the next call.
    const wchar_t* HintOf(int id);
    // The long hint, as a status line shows it for a menu item: of "Short|Long" the part after
    // the bar, else the whole hint; empty for no action.
    std::wstring LongHintOf(int id);

    // Menu items with an image get HBMMENU_CALLBACK and their image index as item data: the
    // menu's owner draws the picture (WM_MEASUREITEM / WM_DRAWITEM).
    bool MenuImages = false;

private:
    void SyncToolBar();

    std::vector<TAction> FActions;
    std::vector<HWND> FToolBars;
    std::wstring FHintText;
};
