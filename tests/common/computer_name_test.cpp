// Computer names as typed: what is taken (without its "\\") and what is refused, and which
// names are this computer's own.
#include "common/computer_name.h"

#include "common/format.h"

#include <gtest/gtest.h>

namespace {
struct NameCase {
    const wchar_t* What;
    std::wstring Text;
    std::optional<std::wstring> Name;  // none: refused
};

TEST(ComputerName, TakenWithoutItsBackslashesOrRefused)
{
    const NameCase cases[] = {
        {L"plain", L"erp-app1", L"erp-app1"},
        {L"leading backslashes", L"\\\\erp-app1", L"erp-app1"},
        {L"full DNS name", L"erp.example.com", L"erp.example.com"},
        {L"IP address", L"10.0.0.7", L"10.0.0.7"},
        {L"IP address with backslashes", L"\\\\192.168.1.20", L"192.168.1.20"},
        {L"255 characters", std::wstring(255, L'a'), std::wstring(255, L'a')},
        {L"256 characters", std::wstring(256, L'a'), std::nullopt},
        {L"256 characters after the backslashes", L"\\\\" + std::wstring(256, L'a'), std::nullopt},
        {L"empty", L"", std::nullopt},
        {L"backslashes alone", L"\\\\", std::nullopt},
        {L"four backslashes", L"\\\\\\\\", std::nullopt},
        {L"one backslash", L"\\erp", std::nullopt},
        {L"a blank inside", L"erp app", std::nullopt},
        {L"a blank before", L" erp", std::nullopt},
        {L"a blank after", L"erp ", std::nullopt},
        {L"a tab", L"erp\tapp", std::nullopt},
        {L"a slash", L"erp/app", std::nullopt},
        {L"a backslash inside", L"erp\\app", std::nullopt},
        {L"a share path", L"\\\\erp\\c$", std::nullopt},
        {L"quotation marks", L"\"erp\"", std::nullopt},
        {L"a colon", L"erp:1", std::nullopt},
        {L"a wildcard", L"erp*", std::nullopt},
        {L"a control character", std::wstring(L"erp") + L'\x01', std::nullopt},
    };
    for (const NameCase& c : cases) {
        std::wstring error = L"stale";
        std::optional<std::wstring> name = ComputerNameFromText(c.Text, error);
        SCOPED_TRACE(ToUtf8(c.What));
        EXPECT_EQ(name, c.Name);
        EXPECT_EQ(error.empty(), c.Name.has_value()) << ToUtf8(error);
    }
}

TEST(ComputerName, RefusalsSayWhy)
{
    std::wstring error;
    ComputerNameFromText(L"", error);
    EXPECT_EQ(error, L"Please enter the name of the computer.");
    ComputerNameFromText(L"erp app", error);
    EXPECT_EQ(error, L"A computer name cannot contain blanks or other white space.");
    ComputerNameFromText(L"erp/app", error);
    EXPECT_EQ(error, L"A computer name cannot contain the character /.");
    ComputerNameFromText(std::wstring(300, L'x'), error);
    EXPECT_EQ(error, L"The computer name is too long: a name has at most 255 characters.");
}

TEST(ComputerName, ThisComputersOwnNames)
{
    const std::wstring own = ThisComputerName();
    ASSERT_FALSE(own.empty());
    std::wstring lower = own;
    for (wchar_t& c : lower)
        c = static_cast<wchar_t>(towlower(c));
    for (const std::wstring& name : {own, lower, L"\\\\" + own, std::wstring(L"localhost"), std::wstring(L"LOCALHOST"),
                                     std::wstring(L"."), std::wstring(L"\\\\."), std::wstring(L"127.0.0.1"),
                                     std::wstring(L"\\\\127.0.0.1")})
        EXPECT_TRUE(IsThisComputerName(name)) << ToUtf8(name);
    for (const std::wstring& name : {std::wstring(L""), std::wstring(L"\\\\"), std::wstring(L"nosuchhost"),
                                     own + L"x", std::wstring(L"127.0.0.2"), std::wstring(L"10.0.0.7")})
        EXPECT_FALSE(IsThisComputerName(name)) << ToUtf8(name);
}
}  // namespace
