// Add... as the dialog's OK runs it, over Wine's Service Control Manager with the installer
// stand-ins: the installer is the one beside the server however its path was written; an
// installer that ends with 0 without creating the service gets a warning naming the service;
// an installer that never ends is waited for while messages go on (busy cursor, OK and
// closing held off), and quitting ends the wait, leaving the installer running.
#include "tests/props/props_dialog_fixture.h"
#include "tests/props/props_test_support.h"
#include "tests/support/message_box_hook.h"
#include "tests/support/scratch_current_user.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/user_input.h"

#include "common/format.h"
#include "common/handle.h"
#include "services/sc_manager.h"
#include "ui/base/application.h"
#include "ui/base/busy.h"
#include "ui/props/form_props.h"

#include <gtest/gtest.h>

#include <tlhelp32.h>

#include <algorithm>
#include <functional>
#include <memory>

namespace {
std::wstring DbInstallerFolder() { return FullPath(TestProgramFolder() + L"\\..\\installers\\db"); }

// The installers this process started and left running, ended by their process ids.
void EndChildInstallers()
{
    UniqueKernelHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
        if (entry.th32ParentProcessID != GetCurrentProcessId() || _wcsicmp(entry.szExeFile, L"dbsvc.exe") != 0)
            continue;
        UniqueKernelHandle process(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID));
        if (process) {
            TerminateProcess(process.get(), 1);
            WaitForSingleObject(process.get(), 5000);
        }
    }
}

class InstallFromDialog : public PropsDialogTest {
protected:
    InstallFromDialog()
        : FLog(L"SM_INSTALLER_LOG", FScratch / L"installers.log"), FMode(L"SM_INSTALLER_MODE", std::nullopt)
    {
        RemoveService(Installed);
    }
    ~InstallFromDialog() override
    {
        Form.reset();
        EndChildInstallers();
        RemoveService(Installed);
    }

    // A new network server named Name whose executable is typed as given, applied as OK does.
    bool Apply(const std::wstring& executable)
    {
        Open(Catalogue, nullptr, etNetworkServer);
        SetWindowTextW(Form->Item(TFormProps::IdEditName), Name);
        SetWindowTextW(Form->Item(TFormProps::IdComboFile), executable.c_str());
        return Form->ApplyChanges();
    }

    std::wstring Logged() const { return ReadUtf16File(FScratch / L"installers.log"); }

    static constexpr const wchar_t* Name = L"props_dialog_install";
    const std::wstring Installed = std::wstring(L"SQLANYs_") + Name;
    TScratchCurrentUser User;
    TScratchFolder FScratch{L"props_install_from_dialog"};
    TScopedEnvironment FLog;
    TScopedEnvironment FMode;
    TSCManager Catalogue{L"", SC_MANAGER_ALL_ACCESS, L"ServicesActive", SystemServiceControlManager()};
};

TEST_F(InstallFromDialog, TheInstallerIsTheOneBesideTheServerHoweverThePathIsWritten)
{
    const std::wstring folder = DbInstallerFolder();  // "Z:\...\installers\db"
    std::wstring slashes = folder + L"\\dbsrv17.exe";
    for (wchar_t& c : slashes)
        if (c == L'\\')
            c = L'/';
    const std::wstring forms[] = {
        slashes,
        folder + L"\\..\\db\\.\\dbsrv17.exe",
        folder + L"\\dbsrv17.exe  ",
    };
    for (const std::wstring& typed : forms) {
        SCOPED_TRACE(ToUtf8(typed));
        ScriptedMessageBoxes boxes;
        DeleteFileW((FScratch / L"installers.log").c_str());
        EXPECT_TRUE(Apply(typed));
        EXPECT_TRUE(boxes.Asked.empty());
        EXPECT_EQ(Logged().rfind(folder + L"\\dbsvc.exe ", 0), 0u) << ToUtf8(Logged());
        EXPECT_NE(Logged().find(L"\"" + folder + L"\\dbsrv17.exe\""), std::wstring::npos) << "the canonical server";
        EXPECT_TRUE(InstalledConfig(Installed).has_value());
        RemoveService(Installed);
    }
}

TEST_F(InstallFromDialog, AnInstallerThatCreatesNothingIsWarnedAbout)
{
    TScopedEnvironment nothing(L"SM_INSTALLER_MODE", L"nothing");
    ScriptedMessageBoxes boxes;
    EXPECT_TRUE(Apply(DbInstallerFolder() + L"\\dbsrv17.exe")) << "the list is rebuilt as after a success";
    ASSERT_EQ(boxes.Asked.size(), 1u);
    EXPECT_EQ(boxes.Asked[0].Text,
              L"The installer ended without an error, but the service \"SQLANYs_props_dialog_install\" was not found.");
    EXPECT_EQ(boxes.Asked[0].Caption, L"Service properties");
    EXPECT_EQ(boxes.Asked[0].Flags, static_cast<UINT>(MB_ICONWARNING));
}

// Timer ticks come while the installer hangs: they check the wait and then quit.
struct THangScript {
    static inline std::function<void()> OnTick;
    static inline int Ticks = 0;
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD)
    {
        ++Ticks;
        if (OnTick)
            OnTick();
    }
};

// With "<default>" there is no name to look for: the services before and after tell it.
TEST_F(InstallFromDialog, AnInstallerThatCreatesNothingIsNoticedWithTheDefaultName)
{
    auto apply = [&] {
        Open(Catalogue, nullptr, etT32AppServer);
        EXPECT_EQ(WindowText(Form->Item(TFormProps::IdEditName)), L"<default>");
        SetWindowTextW(Form->Item(TFormProps::IdComboFile),
                       FullPath(TestProgramFolder() + L"\\..\\installers\\app\\t32appsrv.exe").c_str());
        EXPECT_TRUE(Form->ApplyChanges());
    };
    RemoveService(L"T32AppSrv");
    {
        TScopedEnvironment nothing(L"SM_INSTALLER_MODE", L"nothing");
        ScriptedMessageBoxes boxes;
        apply();
        ASSERT_EQ(boxes.Asked.size(), 1u);
        EXPECT_EQ(boxes.Asked[0].Text, L"The installer ended without an error, but no new service was found.");
        EXPECT_EQ(boxes.Asked[0].Flags, static_cast<UINT>(MB_ICONWARNING));
    }
    ScriptedMessageBoxes boxes;
    apply();
    EXPECT_TRUE(boxes.Asked.empty()) << "the service it installed was found";
    RemoveService(L"T32AppSrv");
}

TEST_F(InstallFromDialog, QuittingEndsTheWaitForAnInstallerThatNeverEnds)
{
    TScopedEnvironment hang(L"SM_INSTALLER_MODE", L"hang");
    ScriptedMessageBoxes boxes;
    int busy = 0;
    THangScript::Ticks = 0;
    THangScript::OnTick = [&] {
        if (THangScript::Ticks == 5) {
            busy = BusyCount();
            // OK and closing are held off while the installer runs.
            SendMessageW(Form->Handle(), WM_COMMAND, IDOK, 0);
            SendMessageW(Form->Handle(), WM_CLOSE, 0, 0);
        }
        // Quits once the installer has started (it logs first), however loaded the machine is.
        const std::wstring logged = Logged();
        if (THangScript::Ticks >= 10 && (!logged.empty() || THangScript::Ticks >= 400) && !Application().Terminated())
            Application().Terminate();
    };
    UINT_PTR timer = SetTimer(nullptr, 0, 50, &THangScript::Tick);
    EXPECT_FALSE(Apply(DbInstallerFolder() + L"\\dbsrv17.exe"));
    KillTimer(nullptr, timer);
    THangScript::OnTick = nullptr;
    Application().ClearTerminated();
    EXPECT_GE(THangScript::Ticks, 10) << "messages were processed during the wait";
    EXPECT_GT(busy, 0) << "under the busy cursor";
    EXPECT_EQ(BusyCount(), 0);
    EXPECT_TRUE(boxes.Asked.empty());
    const std::wstring logged = Logged();
    EXPECT_EQ(std::count(logged.begin(), logged.end(), L'\n'), 1) << "one installer run";
    EXPECT_FALSE(InstalledConfig(Installed).has_value());
}

// The error after a failing installer, started with the keyboard, is owned by the dialog, is
// the active window and closes with each of Enter, Space and Escape.
TEST_F(InstallFromDialog, TheErrorAfterAFailingInstallerAnswersTheKeyboard)
{
    TScopedEnvironment fail(L"SM_INSTALLER_EXIT", L"1");
    for (WORD key : {VK_RETURN, VK_SPACE, VK_ESCAPE}) {
        SCOPED_TRACE(key);
        Open(Catalogue, nullptr, etNetworkServer);
        SetWindowTextW(Form->Item(TFormProps::IdEditName), Name);
        SetWindowTextW(Form->Item(TFormProps::IdComboFile), (DbInstallerFolder() + L"\\dbsvc.exe").c_str());
        HWND box = nullptr;
        bool closed = false;
        THangScript::Ticks = 0;
        THangScript::OnTick = [&] {
            const int tick = THangScript::Ticks;
            if (tick == 3) {
                EXPECT_TRUE(BringToFront(Form->Handle()));
                SetFocus(Form->Item(IDOK));
                PressKey(VK_RETURN);
            } else if (tick > 3 && !box && !closed) {
                box = ThreadMessageBox();
                if (box) {
                    EXPECT_EQ(GetWindow(box, GW_OWNER), Form->Handle());
                    EXPECT_EQ(GetForegroundWindow(), box);
                    EXPECT_EQ(GetActiveWindow(), box);
                    PressKey(key);
                }
            } else if (box && !closed) {
                closed = !IsWindow(box);
                if (closed || tick > 200)
                    PostMessageW(Form->Handle(), WM_COMMAND, IDCANCEL, 0);
                if (!closed && tick > 200)
                    PostMessageW(box, WM_CLOSE, 0, 0);
            } else if (tick > 400) {
                PostMessageW(Form->Handle(), WM_COMMAND, IDCANCEL, 0);
            }
        };
        UINT_PTR timer = SetTimer(nullptr, 0, 25, &THangScript::Tick);
        Form->ShowModal();
        KillTimer(nullptr, timer);
        THangScript::OnTick = nullptr;
        EXPECT_NE(box, nullptr) << "the error was shown";
        EXPECT_TRUE(closed) << "the key closed it";
    }
}
}  // namespace
