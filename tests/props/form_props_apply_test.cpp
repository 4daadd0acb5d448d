// OK in the properties dialog over the simulated manager: validation, installing, writing only
// what changed, the running service's note, refusals and failures part way, a service gone
// meanwhile, and the password prompt.
#include "common/errors.h"
#include "common/format.h"
#include "common/registry.h"
#include "erp/executables.h"
#include "erp/service_parameters.h"
#include "tests/props/props_dialog_fixture.h"
#include "tests/support/key_access.h"
#include "tests/support/message_box_hook.h"
#include "tests/support/user_input.h"
#include "ui/base/application.h"
#include "ui/base/message_box.h"
#include "ui/props/form_password.h"
#include "ui/props/form_props.h"
#include "ui/props/service_properties.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <functional>
#include <memory>
#include <vector>

namespace {
TEST_F(FormPropsTest, ValidatesNameAndExecutableOfANewService)
{
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring folder = self;
    folder.resize(folder.rfind(L'\\'));
    const struct {
        const char* Name;
        std::wstring ServiceName, File;
        std::wstring Message;
    } cases[] = {
        {"empty name", L"", self, L"Service name cannot by empty."},
        {"missing file", L"a", folder + L"\\missing.exe", L"Executable file does not exist."},
        {"a folder", L"a", folder, L"Executable file does not exist."},
        {"no folder part", L"a", L"props_form_props_test.exe", L"Executable file does not exist."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        ScriptedMessageBoxes boxes;
        Open(nullptr, etNetworkServer);
        SetCurrentDirectoryW(folder.c_str());
        Show({[&] {
                  SetWindowTextW(Item(TFormProps::IdEditName), c.ServiceName.c_str());
                  SetWindowTextW(Item(TFormProps::IdComboFile), c.File.c_str());
                  Click(Item(IDOK));
              },
              [&] {
                  EXPECT_TRUE(IsWindowVisible(Form->Handle())) << "the dialog stays open";
                  Cancel();
              }});
        ASSERT_EQ(boxes.Asked.size(), 1u);
        EXPECT_EQ(boxes.Asked[0].Text, c.Message);
        EXPECT_EQ(boxes.Asked[0].Caption, L"Service properties");
        EXPECT_EQ(boxes.Asked[0].Flags, static_cast<UINT>(MB_ICONERROR));
    }
}

// An installer that cannot be started: the default report, and the dialog stays as it was.
TEST_F(FormPropsTest, AFailedInstallKeepsTheDialog)
{
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    ScriptedMessageBoxes boxes;
    Open(nullptr, etNetworkServer);
    Show({[&] {
              SetWindowTextW(Item(TFormProps::IdEditName), L"nodbsvc");
              SetWindowTextW(Item(TFormProps::IdComboFile), self);
              Click(Item(IDOK));
          },
          [&] {
              EXPECT_TRUE(IsWindowVisible(Form->Handle()));
              EXPECT_EQ(Text(Item(TFormProps::IdEditName)), L"nodbsvc");
              Cancel();
          }});
    ASSERT_EQ(boxes.Asked.size(), 1u);
    EXPECT_EQ(boxes.Asked[0].Text.rfind(L"Error executing application (", 0), 0u) << ToUtf8(boxes.Asked[0].Text);
    EXPECT_EQ(boxes.Asked[0].Flags, static_cast<UINT>(MB_OK | MB_ICONERROR));
}

TEST_F(FormPropsTest, AppliesAChangeAndTellsWhenTheServiceRuns)
{
    const struct {
        const char* Name;
        DWORD State;
        std::wstring Params;
        size_t Messages;
    } cases[] = {
        {"running", SERVICE_RUNNING, L"-port 2000\r\n-log C:\\Logs", 1},
        {"stopped, empty box", SERVICE_STOPPED, L"", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TSimService s = SimService(L"form_props_gui_test");
        s.State = c.State;
        Sim.AddService(s);
        FCatalogue.reset();
        WriteServiceParameters(L"form_props_gui_test", L"old");
        ScriptedMessageBoxes boxes;
        Open(Record(L"form_props_gui_test"));
        EXPECT_EQ(Show({[&] {
                      Click(Item(TFormProps::IdRBtnStartDisabled));
                      HWND depend = Item(TFormProps::IdComboDepend);
                      SendMessageW(depend, CB_SETCURSEL,
                                   SendMessageW(depend, CB_FINDSTRINGEXACT, 0, reinterpret_cast<LPARAM>(L"SQLANYs_Db")), 0);
                      SetWindowTextW(Item(TFormProps::IdMemoParams), c.Params.c_str());
                      Click(Item(IDOK));
                  }}),
                  IDOK);
        ASSERT_EQ(boxes.Asked.size(), c.Messages);
        if (c.Messages) {
            EXPECT_EQ(boxes.Asked[0].Text, L"The new configuration will take effect as soon as the service is stopped.");
            EXPECT_EQ(boxes.Asked[0].Caption, L"Service properties");
            EXPECT_EQ(boxes.Asked[0].Flags, static_cast<UINT>(MB_ICONINFORMATION));
        }
        const TSimService after = Sim.Service(L"form_props_gui_test");
        EXPECT_EQ(after.StartType, static_cast<DWORD>(SERVICE_DISABLED));
        EXPECT_EQ(after.Dependencies, std::vector<std::wstring>{L"SQLANYs_Db"});
        EXPECT_EQ(ReadServiceParameters(L"form_props_gui_test"), c.Params.empty() ? L"old" : c.Params);
        EXPECT_EQ(Sim.OpenHandleCount(), 1) << "the service handle is closed again";
        Sim.RemoveService(L"form_props_gui_test");
    }
}

// A failed apply keeps the dialog open with its contents; OK repeats the whole step, the
// password prompt included. Meanwhile the timer's refresh leaves the held handle alone.
TEST_F(FormPropsTest, ARefusedChangeKeepsTheDialogAndOkAsksAgain)
{
    TNtService* record = Record(L"TalvoraApp");
    ScriptedMessageBoxes boxes;
    Open(record);
    int prompts = 0;
    SC_HANDLE held = nullptr;
    Form->SetPasswordPrompt([&](std::wstring& password) {
        ++prompts;
        held = record->Handle();
        EXPECT_NE(held, nullptr);
        // What the main window's timer does meanwhile.
        Sim.SetStatus(L"TalvoraApp", SERVICE_RUNNING);
        record->Refresh();
        EXPECT_EQ(record->Handle(), held) << "neither closed nor replaced";
        EXPECT_EQ(record->ServiceState(), ssRunning) << "the record still follows the service";
        password = L"pw";
        return true;
    });
    Sim.Fail(TSimCall::ChangeServiceConfig, ERROR_SERVICE_LOGON_FAILED, L"TalvoraApp", 0, 1);
    EXPECT_EQ(Show({[&] {
                        Click(Item(TFormProps::IdChBoxDefaultAccount));
                        SetWindowTextW(Item(TFormProps::IdEditUser), L".\\svcuser");
                        Click(Item(IDOK));
                    },
                    [&] {
                        EXPECT_TRUE(IsWindowVisible(Form->Handle()));
                        EXPECT_EQ(Text(Item(TFormProps::IdEditUser)), L".\\svcuser");
                        EXPECT_EQ(Sim.OpenHandleCount(), 1);
                        Click(Item(IDOK));
                    }}),
              IDOK);
    EXPECT_EQ(prompts, 2);
    ASSERT_EQ(boxes.Asked.size(), 2u);  // the default report, then the running service's note
    EXPECT_NE(boxes.Asked[0].Text.find(L"1069"), std::wstring::npos);
    EXPECT_EQ(Sim.Service(L"TalvoraApp").StartName, L".\\svcuser");
}

TEST_F(FormPropsTest, ACancelledPromptChangesNothing)
{
    ScriptedMessageBoxes boxes;
    Open(Record(L"TalvoraApp"));
    Form->SetPasswordPrompt([](std::wstring&) { return false; });
    Show({[&] {
              Click(Item(TFormProps::IdChBoxDefaultAccount));
              SetWindowTextW(Item(TFormProps::IdEditUser), L".\\svcuser");
              Click(Item(IDOK));
          },
          [&] {
              EXPECT_TRUE(IsWindowVisible(Form->Handle()));
              Cancel();
          }});
    EXPECT_TRUE(Sim.ChangeConfigCalls().empty());
    EXPECT_TRUE(boxes.Asked.empty());
}

// Account names are checked before the password is asked for and before anything is written,
// an account the computer does not know is refused, and a new account gets the right to log on
// as a service; the built-in accounts need no password.
TEST_F(FormPropsTest, ChecksTheAccountBeforeAskingForItsPassword)
{
    const std::wstring refused = L"is not a valid account name.";
    const std::wstring blank = L"User name cannot be empty.";
    const std::wstring granted = L"was granted the right to log on as a service.";
    Sim.Accounts().Add(L"erp@corp.example");
    const struct {
        const char* Name;
        std::wstring Typed;
        std::wstring Message;  // empty: none; else a part of the one message shown
        int Prompts;
        std::optional<std::wstring> Written;  // the account written, none: no change at all
    } cases[] = {
        {"blank", L"", blank, 0, std::nullopt},
        {"spaces", L"   ", blank, 0, std::nullopt},
        {"dot and backslash only", L".\\", L"User name \".\\\" " + refused, 0, std::nullopt},
        {"dot-dot domain", L"..\\x", L"User name \"..\\x\" " + refused, 0, std::nullopt},
        {"two backslashes", L"a\\b\\c", L"User name \"a\\b\\c\" " + refused, 0, std::nullopt},
        {"no domain", L"\\user", refused, 0, std::nullopt},
        {"no user", L"DOMAIN\\", refused, 0, std::nullopt},
        {"a tab inside, named by its code", L"svc\tuser",
         L"User name \"svc\tuser\" is not a valid account name. It contains the control character U+0009.", 0,
         std::nullopt},
        {"a quotation mark", L"svc\"user", refused, 0, std::nullopt},
        {"each refused character", L".\\a/b[]:;|=,+*?<>", refused, 0, std::nullopt},
        {"a user part too long", L".\\" + std::wstring(21, L'u'), refused, 0, std::nullopt},
        {"300 characters", std::wstring(300, L'u'), refused, 0, std::nullopt},
        {"a 300-character domain", std::wstring(300, L'd') + L"\\u", refused, 0, std::nullopt},
        {"unknown to the computer", L".\\nobody", L"The account \".\\nobody\" does not exist on this computer.", 0,
         std::nullopt},
        {"trimmed", L"  .\\svcuser\t", L"The account .\\svcuser " + granted, 1, L".\\svcuser"},
        {"user@domain", L"erp@corp.example", L"The account erp@corp.example " + granted, 1, L"erp@corp.example"},
        {"LocalSystem as it is", L".\\LOCALSYSTEM", L"", 0, std::nullopt},
        {"LocalSystem by its NT AUTHORITY name", L"NT AUTHORITY\\SYSTEM", L"", 0, std::nullopt},
        {"local service", L"LocalService", L"", 0, L"NT AUTHORITY\\LocalService"},
        {"network service", L" nt authority\\networkservice ", L"", 0, L"NT AUTHORITY\\NetworkService"},
        {"virtual account", L"NT SERVICE\\TalvoraApp", L"", 0, L"NT SERVICE\\TalvoraApp"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        ResetApp();
        const size_t calls = Sim.ChangeConfigCalls().size();
        ScriptedMessageBoxes boxes;
        Open(Record(L"TalvoraApp"));
        int prompts = 0;
        Form->SetPasswordPrompt([&](std::wstring& password) {
            ++prompts;
            password = L"pw";
            return true;
        });
        Show({[&] {
            Click(Item(TFormProps::IdChBoxDefaultAccount));
            SetWindowTextW(Item(TFormProps::IdEditUser), c.Typed.c_str());
            Click(Item(IDOK));
            if (IsWindow(Form->Handle()) && IsWindowVisible(Form->Handle()))
                Cancel();
        }});
        EXPECT_EQ(prompts, c.Prompts);
        EXPECT_EQ(boxes.Asked.size(), c.Message.empty() ? 0u : 1u);
        if (!c.Message.empty() && !boxes.Asked.empty()) {
            EXPECT_NE(boxes.Asked[0].Text.find(c.Message), std::wstring::npos) << ToUtf8(boxes.Asked[0].Text);
        }
        const auto after = Sim.ChangeConfigCalls();
        EXPECT_EQ(after.size(), calls + (c.Written ? 1 : 0));
        if (c.Written && after.size() > calls) {
            EXPECT_EQ(after.back().StartName, c.Written);
            EXPECT_EQ(Sim.Service(L"TalvoraApp").StartName, *c.Written);
        }
        if (!c.Written) {
            EXPECT_EQ(Sim.Service(L"TalvoraApp").StartName, L"LocalSystem");
        }
    }
}

// A running service's note and the grant share one message, each on a line of its own; a grant
// that fails is a warning of its own, and the account stays set.
TEST_F(FormPropsTest, TheOkMessageSaysWhatWasGranted)
{
    Sim.SetStatus(L"TalvoraApp", SERVICE_RUNNING);
    for (const DWORD failure : {DWORD{0}, DWORD{ERROR_ACCESS_DENIED}}) {
        SCOPED_TRACE(failure);
        Sim.Accounts().Add(L".\\svcuser");  // again without the right
        Rights.Fail(0);
        Sim.Update(L"TalvoraApp", [](TSimService& s) { s.StartName = L"LocalSystem"; });
        FCatalogue.reset();
        ScriptedMessageBoxes boxes;
        Open(Record(L"TalvoraApp"));
        Form->SetPasswordPrompt([&](std::wstring& password) {
            Rights.Fail(failure);  // after the lookup, before the grant
            password = L"pw";
            return true;
        });
        EXPECT_EQ(Show({[&] {
                      Click(Item(TFormProps::IdChBoxDefaultAccount));
                      SetWindowTextW(Item(TFormProps::IdEditUser), L".\\svcuser");
                      Click(Item(IDOK));
                  }}),
                  IDOK);
        EXPECT_EQ(Sim.Service(L"TalvoraApp").StartName, L".\\svcuser");
        EXPECT_EQ(Sim.Accounts().HoldsLogonRight(L".\\svcuser"), failure == 0);
        const std::wstring note = L"The new configuration will take effect as soon as the service is stopped.";
        if (failure == 0) {
            ASSERT_EQ(boxes.Asked.size(), 1u);
            EXPECT_EQ(boxes.Asked[0].Text,
                      note + L"\nThe account .\\svcuser was granted the right to log on as a service.");
        } else {
            ASSERT_EQ(boxes.Asked.size(), 2u);
            EXPECT_EQ(boxes.Asked[0].Flags & MB_ICONMASK, static_cast<UINT>(MB_ICONWARNING));
            EXPECT_NE(boxes.Asked[0].Text.find(L"will not start"), std::wstring::npos) << ToUtf8(boxes.Asked[0].Text);
            EXPECT_EQ(boxes.Asked[1].Text, note);
        }
    }
}

// OK with nothing edited writes nothing and says nothing about a new configuration.
TEST_F(FormPropsTest, AnUneditedOkWritesNothing)
{
    Sim.SetStatus(L"TalvoraApp", SERVICE_RUNNING);
    WriteServiceParameters(L"TalvoraApp", L"-x");
    ScriptedMessageBoxes boxes;
    Open(Record(L"TalvoraApp"));
    const int opens = Sim.CallCount(TSimCall::OpenService, L"TalvoraApp");
    EXPECT_EQ(Show({[&] { Click(Item(IDOK)); }}), IDOK);
    EXPECT_TRUE(boxes.Asked.empty());
    EXPECT_TRUE(Sim.ChangeConfigCalls().empty());
    EXPECT_EQ(Sim.CallCount(TSimCall::ChangeServiceConfig2), 0);
    EXPECT_EQ(Sim.CallCount(TSimCall::OpenService, L"TalvoraApp"), opens) << "not even opened";
}

// A service deleted while its dialog is open: OK says it is gone and writes nothing, not even
// "Parameters" (whose key a later service of that name would take).
TEST_F(FormPropsTest, AServiceGoneMeanwhileGetsNothingWritten)
{
    const struct {
        const char* Name;
        bool StartType;
    } cases[] = {{"parameters only", false}, {"parameters and start type", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        ResetApp();
        RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Services\\TalvoraApp\\Parameters",
                           L"Parameters");
        ScriptedMessageBoxes boxes;
        Open(Record(L"TalvoraApp"));
        EXPECT_EQ(Show({[&] {
                            if (c.StartType)
                                Click(Item(TFormProps::IdRBtnStartDisabled));
                            SetWindowTextW(Item(TFormProps::IdMemoParams), L"-x");
                            Sim.RemoveService(L"TalvoraApp");
                            Click(Item(IDOK));
                        },
                        [&] {
                            EXPECT_TRUE(IsWindowVisible(Form->Handle()));
                            Cancel();
                        }}),
                  IDCANCEL);
        ASSERT_EQ(boxes.Asked.size(), 1u);
        EXPECT_EQ(boxes.Asked[0].Text, L"The service \"TalvoraApp\" no longer exists: nothing was changed.");
        EXPECT_EQ(boxes.Asked[0].Flags, static_cast<UINT>(MB_ICONERROR));
        EXPECT_TRUE(Sim.ChangeConfigCalls().empty());
        EXPECT_EQ(ReadServiceParametersValue(L"TalvoraApp").Type, static_cast<DWORD>(REG_NONE));
    }
}

// Everything is written before anything is shown; a failure part way names what is in force.
TEST_F(FormPropsTest, AFailurePartWayTellsWhatWasWritten)
{
    Sim.SetStatus(L"TalvoraApp", SERVICE_RUNNING);
    WriteServiceParameters(L"TalvoraApp", L"old");
    Sim.Fail(TSimCall::ChangeServiceConfig2, ERROR_ACCESS_DENIED, L"TalvoraApp", 0, 1);
    ScriptedMessageBoxes boxes;
    Open(Record(L"TalvoraApp"));
    EXPECT_EQ(Show({[&] {
                        Click(Item(TFormProps::IdRBtnStartAuto));
                        Click(Item(TFormProps::IdChBoxDelayedStart));
                        SetWindowTextW(Item(TFormProps::IdMemoParams), L"new");
                        Click(Item(IDOK));
                    },
                    [&] {
                        EXPECT_TRUE(IsWindowVisible(Form->Handle()));
                        Cancel();
                    }}),
              IDCANCEL);
    ASSERT_EQ(boxes.Asked.size(), 1u) << "the error alone: no note about the new configuration";
    const std::wstring& text = boxes.Asked[0].Text;
    EXPECT_NE(text.find(L"Code: 5."), std::wstring::npos) << ToUtf8(text);
    EXPECT_NE(text.find(L"\n\nChanges made: start type.\nChanges not made: delayed start, parameters."),
              std::wstring::npos)
        << ToUtf8(text);
    EXPECT_EQ(Sim.Service(L"TalvoraApp").StartType, static_cast<DWORD>(SERVICE_AUTO_START));
    EXPECT_FALSE(Sim.Service(L"TalvoraApp").DelayedAutoStart);
    EXPECT_EQ(ReadServiceParameters(L"TalvoraApp"), L"old");
}

// The password prompt: masked fields of 255 characters; a mismatch is refused and the prompt
// comes again holding the texts.
TEST_F(FormPropsTest, PasswordPromptAsksAgainAfterAMismatch)
{
    ScriptedMessageBoxes boxes;
    auto prompt = [] { return FindWindowW(TFormPassword::ClassName, nullptr); };
    auto field = [&](int id) { return GetDlgItem(prompt(), id); };
    TScript::Steps = {
        [&] {
            ASSERT_NE(prompt(), nullptr);
            EXPECT_EQ(Text(prompt()), L"Set account password");
            for (int id : {TFormPassword::IdEditPassword, TFormPassword::IdEditConfirm}) {
                EXPECT_TRUE(GetWindowLongW(field(id), GWL_STYLE) & ES_PASSWORD);
                EXPECT_EQ(SendMessageW(field(id), EM_GETPASSWORDCHAR, 0, 0), L'*');
                EXPECT_EQ(SendMessageW(field(id), EM_GETLIMITTEXT, 0, 0), 255);
                EXPECT_EQ(Text(field(id)), L"");
            }
            EXPECT_EQ(Text(GetDlgItem(prompt(), TFormPassword::IdLabelPassword)), L"Password");
            EXPECT_EQ(Text(GetDlgItem(prompt(), TFormPassword::IdLabelConfirm)), L"Confirm");
            SetWindowTextW(field(TFormPassword::IdEditPassword), L"one");
            SetWindowTextW(field(TFormPassword::IdEditConfirm), L"One");
            Click(GetDlgItem(prompt(), IDOK));
        },
        [&] {
            ASSERT_NE(prompt(), nullptr);
            EXPECT_EQ(Text(field(TFormPassword::IdEditPassword)), L"one");
            EXPECT_EQ(Text(field(TFormPassword::IdEditConfirm)), L"One");
            SetWindowTextW(field(TFormPassword::IdEditConfirm), L"one");
            Click(GetDlgItem(prompt(), IDOK));
        },
    };
    TScript::Next = 0;
    TScript::Ticks = 0;
    UINT_PTR timer = SetTimer(nullptr, 0, 25, &TScript::Tick);
    std::wstring password;
    EXPECT_TRUE(AskAccountPassword(password, L"Service properties"));
    KillTimer(nullptr, timer);
    EXPECT_EQ(password, L"one");
    ASSERT_EQ(boxes.Asked.size(), 1u);
    EXPECT_EQ(boxes.Asked[0].Text, L"Password confirmation mismatch.");
    EXPECT_EQ(boxes.Asked[0].Caption, L"Service properties");
    EXPECT_EQ(boxes.Asked[0].Flags, static_cast<UINT>(MB_ICONERROR));

    TScript::Steps = {[&] { PostMessageW(prompt(), WM_CLOSE, 0, 0); }};
    TScript::Next = 0;
    timer = SetTimer(nullptr, 0, 25, &TScript::Tick);
    EXPECT_FALSE(AskAccountPassword(password, L"Service properties"));
    KillTimer(nullptr, timer);
}

// A password past the fields' 255 characters is refused with a message, however it came:
// pasted (the field would cut it) or set whole; it is never cut so that the two fields match.
TEST_F(FormPropsTest, PasswordPromptRefusesAPasswordTooLong)
{
    ScriptedMessageBoxes boxes;
    auto prompt = [] { return FindWindowW(TFormPassword::ClassName, nullptr); };
    auto field = [&](int id) { return GetDlgItem(prompt(), id); };
    const std::wstring tooLong(300, L'p');
    TScript::Steps = {
        [&] {
            ASSERT_NE(prompt(), nullptr);
            ASSERT_TRUE(SetClipboardText(tooLong.c_str()));
            SendMessageW(field(TFormPassword::IdEditPassword), WM_PASTE, 0, 0);
        },
        [&] {
            ASSERT_EQ(boxes.Asked.size(), 1u);
            EXPECT_EQ(Text(field(TFormPassword::IdEditPassword)), L"") << "emptied, not cut";
            SetWindowTextW(field(TFormPassword::IdEditPassword), tooLong.c_str());
            SetWindowTextW(field(TFormPassword::IdEditConfirm), tooLong.c_str());
            Click(GetDlgItem(prompt(), IDOK));
        },
        [&] {
            ASSERT_NE(prompt(), nullptr) << "asked again";
            ASSERT_EQ(boxes.Asked.size(), 2u);
            SetWindowTextW(field(TFormPassword::IdEditPassword), L"short");
            SetWindowTextW(field(TFormPassword::IdEditConfirm), L"short");
            Click(GetDlgItem(prompt(), IDOK));
        },
    };
    TScript::Next = 0;
    TScript::Ticks = 0;
    UINT_PTR timer = SetTimer(nullptr, 0, 25, &TScript::Tick);
    std::wstring password;
    EXPECT_TRUE(AskAccountPassword(password, L"Service properties"));
    KillTimer(nullptr, timer);
    EXPECT_EQ(password, L"short");
    for (const AskedMessageBox& asked : boxes.Asked) {
        EXPECT_EQ(asked.Text, L"The password cannot be longer than 255 characters.");
        EXPECT_EQ(asked.Caption, L"Service properties");
        EXPECT_EQ(asked.Flags, static_cast<UINT>(MB_ICONERROR));
    }
}
}  // namespace
