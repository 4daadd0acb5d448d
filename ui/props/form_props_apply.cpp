// The properties dialog's OK: validation, then installing a new service or writing what was
// changed of an installed one, and what is shown when that fails part way.
#include "ui/props/form_props.h"

#include "common/errors.h"
#include "common/finally.h"
#include "common/format.h"
#include "common/text.h"
#include "erp/account_check.h"
#include "erp/file_paths.h"
#include "erp/service_parameters.h"
#include "ui/base/busy.h"
#include "ui/base/message_box.h"
#include "ui/props/form_password.h"
#include "ui/props/installer.h"

#include <algorithm>
#include <vector>

namespace {
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

// The names of every service the manager lists now, in upper case and sorted; none when they
// cannot be listed.
std::optional<std::vector<std::wstring>> ServiceNamesNow(TSCManager& catalogue)
{
    try {
        std::vector<std::wstring> names = catalogue.ServiceNamesNow();
        for (std::wstring& name : names)
            CharUpperBuffW(name.data(), static_cast<DWORD>(name.size()));
        std::sort(names.begin(), names.end());
        return names;
    } catch (const Exception&) {
        return std::nullopt;
    }
}

// A stored dependency as a question names it.
std::wstring DependencyEntryText(const std::wstring& entry)
{
    if (!entry.empty() && entry[0] == SC_GROUP_IDENTIFIERW)
        return Fmt(L"%s (group)", {entry.substr(1)});
    return entry;
}
}  // namespace

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
    if (FService && !FLoaded.Driver) {
        const std::wstring refusal = AccountEntryRefusal({Checked(IdChBoxDefaultAccount), Text(IdEditUser)},
                                                         {FLoaded.DefaultAccount, FLoaded.UserName});
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
    return FService ? Reconfigure() : Install();
}

bool TFormProps::Install()
{
    const std::optional<std::wstring> depend = DependencySelection();
    // Full and canonical, so that the installer taken from its folder is the one beside it.
    TInstallRequest request{FExeType,
                            FullPathName(Text(IdComboFile)),
                            Text(IdEditName),
                            StartChoice().value_or(TStartChoice::Automatic),
                            Checked(IdChBoxInteract),
                            depend && !depend->empty() ? depend : std::nullopt,
                            TextLines(Text(IdMemoParams))};
    const auto command = ComposeInstallCommand(request);
    if (!command)
        return true;
    // With no name to look for ("<default>"), a new service is told by comparing the lists.
    std::optional<std::vector<std::wstring>> before;
    if (!ExpectedServiceName(request))
        before = ServiceNamesNow(FCatalogue);
    // The installer's wait processes messages: meanwhile OK, Cancel and closing are held off.
    FApplying = true;
    TFinally applied([&] { FApplying = false; });
    if (!RunInstaller(*command))
        return false;  // quitting: the dialog ends with the application
    WarnIfNotInstalled(request, before);
    return true;
}

bool TFormProps::Reconfigure()
{
    // Everything is written before anything is shown: the configuration, the delayed start,
    // then "Parameters" in the type it is stored with (an empty box, or one as loaded, leaves
    // the stored value as it is, type and bytes).
    const TServiceSettings edited = Settings();
    const TServiceReconfiguration change = ReconfigurationOf(FLoaded, edited);
    const bool writeParameters = !edited.Parameters.empty() && edited.Parameters != FLoaded.Parameters;
    if (change.Empty() && !writeParameters)
        return true;
    // A service deleted since the dialog opened gets nothing written, "Parameters" included.
    const std::wstring& name = FService->ServiceName();
    if (!FCatalogue.ServiceExists(name)) {
        AppMessageBox(Fmt(L"The service \"%s\" no longer exists: nothing was changed.", {name}), FormCaption,
                      MB_ICONERROR);
        return false;
    }
    // A driver's account is never written.
    const std::wstring& computer = FCatalogue.MachineName();
    if (const std::wstring unknown = FLoaded.Driver ? std::wstring() : UnknownAccountRefusal(*FAccountRights, computer, change);
        !unknown.empty()) {
        AppMessageBox(unknown, FormCaption, MB_ICONERROR);
        return false;
    }
    if (!ConfirmDroppedDependencies(edited))
        return false;
    TPasswordPrompt prompt = FPasswordPrompt;
    if (!prompt)
        prompt = [](std::wstring& password) { return AskAccountPassword(password, FormCaption); };
    TReconfigurationProgress progress;
    bool parametersWritten = false;
    try {
        if (!FService->Reconfigure(change, prompt, &progress))
            return false;
        if (writeParameters) {
            const DWORD type = FLoaded.ParametersType == REG_NONE ? REG_SZ : FLoaded.ParametersType;
            WriteServiceParameters(name, edited.Parameters, FCatalogue.MachineName(), type);
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
    if (progress.ConfigurationWritten && !FLoaded.Driver) {
        const TLogonRightGrant grant = GrantLogonRight(*FAccountRights, computer, change);
        if (!grant.Failure.empty())
            AppMessageBox(grant.Failure, FormCaption, MB_ICONWARNING);
        message = WithLine(message, grant.Granted);
    }
    if (!message.empty())
        AppMessageBox(message, FormCaption, MB_ICONINFORMATION);
    return true;
}

bool TFormProps::ConfirmDroppedDependencies(const TServiceSettings& edited)
{
    const std::vector<std::wstring> dropped = UnshownDependenciesDropped(FLoaded, edited);
    if (dropped.empty())
        return true;
    std::wstring names;
    for (const std::wstring& entry : dropped)
        names += (names.empty() ? L"" : L"\r\n") + DependencyEntryText(entry);
    return AppMessageBox(Fmt(L"The new dependency replaces all others. These dependencies are not shown and will be "
                             L"removed too. Continue?\r\n\r\n%s",
                             {names}),
                         FormCaption, MB_YESNOCANCEL | MB_ICONQUESTION) == IDYES;
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
    const std::optional<std::vector<std::wstring>> after = ServiceNamesNow(FCatalogue);
    if (!after)
        return;
    for (const std::wstring& name : *after)
        if (!std::binary_search(before->begin(), before->end(), name))
            return;
    AppMessageBox(L"The installer ended without an error, but no new service was found.", FormCaption, MB_ICONWARNING);
}
