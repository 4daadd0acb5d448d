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

struct TCase {
    const char* Name;
    // The service as stored.
    DWORD Type = Own;
    std::wstring StartName = L"LocalSystem";
    // The dialog.
    TConfigChoice Choice;
    // The prompt's answer: none cancels it.
    std::optional<std::wstring> Password = std::nullopt;
    // What the manager must receive (Called false: no call at all).
    bool Called = true;
    DWORD ExpectType = Own;
    DWORD ExpectStart = SERVICE_AUTO_START;
    std::optional<std::wstring> ExpectStartName = Null;
    std::optional<std::wstring> ExpectPassword = Null;
    std::wstring ExpectDependencies{};  // as the manager read it: each name followed by a NUL
    int ExpectPrompts = 0;
};

TConfigChoice Choice(bool defaultAccount, const std::wstring& user, const std::wstring& oldUser, bool interact,
                     std::optional<TStartChoice> start = TStartChoice::Automatic)
{
    TConfigChoice c;
    c.Start = start;
    c.Interact = interact;
    c.DependIndex = 0;
    c.DependText = L"<none>";
    c.DefaultAccount = defaultAccount;
    c.UserName = user;
    c.OldUserName = oldUser;
    return c;
}

TConfigChoice WithDependency(TConfigChoice c, int index, const std::wstring& text)
{
    c.DependIndex = index;
    c.DependText = text;
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
    bool Run(const TConfigChoice& choice, std::optional<std::wstring> answer = std::wstring())
    {
        TNtService* record = nullptr;
        Catalogue->FindService(L"Svc", record);
        return record->Reconfigure(ReconfigurationOf(choice), [&](std::wstring& password) {
            ++Prompts;
            if (!answer)
                return false;
            password = *answer;
            return true;
        });
    }

    std::wstring RunError(const TConfigChoice& choice)
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
};

TEST_F(ChangeConfigSim, PassesTheExactArgumentsOfEachCase)
{
    const TCase cases[] = {
        // Account rule a: Default checked.
        {.Name = "default, nothing edited",
         .Choice = Choice(true, L"", L"", false),
         .ExpectStartName = L"LocalSystem"},
        {.Name = "default with interaction",
         .Choice = Choice(true, L"", L"", true),
         .ExpectType = Interactive,
         .ExpectStartName = L"LocalSystem"},
        {.Name = "default clears a stored interaction",
         .Type = Interactive,
         .Choice = Choice(true, L"", L"", false),
         .ExpectStartName = L"LocalSystem"},
        {.Name = "default wins over a typed user",
         .StartName = L".\\svcuser",
         .Choice = Choice(true, L".\\other", L".\\svcuser", false),
         .ExpectStartName = L"LocalSystem"},
        // Rule b: a user name of blanks and control characters only.
        {.Name = "empty user name",
         .StartName = L".\\svcuser",
         .Choice = Choice(false, L"", L".\\svcuser", true),
         .ExpectType = Interactive,
         .ExpectStartName = L"LocalSystem"},
        {.Name = "blank user name",
         .StartName = L".\\svcuser",
         .Choice = Choice(false, L" \t ", L".\\svcuser", false),
         .ExpectStartName = L"LocalSystem"},
        // Rule c: a changed user name asks for the password and clears the interaction.
        {.Name = "new account",
         .Choice = Choice(false, L".\\svcuser", L"", true),
         .Password = L"secret",
         .ExpectStartName = L".\\svcuser",
         .ExpectPassword = L"secret",
         .ExpectPrompts = 1},
        {.Name = "letter case only counts as a change",
         .StartName = L".\\svcuser",
         .Choice = Choice(false, L".\\SvcUser", L".\\svcuser", false),
         .Password = L"pw",
         .ExpectStartName = L".\\SvcUser",
         .ExpectPassword = L"pw",
         .ExpectPrompts = 1},
        {.Name = "surrounding blanks are passed as typed",
         .StartName = L".\\svcuser",
         .Choice = Choice(false, L" .\\svcuser ", L".\\svcuser", false),
         .Password = L"",
         .ExpectStartName = L" .\\svcuser ",
         .ExpectPassword = L"",
         .ExpectPrompts = 1},
        {.Name = "new account clears a stored interaction",
         .Type = Interactive,
         .Choice = Choice(false, L".\\x", L"", false),
         .Password = L"p",
         .ExpectStartName = L".\\x",
         .ExpectPassword = L"p",
         .ExpectPrompts = 1},
        {.Name = "prompt cancelled",
         .Choice = Choice(false, L".\\svcuser", L"", true),
         .Called = false,
         .ExpectPrompts = 1},
        // Rule d: the user name unchanged keeps account and password.
        {.Name = "user account, nothing edited",
         .Type = Interactive,
         .StartName = L".\\svcuser",
         .Choice = Choice(false, L".\\svcuser", L".\\svcuser", false)},
        {.Name = "user account with interaction",
         .StartName = L".\\svcuser",
         .Choice = Choice(false, L".\\svcuser", L".\\svcuser", true),
         .ExpectType = Interactive},
        // Start choices; boot and system start (no button) pass as unchanged.
        {.Name = "manual",
         .Choice = Choice(true, L"", L"", false, TStartChoice::Manual),
         .ExpectStart = SERVICE_DEMAND_START,
         .ExpectStartName = L"LocalSystem"},
        {.Name = "disabled",
         .Choice = Choice(true, L"", L"", false, TStartChoice::Disabled),
         .ExpectStart = SERVICE_DISABLED,
         .ExpectStartName = L"LocalSystem"},
        {.Name = "no start button",
         .Choice = Choice(true, L"", L"", false, std::nullopt),
         .ExpectStart = SERVICE_NO_CHANGE,
         .ExpectStartName = L"LocalSystem"},
        // Dependencies: one service replaces all; no selection is the empty list too.
        {.Name = "one dependency",
         .Choice = WithDependency(Choice(true, L"", L"", false), 3, L"Net"),
         .ExpectStartName = L"LocalSystem",
         .ExpectDependencies = OneDependency(L"Net")},
        {.Name = "no selection",
         .Choice = WithDependency(Choice(true, L"", L"", false), -1, L""),
         .ExpectStartName = L"LocalSystem"},
        // Drivers keep type, account and password.
        {.Name = "driver",
         .Type = SERVICE_KERNEL_DRIVER,
         .StartName = L"",
         .Choice = Choice(false, L"", L"", true),
         .ExpectType = SERVICE_KERNEL_DRIVER},
        {.Name = "file system driver with a new account",
         .Type = SERVICE_FILE_SYSTEM_DRIVER,
         .StartName = L"\\FileSystem\\Fs",
         .Choice = Choice(false, L".\\user", L"\\FileSystem\\Fs", true),
         .ExpectType = SERVICE_FILE_SYSTEM_DRIVER},
        {.Name = "adapter set to default",
         .Type = SERVICE_ADAPTER,
         .StartName = L"\\Driver\\Ad",
         .Choice = Choice(true, L"", L"\\Driver\\Ad", true),
         .ExpectType = SERVICE_ADAPTER},
        {.Name = "recognizer driver",
         .Type = SERVICE_RECOGNIZER_DRIVER,
         .StartName = L"",
         .Choice = Choice(false, L"", L"", false),
         .ExpectType = SERVICE_RECOGNIZER_DRIVER},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TSimServiceControlManager& sim = Sim;
        sim.Update(L"Svc", [&](TSimService& s) {
            s.ServiceType = c.Type;
            s.StartName = c.StartName;
        });
        const size_t before = sim.ChangeConfigCalls().size();
        Prompts = 0;
        const bool result = Run(c.Choice, c.Password);
        EXPECT_EQ(result, c.Called);
        EXPECT_EQ(Prompts, c.ExpectPrompts);
        const auto calls = sim.ChangeConfigCalls();
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
        EXPECT_EQ(call.Dependencies, std::optional<std::wstring>(c.ExpectDependencies)) << "the empty list, never null";
        EXPECT_EQ(call.StartName, c.ExpectStartName);
        EXPECT_EQ(call.Password, c.ExpectPassword);
        EXPECT_EQ(call.DisplayName, std::optional<std::wstring>(L"The Service"));
    }
    EXPECT_EQ(Sim.CallCount(TSimCall::ChangeServiceConfig2), 0) << "the Delayed start box was disabled";
}

TEST_F(ChangeConfigSim, WritesDelayedStartOnlyWhenTheBoxIsEnabled)
{
    const struct {
        const char* Name;
        bool Enabled, Checked, Stored;
        bool ExpectDelayed;
        int ExpectWrites;
    } cases[] = {
        {"enabled, checked", true, true, false, true, 1},
        {"enabled, unchecked", true, false, true, false, 1},
        {"disabled leaves it", false, false, true, true, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        Sim.Update(L"Svc", [&](TSimService& s) { s.DelayedAutoStart = c.Stored; });
        const int before = Sim.CallCount(TSimCall::ChangeServiceConfig2);
        TConfigChoice choice = Choice(true, L"", L"", false);
        choice.DelayedStartEnabled = c.Enabled;
        choice.DelayedStart = c.Checked;
        EXPECT_TRUE(Run(choice));
        EXPECT_EQ(Sim.Service(L"Svc").DelayedAutoStart, c.ExpectDelayed);
        EXPECT_EQ(Sim.CallCount(TSimCall::ChangeServiceConfig2) - before, c.ExpectWrites);
    }
}

TEST_F(ChangeConfigSim, FailuresRaiseTheSystemErrorAndStopWhereTheyHappen)
{
    TConfigChoice delayed = Choice(true, L"", L"", false);
    delayed.DelayedStartEnabled = true;
    delayed.DelayedStart = true;

    // A refused change leaves delayed start untouched.
    Sim.Fail(TSimCall::ChangeServiceConfig, ERROR_CIRCULAR_DEPENDENCY, L"Svc", 0, 1);
    EXPECT_EQ(RunError(delayed), std::to_wstring(ERROR_CIRCULAR_DEPENDENCY));
    EXPECT_EQ(Sim.CallCount(TSimCall::ChangeServiceConfig2), 0);
    EXPECT_FALSE(Sim.Service(L"Svc").DelayedAutoStart);

    // A missing delayed-start level fails after the main change, which stays.
    Sim.SetDelayedStartSupported(false);
    TConfigChoice manual = delayed;
    manual.Start = TStartChoice::Disabled;
    EXPECT_EQ(RunError(manual), std::to_wstring(ERROR_INVALID_LEVEL));
    EXPECT_EQ(Sim.Service(L"Svc").StartType, static_cast<DWORD>(SERVICE_DISABLED));

    // The configuration cannot be read: nothing is changed.
    const size_t calls = Sim.ChangeConfigCalls().size();
    Sim.Fail(TSimCall::QueryServiceConfig, ERROR_ACCESS_DENIED, L"Svc", 0, 1);
    EXPECT_EQ(RunError(Choice(true, L"", L"", false)), std::to_wstring(ERROR_ACCESS_DENIED));
    EXPECT_EQ(Sim.ChangeConfigCalls().size(), calls);
}

TEST_F(ChangeConfigSim, ReadsALargeConfigurationWithAGrownBuffer)
{
    std::wstring longPath = L"C:\\" + std::wstring(5000, L'x') + L".exe";
    Sim.Update(L"Svc", [&](TSimService& s) { s.BinaryPath = longPath; });
    EXPECT_TRUE(Run(Choice(true, L"", L"", false)));
    EXPECT_EQ(Sim.ChangeConfigCalls().back().DisplayName, std::optional<std::wstring>(L"The Service"));
    EXPECT_EQ(Sim.Service(L"Svc").BinaryPath, longPath);
}

TEST(ChangeConfigPrecondition, AMissingHandleIsAnAssertionFailure)
{
    TSimServiceControlManager sim;
    EXPECT_THROW(ChangeServiceConfiguration(sim, nullptr, TServiceReconfiguration{}, [](std::wstring&) { return true; }),
                 EAssertionFailed);
}
}  // namespace
