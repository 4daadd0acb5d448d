#include "erp/account_check.h"

#include "common/errors.h"
#include "common/format.h"

namespace {
// The character's code as four hexadecimal digits.
std::wstring HexCode(wchar_t c)
{
    wchar_t digits[5] = L"";
    for (int i = 3; i >= 0; --i) {
        digits[i] = L"0123456789ABCDEF"[c & 0xF];
        c = static_cast<wchar_t>(c >> 4);
    }
    return digits;
}

// The new account the change sets that the computer's accounts must know and that needs the
// right to log on as a service; empty for none. The built-in accounts always exist; a virtual
// account is its service's own, which the manager checks, and logs on without that right.
std::wstring AccountToLookUp(const TServiceReconfiguration& change)
{
    if (change.Account != TAccountChange::NewAccount)
        return {};
    const TAccountKind kind = AccountKindOf(change.UserName);
    return kind == TAccountKind::User || kind == TAccountKind::Managed ? change.UserName : std::wstring();
}

std::wstring ComputerText(const std::wstring& computer)
{
    return computer.empty() ? std::wstring(L"this computer") : Fmt(L"the computer \"%s\"", {computer});
}
}  // namespace

std::wstring AccountEntryRefusal(const TAccountEntry& entered, const TAccountEntry& loaded)
{
    if (entered.DefaultAccount)
        return {};
    const std::wstring name = TrimmedUserName(entered.UserName);
    const bool asLoaded = !loaded.DefaultAccount && name == TrimmedUserName(loaded.UserName);
    if (asLoaded)
        return {};
    if (name.empty())
        return L"User name cannot be empty. Check \"Default\" to run the service as LocalSystem.";
    if (IsPossibleAccountName(name))
        return {};
    std::wstring refusal = Fmt(L"User name \"%s\" is not a valid account name.", {name});
    // A control character does not show in the name: it is named by its code.
    for (wchar_t c : name)
        if (c < L' ' || c == 0x7F) {
            refusal += Fmt(L" It contains the control character U+%s.", {HexCode(c)});
            break;
        }
    return refusal;
}

std::wstring UnknownAccountRefusal(IAccountRights& rights, const std::wstring& computer,
                                   const TServiceReconfiguration& change)
{
    const std::wstring account = AccountToLookUp(change);
    if (account.empty() || rights.AccountExists(computer, account))
        return {};
    return Fmt(L"The account \"%s\" does not exist on %s.", {account, ComputerText(computer)});
}

TLogonRightGrant GrantLogonRight(IAccountRights& rights, const std::wstring& computer,
                                 const TServiceReconfiguration& change)
{
    const std::wstring account = AccountToLookUp(change);
    if (account.empty())
        return {};
    try {
        if (!rights.GrantServiceLogonRight(computer, account))
            return {};
        return {Fmt(L"The account %s was granted the right to log on as a service.", {account}), {}};
    } catch (const Exception& e) {
        return {{},
                Fmt(L"The service is set to run as %s, but that account could not be granted the right to log on "
                    L"as a service:\n%s\n\nThe service will not start until the account has that right.",
                    {account, e.Message()})};
    }
}

std::wstring WithLine(const std::wstring& text, const std::wstring& line)
{
    if (line.empty())
        return text;
    return text.empty() ? line : text + L"\n" + line;
}
