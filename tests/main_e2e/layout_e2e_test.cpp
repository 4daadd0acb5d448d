// The real program keeps its main window's layout between runs, as a user sees it: the window
// made larger by its frame and two columns dragged by their dividers, Alt+X, a new start that
// shows the same size and widths with the window centred on the screen.
#include "tests/main_e2e/e2e_services.h"
#include "tests/main_e2e/main_window_driver.h"
#include "tests/support/screen_capture.h"
#include "tests/support/user_input.h"

#include "common/format.h"
#include "common/registry.h"

#include <gtest/gtest.h>

#include <array>
#include <optional>

namespace {

const TServiceSpec ListedSpec{L"e2elayout_listed", L"Talvora ERP E2E Layout", L""};
// Running while its test sorts by state.
const TServiceSpec SecondSpec{L"e2elayout_second", L"Talvora ERP E2E Layout Second", L""};

constexpr const wchar_t* MainSection = L"Software\\Talvora\\Orvessa\\FormMain";
using TWidths = std::array<int, 3>;

// The main window's stored layout, set aside for the test and put back after it, so that the
// other tests start the program as they found it.
class TSetAsideMainLayout {
public:
    TSetAsideMainLayout()
        : FSize(ReadRegText(HKEY_CURRENT_USER, MainSection, L"Size")),
          FColumns(ReadRegText(HKEY_CURRENT_USER, MainSection, L"Columns"))
    {
        RegDeleteTreeW(HKEY_CURRENT_USER, MainSection);
    }
    ~TSetAsideMainLayout()
    {
        RegDeleteTreeW(HKEY_CURRENT_USER, MainSection);
        UniqueRegKey key;
        if ((FSize || FColumns) && CreateRegKey(HKEY_CURRENT_USER, MainSection, KEY_WRITE, key) == ERROR_SUCCESS) {
            if (FSize)
                WriteRegText(key.get(), L"Size", *FSize);
            if (FColumns)
                WriteRegText(key.get(), L"Columns", *FColumns);
        }
    }
    TSetAsideMainLayout(const TSetAsideMainLayout&) = delete;
    TSetAsideMainLayout& operator=(const TSetAsideMainLayout&) = delete;

private:
    std::optional<std::wstring> FSize;
    std::optional<std::wstring> FColumns;
};

class LayoutE2E : public TE2EServicesTest {
protected:
    static void SetUpTestSuite() { Register({&ListedSpec}); }

    static SIZE OuterSize(HWND wnd)
    {
        RECT r{};
        GetWindowRect(wnd, &r);
        return {r.right - r.left, r.bottom - r.top};
    }
    static TWidths Widths(const TMainWindowDriver& window)
    {
        return {window.List().ColumnWidth(0), window.List().ColumnWidth(1), window.List().ColumnWidth(2)};
    }
    // Drags the divider after a column by dx pixels; whether the column got that much wider.
    static bool DragDivider(const TMainWindowDriver& window, int column, int dx)
    {
        const int before = window.List().ColumnWidth(column);
        const RECT heading = window.List().HeaderItemRect(column);
        const POINT divider{heading.right - 1, (heading.top + heading.bottom) / 2};
        DragMouse(divider, {divider.x + dx, divider.y});
        return WaitUntil([&] { return window.List().ColumnWidth(column) == before + dx; }, 3000);
    }

    TSetAsideMainLayout FSetAside;
};

TEST_F(LayoutE2E, TheMainWindowComesBackWithTheSizeAndColumnWidthsItWasClosedWith)
{
    SIZE closedSize{};
    TWidths closedWidths{};
    {
        TMainWindowDriver window;
        ASSERT_NE(window.Main(), nullptr) << "no main window";
        EXPECT_EQ(Widths(window), (TWidths{200, 80, 250}));
        ASSERT_TRUE(BringToFront(window.Main()));

        // The lower right corner of the frame, dragged 120 pixels right and 90 down.
        const SIZE designed = OuterSize(window.Main());
        const RECT frame = WindowScreenRect(window.Main());
        DragMouse({frame.right - 2, frame.bottom - 2}, {frame.right + 118, frame.bottom + 88});
        closedSize = {designed.cx + 120, designed.cy + 90};
        EXPECT_TRUE(WaitUntil([&] { return OuterSize(window.Main()).cx == closedSize.cx; }, 3000));
        ASSERT_EQ(OuterSize(window.Main()).cx, closedSize.cx);
        ASSERT_EQ(OuterSize(window.Main()).cy, closedSize.cy);

        ASSERT_TRUE(DragDivider(window, 0, -40));
        ASSERT_TRUE(DragDivider(window, 2, 60));
        closedWidths = Widths(window);
        EXPECT_EQ(closedWidths, (TWidths{160, 80, 310}));

        ASSERT_TRUE(BringToFront(window.Main()));
        PressChord({VK_MENU, 'X'});
        ASSERT_EQ(window.Program().WaitForExit(), 0u);
    }
    EXPECT_EQ(ReadRegText(HKEY_CURRENT_USER, MainSection, L"Size"), Fmt(L"%d,%d", {closedSize.cx, closedSize.cy}));
    EXPECT_EQ(ReadRegText(HKEY_CURRENT_USER, MainSection, L"Columns"), L"160;80;310;120;100;120");

    TMainWindowDriver window;
    ASSERT_NE(window.Main(), nullptr) << "no main window";
    const RECT frame = WindowScreenRect(window.Main());
    EXPECT_EQ(frame.right - frame.left, closedSize.cx);
    EXPECT_EQ(frame.bottom - frame.top, closedSize.cy);
    EXPECT_EQ(Widths(window), closedWidths);
    EXPECT_EQ(frame.left, (GetSystemMetrics(SM_CXSCREEN) - closedSize.cx) / 2);
    EXPECT_EQ(frame.top, (GetSystemMetrics(SM_CYSCREEN) - closedSize.cy) / 2);
}


// Whether the rows stand in the order of the column's texts (descending: the other way), rows of
// equal texts by caption.
bool SortedBy(const TMainWindowDriver& window, int column, bool descending)
{
    const std::vector<TRemoteRow> rows = window.List().Rows();
    for (size_t i = 1; i < rows.size(); ++i) {
        const int row = static_cast<int>(i);
        int order = lstrcmpW(window.List().Text(row - 1, column).c_str(), window.List().Text(row, column).c_str());
        if (descending)
            order = -order;
        if (order > 0 || (order == 0 && lstrcmpW(rows[i - 1].Caption.c_str(), rows[i].Caption.c_str()) > 0))
            return false;
    }
    return rows.size() > 1;
}

// A click on a heading sorts by its column, a second one the other way, with the heading's arrow;
// the heading's right-click menu shows "Service name"; the next start shows both as they were.
TEST_F(LayoutE2E, AHeadingSortsItsMenuShowsAColumnAndBothComeBack)
{
    const TRegisteredService other(SecondSpec);
    ASSERT_TRUE(other.Start());
    {
        TMainWindowDriver window;
        ASSERT_NE(window.Main(), nullptr) << "no main window";
        ASSERT_TRUE(WaitUntil([&] { return window.Row(SecondSpec.DisplayName).has_value(); }, 5000));
        ASSERT_TRUE(BringToFront(window.Main()));
        ClickAt(CentreOf(window.List().HeaderItemRect(1)));
        EXPECT_TRUE(WaitUntil([&] { return SortedBy(window, 1, false); }, 3000)) << "not sorted by state";
        Sleep(700);  // not a double click
        ClickAt(CentreOf(window.List().HeaderItemRect(1)));
        EXPECT_TRUE(WaitUntil([&] { return SortedBy(window, 1, true); }, 3000)) << "not sorted by state the other way";

        RightClickAt(CentreOf(window.List().HeaderItemRect(0)));
        ASSERT_NE(window.Program().WaitForWindow(L"#32768", 5000), nullptr) << "no menu";
        PressKey(VK_DOWN);
        PressKey(VK_RETURN);
        const int row = window.List().Find(ListedSpec.DisplayName);
        EXPECT_TRUE(WaitUntil([&] { return window.List().Text(row, 3) == ListedSpec.Name; }, 3000))
            << "no Service name column";
        window.WaitForIdle();
        Sleep(300);  // the painting
        TScreenCapture(WindowScreenRect(window.Main())).SaveBmp(BuildFilePath(L"column_shown.bmp"));

        ASSERT_TRUE(BringToFront(window.Main()));
        PressChord({VK_MENU, 'X'});
        ASSERT_EQ(window.Program().WaitForExit(), 0u);
    }
    EXPECT_EQ(ReadRegText(HKEY_CURRENT_USER, MainSection, L"Sort"), L"1,1");
    EXPECT_EQ(ReadRegText(HKEY_CURRENT_USER, MainSection, L"ShownColumns"), L"0;1;2;3");

    TMainWindowDriver window;
    ASSERT_NE(window.Main(), nullptr) << "no main window";
    ASSERT_TRUE(WaitUntil([&] { return window.Row(SecondSpec.DisplayName).has_value(); }, 5000));
    EXPECT_TRUE(WaitUntil([&] { return window.Row(SecondSpec.DisplayName)->Status == L"Running"; }, 3000));
    EXPECT_TRUE(SortedBy(window, 1, true));
    EXPECT_EQ(window.List().Text(window.List().Find(ListedSpec.DisplayName), 3), ListedSpec.Name);
    window.WaitForIdle();
    Sleep(300);  // the painting
    TScreenCapture(WindowScreenRect(window.Main())).SaveBmp(BuildFilePath(L"sorted_by_state.bmp"));
}
}  // namespace
