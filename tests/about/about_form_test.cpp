// The About window driven inside the test process: its controls, texts and places, the
// e-mail and web links, and the ways of closing it.
#include "tests/about/program_file.h"
#include "tests/support/message_box_hook.h"
#include "ui/about/form_about.h"
#include "ui/about/shell_open.h"

#include <gtest/gtest.h>

#include <shellapi.h>

#include "common/format.h"
#include "ui/base/application.h"
#include "ui/base/gui_handle.h"

#include <functional>
#include <ostream>
#include <string>
#include <vector>

// Rectangles compared and printed by the checks (found through RECT's own namespace).
static bool operator==(const RECT& a, const RECT& b) { return EqualRect(&a, &b) != FALSE; }
static void PrintTo(const RECT& r, std::ostream* os)
{
    *os << "{" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << "}";
}

namespace {
// The program's main window stands behind every dialog; without it the About window would be
// the application's main form, whose end ends the application.
class TStandInMainForm : public TWindow {
public:
    TStandInMainForm()
    {
        CreateForm({.ClassName = L"TStandInMainForm", .Caption = L"Stand-in", .ClientWidth = 200, .ClientHeight = 100});
    }
};

std::wstring Text(HWND wnd) { return WindowText(wnd); }

RECT PlaceIn(HWND parent, HWND child)
{
    RECT r{};
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

void PumpMessages()
{
    for (int i = 0; i < 5; ++i) {
        Application().ProcessMessages();
        Sleep(10);
    }
}

TWindow* WatchedForm = nullptr;

// Runs the window modally; whileOpen runs once from inside its modal loop (from the idle
// step) and must post what closes it: the loop looks at the result after each message. A window that stays open is closed after ten seconds, and the test fails.
int RunModal(TWindow& form, const std::function<void()>& whileOpen)
{
    bool ran = false;
    const int idle = Application().AddIdleHandler([&] {
        if (ran)
            return;
        ran = true;
        whileOpen();
    });
    WatchedForm = &form;
    const UINT_PTR watchdog = SetTimer(nullptr, 0, 10000, [](HWND, UINT, UINT_PTR, DWORD) {
        ADD_FAILURE() << "the window did not close";
        WatchedForm->SetModalResult(IDABORT);
    });
    const int result = form.ShowModal();
    KillTimer(nullptr, watchdog);
    Application().RemoveIdleHandler(idle);
    EXPECT_TRUE(ran);
    return result;
}

class AboutWindow : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        Application().Initialize();
        Application().SetTitle(L"Talvora ERP Service Manager");
        MainForm = new TStandInMainForm;
    }
    static void TearDownTestSuite()
    {
        // The main form's end ends the application; nothing runs after the suite.
        delete MainForm;
        MainForm = nullptr;
    }
    static TStandInMainForm* MainForm;
};
TStandInMainForm* AboutWindow::MainForm = nullptr;

struct LabelCase {
    int Id;
    const wchar_t* Text;
    int Left, Top;
};

TEST_F(AboutWindow, ControlsTextsAndPlaces)
{
    TFormAbout form(ProgramFile());
    HWND wnd = form.Handle();
    RunModal(form, [&] {
        EXPECT_EQ(Text(wnd), L"About");
        RECT client{};
        GetClientRect(wnd, &client);
        EXPECT_EQ(client.right, 501);
        EXPECT_EQ(client.bottom, 423);
        const LONG style = GetWindowLongW(wnd, GWL_STYLE);
        EXPECT_FALSE(style & WS_THICKFRAME) << "not resizable";
        EXPECT_FALSE(style & (WS_MAXIMIZEBOX | WS_MINIMIZEBOX));
        EXPECT_TRUE(GetWindowLongW(wnd, GWL_EXSTYLE) & WS_EX_DLGMODALFRAME);
        RECT frame{};
        GetWindowRect(wnd, &frame);
        EXPECT_NEAR((frame.left + frame.right) / 2, GetSystemMetrics(SM_CXSCREEN) / 2, 1);
        EXPECT_NEAR((frame.top + frame.bottom) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 1);

        const LabelCase labels[] = {
            {TFormAbout::idLabelFirm, L"Talvora Software GmbH", 20, 308},
            {TFormAbout::idLabelAddress, L"Lindenhofweg 12, 79098 Freiburg im Breisgau, Germany", 20, 324},
            {TFormAbout::idLabelPhone, L"tel.: +49 761 555 4180, +49 761 555 4181", 20, 344},
            {TFormAbout::idLabelFax, L"fax: +49 761 555 4189", 20, 360},
            {TFormAbout::idLabelEmail, L"e-mail: info@talvora.example", 20, 380},
            {TFormAbout::idLabelWeb, L"http://www.talvora.example", 20, 395},
        };
        for (const LabelCase& c : labels) {
            HWND label = form.Control(c.Id);
            ASSERT_NE(label, nullptr) << c.Id;
            EXPECT_EQ(Text(label), c.Text);
            const RECT r = PlaceIn(wnd, label);
            EXPECT_EQ(r.left, c.Left) << ToUtf8(c.Text);
            EXPECT_EQ(r.top, c.Top) << ToUtf8(c.Text);
            EXPECT_GT(r.right - r.left, 50) << "fitted to " << ToUtf8(c.Text);
        }

        HWND version = form.Control(TFormAbout::idLabelVersion);
        EXPECT_EQ(Text(version), L"Service Manager 1.0.0.1");
        const RECT v = PlaceIn(wnd, version);
        EXPECT_EQ(v.right, 448);
        EXPECT_EQ(v.top, 140);
        EXPECT_LT(v.left, 448 - 80) << "the text grows to the left";

        EXPECT_EQ(PlaceIn(wnd, form.Control(TFormAbout::idImage)), (RECT{0, 0, 500, 300}));
        HWND ok = form.Control(TFormAbout::idBtnOk);
        EXPECT_EQ(Text(ok), L"OK");
        EXPECT_EQ(PlaceIn(wnd, ok), (RECT{408, 383, 408 + 75, 383 + 25}));
        EXPECT_EQ(GetWindowLongW(ok, GWL_STYLE) & BS_TYPEMASK, BS_DEFPUSHBUTTON);

        for (int id : {TFormAbout::idLabelEmail, TFormAbout::idLabelWeb}) {
            LOGFONTW font{};
            GetObjectW(reinterpret_cast<HFONT>(SendMessageW(form.Control(id), WM_GETFONT, 0, 0)), sizeof(font), &font);
            EXPECT_STREQ(font.lfFaceName, L"MS Sans Serif");
            EXPECT_TRUE(font.lfUnderline);
            UniqueWindowDC screen(nullptr);
            EXPECT_EQ(font.lfHeight, -MulDiv(9, GetDeviceCaps(screen.get(), LOGPIXELSY), 72)) << "9 points";
        }
        PostMessageW(ok, WM_KEYDOWN, VK_ESCAPE, 0);
    });
}

// A program file without version information leaves the number out; the line keeps its
// right edge.
TEST_F(AboutWindow, VersionLineWithoutVersionInformation)
{
    TFormAbout form;  // this test program has no version resource
    RunModal(form, [&] {
        HWND version = form.Control(TFormAbout::idLabelVersion);
        EXPECT_EQ(Text(version), L"Service Manager ");
        EXPECT_EQ(PlaceIn(form.Handle(), version).right, 448);
        PostMessageW(form.Handle(), WM_CLOSE, 0, 0);
    });
}

struct ShellCall {
    HWND Parent;
    bool HasVerb, HasParameters, HasDirectory;
    std::wstring File;
    int Show;
};

// The links ask the shell for its default action on the address; when nothing is registered
// for it the window stays open and says nothing.
TEST_F(AboutWindow, LinksOpenMailProgramAndBrowser)
{
    std::vector<ShellCall> calls;
    const TShellExecute previous = SetShellExecuteHook(
        [&](HWND parent, const wchar_t* verb, const wchar_t* file, const wchar_t* parameters, const wchar_t* directory,
            int show) {
            calls.push_back({parent, verb != nullptr, parameters != nullptr, directory != nullptr, file, show});
            return reinterpret_cast<HINSTANCE>(static_cast<INT_PTR>(SE_ERR_NOASSOC));
        });
    ScriptedMessageBoxes boxes;
    TFormAbout form(ProgramFile());
    const int result = RunModal(form, [&] {
        for (int id : {TFormAbout::idLabelEmail, TFormAbout::idLabelWeb}) {
            HWND label = form.Control(id);
            PostMessageW(label, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
            PostMessageW(label, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
            PumpMessages();
            // The hand cursor over the links only.
            SendMessageW(label, WM_SETCURSOR, reinterpret_cast<WPARAM>(label), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
            EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_HAND));
        }
        HWND firm = form.Control(TFormAbout::idLabelFirm);
        SendMessageW(firm, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
        SendMessageW(firm, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
        PumpMessages();
        EXPECT_TRUE(IsWindowVisible(form.Handle()));
        EXPECT_EQ(form.ModalResult(), mrNone);
        PostMessageW(form.Handle(), WM_CLOSE, 0, 0);
    });
    SetShellExecuteHook(previous);
    EXPECT_EQ(result, mrCancel);
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].File, L"mailto:info@talvora.example");
    EXPECT_EQ(calls[1].File, L"http://www.talvora.example");
    for (const ShellCall& c : calls) {
        EXPECT_EQ(c.Parent, form.Handle());
        EXPECT_FALSE(c.HasVerb) << "the default action";
        EXPECT_FALSE(c.HasParameters);
        EXPECT_FALSE(c.HasDirectory);
        EXPECT_EQ(c.Show, SW_SHOWNORMAL);
    }
    EXPECT_TRUE(boxes.Asked.empty());
}

struct CloseCase {
    const char* Name;
    std::function<void(TFormAbout&)> Close;
};

// Enter, Escape, the OK button and the title bar's close button all end the window with
// the result Cancel.
TEST_F(AboutWindow, EnterEscapeOkAndCloseButtonCloseIt)
{
    const CloseCase cases[] = {
        {"Enter", [](TFormAbout&) { PostMessageW(GetFocus(), WM_KEYDOWN, VK_RETURN, 0); }},
        {"Enter on the window", [](TFormAbout& f) { PostMessageW(f.Handle(), WM_KEYDOWN, VK_RETURN, 0); }},
        {"Escape", [](TFormAbout&) { PostMessageW(GetFocus(), WM_KEYDOWN, VK_ESCAPE, 0); }},
        {"OK clicked", [](TFormAbout& f) { PostMessageW(f.Control(TFormAbout::idBtnOk), BM_CLICK, 0, 0); }},
        {"close button", [](TFormAbout& f) { PostMessageW(f.Handle(), WM_SYSCOMMAND, SC_CLOSE, 0); }},
    };
    for (const CloseCase& c : cases) {
        TFormAbout form(ProgramFile());
        const int result = RunModal(form, [&] {
            EXPECT_EQ(GetFocus(), form.Control(TFormAbout::idBtnOk)) << c.Name;
            c.Close(form);
        });
        EXPECT_EQ(result, mrCancel) << c.Name;
        EXPECT_FALSE(IsWindowVisible(form.Handle())) << c.Name;
        EXPECT_TRUE(IsWindowEnabled(MainForm->Handle())) << c.Name;
    }
}

// Each About... shows a new window with the same texts; the window is gone afterwards.
TEST_F(AboutWindow, ShownTwiceWithTheSameTexts)
{
    std::vector<std::vector<std::wstring>> shown;
    HWND last = nullptr;
    const int idle = Application().AddIdleHandler([&] {
        HWND wnd = FindWindowW(TFormAbout::ClassName, L"About");
        if (!wnd || !IsWindowVisible(wnd) || wnd == last)
            return;
        last = wnd;
        std::vector<std::wstring> texts;
        for (int id = TFormAbout::idLabelVersion; id <= TFormAbout::idLabelWeb; ++id)
            texts.push_back(Text(GetDlgItem(wnd, id)));
        shown.push_back(texts);
        PostMessageW(GetDlgItem(wnd, IDOK), WM_KEYDOWN, VK_ESCAPE, 0);
    });
    ShowAboutBox();
    EXPECT_FALSE(IsWindow(last));
    ShowAboutBox();
    EXPECT_FALSE(IsWindow(last));
    Application().RemoveIdleHandler(idle);
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0], shown[1]);
    EXPECT_EQ(shown[0][TFormAbout::idLabelPhone - TFormAbout::idLabelVersion], L"tel.: +49 761 555 4180, +49 761 555 4181");
}
}  // namespace
