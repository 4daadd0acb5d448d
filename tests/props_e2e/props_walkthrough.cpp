// Not a test: walks through Add... and Properties... of a program already set up by ./run.sh, as
// a new user would, and leaves pictures of what it saw. Run in ./run.sh's prefix on a display:
//   props_walkthrough.exe <program> <picture folder>
// It opens Add... of an application server and cancels it, adds the database server "erpdb2"
// through the sample dbsvc.exe, changes the start type of
// the running sample "Talvora ERP Application Server" to Manual (keeping its dependency), and
// opens the password prompt for a new account, which it cancels. Each step prints a line.
#include "tests/props_e2e/props_dialog_driver.h"
#include "tests/support/program_driver.h"
#include "tests/support/user_input.h"
#include "ui/props/form_password.h"
#include "ui/props/form_props.h"

#include "common/format.h"

#include <cstdio>
#include <string>

namespace {
void Say(const std::wstring& text) { std::printf("%s\n", ToUtf8(text).c_str()); }

int Fail(const std::wstring& text)
{
    Say(L"FAILED: " + text);
    return 1;
}
}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 3)
        return Fail(L"usage: props_walkthrough <program> <picture folder>");
    const std::wstring pictures = argv[2];
    TMainWindowDriver window({}, argv[1]);
    if (!window.Main())
        return Fail(L"no main window");
    TPropsDialogDriver dialogs(window);
    Sleep(1500);
    SaveWindowPicture(window.Main(), pictures + L"\\main_before.bmp");

    // Add... of an application server: the dialog as it opens, cancelled.
    HWND kind = dialogs.PressInsert();
    if (!kind)
        return Fail(L"Insert opened no kind dialog");
    HWND dialog = dialogs.ChooseKind(kind, 2);
    if (!dialog)
        return Fail(L"no properties dialog for the new application server");
    SaveWindowPicture(dialog, pictures + L"\\props_new_app.bmp");
    TPropsDialogDriver::Click(dialog, IDCANCEL);
    if (!dialogs.WaitGone(TFormProps::ClassName))
        return Fail(L"the new application server's dialog stays open");

    // Add...: Insert, the kind, the dialog for a new database server.
    kind = dialogs.PressInsert();
    if (!kind)
        return Fail(L"Insert opened no kind dialog");
    SaveWindowPicture(kind, pictures + L"\\kind_dialog.bmp");
    dialog = dialogs.ChooseKind(kind, 0);
    if (!dialog)
        return Fail(L"no properties dialog for the new service");
    Say(L"offered executable: " + TPropsDialogDriver::Text(dialog, TFormProps::IdComboFile));
    TPropsDialogDriver::SetText(dialog, TFormProps::IdEditName, L"erpdb2");
    TPropsDialogDriver::SetText(dialog, TFormProps::IdMemoParams, L"-n erpdb2\r\n-x tcpip");
    SaveWindowPicture(dialog, pictures + L"\\props_new.bmp");
    TPropsDialogDriver::Click(dialog, IDOK);
    if (!dialogs.WaitGone(TFormProps::ClassName, 15000))
        return Fail(L"the new service's dialog stays open");
    if (!WaitUntil([&] { return window.Row(L"SQL Anywhere - erpdb2").has_value(); }, 10000))
        return Fail(L"no row for the new service");
    Say(L"row added: SQL Anywhere - erpdb2, " + window.Row(L"SQL Anywhere - erpdb2")->Status);
    Sleep(1200);
    SaveWindowPicture(window.Main(), pictures + L"\\main_after_add.bmp");

    // Properties... of a running service: Manual, OK, the note.
    const std::wstring running = L"Talvora ERP Application Server";
    dialog = dialogs.OpenProperties(running);
    if (!dialog)
        return Fail(L"Enter opened no properties dialog");
    SaveWindowPicture(dialog, pictures + L"\\props_installed.bmp");
    TPropsDialogDriver::Click(dialog, TFormProps::IdRBtnStartManual);
    // Wine does not report dependencies: choose the one the sample has, so that OK keeps it.
    TPropsDialogDriver::SelectDependency(dialog, L"SQLANYs_TalvoraDB");
    TPropsDialogDriver::Click(dialog, IDOK);
    HWND note = dialogs.WaitFor(L"#32770");
    if (!note)
        return Fail(L"no message after OK");
    SaveWindowPicture(note, pictures + L"\\running_note.bmp");
    Say(L"message: " + dialogs.AnswerMessageBox());
    if (!dialogs.WaitGone(TFormProps::ClassName))
        return Fail(L"the dialog stays open after the note");

    // A new account: the password prompt, cancelled, then the dialog cancelled.
    dialog = dialogs.OpenProperties(running);
    if (!dialog)
        return Fail(L"the dialog did not open again");
    Say(L"Manual now checked: " + std::wstring(TPropsDialogDriver::Checked(dialog, TFormProps::IdRBtnStartManual) ? L"yes" : L"no"));
    TPropsDialogDriver::Click(dialog, TFormProps::IdChBoxDefaultAccount);
    TPropsDialogDriver::SetText(dialog, TFormProps::IdEditUser, L".\\erpuser");
    TPropsDialogDriver::Click(dialog, IDOK);
    HWND prompt = dialogs.WaitFor(TFormPassword::ClassName);
    if (!prompt)
        return Fail(L"no password prompt");
    TPropsDialogDriver::SetText(prompt, TFormPassword::IdEditPassword, L"secret");
    SaveWindowPicture(prompt, pictures + L"\\password_prompt.bmp");
    TPropsDialogDriver::Click(prompt, IDCANCEL);
    dialogs.WaitGone(TFormPassword::ClassName);
    TPropsDialogDriver::Click(dialog, IDCANCEL);
    dialogs.WaitGone(TFormProps::ClassName);
    Say(L"done");
    return 0;
}
