// The service properties dialog: adds a service of a chosen kind by running its installer, or
// changes an installed one (start type, delayed start, account, interaction, one dependency)
// and stores its server parameters. Name and executable can only be set for a new service.
#pragma once

#include "ui/base/gui_handle.h"
#include "common/strings.h"
#include "erp/change_config.h"
#include "services/account_rights.h"
#include "erp/exe_type.h"
#include "erp/install_command.h"
#include "erp/service_settings.h"
#include "services/sc_manager.h"
#include "ui/base/actions.h"
#include "ui/base/dialog_window.h"
#include "ui/props/params_box.h"
#include "ui/props/service_name_box.h"

#include <commctrl.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

class TFormProps : public TDialogWindow {
public:
    static constexpr const wchar_t* ClassName = L"TFormProps";
    static constexpr const wchar_t* FormCaption = L"Service properties";
    static constexpr int DesignClientWidth = 723;
    static constexpr int DesignClientHeight = 375;
    static constexpr int MinWidth = 478;
    static constexpr int MinHeight = 414;

    enum : int {
        IdImage1 = 100,
        IdLabelType,
        IdEditType,
        IdLabelName,
        IdEditName,
        IdLabelFile,
        IdComboFile,
        IdBtnBrowse,
        IdGroupBoxStartup,
        IdRBtnStartAuto,
        IdRBtnStartManual,
        IdRBtnStartDisabled,
        IdChBoxDelayedStart,
        IdGroupBoxAccount,
        IdChBoxDefaultAccount,
        IdLabelUser,
        IdEditUser,
        IdChBoxInteract,
        IdLabelParams,
        IdMemoParams,
        IdLabelDepend,
        IdComboDepend,
        IdBtnOk = IDOK,
        IdBtnCancel = IDCANCEL,
    };
    // The edit commands' ids (ActEditUndo ... ActOpenFile), which come as the dialog's commands.
    using enum TParamsBox::TCommand;

    // catalogue: the main window's, whose services the Depends on list offers. service: the
    // edited record (not owned), or null to add a service of kind.
    TFormProps(TSCManager& catalogue, TNtService* service, TExeType kind);
    ~TFormProps() override;

    // Fills the controls from the service, or for a new service of the kind; raises when the
    // service cannot be read.
    void LoadService();
    void FillDependencies();
    bool ValidateInput();
    // False when the password prompt was cancelled (nothing changed); raises on failure.
    bool ApplyChanges();

    TExeType ExeType() const { return FExeType; }
    // The User name box's text as loaded (empty for LocalSystem).
    const std::wstring& OldUserName() const { return FLoaded.UserName; }
    const TStringList& PathMem() const { return FPathMem; }
    // The edit commands (TParamsBox).
    TActionList& Actions() { return FParamsBox->Actions(); }
    // The Parameters box's context menu.
    HMENU ParamsMenu() const { return FParamsBox->Menu(); }
    // The settings as the controls hold them now.
    TServiceSettings Settings() const;
    // Replaces the password prompt (tests); an empty one restores the real prompt.
    void SetPasswordPrompt(TPasswordPrompt prompt) { FPasswordPrompt = std::move(prompt); }
    // Replaces the accounts of the service's computer (tests); the system's by default.
    void SetAccountRights(IAccountRights& rights) { FAccountRights = &rights; }
    HWND Item(int id) const { return Control(id); }

    bool PreTranslateMessage(MSG& msg) override;

protected:
    LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void FormShow() override;
    void FormClose() override;

private:
    void FormCreate();
    void CreateTooltip();
    void LoadInstalled();
    void LoadNew();
    void ShowSettings(const TServiceSettings& settings);
    void SelectDependency(const std::wstring& name);
    std::optional<std::wstring> DependencySelection() const;
    void BuildExecutableList();
    void RadiosStartupClick();
    void ChBoxDefaultAccountClick();
    void BtnBrowseClick();
    void BtnOkClick() override;
    bool Install();
    bool Reconfigure();
    // Asks before a changed Depends on removes dependencies the dialog did not show.
    bool ConfirmDroppedDependencies(const TServiceSettings& edited);
    void WarnIfNotInstalled(const TInstallRequest& request, const std::optional<std::vector<std::wstring>>& before);
    void SetChecked(int id, bool checked);
    bool Checked(int id) const;
    std::wstring Text(int id) const;
    // The checked start button; none while none is (a boot or system start loaded).
    std::optional<TStartChoice> StartChoice() const;

    TSCManager& FCatalogue;
    TNtService* FService;
    TExeType FExeType;
    TStringList FPathMem;
    // The edited service's settings as read when the dialog opened (defaults for a new one); OK
    // writes what differs from them.
    TServiceSettings FLoaded;
    TServiceNameBox FNameBox{FormCaption};
    // OK waits for the installer in a loop of its own: the dialog is not closed or applied
    // again meanwhile.
    bool FApplying = false;
    std::unique_ptr<TParamsBox> FParamsBox;  // made once the Parameters box exists
    HWND FTooltip = nullptr;  // owned by the window
    bool FSized = false;
    TPasswordPrompt FPasswordPrompt;
    IAccountRights* FAccountRights = &SystemAccountRights();
};
