#include "common/errors.h"
#include "common/format.h"
#include "common/strings.h"
#include "common/text.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {
constexpr wchar_t Q = L'"';

std::wstring WithQuotes(std::wstring s)
{
    for (auto& c : s)
        if (c == L'Q')
            c = Q;
    return s;
}

using Step = std::pair<std::wstring, int>;

std::vector<Step> Walk(const std::wstring& source, bool ignoreQuotes = false, bool skipEmpty = false, int start = 1,
                       size_t maxCalls = 8)
{
    std::vector<Step> steps;
    int position = start;
    do {
        std::wstring token = FetchToken(source, L';', position, ignoreQuotes, skipEmpty);
        steps.emplace_back(token, position);
    } while (position != 0 && steps.size() < maxCalls);
    return steps;
}

struct TokenCase {
    const wchar_t* Source;  // Q stands for the quote character
    bool IgnoreQuotes;
    bool SkipEmpty;
    std::vector<Step> Expected;
};

class FetchTokenWalk : public testing::TestWithParam<TokenCase> {};

TEST_P(FetchTokenWalk, GivesTokensAndPositions)
{
    const TokenCase& c = GetParam();
    std::vector<Step> expected;
    for (const auto& [token, pos] : c.Expected)
        expected.emplace_back(WithQuotes(token), pos);
    EXPECT_EQ(Walk(WithQuotes(c.Source), c.IgnoreQuotes, c.SkipEmpty), expected) << "source: " << testing::PrintToString(std::wstring(c.Source));
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, FetchTokenWalk,
    testing::Values(TokenCase{L"a;b", false, false, {{L"a", 3}, {L"b", 4}, {L"", 0}}},
                    TokenCase{L"a;b;", false, false, {{L"a", 3}, {L"b", 5}, {L"", 6}, {L"", 0}}},
                    TokenCase{L";a", false, false, {{L"", 2}, {L"a", 3}, {L"", 0}}},
                    TokenCase{L"a;;b", false, false, {{L"a", 3}, {L"", 4}, {L"b", 5}, {L"", 0}}},
                    TokenCase{L"a;;b", false, true, {{L"a", 3}, {L"b", 5}, {L"", 0}}},
                    TokenCase{L"a;", false, true, {{L"a", 3}, {L"", 0}}},
                    TokenCase{L";;", false, true, {{L"", 0}}},
                    TokenCase{L"", false, false, {{L"", 0}}},
                    TokenCase{L"Qx;yQ;z", false, false, {{L"Qx;yQ", 7}, {L"z", 8}, {L"", 0}}},
                    TokenCase{L"Qx;yQ;z", true, false, {{L"Qx", 4}, {L"yQ", 7}, {L"z", 8}, {L"", 0}}},
                    TokenCase{L"Qx;y", false, false, {{L"Qx;y", 5}, {L"", 0}}},
                    TokenCase{L"Qx;", false, false, {{L"Qx;", 4}, {L"", 5}, {L"", 0}}}));

TEST(FetchToken, PositionsOutOfRangeEndTheWalk)
{
    for (int start : {0, -3, 5, 100}) {
        int position = start;
        EXPECT_EQ(FetchToken(L"a;b", L';', position), L"") << start;
        EXPECT_EQ(position, 0) << start;
    }
    int position = 7;
    EXPECT_EQ(FetchToken(L"", L';', position), L"");
    EXPECT_EQ(position, 0);
}

std::vector<std::wstring> Split(const std::wstring& text, const std::wstring& sep, bool keepEmpty)
{
    TStringList list{L"left over"};
    SplitText(text, sep, &list, keepEmpty);
    return list.Items();
}

TEST(SplitText, Pieces)
{
    using V = std::vector<std::wstring>;
    const struct {
        const wchar_t* Text;
        const wchar_t* Separator;
        bool KeepEmpty;
        V Expected;
    } cases[] = {
        {L"a;;b", L";", false, {L"a", L"b"}},
        {L"a;;b", L";", true, {L"a", L"", L"b"}},
        {L";a;", L";", false, {L"a"}},
        {L";a;", L";", true, {L"", L"a", L""}},
        {L"", L";", false, {}},
        {L"", L";", true, {L""}},
        {L"a;b", L"x", false, {L"a;b"}},
        {L"a--b", L"--", false, {L"a", L"b"}},
        {L"a;b", L"", false, {L"a;b"}},
        // Quotation marks are text: a quoted separator still separates, and an unmatched quote
        // does not swallow the pieces after it.
        {L"\"a;b\";c", L";", false, {L"\"a", L"b\"", L"c"}},
        {L"\"a;b;c", L";", false, {L"\"a", L"b", L"c"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Split(c.Text, c.Separator, c.KeepEmpty), c.Expected) << ToUtf8(c.Text) << " " << c.KeepEmpty;
        EXPECT_EQ(SplitText(c.Text, c.Separator, c.KeepEmpty), c.Expected) << ToUtf8(c.Text) << " " << c.KeepEmpty;
    }
}

TEST(SplitText, MissingListIsAnAssertionFailure)
{
    try {
        SplitText(L"a", L";", nullptr, false);
        FAIL() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message().rfind(L"Assertion failure (text.cpp, line ", 0), 0u) << ToUtf8(e.Message());
    }
}

TEST(SplitText, SortedListAppliesItsOwnRules)
{
    TStringList list;
    list.Sorted = true;
    list.IgnoreDuplicates = true;
    int changes = 0;
    list.OnChange = [&] { ++changes; };
    SplitText(L"c:\\b;C:\\A;c:\\B;d", L";", &list, false);
    EXPECT_EQ(list.Items(), (std::vector<std::wstring>{L"C:\\A", L"c:\\b", L"d"}));
    EXPECT_EQ(changes, 1);  // one batch
}

TEST(JoinText, Joins)
{
    TStringList abc{L"a", L"", L"b"};
    EXPECT_EQ(JoinText(abc, L";", false), L"a;b");
    EXPECT_EQ(JoinText(abc, L";", true), L"a;;b");
    EXPECT_EQ(JoinText(TStringList{}, L";", true), L"");
    EXPECT_EQ(JoinText(TStringList{L""}, L";", false), L"");
    EXPECT_EQ(JoinText(TStringList{L""}, L";", true), L"");
    EXPECT_EQ(JoinText(TStringList{L"a", L"b"}, L"\\n", true), L"a\\nb");
}

TEST(JoinText, SplitGivesBackTheNonEmptyItems)
{
    TStringList items{L"x", L"", L"yy", L"z z"};
    TStringList back;
    SplitText(JoinText(items, L"|", true), L"|", &back, false);
    EXPECT_EQ(back.Items(), (std::vector<std::wstring>{L"x", L"yy", L"z z"}));
}

TEST(PosText, FindsWithoutRegardToCase)
{
    EXPECT_EQ(PosText(L"talvora32", L"Talvora32 Application Server", 1), 1);
    EXPECT_EQ(PosText(L"talvora32", L"My Talvora32", 1), 4);
    EXPECT_EQ(PosText(L"b", L"abcb", 3), 4);
    EXPECT_EQ(PosText(L"", L"abc", 1), 0);
    EXPECT_EQ(PosText(L"x", L"abc", 1), 0);
    EXPECT_EQ(PosText(L"abcd", L"abc", 1), 0);
    EXPECT_EQ(PosText(L"\u00e4r", L"S\u00c4R", 1), 2);  // upper-cased with the system's mapping
    EXPECT_EQ(PosText(L"a", L"a", 2), 0);
}
}  // namespace
