// What a failure says of the service beyond the operation's text: the exit code it reported,
// and the executable's path when a start did not find it.
#include "common/errors.h"
#include "services/failure_text.h"
#include "services/service_steps.h"
#include "tests/sim_scm/sim_scm.h"

#include <gtest/gtest.h>

#include <string>

namespace {
TEST(FailureText, TheExitCodeFollowsOnALineOfItsOwn)
{
    const std::wstring failed = L"Db: Starting failed.";
    const struct {
        const char* Name;
        DWORD ExitCode;
        DWORD Specific;
        std::wstring Expected;
    } cases[] = {
        {"none reported", 0, 0, failed},
        {"none reported, a stale specific code", 0, 7, failed},
        {"a system code", ERROR_PROCESS_ABORTED,
         0, failed + L"\r\nExit code of the service: 1067 (" + SysErrorMessage(ERROR_PROCESS_ABORTED) + L")."},
        {"the service's own code", ERROR_SERVICE_SPECIFIC_ERROR, 3221225477u,
         failed + L"\r\nService-specific exit code: 3221225477 (0xC0000005)."},
        {"a code without a system text", 0x2FFFFFFF, 0, failed + L"\r\nExit code of the service: 805306367."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(WithExitCode(failed, c.ExitCode, c.Specific), c.Expected);
    }
}

TEST(FailureText, TheExecutableIsNamedWhenItWasNotFound)
{
    EXPECT_EQ(ExecutablePathAddition(ERROR_FILE_NOT_FOUND, L"C:\\Talvora\\app.exe"),
              L"\r\nPath to executable: \"C:\\Talvora\\app.exe\"");
    EXPECT_EQ(ExecutablePathAddition(ERROR_PATH_NOT_FOUND, L"\"C:\\Program Files\\app.exe\" -s"),
              L"\r\nPath to executable: \"C:\\Program Files\\app.exe\" -s");
    EXPECT_EQ(ExecutablePathAddition(ERROR_ACCESS_DENIED, L"C:\\Talvora\\app.exe"), L"");
    EXPECT_EQ(ExecutablePathAddition(ERROR_FILE_NOT_FOUND, L""), L"");
}

// A start whose executable is missing keeps the system's error and adds the configured path; any
// other refusal stays as it was.
TEST(FailureText, AStartRequestNamesTheMissingExecutable)
{
    TSimServiceControlManager sim;
    TSimService missing = SimService(L"Missing");
    missing.BinaryPath = L"C:\\Talvora\\ERP\\gone.exe -service";
    missing.StartFailure = ERROR_FILE_NOT_FOUND;
    sim.AddService(missing);
    TSimService timeout = SimService(L"Silent");
    timeout.StartFailure = ERROR_SERVICE_REQUEST_TIMEOUT;
    sim.AddService(timeout);
    const struct {
        const wchar_t* Name;
        DWORD Error;
        std::wstring Addition;
    } cases[] = {
        {L"Missing", ERROR_FILE_NOT_FOUND, L"\r\nPath to executable: \"C:\\Talvora\\ERP\\gone.exe -service\""},
        {L"Silent", ERROR_SERVICE_REQUEST_TIMEOUT, L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.Name)));
        UniqueScHandleOf manager(sim, sim.OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
        try {
            Request(sim, manager.get(), c.Name, 0, true);
            ADD_FAILURE() << "the start went through";
        } catch (const EOSError& e) {
            EXPECT_EQ(e.ErrorCode(), c.Error);
            EXPECT_EQ(e.Message(), EOSError(c.Error).Message() + c.Addition);
        }
    }
    EXPECT_EQ(sim.OpenHandleCount(), 0);
}
}  // namespace
