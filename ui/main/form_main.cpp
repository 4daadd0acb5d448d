// The main window itself: its components, layout and window events.
#include "ui/main/form_main.h"

#include "ui/base/application.h"
#include "ui/base/layout.h"
#include "ui/base/message_box.h"
#include "common/format.h"
#include "ui/main/account_text.h"
#include "ui/main/installation_computers.h"

#include <commctrl.h>

#include <algorithm>

namespace {
constexpr int ToolBarHeight = 26;
constexpr int StatusBarHeight = 19;
constexpr int StatusPanelWidth = 100;
// The first panel with several computers: "12 computers, 3 not reachable".
constexpr int ComputersPanelWidth = 170;
// The panel after the computer's and the account's: the step a command is at.
constexpr int StepPanel = 2;
// The filter box at the tool bar's right end.
constexpr int FilterWidth = 150;
constexpr int FilterLeft = TFormMain::DesignClientWidth - FilterWidth - 4;
// The smallest outer size: the toolbar's buttons and a few rows of the list stay in view.
constexpr int MinWidth = 320;
constexpr int MinHeight = 220;

const TControlSpec Components[] = {
    {.Id = TFormMain::idToolBar, .Name = L"ToolBar", .ClassName = TOOLBARCLASSNAMEW, .Caption = nullptr,
     .Style = TBSTYLE_FLAT | TBSTYLE_TOOLTIPS | CCS_TOP | CCS_NODIVIDER | CCS_NORESIZE, .ExStyle = 0,
     .Left = 0, .Top = 0, .Width = FilterLeft - 4, .Height = ToolBarHeight, .Anchors = akLeft | akTop | akRight},
    {.Id = TFormMain::idFilter, .Name = L"EditFilter", .ClassName = L"EDIT", .Caption = nullptr,
     .Style = ES_AUTOHSCROLL | WS_TABSTOP, .ExStyle = WS_EX_CLIENTEDGE, .Left = FilterLeft, .Top = 2,
     .Width = FilterWidth, .Height = 21, .Anchors = akTop | akRight},
    {.Id = TFormMain::idList, .Name = L"LV", .ClassName = WC_LISTVIEWW, .Caption = nullptr,
     .Style = WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_SHAREIMAGELISTS | LVS_OWNERDATA,
     .ExStyle = WS_EX_CLIENTEDGE, .Left = 0, .Top = ToolBarHeight, .Width = TFormMain::DesignClientWidth,
     .Height = TFormMain::DesignClientHeight - ToolBarHeight - StatusBarHeight, .Anchors = akAll},
    {.Id = TFormMain::idStatusBar, .Name = L"StatusBar", .ClassName = STATUSCLASSNAMEW, .Caption = nullptr,
     .Style = CCS_BOTTOM, .ExStyle = 0, .Left = 0, .Top = TFormMain::DesignClientHeight - StatusBarHeight,
     .Width = TFormMain::DesignClientWidth, .Height = StatusBarHeight, .Anchors = akLeft | akRight | akBottom},
};

// Whether a context menu asked for at this point of the screen is the list's heading's: the
// heading's own (Windows), or the list's with the point on the heading (Wine's list view turns
// the heading's right click into its own).
bool OnHeaderOf(HWND list, HWND from, POINT screen)
{
    const HWND header = ListView_GetHeader(list);
    if (from == header)
        return true;
    RECT rect{};
    return from == list && header && IsWindowVisible(header) && GetWindowRect(header, &rect) && PtInRect(&rect, screen);
}

// Keys the filter box takes for itself while it has the focus: its editing keys and characters
// (Del, Ins, Backspace, Enter, letters); shortcuts with Ctrl or Alt and the function keys still
// act.
bool EditingKey(const MSG& msg)
{
    if (msg.message != WM_KEYDOWN && msg.message != WM_CHAR)
        return false;
    if (GetKeyState(VK_CONTROL) < 0 || GetKeyState(VK_MENU) < 0)
        return false;
    return msg.message == WM_CHAR || msg.wParam < VK_F1 || msg.wParam > VK_F24;
}
}  // namespace

TFormMain::TFormMain(IServiceControlManager& scm, bool showAllServices, bool readAhead, const std::wstring& machineName)
    : TFormMain(scm, showAllServices, readAhead, std::vector<std::wstring>{machineName}, false)
{
}

// The lists' catalogues connect on their first refresh.
TFormMain::TFormMain(IServiceControlManager& scm, bool showAllServices, bool readAhead,
                     const std::vector<std::wstring>& computers, bool keepsInstallation)
    : FServiceList(scm, showAllServices, computers),
      FKeepsInstallation(keepsInstallation),
      FCommands(FServiceList, FActions,
                {.OnStep = [this](const std::wstring& step) { FStatusBar.SetText(StepPanel, step); },
                 .OnQuit = [this] {
                     if (Handle())
                         Close();
                 },
                 .OnRefresh = [this] { Refresh(); },
                 .OnConnected = [this] { Connected(); },
                 .OnComputersSet = [this](const std::vector<std::wstring>& chosen) {
                     if (FKeepsInstallation)
                         SaveInstallationComputers(chosen);
                     Connected();
                 }})
{
    FServiceList.OnMonitorFailure = [this](const std::wstring& message) {
        AppMessageBox(message, Caption(), MB_ICONERROR);
    };
    FServiceList.OnConnectionLost = FServiceList.OnMonitorFailure;
    // With several computers a lost one turns into its row; the status bar says it, no box.
    FServiceList.OnComputerLost = [this](const std::wstring& message) {
        FStatusBar.SetText(StepPanel, message.substr(0, message.find(L'\r')));
    };
    FServiceList.OnComputersChanged = [this] {
        if (FShowCompleted)
            ShowComputerName();
    };
    if (readAhead)
        FServiceList.ReadAhead();
    CreateForm({.ClassName = ClassName,
                .Caption = L"Talvora ERP Service Manager",
                .ClientWidth = DesignClientWidth,
                .ClientHeight = DesignClientHeight,
                .Style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                .ExStyle = WS_EX_APPWINDOW,
                .Name = L"FormMain",
                .MinWidth = MinWidth,
                .MinHeight = MinHeight});
    CreateComponents();
    CreateMenus();
    FIdleHandler = Application().AddIdleHandler([this] { FActions.Update(); });
}

TFormMain::~TFormMain()
{
    Application().RemoveIdleHandler(FIdleHandler);
    // The rows' data goes with the rows, while this window still hears of their deletion.
    FServiceList.Detach();
}

void TFormMain::CreateComponents()
{
    CreateControls(Components, std::size(Components));
    FToolBar = TToolBar(Control(idToolBar));
    SendMessageW(Control(idFilter), EM_SETCUEBANNER, TRUE, reinterpret_cast<LPARAM>(L"Filter (Ctrl+F)"));
    FStatusBar = TStatusBar(Control(idStatusBar));
    FImages = CreateMainImageList(Scale(MainImageSize));
    FServiceList.Attach(Control(idList), FImages.get(), [this](int designPixels) { return Scale(designPixels); });

    FToolBar.SetImageList(FImages.get());
    FDisabledImages = CreateDisabledImageList(Scale(MainImageSize));
    FToolBar.SetDisabledImageList(FDisabledImages.get());
    FActions.FillToolBar(FToolBar.Handle(), TServiceCommands::ToolBarEntries());

    DpiChanged();
}

void TFormMain::FitListAboveStatusBar()
{
    FStatusBar.FitParent();
    const RECT status = ChildRect(Handle(), FStatusBar.Handle());
    const RECT list = ChildRect(Handle(), Control(idList));
    if (list.bottom != status.top)
        SetWindowPos(Control(idList), nullptr, 0, 0, list.right - list.left, std::max(0L, status.top - list.top),
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TFormMain::DpiChanged()
{
    SetStatusParts();
    FitListAboveStatusBar();
}

void TFormMain::SetStatusParts()
{
    const int first = FServiceList.Installation().Several() ? ComputersPanelWidth : StatusPanelWidth;
    FStatusBar.SetParts({Scale(first), Scale(first + StatusPanelWidth), -1});
}

void TFormMain::CreateMenus()
{
    FActions.MenuImages = true;
    HMENU bar = CreateMenu();
    // The "&" marks each menu's letter: Alt with it opens the menu (the text shows no "&").
    auto addSub = [bar](HMENU sub, const wchar_t* caption) {
        AppendMenuW(bar, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(sub), caption);
    };
    const std::pair<TServiceCommands::TMainMenu, const wchar_t*> menus[] = {
        {TServiceCommands::mnProgram, L"&Program"},
        {TServiceCommands::mnService, L"&Service"},
        {TServiceCommands::mnView, L"&View"},
        {TServiceCommands::mnHelp, L"&Help"}};
    for (const auto& [menu, caption] : menus)
        addSub(FActions.BuildMenu(TServiceCommands::MenuEntries(menu)), caption);
    FMainMenu = bar;
    // The menu bar takes room from the window, not from the designed client area.
    RECT client{};
    GetClientRect(Handle(), &client);
    SetMenu(Handle(), bar);
    RECT rc{0, 0, client.right, client.bottom};
    AdjustWindowRectEx(&rc, static_cast<DWORD>(GetWindowLongPtrW(Handle(), GWL_STYLE)), TRUE,
                       static_cast<DWORD>(GetWindowLongPtrW(Handle(), GWL_EXSTYLE)));
    SetWindowPos(Handle(), nullptr, 0, 0, rc.right - rc.left, rc.bottom - rc.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);

    FPopupMenu.reset(FActions.BuildMenu(TServiceCommands::PopupEntries()));
}

// The window's size and the list's column widths are kept between runs.
void TFormMain::LoadLayout()
{
    UniqueRegKey settings = OpenLayoutKey();
    // Column widths stored beside a size that cannot be used are not used either.
    const bool sized = LoadFormSize(*this, settings.get());
    FServiceList.LoadLayout(settings.get(), Name(), sized);
    CentreOnScreen(Handle());
}

void TFormMain::SaveLayout()
{
    // A key that cannot be written keeps what it held; the window closes all the same.
    UniqueRegKey settings = OpenLayoutKey();
    SaveFormSize(*this, settings.get());
    FServiceList.SaveLayout(settings.get(), Name());
}

void TFormMain::FormShow()
{
    LoadLayout();
    if (FShownOnce)
        return;
    FShownOnce = true;
    // The window is on screen and painted before the first list build, which enumerates every
    // service of the machine (and reads the records the view shows) and may take a while.
    ShowWindow(Handle(), SW_SHOW);
    RedrawWindow(Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    // An error ends the show handler (its remaining steps are skipped) and is reported; the
    // window stays, and the Refresh command completes the steps once the cause is gone.
    try {
        CompleteShow();
    } catch (...) {
        Application().HandleException();
    }
}

void TFormMain::CompleteShow()
{
    // Another computer's name first: a failed read of its list shows which computer failed.
    if (!Manager().MachineName().empty())
        ShowComputerName();
    RebuildItems(true);
    // Quitting while the list was read: the window is closing or gone.
    if (!Handle() || Application().Terminated())
        return;
    ShowComputerName();
    FStatusBar.SetText(1, AccountText());
    SetTimerOn(true);
    FShowCompleted = true;
}

void TFormMain::ShowComputerName()
{
    const TInstallation& installation = FServiceList.Installation();
    SetStatusParts();
    if (installation.Several()) {
        std::wstring text = Fmt(L"%d computers", {installation.ComputerCount()});
        if (const int silent = installation.UnreachableCount(); silent > 0)
            text += Fmt(L", %d not reachable", {silent});
        FStatusBar.SetText(0, text);
        return;
    }
    const std::wstring& machine = Manager().MachineName();
    FStatusBar.SetText(0, machine.empty() ? ComputerNameText() : machine);
}

void TFormMain::Connected()
{
    ShowComputerName();
    if (FShowCompleted)
        return;
    FStatusBar.SetText(1, AccountText());
    SetTimerOn(true);
    FShowCompleted = true;
}

void TFormMain::SetTimerOn(bool on)
{
    if (on)
        SetTimer(Handle(), TimerUpdate, 1000, nullptr);
    else
        KillTimer(Handle(), TimerUpdate);
}

bool TFormMain::FormCloseQuery()
{
    // A command waiting for its worker ends at once; one in a nested loop ends its wait first
    // (the application is terminating), and the window closes once it has unwound, so the
    // close handler runs.
    return FCommands.EndForClose();
}

void TFormMain::Refresh()
{
    if (FShowCompleted)
        RebuildItems(true);
    else
        CompleteShow();
}

void TFormMain::LVDblClick()
{
    if (TAction* props = FActions.Find(ActProps)) {
        FActions.Update();
        if (props->Enabled)
            FActions.Execute(ActProps);
    }
}

void TFormMain::FormClose()
{
    SetTimerOn(false);
    SaveLayout();
}

void TFormMain::FormDestroy()
{
    SetTimerOn(false);
    // Monitors that outlive the window never reach it.
    FServiceList.Detach();
}

bool TFormMain::FilterKey(const MSG& msg)
{
    if (msg.message != WM_KEYDOWN)
        return false;
    const bool ctrl = GetKeyState(VK_CONTROL) < 0;
    const bool alt = GetKeyState(VK_MENU) < 0;
    if (msg.wParam == 'F' && ctrl && !alt) {
        SetFocus(Control(idFilter));
        SendMessageW(Control(idFilter), EM_SETSEL, 0, -1);
        return true;
    }
    const bool inFilter = msg.hwnd == Control(idFilter);
    if (msg.wParam == VK_TAB && !ctrl && !alt && (inFilter || msg.hwnd == List().Handle())) {
        SetFocus(inFilter ? List().Handle() : Control(idFilter));
        return true;
    }
    if (!inFilter)
        return false;
    switch (msg.wParam) {
    case VK_ESCAPE:
        // The filter goes, and the keyboard goes back to the list.
        SetWindowTextW(Control(idFilter), L"");
        FocusList();
        return true;
    case VK_RETURN:
    case VK_DOWN:
        FocusList();
        return true;
    default:
        return false;
    }
}

void TFormMain::FocusList()
{
    SetFocus(List().Handle());
    // The keys act on a row at once.
    if (List().Selected() < 0 && FServiceList.Model().Count() > 0) {
        List().Select(0);
        List().EnsureVisible(0);
    }
}

bool TFormMain::PreTranslateMessage(MSG& msg)
{
    if (FilterKey(msg))
        return true;
    if (msg.hwnd == Control(idFilter) && EditingKey(msg))
        return false;
    if (TAction* action = FActions.FindShortCut(msg)) {
        FActions.Execute(action->Id);
        return true;
    }
    return false;
}

LRESULT TFormMain::WndProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_TIMER:
        if (wParam == TimerUpdate)
            FServiceList.Update();
        return 0;
    case TServiceList::ResultsMessage:
        FServiceList.TakeResults();
        return 0;
    case TServiceCommands::ResultsMessage:
        FCommands.TakeResults();
        return 0;
    case WM_SIZE: {
        const LRESULT result = TWindow::WndProc(msg, wParam, lParam);
        if (wParam != SIZE_MINIMIZED)
            FitListAboveStatusBar();
        return result;
    }
    case WM_COMMAND:
        if (lParam && reinterpret_cast<HWND>(lParam) == Control(idFilter)) {
            if (HIWORD(wParam) == EN_CHANGE)
                FServiceList.SetFilter(WindowText(Control(idFilter)));
            return 0;
        }
        if (HIWORD(wParam) == 0 || HIWORD(wParam) == 1 || lParam == reinterpret_cast<LPARAM>(FToolBar.Handle())) {
            FActions.Execute(LOWORD(wParam));
            return 0;
        }
        break;
    case WM_MEASUREITEM: {
        auto* item = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
        if (item->CtlType == ODT_MENU) {
            MeasureMenuItemImage(*item, Scale(MainImageSize));
            return TRUE;
        }
        break;
    }
    case WM_DRAWITEM: {
        auto* item = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
        if (item->CtlType == ODT_MENU) {
            DrawMenuItemImage(*item, static_cast<int>(item->itemData), Scale(MainImageSize));
            return TRUE;
        }
        break;
    }
    case WM_MENUSELECT: {
        // While a menu is open the status bar shows the long hint of the item under the mouse
        // (why Add... is off, for one); its panels come back when the menu closes.
        const UINT flags = HIWORD(wParam);
        const bool closed = flags == 0xFFFF && lParam == 0;
        FStatusBar.SetSimple(!closed);
        if (!closed)
            FStatusBar.SetSimpleText(
                (flags & (MF_POPUP | MF_SEPARATOR)) ? std::wstring() : FActions.LongHintOf(LOWORD(wParam)));
        return 0;
    }
    case WM_INITMENUPOPUP:
        FActions.Update();
        FActions.UpdateMenu(reinterpret_cast<HMENU>(wParam));
        return 0;
    case WM_CONTEXTMENU:
        if (const POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
            OnHeaderOf(List().Handle(), reinterpret_cast<HWND>(wParam), at)) {
            FServiceList.ColumnMenu(at);
            return 0;
        }
        if (reinterpret_cast<HWND>(wParam) == List().Handle()) {
            POINT p{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
            if (p.x == -1 && p.y == -1) {
                p = {8, 8};
                ClientToScreen(List().Handle(), &p);
            }
            TrackPopupMenu(FPopupMenu.get(), TPM_RIGHTBUTTON, p.x, p.y, 0, Handle(), nullptr);
            return 0;
        }
        break;
    case WM_NOTIFY: {
        auto* header = reinterpret_cast<NMHDR*>(lParam);
        if (header->hwndFrom == List().Handle()) {
            if (header->code == NM_DBLCLK) {
                LVDblClick();
                return 0;
            }
            LRESULT result = 0;
            return FServiceList.Notify(header, result) ? result : 0;
        }
        if (header->code == TTN_GETDISPINFOW) {
            auto* info = reinterpret_cast<NMTTDISPINFOW*>(lParam);
            info->lpszText = const_cast<wchar_t*>(FActions.HintOf(static_cast<int>(header->idFrom)));
            return 0;
        }
        break;
    }
    case WM_SETFOCUS:
        SetFocus(List().Handle());
        return 0;
    default:
        break;
    }
    return TWindow::WndProc(msg, wParam, lParam);
}
