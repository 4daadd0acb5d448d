// The properties dialog: its controls, loading, the enabling rules, validation and applying.
// The Service name box filters its own text (TServiceNameBox); the Parameters box has its own
// keys and context menu, with the dialog's edit commands (TParamsBox).
#include "ui/props/form_props.h"

#include "common/errors.h"
#include "common/format.h"
#include "common/text.h"
#include "erp/executables.h"
#include "erp/file_paths.h"
#include "erp/install_command.h"
#include "erp/service_parameters.h"
#include "ui/base/application.h"
#include "ui/base/busy.h"
#include "ui/base/layout.h"
#include "ui/base/message_box.h"
#include "ui/props/server_picture.h"

#include <commdlg.h>

#include <algorithm>
#include <iterator>
#include <vector>

namespace {
constexpr unsigned akTopLeftRight = akLeft | akTop | akRight;
constexpr unsigned akTopRight = akTop | akRight;
constexpr unsigned akBottomLeftRight = akLeft | akBottom | akRight;
constexpr unsigned akBottomRight = akBottom | akRight;
constexpr DWORD EditStyle = ES_AUTOHSCROLL | WS_TABSTOP | WS_GROUP;
constexpr DWORD CheckStyle = BS_AUTOCHECKBOX | WS_TABSTOP | WS_GROUP;
// The start buttons, in the order of the start choices (erp/start_choice.h).
constexpr int StartButtons[] = {TFormProps::IdRBtnStartAuto, TFormProps::IdRBtnStartManual,
                                TFormProps::IdRBtnStartDisabled};
static_assert(std::size(StartButtons) == std::size(StartChoices), "one button per start choice");

// In tab order; each label comes right before its box, so that its accelerator reaches it.
const TControlSpec Components[] = {
    {.Id = TFormProps::IdImage1, .Name = L"Image1", .ClassName = L"STATIC", .Caption = nullptr, .Style = SS_OWNERDRAW,
     .ExStyle = 0, .Left = 8, .Top = 8, .Width = 32, .Height = 32},
    {.Id = TFormProps::IdLabelName, .Name = L"LabelName", .ClassName = L"STATIC", .Caption = L"Service &name",
     .Style = SS_LEFT, .ExStyle = 0, .Left = 316, .Top = 8, .Width = 200, .Height = 13},
    {.Id = TFormProps::IdEditName, .Name = L"EditName", .ClassName = L"EDIT", .Caption = nullptr, .Style = EditStyle,
     .ExStyle = WS_EX_CLIENTEDGE, .Left = 316, .Top = 24, .Width = 399, .Height = 21, .Anchors = akTopLeftRight},
    {.Id = TFormProps::IdLabelFile, .Name = L"LabelFile", .ClassName = L"STATIC", .Caption = L"&Executable file",
     .Style = SS_LEFT, .ExStyle = 0, .Left = 48, .Top = 54, .Width = 200, .Height = 13},
    {.Id = TFormProps::IdComboFile, .Name = L"ComboFile", .ClassName = L"COMBOBOX", .Caption = nullptr,
     .Style = CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL | WS_TABSTOP | WS_GROUP, .ExStyle = 0, .Left = 48, .Top = 70,
     .Width = 636, .Height = 200, .Anchors = akTopLeftRight},
    {.Id = TFormProps::IdBtnBrowse, .Name = L"BtnBrowse", .ClassName = L"BUTTON", .Caption = L"...",
     .Style = BS_PUSHBUTTON | WS_TABSTOP | WS_GROUP, .ExStyle = 0, .Left = 690, .Top = 69, .Width = 25, .Height = 23,
     .Anchors = akTopRight},
    {.Id = TFormProps::IdGroupBoxStartup, .Name = L"GroupBoxStartup", .ClassName = L"BUTTON", .Caption = L" Startup ",
     .Style = BS_GROUPBOX, .ExStyle = 0, .Left = 8, .Top = 104, .Width = 300, .Height = 72},
    {.Id = TFormProps::IdRBtnStartAuto, .Name = L"RBtnStartAuto", .ClassName = L"BUTTON", .Caption = L"&Automatic",
     .Style = BS_AUTORADIOBUTTON | WS_TABSTOP | WS_GROUP, .ExStyle = 0, .Left = 20, .Top = 124, .Width = 90,
     .Height = 17},
    {.Id = TFormProps::IdRBtnStartManual, .Name = L"RBtnStartManual", .ClassName = L"BUTTON", .Caption = L"&Manual",
     .Style = BS_AUTORADIOBUTTON, .ExStyle = 0, .Left = 115, .Top = 124, .Width = 85, .Height = 17},
    {.Id = TFormProps::IdRBtnStartDisabled, .Name = L"RBtnStartDisabled", .ClassName = L"BUTTON",
     .Caption = L"&Disabled", .Style = BS_AUTORADIOBUTTON, .ExStyle = 0, .Left = 205, .Top = 124, .Width = 90,
     .Height = 17},
    {.Id = TFormProps::IdChBoxDelayedStart, .Name = L"ChBoxDelayedStart", .ClassName = L"BUTTON",
     .Caption = L"Delayed &start", .Style = CheckStyle, .ExStyle = 0, .Left = 20, .Top = 149, .Width = 150,
     .Height = 17},
    {.Id = TFormProps::IdGroupBoxAccount, .Name = L"GroupBoxAccount", .ClassName = L"BUTTON", .Caption = L" Account ",
     .Style = BS_GROUPBOX, .ExStyle = 0, .Left = 8, .Top = 184, .Width = 300, .Height = 106},
    {.Id = TFormProps::IdChBoxDefaultAccount, .Name = L"ChBoxDefaultAccount", .ClassName = L"BUTTON",
     .Caption = L"De&fault", .Style = CheckStyle, .ExStyle = 0, .Left = 20, .Top = 204, .Width = 150, .Height = 17},
    {.Id = TFormProps::IdLabelUser, .Name = L"LabelUser", .ClassName = L"STATIC", .Caption = L"&User name",
     .Style = SS_LEFT, .ExStyle = 0, .Left = 20, .Top = 232, .Width = 75, .Height = 13},
    {.Id = TFormProps::IdEditUser, .Name = L"EditUser", .ClassName = L"EDIT", .Caption = nullptr, .Style = EditStyle,
     .ExStyle = WS_EX_CLIENTEDGE, .Left = 100, .Top = 229, .Width = 196, .Height = 21},
    {.Id = TFormProps::IdChBoxInteract, .Name = L"ChBoxInteract", .ClassName = L"BUTTON",
     .Caption = L"Interact &with desktop", .Style = CheckStyle, .ExStyle = 0, .Left = 20, .Top = 262, .Width = 200,
     .Height = 17},
    {.Id = TFormProps::IdLabelParams, .Name = L"LabelParams", .ClassName = L"STATIC", .Caption = L"&Parameters",
     .Style = SS_LEFT, .ExStyle = 0, .Left = 316, .Top = 104, .Width = 200, .Height = 13},
    {.Id = TFormProps::IdMemoParams, .Name = L"MemoParams", .ClassName = L"EDIT", .Caption = nullptr,
     .Style = ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL | WS_VSCROLL | WS_TABSTOP | WS_GROUP,
     .ExStyle = WS_EX_CLIENTEDGE, .Left = 316, .Top = 120, .Width = 399, .Height = 170, .Anchors = akAll},
    {.Id = TFormProps::IdLabelDepend, .Name = L"LabelDepend", .ClassName = L"STATIC", .Caption = L"Depends &on",
     .Style = SS_LEFT, .ExStyle = 0, .Left = 316, .Top = 298, .Width = 200, .Height = 13, .Anchors = akLeft | akBottom},
    {.Id = TFormProps::IdComboDepend, .Name = L"ComboDepend", .ClassName = L"COMBOBOX", .Caption = nullptr,
     .Style = CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP | WS_GROUP, .ExStyle = 0, .Left = 316, .Top = 314,
     .Width = 399, .Height = 200, .Anchors = akBottomLeftRight},
    {.Id = TFormProps::IdBtnOk, .Name = L"BtnOk", .ClassName = L"BUTTON", .Caption = L"OK",
     .Style = BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP, .ExStyle = 0, .Left = 559, .Top = 343, .Width = 75,
     .Height = 25, .Anchors = akBottomRight},
    {.Id = TFormProps::IdBtnCancel, .Name = L"BtnCancel", .ClassName = L"BUTTON", .Caption = L"Cancel",
     .Style = BS_PUSHBUTTON | WS_TABSTOP | WS_GROUP, .ExStyle = 0, .Left = 640, .Top = 343, .Width = 75, .Height = 25,
     .Anchors = akBottomRight},
    {.Id = TFormProps::IdLabelType, .Name = L"LabelType", .ClassName = L"STATIC", .Caption = L"Service &type",
     .Style = SS_LEFT | WS_DISABLED, .ExStyle = 0, .Left = 48, .Top = 8, .Width = 200, .Height = 13},
    {.Id = TFormProps::IdEditType, .Name = L"EditType", .ClassName = L"EDIT", .Caption = nullptr,
     .Style = EditStyle | WS_DISABLED, .ExStyle = WS_EX_CLIENTEDGE, .Left = 48, .Top = 24, .Width = 260, .Height = 21},
};

// The browse dialog's filter: each pattern of the kind as both description and mask.
std::wstring BrowseFilter(TExeType kind)
{
    std::wstring filter;
    // Up to the first empty pattern.
    for (const std::wstring& p : SplitText(ExeTypePatterns(kind), L";", true)) {
        if (p.empty())
            break;
        filter += p + L'\0' + p + L'\0';
    }
    filter += L'\0';
    return filter;
}

}  // namespace

TFormProps::TFormProps(TSCManager& catalogue, TNtService* service, TExeType kind)
    : TDialogWindow(IdImage1, DrawServerPicture), FCatalogue(catalogue), FService(service), FExeType(kind)
{
    CreateForm({.ClassName = ClassName,
                .Caption = FormCaption,
                .ClientWidth = DesignClientWidth,
                .ClientHeight = DesignClientHeight,
                .Style = WS_OVERLAPPEDWINDOW & ~(WS_MINIMIZEBOX | WS_MAXIMIZEBOX),
                .ExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT,
                .Name = L"FormProps"});
    // The minimum size holds from now on: the first size is the designed one.
    FSized = true;
    CreateControls(Components, std::size(Components));
    FormCreate();
}

TFormProps::~TFormProps()
{
    // The boxes outlive this part of the object by a moment (the window base destroys them).
    FNameBox.Detach();
    FParamsBox.reset();
}

void TFormProps::FormCreate()
{
    FPathMem = NewPathList();
    FNameBox.Attach(Control(IdEditName));
    FParamsBox = std::make_unique<TParamsBox>(
        Handle(), Control(IdMemoParams), [this] { return FApplying; }, [this] { SetModalResult(mrCancel); });
    CreateTooltip();
}

void TFormProps::CreateTooltip()
{
    FTooltip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, Handle(), nullptr,
                               GetModuleHandleW(nullptr), nullptr);
    if (!FTooltip)
        return;
    TTTOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = Handle();
    tool.uId = reinterpret_cast<UINT_PTR>(Control(IdBtnBrowse));
    tool.lpszText = const_cast<wchar_t*>(L"Browse files");
    SendMessageW(FTooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

// ---- Loading ----------------------------------------------------------------------------------

void TFormProps::LoadService()
{
    if (FService)
        LoadInstalled();
    else
        LoadNew();
    const bool adding = FService == nullptr;
    for (int id : {IdEditName, IdComboFile, IdBtnBrowse, IdLabelName, IdLabelFile})
        EnableWindow(Control(id), adding);
    EnableWindow(Control(IdLabelDepend), IsWindowEnabled(Control(IdComboDepend)));
    if (IsWindowEnabled(Control(IdComboFile)))
        BuildExecutableList();
    // The controls follow the enabling rules from the start (showing applies them again).
    RadiosStartupClick();
    ChBoxDefaultAccountClick();
}

void TFormProps::LoadInstalled()
{
    const std::wstring& machine = FCatalogue.MachineName();
    FLoaded = ReadServiceSettings(*FService, machine);
    FExeType = ExeTypeOfFile(FService->FileName());
    SetWindowTextW(Control(IdEditType), ExeTypeName(FExeType).c_str());
    FNameBox.SetText(FService->ServiceName());
    SetWindowTextW(Control(IdComboFile), FService->FileName().c_str());
    if (const LSTATUS refused = machine.empty() ? ERROR_SUCCESS : TMachineRegistry(machine).Status()) {
        // The rest of the service's properties come from its manager, which answers.
        SendMessageW(Control(IdMemoParams), EM_SETREADONLY, TRUE, 0);
        AppMessageBox(Fmt(L"The registry of the computer \"%s\" cannot be reached (%s): the server parameters "
                          L"cannot be shown or changed. The other properties can.",
                          {machine, SysErrorMessage(static_cast<DWORD>(refused))}),
                      FormCaption, MB_ICONWARNING);
    }
    FillDependencies();
    ShowSettings(FLoaded);
}

void TFormProps::ShowSettings(const TServiceSettings& settings)
{
    SetChecked(IdChBoxDefaultAccount, settings.DefaultAccount);
    SetChecked(IdChBoxInteract, settings.Interact);
    SetWindowTextW(Control(IdEditUser), settings.UserName.c_str());
    if (settings.Start)
        SetChecked(StartButtons[static_cast<size_t>(*settings.Start)], true);
    SetChecked(IdChBoxDelayedStart, settings.DelayedStart);
    SetWindowTextW(Control(IdMemoParams), settings.Parameters.c_str());
    if (settings.Dependency)
        SelectDependency(*settings.Dependency);
}

// Selects the service in the Depends on list ("<none>" for an empty name); one that is not
// offered (a service that does not exist) is shown by its stored name.
void TFormProps::SelectDependency(const std::wstring& name)
{
    HWND depend = Control(IdComboDepend);
    LRESULT selected = 0;
    if (!name.empty()) {
        selected = SendMessageW(depend, CB_FINDSTRINGEXACT, 0, reinterpret_cast<LPARAM>(name.c_str()));
        if (selected <= 0)
            selected = SendMessageW(depend, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
    }
    SendMessageW(depend, CB_SETCURSEL, static_cast<WPARAM>(selected), 0);
}

void TFormProps::LoadNew()
{
    SetWindowTextW(Control(IdEditType), ExeTypeName(FExeType).c_str());
    SetChecked(IdRBtnStartAuto, true);
    SetChecked(IdChBoxInteract, true);
    SetChecked(IdChBoxDefaultAccount, true);
    EnableWindow(Control(IdChBoxDefaultAccount), FALSE);
    ShowWindow(Control(IdChBoxDelayedStart), SW_HIDE);
    if (IsAppServerKind(FExeType)) {
        FNameBox.SetText(DefaultServiceName);
        FillDependencies();
        SendMessageW(Control(IdComboDepend), CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    }
}

void TFormProps::FillDependencies()
{
    HWND combo = Control(IdComboDepend);
    SendMessageW(combo, CB_RESETCONTENT, 0, 0);
    SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"<none>"));
    // A service cannot depend on itself, nor on a service that depends on it (directly, through
    // others or through a group): the manager refuses such a circle whole.
    std::vector<const TNtService*> refused;
    if (FService) {
        refused.push_back(FService);
        for (int i = 0; i < FService->DependentByServiceCount(); ++i)
            refused.push_back(FService->GetDependentByService(i));
    }
    auto isRefused = [&](const TNtService* service) {
        return std::any_of(refused.begin(), refused.end(), [&](const TNtService* r) {
            return r == service || CompareStringOrdinal(r->ServiceName().c_str(), -1, service->ServiceName().c_str(),
                                                        -1, TRUE) == CSTR_EQUAL;
        });
    };
    for (int i = 0; i < FCatalogue.ServiceCount(); ++i) {
        const TNtService* service = FCatalogue.GetService(i);
        if (!isRefused(service))
            SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(service->ServiceName().c_str()));
    }
}

void TFormProps::BuildExecutableList()
{
    LoadPathHistory(FPathMem);
    TStringList candidates = NewPathList();
    {
        TBusyCursor busy;
        CollectExecutableCandidates(FExeType, FPathMem, candidates);
    }
    HWND combo = Control(IdComboFile);
    SendMessageW(combo, CB_RESETCONTENT, 0, 0);
    for (const std::wstring& path : candidates.Items())
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(path.c_str()));
    if (candidates.Count() == 1)
        SendMessageW(combo, CB_SETCURSEL, 0, 0);
}

// ---- Showing and closing ----------------------------------------------------------------------

void TFormProps::FormShow()
{
    CentreOnScreen(Handle());
    RadiosStartupClick();
    ChBoxDefaultAccountClick();
    FFocused = GetNextDlgTabItem(Handle(), nullptr, FALSE);
    // The stored size, then the place beside the window the user was working in.
    LoadDialogLayout(*this);
}

void TFormProps::FormClose()
{
    SaveDialogLayout(*this);
    if (!FService)
        GuardedCall([&] { SavePathHistory(FPathMem); });
}

// ---- Enabling rules ---------------------------------------------------------------------------

void TFormProps::RadiosStartupClick()
{
    EnableWindow(Control(IdChBoxDelayedStart),
                 FService && FLoaded.DelayedStartSupported && Checked(IdRBtnStartAuto) ? TRUE : FALSE);
    // Tab reaches the group at its checked button (at Automatic while none is checked), so the
    // focus never rests on a button that Space would check by mistake.
    const int stop = StartButtons[static_cast<size_t>(StartChoice().value_or(TStartChoice::Automatic))];
    for (int id : StartButtons) {
        HWND radio = Control(id);
        LONG_PTR style = GetWindowLongPtrW(radio, GWL_STYLE);
        SetWindowLongPtrW(radio, GWL_STYLE, id == stop ? style | WS_TABSTOP : style & ~WS_TABSTOP);
    }
}

void TFormProps::ChBoxDefaultAccountClick()
{
    // A driver's account field names its driver object: its account controls stay disabled.
    const bool driver = FLoaded.Driver;
    const bool user = FService && !driver && !Checked(IdChBoxDefaultAccount);
    EnableWindow(Control(IdEditUser), user);
    EnableWindow(Control(IdLabelUser), user);
    EnableWindow(Control(IdChBoxInteract), !driver && Checked(IdChBoxDefaultAccount));
    if (driver)
        EnableWindow(Control(IdChBoxDefaultAccount), FALSE);
}

// ---- Browsing, validating, applying -----------------------------------------------------------

void TFormProps::BtnBrowseClick()
{
    const std::wstring filter = BrowseFilter(FExeType);
    std::wstring file = Text(IdComboFile);
    file.resize(std::max<size_t>(file.size() + 1, 32768), L'\0');
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = Handle();
    ofn.lpstrFilter = filter.size() > 1 ? filter.c_str() : nullptr;
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = static_cast<DWORD>(file.size());
    ofn.lpstrTitle = L"Browse file";
    ofn.Flags = OFN_HIDEREADONLY | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_ENABLESIZING | OFN_EXPLORER;
    if (!GetOpenFileNameW(&ofn))
        return;
    const std::wstring picked = file.c_str();
    SetWindowTextW(Control(IdComboFile), picked.c_str());
    AddToPathHistory(FPathMem, HistoryFolderOfFile(picked));
}

// ---- The settings the controls hold ---------------------------------------------------------

TServiceSettings TFormProps::Settings() const
{
    // What the dialog does not edit stays as loaded.
    TServiceSettings settings = FLoaded;
    settings.Start = StartChoice();
    settings.DelayedStartEditable = IsWindowEnabled(Control(IdChBoxDelayedStart)) != FALSE;
    settings.DelayedStart = Checked(IdChBoxDelayedStart);
    settings.Interact = Checked(IdChBoxInteract);
    settings.DefaultAccount = Checked(IdChBoxDefaultAccount);
    settings.UserName = Text(IdEditUser);
    settings.Dependency = DependencySelection();
    settings.Parameters = Text(IdMemoParams);
    return settings;
}

std::optional<std::wstring> TFormProps::DependencySelection() const
{
    HWND combo = Control(IdComboDepend);
    const auto index = SendMessageW(combo, CB_GETCURSEL, 0, 0);
    if (index < 0)
        return std::nullopt;
    if (index == 0)
        return std::wstring();  // "<none>"
    const auto length = SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    std::wstring text(static_cast<size_t>(std::max<LRESULT>(length, 0)) + 1, L'\0');
    SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(std::max<LRESULT>(length, 0)));
    return text;
}

std::optional<TStartChoice> TFormProps::StartChoice() const
{
    for (const TStartChoiceRow& row : StartChoices)
        if (Checked(StartButtons[static_cast<size_t>(row.Choice)]))
            return row.Choice;
    return std::nullopt;
}

// ---- Small helpers ----------------------------------------------------------------------------

void TFormProps::SetChecked(int id, bool checked)
{
    SendMessageW(Control(id), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool TFormProps::Checked(int id) const { return SendMessageW(Control(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }

std::wstring TFormProps::Text(int id) const { return WindowText(Control(id)); }

// ---- Messages ---------------------------------------------------------------------------------

bool TFormProps::PreTranslateMessage(MSG& msg)
{
    TActionList& actions = Actions();
    if (TAction* action = actions.FindShortCut(msg); action && FParamsBox->ShortCutApplies(action->Id, msg.hwnd)) {
        actions.Update();
        // A shortcut whose action is disabled keeps its ordinary meaning (F4 opens a combo box).
        if (action->Enabled) {
            actions.Execute(action->Id);
            return true;
        }
    }
    return TDialogWindow::PreTranslateMessage(msg);
}

LRESULT TFormProps::WndProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (FApplying && (msg == WM_CLOSE || (msg == WM_COMMAND && LOWORD(wParam) == IDCANCEL)))
        return 0;
    switch (msg) {
    case WM_COMMAND: {
        const int id = LOWORD(wParam);
        const int code = HIWORD(wParam);
        if (id == IdEditName && code == EN_CHANGE) {
            FNameBox.Changed();
            return 0;
        }
        if (id == IdEditName && code == EN_SETFOCUS) {
            FNameBox.Entered();
            return 0;
        }
        if (id == IdBtnBrowse && code == BN_CLICKED) {
            BtnBrowseClick();
            return 0;
        }
        if (std::find(std::begin(StartButtons), std::end(StartButtons), id) != std::end(StartButtons) &&
            code == BN_CLICKED) {
            RadiosStartupClick();
            return 0;
        }
        if (id == IdChBoxDefaultAccount && code == BN_CLICKED) {
            ChBoxDefaultAccountClick();
            return 0;
        }
        if (TParamsBox::IsCommand(id) && lParam == 0) {
            Actions().Execute(id);
            return 0;
        }
        break;
    }
    case WM_NEXTDLGCTL:
        // The dialog manager's way to move the focus (a label's accelerator, Tab in a box).
        if (LOWORD(lParam))
            SetFocus(reinterpret_cast<HWND>(wParam));
        else
            SetFocus(GetNextDlgTabItem(Handle(), GetFocus(), wParam ? TRUE : FALSE));
        return 0;
    case WM_GETMINMAXINFO:
        if (FSized) {
            auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
            info->ptMinTrackSize = {Scale(MinWidth), Scale(MinHeight)};
            return 0;
        }
        break;
    default:
        break;
    }
    return TDialogWindow::WndProc(msg, wParam, lParam);
}
