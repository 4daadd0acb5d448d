// Properties... from the main window over the simulated manager: the service's record is read
// afresh before the dialog shows it, and Depends on offers none of the service's dependants.
#include "tests/main/main_window_fixture.h"
#include "tests/main/probe_timer.h"

#include "common/format.h"
#include "ui/props/form_props.h"

#include <string>

namespace {
class PropsFromMain : public MainWindowTest {};

std::wstring ControlText(HWND dialog, int id)
{
    wchar_t text[256] = L"";
    GetWindowTextW(GetDlgItem(dialog, id), text, 256);
    return text;
}

// A start type and an account changed from outside just before Properties... opens are shown;
// the services that depend on the edited one (directly or through another) are not offered.
TEST_F(PropsFromMain, ShowsTheConfigurationInForceAndOffersNoDependant)
{
    AddListed(L"SQLANY_db", L"Db");
    AddListed(L"SQLANY_app", L"App", SERVICE_STOPPED, {L"SQLANY_db"});
    AddListed(L"SQLANY_reports", L"Reports", SERVICE_STOPPED, {L"SQLANY_app"});
    AddListed(L"SQLANY_other", L"Other");
    Window().RebuildItems(true);
    Sim.Update(L"SQLANY_db", [](TSimService& s) {
        s.StartType = SERVICE_DISABLED;
        s.StartName = L".\\erpuser";
    });
    Select(L"Db");
    bool shown = false;
    ProbeUntil(50, [&] {
        HWND dialog = OwnVisibleWindow(TFormProps::ClassName);
        if (!dialog)
            return false;
        shown = true;
        EXPECT_EQ(SendMessageW(GetDlgItem(dialog, TFormProps::IdRBtnStartDisabled), BM_GETCHECK, 0, 0), BST_CHECKED);
        EXPECT_EQ(SendMessageW(GetDlgItem(dialog, TFormProps::IdChBoxDefaultAccount), BM_GETCHECK, 0, 0),
                  BST_UNCHECKED);
        EXPECT_EQ(ControlText(dialog, TFormProps::IdEditUser), L".\\erpuser");
        HWND depend = GetDlgItem(dialog, TFormProps::IdComboDepend);
        for (const wchar_t* dependant : {L"SQLANY_app", L"SQLANY_reports"})
            EXPECT_EQ(SendMessageW(depend, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                   reinterpret_cast<LPARAM>(dependant)),
                      CB_ERR)
                << "offered: " << ToUtf8(dependant);
        EXPECT_NE(SendMessageW(depend, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                               reinterpret_cast<LPARAM>(L"SQLANY_other")),
                  CB_ERR);
        PostMessageW(dialog, WM_CLOSE, 0, 0);
        return true;
    });
    // The dialog shows once the command's reads have come back from its worker.
    EXPECT_TRUE(Run(TFormMain::ActProps));
    EXPECT_TRUE(shown);
    EXPECT_TRUE(Boxes.Asked.empty());
}
}  // namespace
