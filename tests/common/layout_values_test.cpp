// The stored layout texts as a user's hive may hold them (written by the program or edited by
// hand), and where a cascaded window lands.
#include "common/format.h"
#include "common/layout_values.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace {

TEST(FormSizeText, TakesTheFirstTwoWordsWhenBothArePositiveIntegers)
{
    struct Case {
        const wchar_t* Text;
        std::optional<SIZE> Size;
    };
    const Case cases[] = {
        {L"800,600", SIZE{800, 600}},
        {L" 800 , 600", SIZE{800, 600}},
        {L"800 600", SIZE{800, 600}},
        {L"800,600,7", SIZE{800, 600}},
        {L",,800,,,600,", SIZE{800, 600}},
        {L"+800,600", SIZE{800, 600}},
        {L"800;600", std::nullopt},  // one word
        {L"800", std::nullopt},
        {L"0,600", std::nullopt},
        {L"800,0", std::nullopt},
        {L"abc,600", std::nullopt},
        {L"800,60x", std::nullopt},
        {L"0x320,600", std::nullopt},  // decimal only
        {L"800\t,600", std::nullopt},  // a tab is part of the word
        {L"", std::nullopt},
        {L" , ", std::nullopt},
        {L"-800,600", std::nullopt},  // negative: only an outside edit writes it
        {L"800,-1", std::nullopt},
        {L"2147483647,1", SIZE{2147483647, 1}},
        {L"2147483648,600", std::nullopt},  // beyond an int is not an integer
        {L"99999999999999999999,600", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(ToUtf8(L"'" + std::wstring(c.Text) + L"'"));
        const std::optional<SIZE> size = ParseFormSize(c.Text);
        ASSERT_EQ(size.has_value(), c.Size.has_value());
        if (size) {
            EXPECT_EQ(size->cx, c.Size->cx);
            EXPECT_EQ(size->cy, c.Size->cy);
        }
    }
}

TEST(FormSizeText, IsWrittenAsWidthCommaHeightAndReadBack)
{
    EXPECT_EQ(FormatFormSize(SIZE{700, 500}), L"700,500");
    const std::optional<SIZE> back = ParseFormSize(FormatFormSize(SIZE{1234, 56}));
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->cx, 1234);
    EXPECT_EQ(back->cy, 56);
}

TEST(ColumnsText, EachFieldStandsOnItsOwn)
{
    using W = std::vector<std::optional<int>>;
    constexpr std::nullopt_t none = std::nullopt;
    struct Case {
        const wchar_t* Text;
        W Widths;
    };
    const Case cases[] = {
        {L"200;80;250", W{200, 80, 250}},
        {L"200;;250", W{200, none, 250}},
        {L"x;90", W{none, 90}},
        {L"200;80;250;99", W{200, 80, 250, 99}},  // the list ignores columns it lacks
        {L"150", W{150}},
        {L"", W{}},
        {L";", W{none, none}},
        {L"200;", W{200, none}},
        {L"0;80", W{0, 80}},           // a hidden column stays hidden
        {L"-1;-2;90", W{none, none, 90}},  // "size to fit" is not a stored width
        {L" 200;80 ", W{none, none}},
        {L"200,5;80", W{none, 80}},
        {L"4294967296;80", W{none, 80}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(ToUtf8(L"'" + std::wstring(c.Text) + L"'"));
        EXPECT_EQ(ParseColumnWidths(c.Text), c.Widths);
    }
}

TEST(ColumnsText, IsWrittenJoinedWithoutATrailingSeparator)
{
    EXPECT_EQ(FormatColumnWidths({180, 90, 300}), L"180;90;300");
    EXPECT_EQ(FormatColumnWidths({150}), L"150");
    EXPECT_EQ(FormatColumnWidths({}), L"");
    EXPECT_EQ(ParseColumnWidths(FormatColumnWidths({180, 0, 300})), (std::vector<std::optional<int>>{180, 0, 300}));
}

TEST(Cascade, SitsBesideTheReferenceAndInsideTheWorkArea)
{
    struct Case {
        const char* Name;
        RECT Reference;
        SIZE Window;
        RECT WorkArea;
        POINT Expected;
    };
    const RECT work{0, 0, 1920, 1040};
    const Case cases[] = {
        {"beside the reference", {100, 100, 700, 500}, {740, 450}, work, {124, 124}},
        {"pulled back to the right and bottom edges", {1500, 700, 2100, 1100}, {740, 450}, work, {1180, 590}},
        {"taller than the work area: top on its top", {100, 100, 700, 500}, {740, 1200}, work, {124, 0}},
        {"wider than the work area: left on its left", {100, 100, 700, 500}, {2000, 450}, work, {0, 124}},
        {"reference left of the work area", {-300, -300, 100, 100}, {740, 450}, work, {0, 0}},
        {"second monitor's work area", {2000, 50, 2600, 450}, {740, 450}, {1920, 40, 3840, 1080}, {2024, 74}},
        {"exactly flush", {1156, 566, 1500, 900}, {740, 450}, work, {1180, 590}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        const POINT p = CascadePosition(c.Reference, c.Window, c.WorkArea);
        EXPECT_EQ(p.x, c.Expected.x);
        EXPECT_EQ(p.y, c.Expected.y);
    }
}

}  // namespace
