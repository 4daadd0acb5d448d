#include "tests/support/program_driver.h"

#include "common/errors.h"
#include "tests/support/test_paths.h"

std::wstring TestProgramPath() { return SM_TEST_PROGRAM_PATH; }

TProgramUnderTest::TProgramUnderTest(const std::wstring& program, const std::wstring& arguments)
{
    std::wstring commandLine = L"\"" + program + L"\"";
    if (!arguments.empty())
        commandLine += L" " + arguments;
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    Win32Check(CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    UniqueKernelHandle(pi.hThread).reset();  // the thread is not needed
    FProcess.reset(pi.hProcess);
    FProcessID = pi.dwProcessId;
}

TProgramUnderTest::~TProgramUnderTest()
{
    if (!Running())
        return;
    if (HWND main = FindWindowOfClass(L"TFormMain"))
        PostMessageW(main, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(FProcess.get(), 5000) != WAIT_OBJECT_0) {
        TerminateProcess(FProcess.get(), 99);
        WaitForSingleObject(FProcess.get(), 5000);
    }
}

namespace {
struct TWindowSearch {
    DWORD ProcessID;
    const wchar_t* ClassName;
    bool VisibleOnly;
    HWND Found = nullptr;
};

BOOL CALLBACK MatchWindow(HWND wnd, LPARAM param)
{
    auto* search = reinterpret_cast<TWindowSearch*>(param);
    DWORD processID = 0;
    GetWindowThreadProcessId(wnd, &processID);
    if (processID == search->ProcessID && (!search->ClassName || WindowClass(wnd) == search->ClassName) &&
        (!search->VisibleOnly || IsWindowVisible(wnd))) {
        search->Found = wnd;
        return FALSE;
    }
    return TRUE;
}
}  // namespace

HWND FindProcessWindow(DWORD processID, const wchar_t* className, bool visibleOnly)
{
    TWindowSearch search{processID, className, visibleOnly};
    EnumWindows(&MatchWindow, reinterpret_cast<LPARAM>(&search));
    return search.Found;
}

HWND TProgramUnderTest::FindWindowOfClass(const wchar_t* className, bool visibleOnly) const
{
    return FindProcessWindow(FProcessID, className, visibleOnly);
}

HWND TProgramUnderTest::WaitForWindow(const wchar_t* className, DWORD timeoutMs) const
{
    HWND found = nullptr;
    WaitUntil([&] { return (found = FindWindowOfClass(className, true)) != nullptr || !Running(); }, timeoutMs, 50);
    if (found)
        WaitForInputIdle(FProcess.get(), timeoutMs);
    return found;
}

DWORD TProgramUnderTest::WaitForExit(DWORD timeoutMs) const
{
    WaitUntil([this] { return !Running(); }, timeoutMs);
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(FProcess.get(), &code);
    return code;
}

bool TProgramUnderTest::Running() const { return FProcess && WaitForSingleObject(FProcess.get(), 0) == WAIT_TIMEOUT; }

DWORD TProgramUnderTest::Close(DWORD timeoutMs) const
{
    if (HWND main = FindWindowOfClass(L"TFormMain"))
        PostMessageW(main, WM_CLOSE, 0, 0);
    return WaitForExit(timeoutMs);
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

