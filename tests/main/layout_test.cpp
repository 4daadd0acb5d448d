// The main window's size and column widths between runs, in a scratch hive of the current
// user: what closing writes, what showing takes back (and what it leaves when the stored size
// cannot be used), and the centring on the screen.
#include "common/format.h"
#include "common/registry.h"
#include "tests/main/main_window_fixture.h"
#include "tests/support/scratch_current_user.h"

#include <array>

namespace {

constexpr const wchar_t* MainSection = L"Software\\Talvora\\Orvessa\\FormMain";
using TWidths = std::array<int, 3>;
constexpr TWidths DesignedWidths{200, 80, 250};

class MainLayoutTest : public MainWindowTest {
protected:
    void Store(const std::wstring& size, const std::wstring& columns)
    {
        UniqueRegKey key;
        ASSERT_EQ(CreateRegKey(User.Key(), MainSection, KEY_ALL_ACCESS, key), ERROR_SUCCESS);
        ASSERT_EQ(WriteRegText(key.get(), L"Size", size), ERROR_SUCCESS);
        ASSERT_EQ(WriteRegText(key.get(), L"Columns", columns), ERROR_SUCCESS);
    }
    std::optional<std::wstring> Stored(const wchar_t* name) { return ReadRegText(User.Key(), MainSection, name); }

    // A new main window, shown.
    TFormMain& ShowNew()
    {
        Form.reset();
        Application().ClearTerminated();
        Window().Show();
        return Window();
    }
    RECT Outer() const
    {
        RECT r{};
        GetWindowRect(Form->Handle(), &r);
        return r;
    }
    TWidths Widths() const { return {Form->List().ColumnWidth(0), Form->List().ColumnWidth(1), Form->List().ColumnWidth(2)}; }
    void ExpectCentred() const
    {
        const RECT r = Outer();
        EXPECT_EQ(r.left, (GetSystemMetrics(SM_CXSCREEN) - (r.right - r.left)) / 2);
        EXPECT_EQ(r.top, (GetSystemMetrics(SM_CYSCREEN) - (r.bottom - r.top)) / 2);
    }

    TScratchCurrentUser User;
};

TEST_F(MainLayoutTest, ComesBackWithTheSizeAndColumnWidthsItWasClosedWith)
{
    // Nothing stored yet: as designed.
    ShowNew();
    RECT client{};
    GetClientRect(Form->Handle(), &client);
    EXPECT_EQ(client.right, 581);
    EXPECT_EQ(client.bottom, 254);
    EXPECT_EQ(Widths(), DesignedWidths);
    ExpectCentred();

    SetWindowPos(Form->Handle(), nullptr, 0, 0, 700, 500, SWP_NOMOVE | SWP_NOZORDER);
    for (int i = 0; i < 3; ++i)
        Form->List().SetColumnWidth(i, (TWidths{180, 90, 300})[static_cast<size_t>(i)]);
    Form->Close();
    EXPECT_EQ(Stored(L"Size"), L"700,500");
    EXPECT_EQ(Stored(L"Columns"), L"180;90;300;120;100;120");

    ShowNew();
    const RECT r = Outer();
    EXPECT_EQ(r.right - r.left, 700);
    EXPECT_EQ(r.bottom - r.top, 500);
    EXPECT_EQ(Widths(), (TWidths{180, 90, 300}));
    ExpectCentred();
}

TEST_F(MainLayoutTest, TakesTheColumnWidthsOnlyBesideAUsableSize)
{
    struct Case {
        const wchar_t* Size;
        const wchar_t* Columns;
        bool Sized;  // 800 by 600; otherwise as designed
        TWidths Widths;
    };
    const Case cases[] = {
        {L"800,600", L"210;90;260", true, {210, 90, 260}},
        {L"800 600", L"210;;260", true, {210, 80, 260}},
        {L"800,600,7", L"x;90", true, {200, 90, 250}},
        {L"800,600", L"210;90;260;99", true, {210, 90, 260}},
        {L"800,600", L"150", true, {150, 80, 250}},
        {L"800,600", L"-1;90;-2", true, {200, 90, 250}},
        {L"800,600", L"", true, DesignedWidths},
        {L"800;600", L"210;90;260", false, DesignedWidths},
        {L"0,600", L"210;90;260", false, DesignedWidths},
        {L"abc,600", L"210;90;260", false, DesignedWidths},
        {L"", L"210;90;260", false, DesignedWidths},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(ToUtf8(L"Size '" + std::wstring(c.Size) + L"', Columns '" + c.Columns + L"'"));
        Store(c.Size, c.Columns);
        ShowNew();
        RECT client{};
        GetClientRect(Form->Handle(), &client);
        const RECT r = Outer();
        if (c.Sized) {
            EXPECT_EQ(r.right - r.left, 800);
            EXPECT_EQ(r.bottom - r.top, 600);
        } else {
            EXPECT_EQ(client.right, 581);
            EXPECT_EQ(client.bottom, 254);
        }
        EXPECT_EQ(Widths(), c.Widths);
        ExpectCentred();
    }
}

TEST_F(MainLayoutTest, IsCentredWithIntegerHalvesWhenWiderThanTheScreen)
{
    // Three pixels wider than the screen: the left edge is -1 (halves rounded toward zero).
    const int width = GetSystemMetrics(SM_CXSCREEN) + 3;
    Store(Fmt(L"%d,%d", {width, 400}), L"");
    ShowNew();
    const RECT r = Outer();
    ASSERT_EQ(r.right - r.left, width);
    EXPECT_EQ(r.left, -1);
}

}  // namespace
