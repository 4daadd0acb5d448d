#include "tests/support/program_driver.h"

#include "common/errors.h"
#include "tests/support/test_paths.h"


std::wstring TestProgramPath() { return SM_TEST_PROGRAM_PATH; }

TProgramUnderTest::TProgramUnderTest(const std::wstring& arguments, const std::wstring& program)
{
    std::wstring path = program.empty() ? TestProgramPath() : program;
    std::wstring commandLine = L"\"" + path + L"\"";
    if (!arguments.empty())
        commandLine += L" " + arguments;
    STARTUPINFOW si{sizeof(si)};
    PROCESS_INFORMATION pi{};
    Win32Check(CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    CloseHandle(pi.hThread);
    FProcess.reset(pi.hProcess);
    FProcessId = pi.dwProcessId;
    WaitForInputIdle(pi.hProcess, 5000);
}

TProgramUnderTest::~TProgramUnderTest()
{
    if (!Running())
        return;
    if (HWND main = FindWindowOfClass(L"TFormMain"))
        PostMessageW(main, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(FProcess.get(), 3000) != WAIT_OBJECT_0) {
        TerminateProcess(FProcess.get(), 99);
        WaitForSingleObject(FProcess.get(), 3000);
    }
}

namespace {
struct Search {
    DWORD ProcessId;
    const wchar_t* ClassName;
    bool VisibleOnly;
    HWND Found = nullptr;
};

BOOL CALLBACK Match(HWND wnd, LPARAM param)
{
    auto* s = reinterpret_cast<Search*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(wnd, &pid);
    if (pid == s->ProcessId && WindowClass(wnd) == s->ClassName && (!s->VisibleOnly || IsWindowVisible(wnd))) {
        s->Found = wnd;
        return FALSE;
    }
    return TRUE;
}
}  // namespace

HWND TProgramUnderTest::FindWindowOfClass(const wchar_t* className) const
{
    Search s{FProcessId, className, false};
    EnumWindows(&Match, reinterpret_cast<LPARAM>(&s));
    return s.Found;
}

HWND TProgramUnderTest::WaitForWindow(const wchar_t* className, DWORD timeoutMs) const
{
    const DWORD start = GetTickCount();
    do {
        Search s{FProcessId, className, true};
        EnumWindows(&Match, reinterpret_cast<LPARAM>(&s));
        if (s.Found)
            return s.Found;
        if (!Running())
            return nullptr;
        Sleep(50);
    } while (GetTickCount() - start < timeoutMs);
    return nullptr;
}

DWORD TProgramUnderTest::WaitForExit(DWORD timeoutMs) const
{
    if (WaitForSingleObject(FProcess.get(), timeoutMs) != WAIT_OBJECT_0)
        return STILL_ACTIVE;
    DWORD code = 0;
    GetExitCodeProcess(FProcess.get(), &code);
    return code;
}

bool TProgramUnderTest::Running() const { return FProcess && WaitForSingleObject(FProcess.get(), 0) == WAIT_TIMEOUT; }

std::wstring WindowText(HWND wnd)
{
    std::vector<wchar_t> buffer(static_cast<size_t>(GetWindowTextLengthW(wnd)) + 2);
    int n = GetWindowTextW(wnd, buffer.data(), static_cast<int>(buffer.size()));
    return std::wstring(buffer.data(), static_cast<size_t>(n));
}

std::wstring WindowClass(HWND wnd)
{
    wchar_t name[256] = {};
    int n = GetClassNameW(wnd, name, 256);
    return std::wstring(name, static_cast<size_t>(n));
}

std::vector<std::wstring> ChildTexts(HWND parent, const wchar_t* className)
{
    std::vector<std::wstring> texts;
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (lstrcmpiW(WindowClass(child).c_str(), className) == 0)
            texts.push_back(WindowText(child));
    return texts;
}

void PressButton(HWND dialog, int id)
{
    HWND button = GetDlgItem(dialog, id);
    if (button)
        SendMessageW(button, BM_CLICK, 0, 0);
}

bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs, DWORD stepMs)
{
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start >= timeoutMs)
            return done();
        Sleep(stepMs);
    }
    return true;
}
