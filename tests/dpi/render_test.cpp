// Every window at the screen's dpi: the run sets the current user's LogPixels in a prefix of its
// own (at_dpi.sh) and tells the dpi in SM_TEST_DPI. Each window is shown and its controls are
// looked at: no caption is cut (the text's extent in the control's font against its room) and
// no control covers another (a group box, a frame or a picture under others excepted). A
// picture of each window goes to the folder in SM_SHOT_DIR, when set.
#include "common/format.h"
#include "common/registry.h"
#include "common/settings_key.h"
#include "erp/exe_type.h"
#include "services/sc_manager.h"
#include "tests/about/program_file.h"
#include "tests/sim_scm/sim_scm.h"
#include "tests/support/program_driver.h"
#include "tests/support/scratch_current_user.h"
#include "tests/support/screen_capture.h"
#include "tests/support/wait_until.h"
#include "tests/support/workers_ended.h"
#include "ui/about/form_about.h"
#include "ui/base/application.h"
#include "ui/base/delay.h"
#include "ui/main/form_computers.h"
#include "ui/main/form_main.h"
#include "ui/props/form_password.h"
#include "ui/props/form_props.h"
#include "ui/props/form_select_type.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

int ExpectedDpi()
{
    const char* text = std::getenv("SM_TEST_DPI");
    return text ? std::atoi(text) : DesignDpi;
}

std::string ClassOf(HWND wnd)
{
    char name[64] = {};
    GetClassNameA(wnd, name, 64);
    return name;
}

std::string Describe(HWND wnd) { return ClassOf(wnd) + " \"" + ToUtf8(WindowText(wnd)) + "\""; }

// The room a control's caption needs: its extent in the control's font.
SIZE TextExtent(HWND control, const std::wstring& text)
{
    HDC dc = GetDC(control);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
    RECT r{0, 0, 0, 0};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, DT_CALCRECT | DT_SINGLELINE);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    return {r.right, metrics.tmHeight};
}

bool IsContainer(HWND wnd)
{
    const LONG style = GetWindowLongW(wnd, GWL_STYLE);
    const std::string cls = ClassOf(wnd);
    if (cls == "Button")
        return (style & BS_TYPEMASK) == BS_GROUPBOX;
    if (cls == "Static") {
        const LONG type = style & SS_TYPEMASK;
        return type == SS_ETCHEDFRAME || type == SS_ETCHEDHORZ || type == SS_ETCHEDVERT || WindowText(wnd).empty();
    }
    return false;
}

// What is wrong with one control's room for its caption; empty when it fits.
std::string CutText(HWND control, int dpi)
{
    const std::wstring text = WindowText(control);
    RECT client{};
    GetClientRect(control, &client);
    const LONG style = GetWindowLongW(control, GWL_STYLE);
    const std::string cls = ClassOf(control);
    const SIZE need = TextExtent(control, text);
    int extraWidth = 0;
    if (cls == "Button") {
        const LONG type = style & BS_TYPEMASK;
        if (type == BS_GROUPBOX)
            extraWidth = MulDiv(12, dpi, 96);  // the frame's corner and the gaps beside the caption
        else if (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON)
            extraWidth = MulDiv(6, dpi, 96);
        else
            extraWidth = MulDiv(17, dpi, 96);  // the box or circle and its gap
    } else if (cls == "Edit") {
        // A line of text scrolls sideways; its height must take the font.
        if (!(style & ES_MULTILINE) && client.bottom < need.cy)
            return Describe(control) + ": " + std::to_string(client.bottom) + " pixels high for " +
                   std::to_string(need.cy) + "-pixel text";
        return {};
    } else if (cls != "Static") {
        return {};
    }
    if (text.empty())
        return {};
    if (need.cx + extraWidth > client.right || need.cy > client.bottom)
        return Describe(control) + ": " + std::to_string(client.right) + " by " + std::to_string(client.bottom) +
               " for text of " + std::to_string(need.cx + extraWidth) + " by " + std::to_string(need.cy);
    return {};
}

// Every fault of a window's layout, one line each.
std::vector<std::string> LayoutFaults(HWND form, int dpi)
{
    std::vector<HWND> controls;
    for (HWND child = GetWindow(form, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (IsWindowVisible(child))
            controls.push_back(child);
    std::vector<std::string> faults;
    RECT client{};
    GetClientRect(form, &client);
    for (size_t i = 0; i < controls.size(); ++i) {
        const std::string cut = CutText(controls[i], dpi);
        if (!cut.empty())
            faults.push_back("cut: " + cut);
        const RECT a = ChildRect(form, controls[i]);
        RECT outside{};
        if (SubtractRect(&outside, &a, &client) && !IsRectEmpty(&outside) && ClassOf(controls[i]) != "ToolbarWindow32")
            faults.push_back("outside the window: " + Describe(controls[i]));
        for (size_t j = i + 1; j < controls.size(); ++j) {
            const RECT b = ChildRect(form, controls[j]);
            RECT shared{};
            if (!IntersectRect(&shared, &a, &b))
                continue;
            RECT joined{};
            UnionRect(&joined, &a, &b);
            const bool aHoldsB = EqualRect(&joined, &a) && IsContainer(controls[i]);
            const bool bHoldsA = EqualRect(&joined, &b) && IsContainer(controls[j]);
            if (!aHoldsB && !bHoldsA)
                faults.push_back("covers: " + Describe(controls[i]) + " and " + Describe(controls[j]));
        }
    }
    return faults;
}

class DpiRender : public testing::Test {
protected:
    void SetUp() override
    {
        Application().Initialize();
        Application().ClearTerminated();
        ASSERT_EQ(ScreenDpi(), ExpectedDpi()) << "the screen is not at the dpi the run asked for";
    }
    void TearDown() override
    {
        Application().ClearTerminated();
        // The list's worker ends alone once its window has gone, before the simulator goes.
        WaitUntil(WorkersEnded);
    }

    // Shows the window, lets it paint, checks its layout and takes its picture.
    void Look(TWindow& window, const char* name)
    {
        window.Show();
        DelayWithMessages(400);
        const std::vector<std::string> faults = LayoutFaults(window.Handle(), ExpectedDpi());
        std::string all;
        for (const std::string& fault : faults)
            all += "\n  " + fault;
        EXPECT_TRUE(faults.empty()) << name << " at " << ExpectedDpi() << " dpi:" << all;
        // The whole window lies in the work area of its monitor.
        MONITORINFO monitor{};
        monitor.cbSize = sizeof(monitor);
        ASSERT_TRUE(GetMonitorInfoW(MonitorFromWindow(window.Handle(), MONITOR_DEFAULTTONEAREST), &monitor));
        RECT shown{}, inside{};
        GetWindowRect(window.Handle(), &shown);
        IntersectRect(&inside, &shown, &monitor.rcWork);
        EXPECT_TRUE(EqualRect(&inside, &shown))
            << name << " at " << ExpectedDpi() << " dpi: " << shown.left << "," << shown.top << " to " << shown.right
            << "," << shown.bottom << " is not inside the work area " << monitor.rcWork.right << " by "
            << monitor.rcWork.bottom;
        if (const char* folder = std::getenv("SM_SHOT_DIR")) {
            RECT r{};
            GetWindowRect(window.Handle(), &r);
            TScreenCapture(r).SaveBmp(FromUtf8(folder) + L"\\" + FromUtf8(name) + L"_" +
                                      std::to_wstring(ExpectedDpi()) + L".bmp");
        }
    }

    static SIZE OuterSize(HWND wnd)
    {
        RECT r{};
        GetWindowRect(wnd, &r);
        return {r.right - r.left, r.bottom - r.top};
    }

    TScratchCurrentUser User;
    TSimServiceControlManager Sim;
};

TEST_F(DpiRender, MainWindow)
{
    for (const wchar_t* name : {L"SQLANYs_ErpDb", L"Talvora32AppServer"}) {
        TSimService s;
        s.Name = name;
        s.DisplayName = std::wstring(L"Talvora ERP ") + name;
        s.Description = L"Application and database servers of the ERP";
        Sim.AddService(s);
    }
    TFormMain form(Sim, false);
    Look(form, "main");
}

// The main window cannot be made smaller than its minimum, which grows with the dpi; a stored
// size below it is raised when the window shows.
TEST_F(DpiRender, MainWindowMinimumSize)
{
    const int dpi = ExpectedDpi();
    const SIZE minimum{MulDiv(320, dpi, 96), MulDiv(220, dpi, 96)};
    {
        UniqueRegKey key;
        ASSERT_EQ(CreateRegKey(HKEY_CURRENT_USER, std::wstring(SettingsKey) + L"\\FormMain", KEY_WRITE, key),
                  ERROR_SUCCESS);
        ASSERT_EQ(WriteRegText(key.get(), L"Size", L"50,30"), ERROR_SUCCESS);
    }
    TFormMain form(Sim, false);
    form.Show();
    DelayWithMessages(200);
    SIZE size = OuterSize(form.Handle());
    EXPECT_EQ(size.cx, minimum.cx);
    EXPECT_EQ(size.cy, minimum.cy);
    SetWindowPos(form.Handle(), nullptr, 0, 0, 50, 30, SWP_NOMOVE | SWP_NOZORDER);
    size = OuterSize(form.Handle());
    EXPECT_EQ(size.cx, minimum.cx);
    EXPECT_EQ(size.cy, minimum.cy);
    // At the minimum the status bar stays below the list.
    const std::vector<std::string> faults = LayoutFaults(form.Handle(), dpi);
    EXPECT_TRUE(faults.empty()) << faults.size() << " faults, the first: " << (faults.empty() ? "" : faults[0]);
}

TEST_F(DpiRender, KindDialog)
{
    TFormSelectType form;
    std::vector<std::wstring> names;
    for (TExeType kind : OfferedExeTypes())
        names.push_back(ExeTypeName(kind));
    form.SetItems(names);
    form.SetItemIndex(0);
    Look(form, "kind");
}

TEST_F(DpiRender, PropertiesDialog)
{
    TSimService db;
    db.Name = L"SQLANYs_Db";
    db.DisplayName = L"SQL Anywhere Database Server";
    db.BinaryPath = L"\"C:\\SA17\\Bin64\\dbsrv17.exe\" -n erpdb";
    Sim.AddService(db);
    TSCManager catalogue(L"", SC_MANAGER_ALL_ACCESS, L"ServicesActive", Sim);
    catalogue.Refresh(true);
    TNtService* service = nullptr;
    ASSERT_TRUE(catalogue.FindService(L"SQLANYs_Db", service));
    TFormProps form(catalogue, service, etUnknown);
    form.LoadService();
    Look(form, "properties");
}

TEST_F(DpiRender, PasswordPrompt)
{
    TFormPassword form(L"Service properties");
    Look(form, "password");
}

TEST_F(DpiRender, ComputersDialog)
{
    TFormComputers form({L"", L"erp-app1", L"erp-db1.example.com"}, {L"erp-app1", L"erp-db1.example.com"});
    Look(form, "computers");
}

TEST_F(DpiRender, AboutWindow)
{
    TFormAbout form(ProgramFile());
    Look(form, "about");
    // The e-mail and web lines are in a face that scales to the dpi, at the size asked for.
    for (int id : {TFormAbout::idLabelEmail, TFormAbout::idLabelWeb}) {
        HWND label = GetDlgItem(form.Handle(), id);
        HDC dc = GetDC(label);
        HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(label, WM_GETFONT, 0, 0)));
        TEXTMETRICW metrics{};
        GetTextMetricsW(dc, &metrics);
        SelectObject(dc, old);
        ReleaseDC(label, dc);
        EXPECT_NE(metrics.tmPitchAndFamily & (TMPF_TRUETYPE | TMPF_VECTOR), 0) << "a bitmap font";
        EXPECT_NEAR(metrics.tmHeight - metrics.tmInternalLeading, MulDiv(9, ExpectedDpi(), 72), 1);
    }
}

}  // namespace
