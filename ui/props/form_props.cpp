// The properties dialog: its controls, loading, the enabling rules, validation and applying.
// The Service name box filters its own text (TServiceNameBox); the Parameters box has its own
// keys and context menu, with the dialog's edit commands (TParamsBox).
#include "ui/props/form_props.h"

#include "common/errors.h"
#include "common/finally.h"
#include "common/format.h"
#include "common/text.h"
#include "services/sc_buffer.h"
#include "erp/account_check.h"
#include "erp/executables.h"
#include "erp/file_paths.h"
#include "erp/install_command.h"
#include "erp/service_parameters.h"
#include "ui/base/application.h"
#include "ui/base/busy.h"
#include "ui/base/layout.h"
#include "ui/base/message_box.h"
#include "ui/props/form_password.h"
#include "ui/props/installer.h"
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

// A failure after part of the change was written: the error, then what is in force and what
// is not.
std::wstring PartlyAppliedText(const std::wstring& error, const TServiceReconfiguration& change,
                               const TReconfigurationProgress& progress, bool parameters)
{
    std::vector<std::wstring> made, notMade;
    auto add = [&](bool wanted, bool done, const wchar_t* what) {
        if (wanted)
            (done ? made : notMade).emplace_back(what);
    };
    const bool configuration = progress.ConfigurationWritten;
    add(change.StartType.has_value(), configuration, L"start type");
    add(change.Account != TAccountChange::Unchanged, configuration, L"account");
    add(change.Interact.has_value() && change.Account == TAccountChange::Unchanged, configuration,
        L"desktop interaction");
    add(change.Dependencies.has_value(), configuration, L"dependency");
    add(change.DelayedStart.has_value(), progress.DelayedStartWritten, L"delayed start");
    add(parameters, false, L"parameters");
    auto join = [](const std::vector<std::wstring>& items) {
        std::wstring text;
        for (const std::wstring& item : items)
            text += (text.empty() ? L"" : L", ") + item;
        return text.empty() ? std::wstring(L"none") : text;
    };
    return Fmt(L"%s\n\nChanges made: %s.\nChanges not made: %s.", {error, join(made), join(notMade)});
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
    if (CompareStringOrdinal(FService->ServiceStartName().c_str(), -1, L"LocalSystem", -1, TRUE) == CSTR_EQUAL) {
        SetChecked(IdChBoxDefaultAccount, true);
        SetChecked(IdChBoxInteract, FService->ServiceTypes().Contains(stInteractiveProcess));
    } else {
        SetChecked(IdChBoxDefaultAccount, false);
        SetChecked(IdChBoxInteract, false);
        SetWindowTextW(Control(IdEditUser), FService->ServiceStartName().c_str());
    }
    FOldUserName = Text(IdEditUser);
    // A driver's account field names its driver object: nothing there is written.
    FDriver = FService->ServiceTypes().Contains(stKernelDriver) || FService->ServiceTypes().Contains(stFileSystemDriver) ||
              FService->ServiceTypes().Contains(stAdapter) || FService->ServiceTypes().Contains(stRecognizerDriver);

    FExeType = ExeTypeOfFile(FService->FileName());
    SetWindowTextW(Control(IdEditType), ExeTypeName(FExeType).c_str());
    FNameBox.SetText(FService->ServiceName());
    SetWindowTextW(Control(IdComboFile), FService->FileName().c_str());

    if (const std::optional<TStartChoice> start = StartChoiceOf(FService->StartType()))
        SetChecked(StartButtons[static_cast<size_t>(*start)], true);
    const bool delayed = ReadDelayedStart();
    SetChecked(IdChBoxDelayedStart, FService->StartType() == sstAuto && delayed);

    const std::wstring& machine = FCatalogue.MachineName();
    if (const LSTATUS refused = machine.empty() ? ERROR_SUCCESS : TMachineRegistry(machine).Status()) {
        // The rest of the service's properties come from its manager, which answers.
        SendMessageW(Control(IdMemoParams), EM_SETREADONLY, TRUE, 0);
        AppMessageBox(Fmt(L"The registry of the computer \"%s\" cannot be reached (%s): the server parameters "
                          L"cannot be shown or changed. The other properties can.",
                          {machine, SysErrorMessage(static_cast<DWORD>(refused))}),
                      FormCaption, MB_ICONWARNING);
    }
    SetWindowTextW(Control(IdMemoParams),
                   BoxLineBreaks(ReadServiceParameters(FService->ServiceName(), machine)).c_str());
    // What the box shows as loaded (up to a NUL stored inside the value): an OK writes the value
    // only when the text differs from it.
    FLoadedParams = Text(IdMemoParams);

    FillDependencies();
    // The first service it depends on; one that does not exist is shown by its stored name.
    std::wstring first;
    if (FService->DependentServiceCount() > 0) {
        first = FService->GetDependentService(0)->ServiceName();
    } else {
        for (const std::wstring& entry : FService->StoredDependencies())
            if (entry[0] != SC_GROUP_IDENTIFIERW) {
                first = entry;
                break;
            }
    }
    HWND depend = Control(IdComboDepend);
    LRESULT selected = 0;
    if (!first.empty()) {
        selected = SendMessageW(depend, CB_FINDSTRINGEXACT, 0, reinterpret_cast<LPARAM>(first.c_str()));
        if (selected <= 0)
            selected = SendMessageW(depend, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(first.c_str()));
    }
    SendMessageW(depend, CB_SETCURSEL, static_cast<WPARAM>(selected), 0);
    FLoadedDependIndex = static_cast<int>(selected);
    // What OK compares against: only controls changed from these are written.
    FLoaded = ConfigChoice();
}

// The service's delayed-start setting. A system without the delayed-start level counts as not
// delayed, and the box then stays disabled.
bool TFormProps::ReadDelayedStart()
{
    const std::optional<bool> delayed = FService->DelayedStart();
    FDelayedStartSupported = delayed.has_value();
    return delayed.value_or(false);
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
    // A service cannot depend on itself: the edited one is not offered.
    for (int i = 0; i < FCatalogue.ServiceCount(); ++i) {
        const std::wstring& name = FCatalogue.GetService(i)->ServiceName();
        if (!FService || CompareStringOrdinal(name.c_str(), -1, FService->ServiceName().c_str(), -1, TRUE) != CSTR_EQUAL)
            SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
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
                 FService && FDelayedStartSupported && Checked(IdRBtnStartAuto) ? TRUE : FALSE);
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
    const bool user = FService && !FDriver && !Checked(IdChBoxDefaultAccount);
    EnableWindow(Control(IdEditUser), user);
    EnableWindow(Control(IdLabelUser), user);
    EnableWindow(Control(IdChBoxInteract), !FDriver && Checked(IdChBoxDefaultAccount));
    if (FDriver)
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

bool TFormProps::ValidateInput()
{
    if (IsWindowEnabled(Control(IdEditName))) {
        const std::wstring name = Text(IdEditName);
        if (name.empty()) {
            AppMessageBox(L"Service name cannot by empty.", FormCaption, MB_ICONERROR);
            return false;
        }
        if (name != DefaultServiceName && !IsValidServiceName(name)) {
            AppMessageBox(L"Service name may only hold the letters A to Z, the digits 0 to 9 and \"_\", at most 256 "
                          L"characters.",
                          FormCaption, MB_ICONERROR);
            return false;
        }
    }
    if (IsWindowEnabled(Control(IdComboFile))) {
        const std::wstring file = Text(IdComboFile);
        if (!IsFile(file) || file.find_first_of(L"\\:") == std::wstring::npos) {
            AppMessageBox(L"Executable file does not exist.", FormCaption, MB_ICONERROR);
            return false;
        }
    }
    // The account is checked before its password is asked for and before anything is written.
    if (FService && !FDriver) {
        const std::wstring refusal = AccountEntryRefusal({Checked(IdChBoxDefaultAccount), Text(IdEditUser)},
                                                         {FLoaded.DefaultAccount, FOldUserName});
        if (!refusal.empty()) {
            AppMessageBox(refusal, FormCaption, MB_ICONERROR);
            return false;
        }
    }
    return true;
}

bool TFormProps::ApplyChanges()
{
    TBusyCursor busy;
    if (!FService) {
        const int depend = static_cast<int>(SendMessageW(Control(IdComboDepend), CB_GETCURSEL, 0, 0));
        // Full and canonical, so that the installer taken from its folder is the one beside it.
        TInstallRequest request{FExeType,
                                FullPathName(Text(IdComboFile)),
                                Text(IdEditName),
                                StartChoice().value_or(TStartChoice::Automatic),
                                Checked(IdChBoxInteract),
                                depend > 0 ? std::optional<std::wstring>(ConfigChoice().DependText) : std::nullopt,
                                TextLines(Text(IdMemoParams))};
        const auto command = ComposeInstallCommand(request);
        if (!command)
            return true;
        // With no name to look for ("<default>"), a new service is told by comparing the lists.
        std::optional<std::vector<std::wstring>> before;
        if (!ExpectedServiceName(request))
            before = ServiceNamesNow();
        // The installer's wait processes messages: meanwhile OK, Cancel and closing are held off.
        FApplying = true;
        TFinally applied([&] { FApplying = false; });
        if (!RunInstaller(*command))
            return false;  // quitting: the dialog ends with the application
        WarnIfNotInstalled(request, before);
        return true;
    }
    TPasswordPrompt prompt = FPasswordPrompt;
    if (!prompt)
        prompt = [](std::wstring& password) { return AskAccountPassword(password, FormCaption); };
    // Everything is written before anything is shown: the configuration, the delayed start,
    // then "Parameters" (an empty box, or one as loaded, leaves the stored value as it is,
    // type and bytes).
    const TConfigChoice choice = ConfigChoice();
    const TServiceReconfiguration change = ReconfigurationOf(choice);
    // A driver's account is never written.
    const std::wstring& computer = FCatalogue.MachineName();
    if (const std::wstring unknown = FDriver ? std::wstring() : UnknownAccountRefusal(*FAccountRights, computer, change);
        !unknown.empty()) {
        AppMessageBox(unknown, FormCaption, MB_ICONERROR);
        return false;
    }
    const std::wstring parameters = Text(IdMemoParams);
    const bool writeParameters = !parameters.empty() && parameters != FLoadedParams;
    TReconfigurationProgress progress;
    bool parametersWritten = false;
    try {
        if (!FService->Reconfigure(change, prompt, &progress))
            return false;
        if (writeParameters) {
            WriteServiceParameters(FService->ServiceName(), parameters, FCatalogue.MachineName());
            parametersWritten = true;
        }
    } catch (const Exception& e) {
        if (!progress.ConfigurationWritten && !progress.DelayedStartWritten)
            throw;
        throw Exception(PartlyAppliedText(e.Message(), change, progress, writeParameters));
    }
    const bool written = progress.ConfigurationWritten || progress.DelayedStartWritten || parametersWritten;
    std::wstring message;
    if (written && FService->ServiceState() == ssRunning)
        message = L"The new configuration will take effect as soon as the service is stopped.";
    if (progress.ConfigurationWritten && !FDriver) {
        const TLogonRightGrant grant = GrantLogonRight(*FAccountRights, computer, change);
        if (!grant.Failure.empty())
            AppMessageBox(grant.Failure, FormCaption, MB_ICONWARNING);
        message = WithLine(message, grant.Granted);
    }
    if (!message.empty())
        AppMessageBox(message, FormCaption, MB_ICONINFORMATION);
    return true;
}

void TFormProps::BtnOkClick()
{
    if (!FApplying && ValidateInput() && ApplyChanges())
        SetModalResult(mrOk);
}

// The installers tell success only by their exit code: a service that did not appear is named
// in a warning (the main window still rebuilds its list as after a success). Without a name
// to look for, a list of the services that gained none tells it.
void TFormProps::WarnIfNotInstalled(const TInstallRequest& request,
                                    const std::optional<std::vector<std::wstring>>& before)
{
    if (const std::optional<std::wstring> expected = ExpectedServiceName(request)) {
        if (!FCatalogue.ServiceExists(*expected))
            AppMessageBox(Fmt(L"The installer ended without an error, but the service \"%s\" was not found.", {*expected}),
                          FormCaption, MB_ICONWARNING);
        return;
    }
    if (!before)
        return;
    const std::optional<std::vector<std::wstring>> after = ServiceNamesNow();
    if (!after)
        return;
    for (const std::wstring& name : *after)
        if (!std::binary_search(before->begin(), before->end(), name))
            return;
    AppMessageBox(L"The installer ended without an error, but no new service was found.", FormCaption, MB_ICONWARNING);
}

// The names of every service the manager lists now, in upper case and sorted; none when they
// cannot be listed.
std::optional<std::vector<std::wstring>> TFormProps::ServiceNamesNow()
{
    try {
        FCatalogue.Active(true);
        IServiceControlManager& scm = FCatalogue.Scm();
        std::vector<BYTE> buffer(64 * 1024);
        std::vector<std::wstring> names;
        ForEachListedService(scm, FCatalogue.Handle(), SERVICE_TYPE_ALL, buffer, [&](const ENUM_SERVICE_STATUSW& entry) {
            std::wstring name = entry.lpServiceName ? entry.lpServiceName : L"";
            CharUpperBuffW(name.data(), static_cast<DWORD>(name.size()));
            names.push_back(std::move(name));
            return true;
        });
        std::sort(names.begin(), names.end());
        return names;
    } catch (const Exception&) {
        return std::nullopt;
    }
}

TConfigChoice TFormProps::ConfigChoice() const
{
    TConfigChoice choice;
    choice.Start = StartChoice();
    choice.DelayedStartEnabled = IsWindowEnabled(Control(IdChBoxDelayedStart)) != FALSE;
    choice.DelayedStart = Checked(IdChBoxDelayedStart);
    choice.Interact = Checked(IdChBoxInteract);
    HWND combo = Control(IdComboDepend);
    choice.DependIndex = static_cast<int>(SendMessageW(combo, CB_GETCURSEL, 0, 0));
    choice.DependChanged = !FLoadedDependIndex || choice.DependIndex != *FLoadedDependIndex;
    if (choice.DependIndex >= 0) {
        const auto length = SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(choice.DependIndex), 0);
        if (length > 0) {
            choice.DependText.assign(static_cast<size_t>(length) + 1, L'\0');
            SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(choice.DependIndex),
                         reinterpret_cast<LPARAM>(choice.DependText.data()));
            choice.DependText.resize(static_cast<size_t>(length));
        }
    }
    choice.DefaultAccount = Checked(IdChBoxDefaultAccount);
    choice.UserName = Text(IdEditUser);
    choice.OldUserName = FOldUserName;
    choice.LoadedStart = FLoaded.Start;
    choice.LoadedDelayedStart = FLoaded.DelayedStart;
    choice.LoadedInteract = FLoaded.Interact;
    choice.LoadedDefaultAccount = FLoaded.DefaultAccount;
    return choice;
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
    if (TAction* action = actions.FindShortCut(msg)) {
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
