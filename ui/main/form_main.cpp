// The main window itself: its components, layout and window events.
#include "ui/main/form_main.h"

#include "ui/base/application.h"
#include "ui/main/account_text.h"

#include <commctrl.h>

#include <algorithm>

namespace {
constexpr int ToolBarHeight = 26;
constexpr int StatusBarHeight = 19;
constexpr int StatusPanelWidth = 100;
// The smallest outer size: the toolbar's buttons and a few rows of the list stay in view.
constexpr int MinWidth = 320;
constexpr int MinHeight = 220;

const TControlSpec Components[] = {
    {TFormMain::idToolBar, L"ToolBar", TOOLBARCLASSNAMEW, nullptr,
     TBSTYLE_FLAT | TBSTYLE_TOOLTIPS | CCS_TOP | CCS_NODIVIDER | CCS_NORESIZE, 0, 0, 0,
     TFormMain::DesignClientWidth, ToolBarHeight, akLeft | akTop | akRight},
    {TFormMain::idList, L"LV", WC_LISTVIEWW, nullptr,
     WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_SHAREIMAGELISTS, WS_EX_CLIENTEDGE, 0,
     ToolBarHeight, TFormMain::DesignClientWidth,
     TFormMain::DesignClientHeight - ToolBarHeight - StatusBarHeight, akAll},
    {TFormMain::idStatusBar, L"StatusBar", STATUSCLASSNAMEW, nullptr, CCS_BOTTOM, 0, 0,
     TFormMain::DesignClientHeight - StatusBarHeight, TFormMain::DesignClientWidth, StatusBarHeight,
     akLeft | akRight | akBottom},
};

struct TColumn {
    const wchar_t* Caption;
    int Width;
};
const TColumn Columns[] = {{L"Service Name", 200}, {L"Status", 80}, {L"Description", 250}};
}  // namespace

TFormMain::TFormMain(IServiceControlManager& scm, bool showAllServices) : FShowAllServices(showAllServices)
{
    // The catalogue of the local machine; it connects on its first refresh.
    FManager = std::make_unique<TSCManager>(L"", SC_MANAGER_ALL_ACCESS, L"ServicesActive", scm);
    FMonitorSink = std::make_shared<TMonitorSink>();
    FMonitorSink->Form = this;
    CreateActions();
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
    if (FMonitorSink)
        FMonitorSink->Form = nullptr;
    // The rows' data goes with the rows, while this window still hears of their deletion.
    if (Handle())
        DeleteRows();
}

void TFormMain::CreateComponents()
{
    CreateControls(Components, std::size(Components));
    FToolBar = TToolBar(Control(idToolBar));
    FStatusBar = TStatusBar(Control(idStatusBar));
    FList = TListView(Control(idList));

    FImages = CreateMainImageList(Scale(MainImageSize));
    HWND lv = FList.Handle();
    ListView_SetExtendedListViewStyle(lv, LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP | LVS_EX_DOUBLEBUFFER);
    ListView_SetImageList(lv, FImages.get(), LVSIL_SMALL);
    // Clicking a heading does nothing.
    HWND header = ListView_GetHeader(lv);
    SetWindowLongPtrW(header, GWL_STYLE, GetWindowLongPtrW(header, GWL_STYLE) & ~HDS_BUTTONS);
    for (int i = 0; i < static_cast<int>(std::size(Columns)); ++i)
        FList.AddColumn(i, Columns[i].Caption, Scale(Columns[i].Width));

    FToolBar.SetImageList(FImages.get());
    FDisabledImages = CreateDisabledImageList(Scale(MainImageSize));
    FToolBar.SetDisabledImageList(FDisabledImages.get());
    FActions.FillToolBar(FToolBar.Handle(), {ActStart, ActStop, ActPause, Separator, ActRebuild, ActProps, Separator, ActQuit});

    DpiChanged();
}

void TFormMain::FitListAboveStatusBar()
{
    SendMessageW(FStatusBar.Handle(), WM_SIZE, 0, 0);
    const RECT status = ChildRect(Handle(), FStatusBar.Handle());
    const RECT list = ChildRect(Handle(), FList.Handle());
    if (list.bottom != status.top)
        SetWindowPos(FList.Handle(), nullptr, 0, 0, list.right - list.left, std::max(0L, status.top - list.top),
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TFormMain::DpiChanged()
{
    FStatusBar.SetParts({Scale(StatusPanelWidth), Scale(2 * StatusPanelWidth)});
    FitListAboveStatusBar();
}

void TFormMain::CreateMenus()
{
    FActions.MenuImages = true;
    HMENU bar = CreateMenu();
    // The "&" marks each menu's letter: Alt with it opens the menu (the text shows no "&").
    auto addSub = [bar](HMENU sub, const wchar_t* caption) {
        AppendMenuW(bar, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(sub), caption);
    };
    addSub(FActions.BuildMenu({ActQuit}), L"&Program");
    addSub(FActions.BuildMenu({ActStart, ActStop, ActPause, Separator, ActInstall, ActUninstall, Separator, ActProps}),
           L"&Service");
    addSub(FActions.BuildMenu({ActRebuild}), L"&View");
    addSub(FActions.BuildMenu({ActAbout}), L"&Help");
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

    FPopupMenu.reset(FActions.BuildMenu({ActStart, ActStop, ActPause, Separator, ActRebuild, Separator, ActInstall,
                                         ActUninstall, Separator, ActProps}));
}

void TFormMain::FormShow()
{
    LoadLayout();
    if (FShownOnce)
        return;
    FShownOnce = true;
    // The window is on screen and painted before the first list build, which reads every
    // service of the machine twice and may take seconds.
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
    RebuildItems(true);
    FStatusBar.SetText(0, ComputerNameText());
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
    // A waiting command still uses the catalogue's records: end its wait first (the
    // application is terminating) and close once it has unwound, so the close handler runs.
    if (FCommandDepth > 0) {
        FCloseRequested = true;
        Application().Terminate();
        return false;
    }
    return true;
}

void TFormMain::CloseIfRequested()
{
    if (FCloseRequested && FCommandDepth == 0 && Handle()) {
        FCloseRequested = false;
        Close();
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
    if (FMonitorSink)
        FMonitorSink->Form = nullptr;
    DeleteRows();
}

bool TFormMain::PreTranslateMessage(MSG& msg)
{
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
            UpdateItems();
        return 0;
    case WM_SIZE: {
        const LRESULT result = TWindow::WndProc(msg, wParam, lParam);
        if (wParam != SIZE_MINIMIZED)
            FitListAboveStatusBar();
        return result;
    }
    case WM_COMMAND:
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
    case WM_INITMENUPOPUP:
        FActions.Update();
        FActions.UpdateMenu(reinterpret_cast<HMENU>(wParam));
        return 0;
    case WM_CONTEXTMENU:
        if (reinterpret_cast<HWND>(wParam) == FList.Handle()) {
            POINT p{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
            if (p.x == -1 && p.y == -1) {
                p = {8, 8};
                ClientToScreen(FList.Handle(), &p);
            }
            TrackPopupMenu(FPopupMenu.get(), TPM_RIGHTBUTTON, p.x, p.y, 0, Handle(), nullptr);
            return 0;
        }
        break;
    case WM_NOTIFY: {
        auto* header = reinterpret_cast<NMHDR*>(lParam);
        if (header->hwndFrom == FList.Handle())
            return ListNotify(header);
        if (header->code == TTN_GETDISPINFOW) {
            auto* info = reinterpret_cast<NMTTDISPINFOW*>(lParam);
            info->lpszText = const_cast<wchar_t*>(FActions.HintOf(static_cast<int>(header->idFrom)));
            return 0;
        }
        break;
    }
    case WM_SETFOCUS:
        SetFocus(FList.Handle());
        return 0;
    default:
        break;
    }
    return TWindow::WndProc(msg, wParam, lParam);
}

LRESULT TFormMain::ListNotify(NMHDR* header)
{
    switch (header->code) {
    case LVN_DELETEITEM: {
        auto* nm = reinterpret_cast<NMLISTVIEW*>(header);
        LVDeletion(nm->iItem, nm->lParam);
        return 0;
    }
    case LVN_GETINFOTIPW:
        LVInfoTip(reinterpret_cast<NMLVGETINFOTIPW*>(header));
        return 0;
    case NM_CUSTOMDRAW:
        return LVCustomDrawItem(reinterpret_cast<NMLVCUSTOMDRAW*>(header));
    case NM_DBLCLK:
        LVDblClick();
        return 0;
    case LVN_BEGINLABELEDITW:
        return TRUE;  // captions cannot be edited
    default:
        return 0;
    }
}
