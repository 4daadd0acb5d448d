// Account names as an administrator types them: which are built-in and in which forms, which
// take a password, and which cannot be an account at all by the bounds Windows sets.
#include "services/account_names.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {
using enum TAccountKind;

TEST(AccountNames, KindsAndTheNamesTheManagerIsGiven)
{
    const struct {
        std::wstring Name;
        TAccountKind Kind;
        std::optional<std::wstring> BuiltIn;
    } cases[] = {
        {L"LocalSystem", LocalSystem, L"LocalSystem"},
        {L".\\localsystem", LocalSystem, L"LocalSystem"},
        {L"NT AUTHORITY\\SYSTEM", LocalSystem, L"LocalSystem"},
        {L"nt authority\\system", LocalSystem, L"LocalSystem"},
        {L"SYSTEM", LocalSystem, L"LocalSystem"},
        {L"LocalService", ServiceAccount, L"NT AUTHORITY\\LocalService"},
        {L"NT AUTHORITY\\LocalService", ServiceAccount, L"NT AUTHORITY\\LocalService"},
        {L"nt authority\\local service", ServiceAccount, L"NT AUTHORITY\\LocalService"},
        {L"NETWORKSERVICE", ServiceAccount, L"NT AUTHORITY\\NetworkService"},
        {L"Network Service", ServiceAccount, L"NT AUTHORITY\\NetworkService"},
        {L"NT AUTHORITY\\NetworkService", ServiceAccount, L"NT AUTHORITY\\NetworkService"},
        {L"NT SERVICE\\TalvoraErpApp", Virtual, std::nullopt},
        {L"nt service\\MSSQL$ERP", Virtual, std::nullopt},
        {L"CORP\\erpsvc$", Managed, std::nullopt},
        {L"corp.example\\gmsa-erp$", Managed, std::nullopt},
        // Look-alikes are ordinary accounts, with a password.
        {L".\\hidden$", User, std::nullopt},
        {L"$", User, std::nullopt},
        {L"CORP\\$", User, std::nullopt},
        {L"OTHER\\SYSTEM", User, std::nullopt},
        {L".\\LocalService", User, std::nullopt},
        {L"NT SERVICE\\", User, std::nullopt},
        {L"LocalSystemX", User, std::nullopt},
        {L".\\erpuser", User, std::nullopt},
        {L"erp@corp.example", User, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << std::string(c.Name.begin(), c.Name.end()));
        EXPECT_EQ(AccountKindOf(c.Name), c.Kind);
        EXPECT_EQ(BuiltInAccountName(c.Name), c.BuiltIn);
        EXPECT_EQ(IsLocalSystemAccount(c.Name), c.Kind == LocalSystem);
    }
}

TEST(AccountNames, TheBoundsOfAnAccountName)
{
    const std::wstring label63(63, L'd');
    const struct {
        const char* Name;
        std::wstring Text;
        bool Possible;
    } cases[] = {
        {"user", L"erpuser", true},
        {"this computer's user", L".\\erpuser", true},
        {"domain user", L"CORP\\erp.user-1", true},
        {"DNS domain", L"corp.example.com\\erpuser", true},
        {"principal name", L"erp.user@corp.example", true},
        {"managed account", L"CORP\\erpsvc$", true},
        {"virtual account of a long service name", L"NT SERVICE\\" + std::wstring(256, L's'), true},
        {"built-in with blanks", L"NT AUTHORITY\\Local Service", true},
        {"20 characters", std::wstring(20, L'u'), true},
        {"15-character domain", std::wstring(15, L'D') + L"\\u", true},
        {"63-character label", label63 + L".example\\u", true},
        {"a 255-character DNS domain", label63 + L"." + label63 + L"." + label63 + L"." + std::wstring(63, L'e') + L"\\u",
         true},
        {"blanks inside", L"CORP\\erp user", true},

        {"empty", L"", false},
        {"dot and backslash only", L".\\", false},
        {"no domain", L"\\user", false},
        {"no user", L"CORP\\", false},
        {"two backslashes", L"a\\b\\c", false},
        {"dot-dot domain", L"..\\x", false},
        {"dot-dot user", L".\\..", false},
        {"empty DNS label", L"corp..example\\u", false},
        {"leading period", L".corp\\u", false},
        {"trailing period in the user", L"CORP\\erp.", false},
        {"periods and blanks only", L". .", false},
        {"21 characters", std::wstring(21, L'u'), false},
        {"300 characters", std::wstring(300, L'u'), false},
        {"300-character domain", std::wstring(300, L'd') + L"\\u", false},
        {"16-character domain", std::wstring(16, L'D') + L"\\u", false},
        {"64-character label", std::wstring(64, L'd') + L".example\\u", false},
        {"virtual account of 257 characters", L"NT SERVICE\\" + std::wstring(257, L's'), false},
        {"a tab inside", L"svc\tuser", false},
        {"DEL inside", L"svc\x7Fuser", false},
        {"a quotation mark", L"svc\"user", false},
        {"an at sign in the user part", L"CORP\\a@b", false},
        {"two at signs", L"a@b@corp.example", false},
        {"principal name without a domain", L"erp@", false},
        {"principal name without a user", L"@corp.example", false},
        {"principal name of 1025 characters", std::wstring(1000, L'u') + L"@corp.example" + std::wstring(12, L'x'), false},
        {"a refused character in the domain", L"CO*RP\\u", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(IsPossibleAccountName(c.Text), c.Possible);
    }
    for (wchar_t refused : std::wstring(L"\"/[]:;|=,+*?<>")) {
        SCOPED_TRACE(static_cast<int>(refused));
        EXPECT_FALSE(IsPossibleAccountName(std::wstring(L".\\a") + refused + L"b"));
    }
}

TEST(AccountNames, TrimmingStripsBlanksAndControlCharacters)
{
    EXPECT_EQ(TrimmedUserName(L" \t.\\erp user\r\n"), L".\\erp user");
    EXPECT_TRUE(IsBlankUserName(L"   "));
    EXPECT_TRUE(IsBlankUserName(L"\t\x01 "));
    EXPECT_FALSE(IsBlankUserName(L" x "));
}
}  // namespace
