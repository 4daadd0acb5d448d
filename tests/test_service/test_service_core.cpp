// The service of TestService.exe: a Windows service (own process) for tests and sample
// installations. It is registered with a binary path such as
//   "Z:\...\TestService.exe" --name MySvc --start-checkpoints 5 --step-ms 300
// and behaves as its options say:
//   --name NAME             the service's name (default TestService)
//   --start-checkpoints N   start pending with check points 1..N, one every step, then running
//   --stop-checkpoints N    a slow stop: stop pending with check points 1..N before stopped
//   --step-ms MS            time between check points (default 200)
//   --wait-hint MS          wait hint reported with every pending state (default 2000)
//   --freeze-start MS       after the start check points, start pending with a check point that
//                           does not move for MS milliseconds (a frozen check point)
//   --freeze-stop MS        after the stop check points, stop pending with a check point that
//                           does not move for MS milliseconds (a stop that hangs), then stopped
//   --fail-start            after the start check points (and the freeze), fall back to stopped
//                           with a service-specific exit code 1 instead of running
//   --no-pause              accept only stop, not pause and continue
// Without options it starts and stops at once and accepts stop, pause and continue; pause and
// continue pass through one pending step each. Started from a console (not by the Service
// Control Manager) it prints this help and exits with 1.
#include "tests/test_service/test_service_core.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cwchar>
#include <deque>
#include <string>

namespace {

struct Options {
    std::wstring Name = L"TestService";
    DWORD StartCheckPoints = 0;
    DWORD StopCheckPoints = 0;
    DWORD StepMs = 200;
    DWORD WaitHint = 2000;
    DWORD FreezeStartMs = 0;
    DWORD FreezeStopMs = 0;
    bool FailStart = false;
    bool NoPause = false;
} GOptions;

SERVICE_STATUS_HANDLE GStatusHandle = nullptr;
CRITICAL_SECTION GLock;
std::deque<DWORD> GControls;
HANDLE GControlEvent = nullptr;

void Report(DWORD state, DWORD checkPoint = 0, DWORD exitCode = NO_ERROR, DWORD specificExitCode = 0)
{
    SERVICE_STATUS status{};
    status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status.dwCurrentState = state;
    bool pending = state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING ||
                   state == SERVICE_PAUSE_PENDING || state == SERVICE_CONTINUE_PENDING;
    if (state == SERVICE_RUNNING || state == SERVICE_PAUSED)
        status.dwControlsAccepted = SERVICE_ACCEPT_STOP | (GOptions.NoPause ? 0 : SERVICE_ACCEPT_PAUSE_CONTINUE);
    status.dwWin32ExitCode = exitCode;
    status.dwServiceSpecificExitCode = specificExitCode;
    status.dwCheckPoint = pending ? checkPoint : 0;
    status.dwWaitHint = pending ? GOptions.WaitHint : 0;
    SetServiceStatus(GStatusHandle, &status);
}

DWORD WINAPI Handler(DWORD control, DWORD, LPVOID, LPVOID)
{
    switch (control) {
    case SERVICE_CONTROL_STOP:
    case SERVICE_CONTROL_SHUTDOWN:
    case SERVICE_CONTROL_PAUSE:
    case SERVICE_CONTROL_CONTINUE:
        // The pending state is in force before the control returns, so that whoever sent it
        // sees it at once.
        Report(control == SERVICE_CONTROL_PAUSE      ? SERVICE_PAUSE_PENDING
               : control == SERVICE_CONTROL_CONTINUE ? SERVICE_CONTINUE_PENDING
                                                     : SERVICE_STOP_PENDING);
        EnterCriticalSection(&GLock);
        GControls.push_back(control == SERVICE_CONTROL_SHUTDOWN ? SERVICE_CONTROL_STOP : control);
        LeaveCriticalSection(&GLock);
        SetEvent(GControlEvent);
        return NO_ERROR;
    case SERVICE_CONTROL_INTERROGATE:
        return NO_ERROR;
    default:
        return ERROR_CALL_NOT_IMPLEMENTED;
    }
}

DWORD NextControl()
{
    for (;;) {
        EnterCriticalSection(&GLock);
        if (!GControls.empty()) {
            DWORD control = GControls.front();
            GControls.pop_front();
            LeaveCriticalSection(&GLock);
            return control;
        }
        LeaveCriticalSection(&GLock);
        WaitForSingleObject(GControlEvent, INFINITE);
    }
}

// Reports `count` check points of a pending state, one every step.
void Pending(DWORD state, DWORD count)
{
    for (DWORD cp = 1; cp <= count; ++cp) {
        Report(state, cp);
        Sleep(GOptions.StepMs);
    }
}

void WINAPI ServiceMain(DWORD, LPWSTR*)
{
    GStatusHandle = RegisterServiceCtrlHandlerExW(GOptions.Name.c_str(), Handler, nullptr);
    if (!GStatusHandle)
        return;
    Report(SERVICE_START_PENDING, 0);
    Pending(SERVICE_START_PENDING, GOptions.StartCheckPoints);
    if (GOptions.FreezeStartMs) {
        Report(SERVICE_START_PENDING, GOptions.StartCheckPoints + 1);
        Sleep(GOptions.FreezeStartMs);
    }
    if (GOptions.FailStart) {
        Report(SERVICE_STOPPED, 0, ERROR_SERVICE_SPECIFIC_ERROR, 1);
        return;
    }
    Report(SERVICE_RUNNING);
    for (;;) {
        switch (NextControl()) {
        case SERVICE_CONTROL_STOP:
            Pending(SERVICE_STOP_PENDING, GOptions.StopCheckPoints);
            if (GOptions.FreezeStopMs) {
                Report(SERVICE_STOP_PENDING, GOptions.StopCheckPoints + 1);
                Sleep(GOptions.FreezeStopMs);
            }
            Report(SERVICE_STOPPED);
            return;
        case SERVICE_CONTROL_PAUSE:
            Pending(SERVICE_PAUSE_PENDING, 1);
            Report(SERVICE_PAUSED);
            break;
        case SERVICE_CONTROL_CONTINUE:
            Pending(SERVICE_CONTINUE_PENDING, 1);
            Report(SERVICE_RUNNING);
            break;
        }
    }
}

// Options it does not know end the parse with false, unless lenient: then they are passed over
// (a stand-in for a real server, which is given the real server's options).
bool ParseOptions(bool lenient)
{
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv)
        return false;
    bool ok = true;
    for (int i = 1; i < argc && ok; ++i) {
        std::wstring arg = argv[i];
        auto number = [&](DWORD& target) {
            if (i + 1 >= argc) {
                ok = false;
                return;
            }
            target = static_cast<DWORD>(std::wcstoul(argv[++i], nullptr, 10));
        };
        if (arg == L"--name" && i + 1 < argc)
            GOptions.Name = argv[++i];
        else if (arg == L"--start-checkpoints")
            number(GOptions.StartCheckPoints);
        else if (arg == L"--stop-checkpoints")
            number(GOptions.StopCheckPoints);
        else if (arg == L"--step-ms")
            number(GOptions.StepMs);
        else if (arg == L"--wait-hint")
            number(GOptions.WaitHint);
        else if (arg == L"--freeze-start")
            number(GOptions.FreezeStartMs);
        else if (arg == L"--freeze-stop")
            number(GOptions.FreezeStopMs);
        else if (arg == L"--fail-start")
            GOptions.FailStart = true;
        else if (arg == L"--no-pause")
            GOptions.NoPause = true;
        else if (!lenient)
            ok = false;
    }
    LocalFree(argv);
    return ok;
}

}  // namespace

int RunTestService(bool lenient)
{
    if (!ParseOptions(lenient)) {
        std::fprintf(stderr, "TestService: unknown option; see the comment at the top of test_service.cpp\n");
        return 2;
    }
    InitializeCriticalSection(&GLock);
    GControlEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    SERVICE_TABLE_ENTRYW table[] = {{const_cast<LPWSTR>(GOptions.Name.c_str()), ServiceMain}, {nullptr, nullptr}};
    if (!StartServiceCtrlDispatcherW(table)) {
        std::fprintf(stderr,
                     "TestService: a Windows service for tests; register it with the Service Control Manager.\n"
                     "Options: --name NAME --start-checkpoints N --stop-checkpoints N --step-ms MS --wait-hint MS\n"
                     "         --freeze-start MS --freeze-stop MS --fail-start --no-pause\n");
        return 1;
    }
    return 0;
}
