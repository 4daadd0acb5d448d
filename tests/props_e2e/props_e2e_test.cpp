// Adding and changing services with the real program over Wine's real Service Control Manager,
// as a user does it: Insert, the kind, the properties dialog, OK, and the new row; Enter on a
// running service, a new start type, dependency and parameters, OK and the note about the
// running service; a new account with a mistyped and then a matching password, and the right
// granted to it; a blank and an unknown account refused; a cancelled prompt. The installers are the test stand-ins in a folder on PATH and in "RunDirs". Pictures
// of the dialogs go to this build folder.
#include "tests/main_e2e/e2e_services.h"
#include "tests/props/props_test_support.h"
#include "tests/props_e2e/props_dialog_driver.h"
#include "tests/support/program_driver.h"
#include "tests/support/registered_service.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/screen_capture.h"
#include "tests/support/user_input.h"

#include "common/errors.h"
#include "common/format.h"
#include "common/handle.h"
#include "common/registry.h"
#include "erp/executables.h"
#include "erp/service_parameters.h"
#include "ui/props/form_password.h"
#include "ui/props/form_props.h"
#include "ui/props/form_select_type.h"

#include <gtest/gtest.h>

#include <shellapi.h>

#include <memory>
#include <vector>

#ifndef PROPS_E2E_BUILD_DIR
#error PROPS_E2E_BUILD_DIR must be defined by the build
#endif

namespace {
const TServiceSpec RunningSpec{L"e2eprops_run", L"Talvora ERP E2E Props Running", L""};
const TServiceSpec BaseSpec{L"SQLANYs_e2eprops_base", L"SQL Anywhere E2E Props Base", L""};
const TServiceSpec AccountSpec{L"e2eprops_account", L"Talvora ERP E2E Props Account", L""};

// Where the properties dialog keeps its size.
constexpr const wchar_t* PropsLayoutSection = L"Software\\Talvora\\Orvessa\\FormProps";
// The entries of the kind dialog.
constexpr int KindNetworkServer = 0;
constexpr int KindAppServer = 2;

// The account this test runs as, on this computer: one that Wine's LSA knows.
std::wstring ThisUsersAccount()
{
    wchar_t name[256];
    DWORD size = 256;
    Win32Check(GetUserNameW(name, &size));
    return L".\\" + std::wstring(name);
}

std::wstring Picture(const std::wstring& name)
{
    std::wstring folder = FromUtf8(PROPS_E2E_BUILD_DIR);
    for (auto& c : folder)
        if (c == L'/')
            c = L'\\';
    return L"Z:" + folder + L"\\" + name;
}

// A user setting (the text, or no value at all), put back as it was at the end.
class TScopedUserText {
public:
    TScopedUserText(const wchar_t* key, const wchar_t* value, const std::optional<std::wstring>& text)
        : FKey(key), FValue(value), FOld(ReadRegText(HKEY_CURRENT_USER, key, value))
    {
        CheckRegStatus(Store(text));
    }
    ~TScopedUserText() { Store(FOld); }
    TScopedUserText(const TScopedUserText&) = delete;
    TScopedUserText& operator=(const TScopedUserText&) = delete;

private:
    LSTATUS Store(const std::optional<std::wstring>& text) const
    {
        UniqueRegKey k;
        LSTATUS status = CreateRegKey(HKEY_CURRENT_USER, FKey, KEY_WRITE, k);
        if (status != ERROR_SUCCESS)
            return status;
        if (!text) {
            status = RegDeleteValueW(k.get(), FValue);
            return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
        }
        return WriteRegText(k.get(), FValue, *text);
    }

    const wchar_t* FKey;
    const wchar_t* FValue;
    std::optional<std::wstring> FOld;
};

class PropsE2E : public TE2EServicesTest {
protected:
    static void SetUpTestSuite()
    {
        Register({&RunningSpec, &BaseSpec, &AccountSpec});
        Service(RunningSpec).Start();
        Service(RunningSpec).WaitForState(SERVICE_RUNNING, 5000);
    }

    // A SQL Anywhere folder on PATH and an ERP folder in "RunDirs", each with its installer
    // stand-in and the server it installs.
    PropsE2E()
        : FSaFolder(FScratch.Folder(L"SA 17\\Bin64")),
          FErpFolder(FScratch.Folder(L"ERP")),
          FPath(L"PATH", FSaFolder + L";" + CurrentPath()),
          FLog(L"SM_INSTALLER_LOG", FScratch / L"installers.log"),
          FRunDirs(ErpKey, L"RunDirs", FErpFolder)
    {
        const std::wstring built = FullPath(TestServicePath() + L"\\..\\..");
        Win32Check(CopyFileW((built + L"\\installers\\db\\dbsvc.exe").c_str(), (FSaFolder + L"\\dbsvc.exe").c_str(),
                             FALSE));
        Win32Check(CopyFileW((built + L"\\test_service\\SampleServer.exe").c_str(),
                             (FSaFolder + L"\\dbsrv17.exe").c_str(), FALSE));
        Win32Check(CopyFileW((built + L"\\installers\\app\\t32appsrv.exe").c_str(),
                             (FErpFolder + L"\\t32appsrv.exe").c_str(), FALSE));
    }
    ~PropsE2E() override
    {
        FWindow.reset();
        for (const auto& name : FInstalled)
            RemoveService(name);
    }

    void SetUp() override
    {
        FWindow = std::make_unique<TMainWindowDriver>();
        ASSERT_NE(FWindow->Main(), nullptr) << "no main window";
        FDialogs = std::make_unique<TPropsDialogDriver>(*FWindow);
    }

    static std::wstring CurrentPath()
    {
        wchar_t buffer[32768];
        DWORD n = GetEnvironmentVariableW(L"PATH", buffer, 32768);
        return n > 0 && n < 32768 ? std::wstring(buffer, n) : std::wstring();
    }

    // A service the test installs, removed afterwards.
    std::wstring Installing(const std::wstring& name)
    {
        RemoveService(name);
        FInstalled.push_back(name);
        return name;
    }

    TMainWindowDriver& Window() { return *FWindow; }
    TPropsDialogDriver& Dialogs() { return *FDialogs; }

    // The main window is active again with the row selected, and the arrow keys move the
    // selection without a click first.
    void ExpectKeyboardWithTheList(const std::wstring& caption)
    {
        EXPECT_TRUE(WaitUntil(
            [&] {
                const auto row = Window().Row(caption);
                return row && row->Selected;
            },
            3000))
            << "the row is not selected";
        EXPECT_TRUE(Window().ArrowKeysReachTheList());
    }

    TScratchFolder FScratch{L"props_e2e"};
    std::wstring FSaFolder;
    std::wstring FErpFolder;
    TScopedEnvironment FPath;
    TScopedEnvironment FLog;
    TScopedUserText FRunDirs;
    std::vector<std::wstring> FInstalled;
    std::unique_ptr<TMainWindowDriver> FWindow;
    std::unique_ptr<TPropsDialogDriver> FDialogs;
};

TEST_F(PropsE2E, AddsADatabaseServerFoundOnPath)
{
    const std::wstring installed = Installing(L"SQLANYs_e2eprops_db");
    HWND kind = Dialogs().PressInsert();
    ASSERT_NE(kind, nullptr) << "no kind dialog";
    SaveWindowPicture(kind, Picture(L"kind_dialog.bmp"));
    HWND dialog = Dialogs().ChooseKind(kind, KindNetworkServer);
    ASSERT_NE(dialog, nullptr) << "no properties dialog";

    // The only server on PATH is offered and chosen.
    EXPECT_EQ(TPropsDialogDriver::Text(dialog, TFormProps::IdComboFile), FSaFolder + L"\\dbsrv17.exe");
    EXPECT_EQ(TPropsDialogDriver::DependencyCount(dialog), 0);
    TPropsDialogDriver::SetText(dialog, TFormProps::IdEditName, L"e2eprops_db");
    TPropsDialogDriver::SetText(dialog, TFormProps::IdMemoParams, L"-n e2edb\r\n-x tcpip");
    TPropsDialogDriver::Click(dialog, TFormProps::IdRBtnStartManual);
    SaveWindowPicture(dialog, Picture(L"props_new.bmp"));
    TPropsDialogDriver::Click(dialog, IDOK);

    ASSERT_TRUE(Dialogs().WaitGone(TFormProps::ClassName)) << "the dialog stays";
    EXPECT_TRUE(WaitUntil([&] { return Window().Row(L"SQL Anywhere - e2eprops_db").has_value(); }, 8000));
    ExpectKeyboardWithTheList(L"SQL Anywhere - e2eprops_db");
    auto state = InstalledConfig(installed);
    ASSERT_TRUE(state.has_value());
    EXPECT_EQ(state->StartType, static_cast<DWORD>(SERVICE_DEMAND_START));
    EXPECT_EQ(ReadRegDword(HKEY_CURRENT_USER, SettingsKey, L"ServiceType"), std::optional<DWORD>(0));
}

TEST_F(PropsE2E, AddsAnApplicationServerThatReceivesExactlyWhatWasChosen)
{
    const std::wstring installed = Installing(L"e2eprops_app");
    HWND dialog = Dialogs().ChooseKind(Dialogs().PressInsert(), KindAppServer);
    ASSERT_NE(dialog, nullptr) << "no properties dialog";
    EXPECT_EQ(TPropsDialogDriver::Text(dialog, TFormProps::IdEditName), L"<default>");
    EXPECT_EQ(TPropsDialogDriver::Text(dialog, TFormProps::IdComboFile), FErpFolder + L"\\t32appsrv.exe");
    TPropsDialogDriver::SetText(dialog, TFormProps::IdEditName, L"e2eprops_app");
    ASSERT_TRUE(TPropsDialogDriver::SelectDependency(dialog, BaseSpec.Name));
    // Lines with quotation marks and a trailing backslash reach the installer as typed.
    const std::wstring lines = L"-log \"C:\\Logs\\\"\r\n-dir C:\\Data\\";
    TPropsDialogDriver::SetText(dialog, TFormProps::IdMemoParams, lines);
    TPropsDialogDriver::Click(dialog, IDOK);

    ASSERT_TRUE(Dialogs().WaitGone(TFormProps::ClassName)) << "the dialog stays";
    EXPECT_TRUE(WaitUntil([&] { return Window().Row(L"Talvora ERP e2eprops_app").has_value(); }, 8000));
    EXPECT_EQ(DependOnService(installed), BaseSpec.Name);

    std::wstring logged = ReadUtf16File(FScratch / L"installers.log");
    ASSERT_FALSE(logged.empty());
    logged.pop_back();  // the line's end
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(logged.c_str(), &count);
    ASSERT_NE(argv, nullptr);
    std::vector<std::wstring> args(argv, argv + count);
    LocalFree(argv);
    ASSERT_FALSE(args.empty());
    EXPECT_EQ(args.back(), L"/params:-log \"C:\\Logs\\\"\\n-dir C:\\Data\\");
}

// Keys as a user presses them: the first ones replace "<default>", and Shift+Insert of a text
// with blanks and switches (which Wine's edit box pastes without WM_PASTE) leaves none of them.
TEST_F(PropsE2E, TheNameBoxTakesTypedAndPastedTextOnlyAsItAllows)
{
    HWND dialog = Dialogs().ChooseKind(Dialogs().PressInsert(), KindAppServer);
    ASSERT_NE(dialog, nullptr) << "no properties dialog";
    ASSERT_TRUE(BringToFront(dialog));
    // The keys go where the focus is: wait until the dialog has given it to the name box.
    HWND name = TPropsDialogDriver::Item(dialog, TFormProps::IdEditName);
    const DWORD thread = GetWindowThreadProcessId(dialog, nullptr);
    ASSERT_TRUE(WaitUntil(
        [&] {
            GUITHREADINFO info{};
            info.cbSize = sizeof(info);
            return GetGUIThreadInfo(thread, &info) && info.hwndFocus == name;
        },
        10000));
    for (WORD key : {'M', 'Y', 'A', 'P', 'P'})
        PressKey(key);
    EXPECT_TRUE(WaitUntil([&] { return TPropsDialogDriver::Text(dialog, TFormProps::IdEditName) == L"myapp"; }, 10000))
        << ToUtf8(TPropsDialogDriver::Text(dialog, TFormProps::IdEditName));

    const std::wstring pasted = L"Evil1 /disabled /dependson:SQLANYs_TalvoraDB";
    ASSERT_TRUE(SetClipboardText(pasted.c_str()));
    PressChord({VK_SHIFT, VK_INSERT});
    EXPECT_TRUE(WaitUntil(
        [&] { return TPropsDialogDriver::Text(dialog, TFormProps::IdEditName) == L"myappEvil1disableddependsonSQLANYs_TalvoraDB"; },
        10000))
        << ToUtf8(TPropsDialogDriver::Text(dialog, TFormProps::IdEditName));
    SaveWindowPicture(dialog, Picture(L"props_name_typed.bmp"));
    TPropsDialogDriver::Click(dialog, IDCANCEL);
    EXPECT_TRUE(Dialogs().WaitGone(TFormProps::ClassName));
}

// The error after an installer that refuses the name (the service exists) is owned by the
// dialog, is in front, and closes with each of Enter, Space and Escape: keys only.
TEST_F(PropsE2E, TheErrorAfterAFailingInstallerAnswersTheKeyboard)
{
    HWND dialog = Dialogs().ChooseKind(Dialogs().PressInsert(), KindAppServer);
    ASSERT_NE(dialog, nullptr) << "no properties dialog";
    TPropsDialogDriver::SetText(dialog, TFormProps::IdEditName, BaseSpec.Name);
    for (WORD key : {VK_RETURN, VK_SPACE, VK_ESCAPE}) {
        SCOPED_TRACE(key);
        TPropsDialogDriver::Click(dialog, IDOK);
        HWND box = Dialogs().WaitFor(L"#32770");
        ASSERT_NE(box, nullptr) << "no error shown";
        EXPECT_NE(MessageBoxText(box).find(L"Error installing service (exitcode=0x"), std::wstring::npos);
        EXPECT_EQ(GetWindow(box, GW_OWNER), dialog);
        EXPECT_TRUE(WaitUntil([&] { return GetForegroundWindow() == box; }, 5000)) << "the error is in front";
        PressKey(key);
        ASSERT_TRUE(Dialogs().WaitGone(L"#32770", 5000)) << "the key left the error open";
    }
    TPropsDialogDriver::Click(dialog, IDCANCEL);
    EXPECT_TRUE(Dialogs().WaitGone(TFormProps::ClassName));
}

TEST_F(PropsE2E, ChangesARunningServiceAndTellsWhenItTakesEffect)
{
    HWND dialog = Dialogs().OpenProperties(RunningSpec.DisplayName);
    ASSERT_NE(dialog, nullptr) << "no properties dialog";
    SaveWindowPicture(dialog, Picture(L"props_installed.bmp"));
    EXPECT_EQ(TPropsDialogDriver::Text(dialog, TFormProps::IdEditName), RunningSpec.Name);
    EXPECT_TRUE(TPropsDialogDriver::Checked(dialog, TFormProps::IdRBtnStartManual));
    EXPECT_FALSE(IsWindowEnabled(TPropsDialogDriver::Item(dialog, TFormProps::IdChBoxDelayedStart)))
        << "Wine has no delayed start";
    TPropsDialogDriver::Click(dialog, TFormProps::IdRBtnStartDisabled);
    ASSERT_TRUE(TPropsDialogDriver::SelectDependency(dialog, BaseSpec.Name));
    TPropsDialogDriver::SetText(dialog, TFormProps::IdMemoParams, L"-port 2000\r\n-log C:\\Logs");
    TPropsDialogDriver::Click(dialog, IDOK);

    EXPECT_EQ(Dialogs().AnswerMessageBox(),
              L"Service properties: The new configuration will take effect as soon as the service is stopped.");
    EXPECT_TRUE(Dialogs().WaitGone(TFormProps::ClassName));
    auto state = InstalledConfig(RunningSpec.Name);
    ASSERT_TRUE(state.has_value());
    EXPECT_EQ(state->StartType, static_cast<DWORD>(SERVICE_DISABLED));
    EXPECT_EQ(DependOnService(RunningSpec.Name), BaseSpec.Name);
    EXPECT_EQ(ReadServiceParameters(RunningSpec.Name), L"-port 2000\r\n-log C:\\Logs");
    EXPECT_EQ(Window().Row(RunningSpec.DisplayName)->Status, L"Running");
    ExpectKeyboardWithTheList(RunningSpec.DisplayName);
}

TEST_F(PropsE2E, ANewAccountAsksForItsPasswordUntilBothMatch)
{
    HWND dialog = Dialogs().OpenProperties(AccountSpec.DisplayName);
    ASSERT_NE(dialog, nullptr) << "no properties dialog";
    TPropsDialogDriver::Click(dialog, TFormProps::IdChBoxDefaultAccount);
    const std::wstring account = ThisUsersAccount();
    TPropsDialogDriver::SetText(dialog, TFormProps::IdEditUser, account);
    TPropsDialogDriver::Click(dialog, IDOK);

    HWND prompt = Dialogs().WaitFor(TFormPassword::ClassName);
    ASSERT_NE(prompt, nullptr) << "no password prompt";
    SaveWindowPicture(prompt, Picture(L"password_prompt.bmp"));
    TPropsDialogDriver::SetText(prompt, TFormPassword::IdEditPassword, L"secret");
    TPropsDialogDriver::SetText(prompt, TFormPassword::IdEditConfirm, L"secreT");
    TPropsDialogDriver::Click(prompt, IDOK);
    EXPECT_EQ(Dialogs().AnswerMessageBox(), L"Service properties: Password confirmation mismatch.");

    prompt = Dialogs().WaitFor(TFormPassword::ClassName);
    ASSERT_NE(prompt, nullptr) << "the prompt does not come again";
    TPropsDialogDriver::SetText(prompt, TFormPassword::IdEditConfirm, L"secret");
    TPropsDialogDriver::Click(prompt, IDOK);

    // A stopped service: no note about the configuration, only the right granted (Wine's LSA
    // takes the grant and keeps nothing).
    EXPECT_EQ(Dialogs().AnswerMessageBox(),
              L"Service properties: The account " + account + L" was granted the right to log on as a service.");
    EXPECT_TRUE(Dialogs().WaitGone(TFormProps::ClassName));
    auto state = InstalledConfig(AccountSpec.Name);
    ASSERT_TRUE(state.has_value());
    EXPECT_EQ(state->StartName, account);
}

// A user name of three spaces and an account this computer does not know are refused before a
// password is asked for; the dialog stays open and the account stays.
TEST_F(PropsE2E, ABlankOrUnknownAccountIsRefused)
{
    const auto before = InstalledConfig(RunningSpec.Name);
    ASSERT_TRUE(before.has_value());
    const struct {
        const wchar_t* Typed;
        std::wstring Message;
    } cases[] = {
        {L"   ", L"Service properties: User name cannot be empty. Check \"Default\" to run the service as LocalSystem."},
        {L".\\nobody", L"Service properties: The account \".\\nobody\" does not exist on this computer."},
    };
    HWND dialog = Dialogs().OpenProperties(RunningSpec.DisplayName);
    ASSERT_NE(dialog, nullptr) << "no properties dialog";
    TPropsDialogDriver::Click(dialog, TFormProps::IdChBoxDefaultAccount);
    for (const auto& c : cases) {
        TPropsDialogDriver::SetText(dialog, TFormProps::IdEditUser, c.Typed);
        TPropsDialogDriver::Click(dialog, IDOK);
        EXPECT_EQ(Dialogs().AnswerMessageBox(), c.Message);
        EXPECT_NE(Dialogs().WaitFor(TFormProps::ClassName, 1000), nullptr) << "the dialog stays open";
    }
    EXPECT_EQ(Window().Program().FindWindowOfClass(TFormPassword::ClassName, true), nullptr) << "no password prompt";
    TPropsDialogDriver::Click(dialog, IDCANCEL);
    EXPECT_TRUE(Dialogs().WaitGone(TFormProps::ClassName));
    auto after = InstalledConfig(RunningSpec.Name);
    ASSERT_TRUE(after.has_value());
    EXPECT_EQ(after->StartName, before->StartName);
}

TEST_F(PropsE2E, ACancelledPromptChangesNothing)
{
    const auto before = InstalledConfig(RunningSpec.Name);
    ASSERT_TRUE(before.has_value());
    HWND dialog = Dialogs().OpenProperties(RunningSpec.DisplayName);
    ASSERT_NE(dialog, nullptr) << "no properties dialog";
    TPropsDialogDriver::Click(dialog, TFormProps::IdRBtnStartAuto);
    TPropsDialogDriver::Click(dialog, TFormProps::IdChBoxDefaultAccount);
    TPropsDialogDriver::SetText(dialog, TFormProps::IdEditUser, ThisUsersAccount());
    TPropsDialogDriver::Click(dialog, IDOK);
    HWND prompt = Dialogs().WaitFor(TFormPassword::ClassName);
    ASSERT_NE(prompt, nullptr) << "no password prompt";
    TPropsDialogDriver::Click(prompt, IDCANCEL);

    ASSERT_TRUE(Dialogs().WaitGone(TFormPassword::ClassName));
    EXPECT_NE(Dialogs().WaitFor(TFormProps::ClassName, 1000), nullptr) << "the dialog stays open";
    EXPECT_EQ(Window().Program().FindWindowOfClass(L"#32770", true), nullptr) << "no message";
    TPropsDialogDriver::Click(dialog, IDCANCEL);
    EXPECT_TRUE(Dialogs().WaitGone(TFormProps::ClassName));
    auto after = InstalledConfig(RunningSpec.Name);
    ASSERT_TRUE(after.has_value());
    EXPECT_EQ(after->StartType, before->StartType);
    EXPECT_EQ(after->StartName, before->StartName);
}
SIZE SizeOf(const RECT& r) { return {r.right - r.left, r.bottom - r.top}; }

// The dialog's size between openings, as a user sees it: Properties..., the dialog made larger by
// its frame, Cancel, Properties... again: the dialog at the size it was cancelled with, 24 pixels
// right of and below the main window; and once the main window has been dragged into the corner
// of the screen, flush with the work area's edges. The stored size is set aside and put back.
TEST_F(PropsE2E, TheDialogComesBackAtItsSizeBesideTheMainWindow)
{
    TScopedUserText stored(PropsLayoutSection, L"Size", std::nullopt);
    HWND main = Window().Main();
    HWND dialog = Dialogs().OpenProperties(BaseSpec.DisplayName);
    ASSERT_NE(dialog, nullptr) << "no properties dialog";
    const RECT designed = WindowScreenRect(dialog);
    RECT client{};
    GetClientRect(dialog, &client);
    EXPECT_EQ(client.right, 723);
    EXPECT_EQ(client.bottom, 375);
    const RECT mainFrame = WindowScreenRect(main);
    EXPECT_EQ(designed.left, mainFrame.left + 24);
    EXPECT_EQ(designed.top, mainFrame.top + 24);

    // The lower right corner of the frame, dragged 80 pixels right and 60 down.
    ASSERT_TRUE(BringToFront(dialog));
    DragMouse({designed.right - 2, designed.bottom - 2}, {designed.right + 78, designed.bottom + 58});
    const SIZE resized{SizeOf(designed).cx + 80, SizeOf(designed).cy + 60};
    EXPECT_TRUE(WaitUntil([&] { return SizeOf(WindowScreenRect(dialog)).cy == resized.cy; }, 3000));
    ASSERT_EQ(SizeOf(WindowScreenRect(dialog)).cx, resized.cx);
    ASSERT_EQ(SizeOf(WindowScreenRect(dialog)).cy, resized.cy);
    ClickAt(CentreOf(WindowScreenRect(TPropsDialogDriver::Item(dialog, IDCANCEL))));
    ASSERT_TRUE(Dialogs().WaitGone(TFormProps::ClassName)) << "Cancel did not end the dialog";
    EXPECT_EQ(ReadRegText(HKEY_CURRENT_USER, PropsLayoutSection, L"Size"), Fmt(L"%d,%d", {resized.cx, resized.cy}));

    dialog = Dialogs().OpenProperties(BaseSpec.DisplayName);
    ASSERT_NE(dialog, nullptr) << "no properties dialog the second time";
    const RECT reopened = WindowScreenRect(dialog);
    EXPECT_EQ(SizeOf(reopened).cx, resized.cx);
    EXPECT_EQ(SizeOf(reopened).cy, resized.cy);
    EXPECT_EQ(reopened.left, mainFrame.left + 24);
    EXPECT_EQ(reopened.top, mainFrame.top + 24);
    TPropsDialogDriver::Click(dialog, IDCANCEL);
    ASSERT_TRUE(Dialogs().WaitGone(TFormProps::ClassName));

    // The main window moved into the work area's lower right corner: the dialog, larger than it,
    // is pulled back inside.
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    GetMonitorInfoW(MonitorFromWindow(main, MONITOR_DEFAULTTONEAREST), &monitor);
    const RECT work = monitor.rcWork;
    const POINT corner{work.right - SizeOf(mainFrame).cx, work.bottom - SizeOf(mainFrame).cy};
    ASSERT_GT(corner.x + 24 + resized.cx, work.right) << "the dialog would fit beside the main window";
    ASSERT_GT(corner.y + 24 + resized.cy, work.bottom) << "the dialog would fit below the main window";
    SetWindowPos(main, nullptr, corner.x, corner.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ASSERT_TRUE(WaitUntil([&] { return WindowScreenRect(main).left == corner.x; }, 3000)) << "the main window did not move";
    ASSERT_EQ(WindowScreenRect(main).top, corner.y);
    dialog = Dialogs().OpenProperties(BaseSpec.DisplayName);
    ASSERT_NE(dialog, nullptr) << "no properties dialog the third time";
    const RECT flush = WindowScreenRect(dialog);
    EXPECT_EQ(flush.right, work.right);
    EXPECT_EQ(flush.bottom, work.bottom);
    EXPECT_EQ(SizeOf(flush).cx, resized.cx);
    EXPECT_EQ(SizeOf(flush).cy, resized.cy);
    TPropsDialogDriver::Click(dialog, IDCANCEL);
    EXPECT_TRUE(Dialogs().WaitGone(TFormProps::ClassName));
}
}  // namespace
