#include "services/account_names.h"

#include <windows.h>

#include <cwchar>
#include <initializer_list>
#include <string_view>

namespace {
constexpr size_t MaxUserPart = 20;          // a user account's logon name
constexpr size_t MaxNetBiosName = 15;       // a computer's or domain's name without a dot
constexpr size_t MaxDnsName = 255;          // a fully qualified DNS name
constexpr size_t MaxDnsLabel = 63;          // one label of it
constexpr size_t MaxServiceName = 256;      // a service's name, in NT SERVICE\<name>
constexpr size_t MaxPrincipalName = 1024;   // user@domain
constexpr wchar_t UserPartRefused[] = L"\"/\\[]:;|=,+*?<>@";
constexpr wchar_t DomainPartRefused[] = L"\\/:*?\"<>|";

bool SameText(std::wstring_view a, std::wstring_view b)
{
    return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
}

bool IsControl(wchar_t c) { return c < L' ' || c == 0x7F; }

bool HasAnyOf(std::wstring_view text, const wchar_t* refused)
{
    for (wchar_t c : text)
        if (IsControl(c) || std::wcschr(refused, c))
            return true;
    return false;
}

// The part after "NT AUTHORITY\", or the whole name when it has no such domain.
std::wstring_view WithoutNtAuthority(std::wstring_view name)
{
    constexpr std::wstring_view Domain = L"NT AUTHORITY\\";
    return name.size() > Domain.size() && SameText(name.substr(0, Domain.size()), Domain) ? name.substr(Domain.size())
                                                                                          : name;
}

bool IsAnyOf(std::wstring_view name, std::initializer_list<std::wstring_view> forms)
{
    for (std::wstring_view form : forms)
        if (SameText(name, form))
            return true;
    return false;
}

bool IsLocalService(std::wstring_view name)
{
    return IsAnyOf(WithoutNtAuthority(name), {L"LocalService", L"Local Service"});
}

bool IsNetworkService(std::wstring_view name)
{
    return IsAnyOf(WithoutNtAuthority(name), {L"NetworkService", L"Network Service"});
}

// A user's logon name, the user part of "DOMAIN\user", or the prefix of a principal name.
bool IsPossibleUserPart(std::wstring_view user, size_t maxLength)
{
    if (user.empty() || user.size() > maxLength || HasAnyOf(user, UserPartRefused) || user.back() == L'.')
        return false;
    return user.find_first_not_of(L". ") != std::wstring_view::npos;
}

// A DNS name: labels of 1 to 63 characters between single dots.
bool IsPossibleDnsName(std::wstring_view name)
{
    if (name.empty() || name.size() > MaxDnsName || HasAnyOf(name, DomainPartRefused))
        return false;
    size_t start = 0;
    for (;;) {
        const size_t dot = name.find(L'.', start);
        const size_t length = (dot == std::wstring_view::npos ? name.size() : dot) - start;
        if (length == 0 || length > MaxDnsLabel)
            return false;
        if (dot == std::wstring_view::npos)
            return true;
        start = dot + 1;
    }
}

// The domain part of "DOMAIN\user": a computer or domain name, or a DNS domain name.
bool IsPossibleDomainPart(std::wstring_view domain)
{
    if (domain == L".")
        return true;
    const bool dotted = domain.find(L'.') != std::wstring_view::npos;
    return IsPossibleDnsName(domain) && (dotted || domain.size() <= MaxNetBiosName);
}
}  // namespace

std::wstring TrimmedUserName(const std::wstring& userName)
{
    size_t first = 0, last = userName.size();
    while (first < last && userName[first] <= L' ')
        ++first;
    while (last > first && userName[last - 1] <= L' ')
        --last;
    return userName.substr(first, last - first);
}

bool IsBlankUserName(const std::wstring& userName) { return TrimmedUserName(userName).empty(); }

TAccountKind AccountKindOf(const std::wstring& name)
{
    if (IsAnyOf(name, {L"LocalSystem", L".\\LocalSystem", L"SYSTEM", L"NT AUTHORITY\\SYSTEM"}))
        return TAccountKind::LocalSystem;
    if (IsLocalService(name) || IsNetworkService(name))
        return TAccountKind::ServiceAccount;
    constexpr std::wstring_view VirtualDomain = L"NT SERVICE\\";
    if (name.size() > VirtualDomain.size() && SameText(std::wstring_view(name).substr(0, VirtualDomain.size()), VirtualDomain))
        return TAccountKind::Virtual;
    // DOMAIN\name$, a group managed account the same; ".\name$" is a local user's name.
    const size_t slash = name.find(L'\\');
    if (slash != std::wstring::npos && slash > 0 && name.compare(0, slash, L".") != 0 && name.size() > slash + 2 &&
        name.back() == L'$')
        return TAccountKind::Managed;
    return TAccountKind::User;
}

bool IsLocalSystemAccount(const std::wstring& name) { return AccountKindOf(name) == TAccountKind::LocalSystem; }

std::optional<std::wstring> BuiltInAccountName(const std::wstring& name)
{
    if (IsLocalSystemAccount(name))
        return L"LocalSystem";
    if (IsLocalService(name))
        return L"NT AUTHORITY\\LocalService";
    if (IsNetworkService(name))
        return L"NT AUTHORITY\\NetworkService";
    return std::nullopt;
}

bool IsPossibleAccountName(const std::wstring& name)
{
    if (BuiltInAccountName(name))
        return true;
    const std::wstring_view text = name;
    const size_t slash = text.find(L'\\');
    if (slash != std::wstring_view::npos) {
        const std::wstring_view domain = text.substr(0, slash);
        const std::wstring_view user = text.substr(slash + 1);
        if (!IsPossibleDomainPart(domain))
            return false;
        if (SameText(domain, L"NT SERVICE"))
            return !user.empty() && user.size() <= MaxServiceName && !HasAnyOf(user, L"\\/");
        return IsPossibleUserPart(user, MaxUserPart);
    }
    const size_t at = text.find(L'@');
    if (at != std::wstring_view::npos)
        return text.size() <= MaxPrincipalName && IsPossibleUserPart(text.substr(0, at), MaxPrincipalName) &&
               text.find(L'@', at + 1) == std::wstring_view::npos && IsPossibleDnsName(text.substr(at + 1));
    return IsPossibleUserPart(text, MaxUserPart);
}
