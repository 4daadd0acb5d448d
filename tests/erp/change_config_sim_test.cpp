// Reconfiguring an installed service over the simulated manager: the exact arguments of the one
// ChangeServiceConfigW call for every account case, interaction, user name edit, dependency and
// start choice, the delayed-start write, the password prompt, and what a failure leaves.
#include "common/errors.h"
#include "erp/change_config.h"
#include "services/sc_manager.h"
#include "services/scm_api.h"
#include "tests/sim_scm/sim_scm.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {
constexpr DWORD Own = SERVICE_WIN32_OWN_PROCESS;
constexpr DWORD Interactive = SERVICE_WIN32_OWN_PROCESS | SERVICE_INTERACTIVE_PROCESS;
const std::optional<std::wstring> Null;  // a null pointer argument

// The dialog's settings as loaded and as OK finds them.
struct TDialogChoice {
    TServiceSettings Loaded;
    TServiceSettings Edited;
};

struct TCase {
    const char* Name;
    // The service as stored.
    DWORD Type = Own;
    std::wstring StartName = L"LocalSystem";
    // The dialog.
    TDialogChoice Choice;
    // The prompt's answer: none cancels it.
    std::optional<std::wstring> Password = std::nullopt;
    // What the manager must receive (Called false: no call at all).
    bool Called = true;
    bool Result = true;
    DWORD ExpectType = SERVICE_NO_CHANGE;
    DWORD ExpectStart = SERVICE_NO_CHANGE;
    std::optional<std::wstring> ExpectStartName = Null;
    std::optional<std::wstring> ExpectPassword = Null;
    std::optional<std::wstring> ExpectDependencies = Null;  // as the manager read it: each name and a NUL
    int ExpectPrompts = 0;
};

// The dialog as loaded for a service with that account, interaction and start, nothing edited.
TDialogChoice Loaded(bool defaultAccount, const std::wstring& user, bool interact,
                     std::optional<TStartChoice> start = TStartChoice::Manual)
{
    TServiceSettings loaded;
    loaded.Start = start;
    loaded.Interact = interact;
    loaded.Dependency = L"Db";
    loaded.StoredDependencies = {L"Db", L"+Group"};
    loaded.DefaultAccount = defaultAccount;
    loaded.UserName = user;
    return {loaded, loaded};
}

// The choice with the edit made to the dialog's settings.
template <typename F>
TDialogChoice Edited(TDialogChoice c, F&& edit)
{
    edit(c.Edited);
    return c;
}

// The Depends on choice: a service, "" for "<none>", none for no selection.
TDialogChoice WithDependency(TDialogChoice c, std::optional<std::wstring> dependency)
{
    c.Edited.Dependency = std::move(dependency);
    return c;
}

TDialogChoice NewUser(TDialogChoice c, const std::wstring& user)
{
    c.Edited.DefaultAccount = false;
    c.Edited.UserName = user;
    return c;
}

std::wstring OneDependency(const std::wstring& name) { return name + L'\0'; }

class ChangeConfigSim : public testing::Test {
protected:
    ChangeConfigSim()
    {
        TSimService s = SimService(L"Svc");
        s.DisplayName = L"The Service";
        s.ErrorControl = SERVICE_ERROR_SEVERE;
        s.StartType = SERVICE_DEMAND_START;
        s.Dependencies = {L"Db", L"+Group"};
        Sim.AddService(s);
        Sim.AddService(SimService(L"Db"));
        Sim.AddService(SimService(L"Net"));
        Catalogue = std::make_unique<TSCManager>(L"", SC_MANAGER_ALL_ACCESS, L"ServicesActive", Sim);
        Catalogue->Refresh(true);
    }

    // Reconfigures Svc's record as the dialog's OK does.
    bool Run(const TDialogChoice& choice, std::optional<std::wstring> answer = std::wstring())
    {
        TNtService* record = nullptr;
        Catalogue->FindService(L"Svc", record);
        return record->Reconfigure(
            ReconfigurationOf(choice.Loaded, choice.Edited),
            [&](std::wstring& password) {
                ++Prompts;
                if (!answer)
                    return false;
                password = *answer;
                return true;
            },
            &Progress);
    }

    std::wstring RunError(const TDialogChoice& choice)
    {
        try {
            Run(choice);
        } catch (const EOSError& e) {
            return std::to_wstring(e.ErrorCode());
        }
        return L"(no error)";
    }

    TSimServiceControlManager Sim;
    std::unique_ptr<TSCManager> Catalogue;
    int Prompts = 0;
    TReconfigurationProgress Progress;
};

// Only what the user changed is written; an unedited OK writes nothing at all.
TEST_F(ChangeConfigSim, PassesOnlyWhatWasChanged)
{
    const std::wstring user = L".\\svcuser";
    const TDialogChoice system = Loaded(true, L"", false);
    const TDialogChoice account = Loaded(false, user, false);
    const TCase cases[] = {
        {.Name = "LocalSystem, nothing edited", .Choice = system, .Called = false},
        {.Name = "user account, nothing edited", .StartName = user, .Choice = account, .Called = false},
        {.Name = "boot start, nothing edited",
         .Choice = Loaded(true, L"", false, std::nullopt),
         .Called = false},
        // Interact left checked but disabled under a user account (Default checked and
        // unchecked again) never sends the interactive flag with that account.
        {.Name = "disabled Interact under a user account",
         .StartName = user,
         .Choice = Edited(account, [](TServiceSettings& c) { c.Interact = true; }),
         .Called = false},
        {.Name = "start type only, user account with a stale Interact",
         .StartName = user,
         .Choice = Edited(account,
                          [](TServiceSettings& c) {
                              c.Interact = true;
                              c.Start = TStartChoice::Disabled;
                          }),
         .ExpectStart = SERVICE_DISABLED},
        {.Name = "start type only",
         .Choice = Edited(system, [](TServiceSettings& c) { c.Start = TStartChoice::Automatic; }),
         .ExpectStart = SERVICE_AUTO_START},
        {.Name = "interaction only",
         .Choice = Edited(system, [](TServiceSettings& c) { c.Interact = true; }),
         .ExpectType = Interactive},
        {.Name = "interaction cleared",
         .Type = Interactive,
         .Choice = Edited(Loaded(true, L"", true), [](TServiceSettings& c) { c.Interact = false; }),
         .ExpectType = Own},
        // Account rule a: Default checked.
        {.Name = "default wins over a typed user",
         .StartName = user,
         .Choice = Edited(account,
                          [](TServiceSettings& c) {
                              c.DefaultAccount = true;
                              c.UserName = L".\\other";
                          }),
         .ExpectType = Own,
         .ExpectStartName = L"LocalSystem"},
        {.Name = "default with interaction",
         .StartName = user,
         .Choice = Edited(account,
                          [](TServiceSettings& c) {
                              c.DefaultAccount = true;
                              c.Interact = true;
                          }),
         .ExpectType = Interactive,
         .ExpectStartName = L"LocalSystem"},
        // Rule b: a user name of blanks and control characters only names no account: never
        // LocalSystem without Default (the dialog refuses it; the account stays).
        {.Name = "emptied user name", .StartName = user, .Choice = NewUser(account, L""), .Called = false},
        {.Name = "blank user name", .StartName = user, .Choice = NewUser(account, L" \t "), .Called = false},
        {.Name = "blank user name with a start type",
         .StartName = user,
         .Choice = Edited(NewUser(account, L"   "), [](TServiceSettings& c) { c.Start = TStartChoice::Disabled; }),
         .ExpectStart = SERVICE_DISABLED},
        {.Name = "Default unchecked, blank user name", .Choice = NewUser(system, L"   "), .Called = false},
        // Rule c: a changed user name asks for the password and clears the interaction.
        {.Name = "new account clears a stored interaction",
         .Type = Interactive,
         .Choice = NewUser(Loaded(true, L"", true), user),
         .Password = L"secret",
         .ExpectType = Own,
         .ExpectStartName = user,
         .ExpectPassword = L"secret",
         .ExpectPrompts = 1},
        {.Name = "letter case only counts as a change",
         .StartName = user,
         .Choice = NewUser(account, L".\\SvcUser"),
         .Password = L"pw",
         .ExpectType = Own,
         .ExpectStartName = L".\\SvcUser",
         .ExpectPassword = L"pw",
         .ExpectPrompts = 1},
        {.Name = "surrounding blanks are no change",
         .StartName = user,
         .Choice = NewUser(account, L" .\\svcuser\t"),
         .Called = false},
        {.Name = "a new name is passed trimmed",
         .StartName = user,
         .Choice = NewUser(account, L"  .\\other "),
         .Password = L"",
         .ExpectType = Own,
         .ExpectStartName = L".\\other",
         .ExpectPassword = L"",
         .ExpectPrompts = 1},
        {.Name = "prompt cancelled",
         .Choice = NewUser(system, user),
         .Called = false,
         .Result = false,
         .ExpectPrompts = 1},
        // Built-in accounts: no prompt, passed by their own names; the service accounts take the
        // empty password, virtual and managed accounts none at all.
        {.Name = "LocalSystem typed with .\\",
         .StartName = user,
         .Choice = NewUser(account, L".\\LOCALSYSTEM"),
         .ExpectType = Own,
         .ExpectStartName = L"LocalSystem"},
        {.Name = "LocalSystem by its NT AUTHORITY name",
         .StartName = user,
         .Choice = NewUser(account, L"NT AUTHORITY\\SYSTEM"),
         .ExpectType = Own,
         .ExpectStartName = L"LocalSystem"},
        {.Name = "bare local service",
         .Choice = NewUser(system, L"LocalService"),
         .ExpectType = Own,
         .ExpectStartName = L"NT AUTHORITY\\LocalService",
         .ExpectPassword = L""},
        {.Name = "virtual account",
         .Choice = NewUser(system, L"NT SERVICE\\Svc"),
         .ExpectType = Own,
         .ExpectStartName = L"NT SERVICE\\Svc"},
        {.Name = "managed service account",
         .Type = Interactive,
         .Choice = NewUser(Loaded(true, L"", true), L"CORP\\erpsvc$"),
         .ExpectType = Own,
         .ExpectStartName = L"CORP\\erpsvc$"},
        {.Name = "LocalSystem typed for LocalSystem", .Choice = NewUser(system, L"localsystem"), .Called = false},
        {.Name = "local service",
         .Choice = NewUser(system, L"NT AUTHORITY\\LocalService"),
         .ExpectType = Own,
         .ExpectStartName = L"NT AUTHORITY\\LocalService",
         .ExpectPassword = L""},
        {.Name = "network service in other letter case",
         .Type = Interactive,
         .Choice = NewUser(Loaded(true, L"", true), L"nt authority\\networkservice"),
         .ExpectType = Own,
         .ExpectStartName = L"NT AUTHORITY\\NetworkService",
         .ExpectPassword = L""},
        // Dependencies: a changed selection replaces all; "<none>" and no selection empty it.
        {.Name = "one dependency",
         .Choice = WithDependency(system, L"Net"),
         .ExpectDependencies = OneDependency(L"Net")},
        {.Name = "none", .Choice = WithDependency(system, L""), .ExpectDependencies = L""},
        {.Name = "no selection", .Choice = WithDependency(system, std::nullopt), .ExpectDependencies = L""},
        // Drivers keep type, account and password.
        {.Name = "driver with a start type",
         .Type = SERVICE_KERNEL_DRIVER,
         .StartName = L"",
         .Choice = Edited(Loaded(false, L"", false), [](TServiceSettings& c) { c.Start = TStartChoice::Disabled; }),
         .ExpectStart = SERVICE_DISABLED},
        {.Name = "file system driver with a new account",
         .Type = SERVICE_FILE_SYSTEM_DRIVER,
         .StartName = L"\\FileSystem\\Fs",
         .Choice = NewUser(Loaded(false, L"\\FileSystem\\Fs", false), L".\\user")},
        {.Name = "adapter set to default",
         .Type = SERVICE_ADAPTER,
         .StartName = L"\\Driver\\Ad",
         .Choice = Edited(Loaded(false, L"\\Driver\\Ad", false), [](TServiceSettings& c) { c.DefaultAccount = true; })},
    };
    Sim.AddAccount(L".\\svcuser");
    Sim.AddAccount(L"other");
    Sim.AddAccount(L"CORP\\erpsvc$");
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        Sim.Update(L"Svc", [&](TSimService& s) {
            s.ServiceType = c.Type;
            s.StartName = c.StartName;
        });
        const size_t before = Sim.ChangeConfigCalls().size();
        Prompts = 0;
        EXPECT_EQ(Run(c.Choice, c.Password), c.Result);
        EXPECT_EQ(Prompts, c.ExpectPrompts);
        const auto calls = Sim.ChangeConfigCalls();
        ASSERT_EQ(calls.size(), before + (c.Called ? 1 : 0));
        if (!c.Called)
            continue;
        const TSimChangeConfig& call = calls.back();
        EXPECT_EQ(call.Service, L"Svc");
        EXPECT_EQ(call.ServiceType, c.ExpectType);
        EXPECT_EQ(call.StartType, c.ExpectStart);
        EXPECT_EQ(call.ErrorControl, static_cast<DWORD>(SERVICE_ERROR_SEVERE));
        EXPECT_EQ(call.BinaryPath, Null);
        EXPECT_EQ(call.LoadOrderGroup, Null);
        EXPECT_FALSE(call.TagGiven);
        EXPECT_EQ(call.Dependencies, c.ExpectDependencies);
        EXPECT_EQ(call.StartName, c.ExpectStartName);
        EXPECT_EQ(call.Password, c.ExpectPassword);
        EXPECT_EQ(call.DisplayName, Null) << "the display name is left as stored";
    }
    EXPECT_EQ(Sim.CallCount(TSimCall::ChangeServiceConfig2), 0) << "the Delayed start box was disabled";
}

TEST_F(ChangeConfigSim, WritesDelayedStartOnlyWhenTheBoxIsEnabledAndChanged)
{
    const struct {
        const char* Name;
        bool Enabled, Checked, Stored;
        bool ExpectDelayed;
        int ExpectWrites;
    } cases[] = {
        {"enabled, checked", true, true, false, true, 1},
        {"enabled, unchecked", true, false, true, false, 1},
        {"enabled, as loaded", true, true, true, true, 0},
        {"disabled leaves it", false, false, true, true, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        Sim.Update(L"Svc", [&](TSimService& s) { s.DelayedAutoStart = c.Stored; });
        const int before = Sim.CallCount(TSimCall::ChangeServiceConfig2);
        const size_t changes = Sim.ChangeConfigCalls().size();
        TDialogChoice choice = Loaded(true, L"", false, TStartChoice::Automatic);
        choice.Edited.DelayedStartEditable = c.Enabled;
        choice.Edited.DelayedStart = c.Checked;
        choice.Loaded.DelayedStart = c.Stored;
        EXPECT_TRUE(Run(choice));
        EXPECT_EQ(Sim.Service(L"Svc").DelayedAutoStart, c.ExpectDelayed);
        EXPECT_EQ(Sim.CallCount(TSimCall::ChangeServiceConfig2) - before, c.ExpectWrites);
        EXPECT_EQ(Sim.ChangeConfigCalls().size(), changes) << "nothing else was changed";
    }
}

TEST_F(ChangeConfigSim, FailuresRaiseTheSystemErrorAndTellWhatWasWritten)
{
    TDialogChoice delayed = Edited(Loaded(true, L"", false), [](TServiceSettings& c) {
        c.Start = TStartChoice::Automatic;
        c.DelayedStartEditable = true;
        c.DelayedStart = true;
    });

    // A refused change leaves delayed start untouched.
    Sim.Fail(TSimCall::ChangeServiceConfig, ERROR_CIRCULAR_DEPENDENCY, L"Svc", 0, 1);
    EXPECT_EQ(RunError(delayed), std::to_wstring(ERROR_CIRCULAR_DEPENDENCY));
    EXPECT_FALSE(Progress.ConfigurationWritten);
    EXPECT_EQ(Sim.CallCount(TSimCall::ChangeServiceConfig2), 0);
    EXPECT_FALSE(Sim.Service(L"Svc").DelayedAutoStart);

    // A missing delayed-start level fails after the main change, which stays.
    Sim.SetDelayedStartSupported(false);
    EXPECT_EQ(RunError(delayed), std::to_wstring(ERROR_INVALID_LEVEL));
    EXPECT_TRUE(Progress.ConfigurationWritten);
    EXPECT_FALSE(Progress.DelayedStartWritten);
    EXPECT_EQ(Sim.Service(L"Svc").StartType, static_cast<DWORD>(SERVICE_AUTO_START));

    // The configuration cannot be read: nothing is changed.
    const size_t calls = Sim.ChangeConfigCalls().size();
    Sim.Fail(TSimCall::QueryServiceConfig, ERROR_ACCESS_DENIED, L"Svc", 0, 1);
    EXPECT_EQ(RunError(delayed), std::to_wstring(ERROR_ACCESS_DENIED));
    EXPECT_EQ(Sim.ChangeConfigCalls().size(), calls);
}

// What Windows' manager refuses reaches the user as its error: an unknown account (1057), the
// interactive flag with an account other than LocalSystem (87).
TEST_F(ChangeConfigSim, TheManagersRefusalOfAnAccountIsRaised)
{
    EXPECT_EQ(RunError(NewUser(Loaded(true, L"", false), L".\\nobody")), std::to_wstring(ERROR_INVALID_SERVICE_ACCOUNT));
    EXPECT_EQ(Sim.Service(L"Svc").StartName, L"LocalSystem");
    Sim.AddAccount(L"nobody");
    TSimServiceControlManager& sim = Sim;
    SC_HANDLE manager = sim.OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
    SC_HANDLE service = sim.OpenServiceW(manager, L"Svc", SERVICE_CHANGE_CONFIG);
    EXPECT_FALSE(sim.ChangeServiceConfigW(service, Interactive, SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, nullptr, nullptr,
                                          nullptr, nullptr, L".\\nobody", L"", nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_TRUE(sim.ChangeServiceConfigW(service, Own, SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, nullptr, nullptr, nullptr,
                                         nullptr, L".\\nobody", L"", nullptr));
    sim.CloseServiceHandle(service);
    sim.CloseServiceHandle(manager);
}

TEST_F(ChangeConfigSim, ReadsALargeConfigurationWithAGrownBuffer)
{
    std::wstring longPath = L"C:\\" + std::wstring(5000, L'x') + L".exe";
    Sim.Update(L"Svc", [&](TSimService& s) { s.BinaryPath = longPath; });
    EXPECT_TRUE(Run(Edited(Loaded(true, L"", false), [](TServiceSettings& c) { c.Start = TStartChoice::Disabled; })));
    EXPECT_EQ(Sim.ChangeConfigCalls().back().ErrorControl, static_cast<DWORD>(SERVICE_ERROR_SEVERE));
    EXPECT_EQ(Sim.ChangeConfigCalls().back().DisplayName, Null);
    EXPECT_EQ(Sim.Service(L"Svc").BinaryPath, longPath);
    EXPECT_EQ(Sim.Service(L"Svc").DisplayName, L"The Service");
}

TEST(ChangeConfigPrecondition, AMissingHandleIsAnAssertionFailure)
{
    TSimServiceControlManager sim;
    EXPECT_THROW(ChangeServiceConfiguration(sim, nullptr, TServiceReconfiguration{}, [](std::wstring&) { return true; }),
                 EAssertionFailed);
}
}  // namespace
