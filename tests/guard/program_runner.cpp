#include "tests/guard/program_runner.h"

#include "app/instance_table.h"
#include "app/instance_windows.h"
#include "app/instances.h"
#include "app/optex.h"
#include "common/errors.h"

#include <algorithm>
#include <cwchar>
#include <stdexcept>

std::wstring TestProgramPath()
{
    std::wstring path = L"" SM_TEST_PROGRAM;
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return path;
}

namespace {
std::wstring TempFolder()
{
    wchar_t buffer[MAX_PATH + 1];
    DWORD length = GetTempPathW(MAX_PATH + 1, buffer);
    if (length == 0)
        RaiseLastOSError();
    return std::wstring(buffer, length);
}

void RemoveTree(const std::wstring& folder)
{
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = data.cFileName;
            if (name == L"." || name == L"..")
                continue;
            std::wstring path = folder + L"\\" + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(path);
            else
                DeleteFileW(path.c_str());
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    RemoveDirectoryW(folder.c_str());
}

struct TFindForm {
    DWORD ProcessID;
    const wchar_t* ClassName;
    bool VisibleOnly;
    HWND Found;
};

BOOL CALLBACK FindFormProc(HWND wnd, LPARAM lParam)
{
    auto* find = reinterpret_cast<TFindForm*>(lParam);
    DWORD processID = 0;
    GetWindowThreadProcessId(wnd, &processID);
    if (processID != find->ProcessID || (find->VisibleOnly && !IsWindowVisible(wnd)))
        return TRUE;
    if (find->ClassName) {
        wchar_t className[64];
        if (!GetClassNameW(wnd, className, 64) || std::wcscmp(className, find->ClassName) != 0)
            return TRUE;
    }
    find->Found = wnd;
    return FALSE;
}

HWND FindTopLevel(DWORD processID, const wchar_t* className, bool visibleOnly)
{
    TFindForm find{processID, className, visibleOnly, nullptr};
    EnumWindows(&FindFormProc, reinterpret_cast<LPARAM>(&find));
    return find.Found;
}
}  // namespace

TScratchFolder::TScratchFolder(const std::wstring& tag)
{
    static int serial = 0;
    FPath = TempFolder() + L"guard-" + tag + L"-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(++serial);
    RemoveTree(FPath);
    if (!CreateDirectoryW(FPath.c_str(), nullptr))
        RaiseLastOSError();
}

TScratchFolder::~TScratchFolder() { RemoveTree(FPath); }

std::wstring TScratchFolder::AddProgramCopy(const std::wstring& subfolder)
{
    std::wstring folder = FPath + L"\\" + subfolder;
    CreateDirectoryW(folder.c_str(), nullptr);
    std::wstring copy = folder + L"\\ServiceManager.exe";
    if (!CopyFileW(TestProgramPath().c_str(), copy.c_str(), FALSE))
        RaiseLastOSError();
    return copy;
}

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs)
{
    const ULONGLONG start = GetTickCount64();
    for (;;) {
        if (condition())
            return true;
        if (GetTickCount64() - start >= timeoutMs)
            return false;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

TProgram::TProgram(const std::wstring& exePath, const std::wstring& arguments)
{
    std::wstring commandLine = L"\"" + exePath + L"\"";
    if (!arguments.empty())
        commandLine += L" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(exePath.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &info))
        RaiseLastOSError();
    FProcess.reset(info.hProcess);
    FThread.reset(info.hThread);
    FProcessID = info.dwProcessId;
}

TProgram::~TProgram()
{
    if (!Running())
        return;
    if (HWND main = FindTopLevel(FProcessID, L"TFormMain", false))
        PostMessageW(main, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(FProcess.get(), 5000) != WAIT_OBJECT_0) {
        TerminateProcess(FProcess.get(), 1);
        WaitForSingleObject(FProcess.get(), 5000);
    }
}

bool TProgram::Running() const { return WaitForSingleObject(FProcess.get(), 0) == WAIT_TIMEOUT; }

DWORD TProgram::WaitForExit(DWORD timeoutMs)
{
    WaitUntil([this] { return !Running(); }, timeoutMs);
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(FProcess.get(), &code);
    return code;
}

HWND TProgram::MainForm() const { return FindTopLevel(FProcessID, L"TFormMain", true); }

HWND TProgram::WaitForMainForm(DWORD timeoutMs)
{
    HWND main = nullptr;
    WaitUntil([&] { return (main = MainForm()) != nullptr || !Running(); }, timeoutMs);
    if (main)
        WaitForInputIdle(FProcess.get(), timeoutMs);
    return main;
}

HWND TProgram::AppWindow() const { return GetApplicationWnd(FProcessID); }

DWORD TProgram::Close(DWORD timeoutMs)
{
    if (HWND main = FindTopLevel(FProcessID, L"TFormMain", false))
        PostMessageW(main, WM_CLOSE, 0, 0);
    return WaitForExit(timeoutMs);
}

bool HasVisibleWindow(DWORD processID) { return FindTopLevel(processID, nullptr, true) != nullptr; }

unsigned RegisteredCount(const std::wstring& exePath)
{
    const std::wstring id = UniqueAppIDOf(exePath);
    TOptex lock(id + L"_Otx");
    TOptexLock hold(lock);
    UniqueKernelHandle mapping(OpenFileMappingW(FILE_MAP_READ, FALSE, (id + L"_All").c_str()));
    if (!mapping)
        return 0;
    UniqueMappedView view(MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, sizeof(TInstanceTable)));
    if (!view)
        RaiseLastOSError();
    return TableCount(*static_cast<const TInstanceTable*>(view.get()));
}
