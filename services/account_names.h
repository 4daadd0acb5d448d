// Names of the accounts a service runs as, as an administrator types them: the built-in accounts
// in each of their forms, which accounts take a password, and the bounds Windows puts on the
// parts of an account name.
//
// Usage:
//   const std::wstring name = TrimmedUserName(L"  .\\erpuser ");     // ".\erpuser"
//   AccountKindOf(L"nt authority\\system");                         // TAccountKind::LocalSystem
//   BuiltInAccountName(L"LocalService");                             // "NT AUTHORITY\LocalService"
//   IsPossibleAccountName(L"..\\x");                                 // false
#pragma once

#include <optional>
#include <string>

// The user name with blanks and control characters stripped from both ends.
std::wstring TrimmedUserName(const std::wstring& userName);
// Whether nothing is left of the user name once it is trimmed.
bool IsBlankUserName(const std::wstring& userName);

// What an account needs to run a service.
enum class TAccountKind {
    LocalSystem,     // the local system account: no password
    ServiceAccount,  // NT AUTHORITY\LocalService or \NetworkService: the empty password
    Virtual,         // NT SERVICE\<service>: no password (NULL); the service's own account
    Managed,         // a managed service account, DOMAIN\name$: no password (NULL)
    User,            // any other account: its password
};

// The kind of the (trimmed) account name, letter case ignored. LocalSystem is "LocalSystem",
// ".\LocalSystem", "SYSTEM" or "NT AUTHORITY\SYSTEM"; the service accounts are "LocalService"
// and "NetworkService", also written "Local Service" and "Network Service", each bare or after
// "NT AUTHORITY\".
TAccountKind AccountKindOf(const std::wstring& name);

// Whether the name is one of the forms of LocalSystem.
bool IsLocalSystemAccount(const std::wstring& name);

// The name the manager is given for a built-in account in any of its forms: "LocalSystem",
// "NT AUTHORITY\LocalService" or "NT AUTHORITY\NetworkService"; none for any other account.
std::optional<std::wstring> BuiltInAccountName(const std::wstring& name);

// Whether the (trimmed) text can name an account, by the bounds Windows sets:
// - "user", ".\user" or "DOMAIN\user": the user part at most 20 characters, none of
//   " / \ [ ] : ; | = , + * ? < > @ nor a control character, not ending with a period and not
//   made only of periods and blanks; a managed account's closing "$" counts;
// - the domain part "." (this computer), a computer or domain name of at most 15 characters, or
//   a DNS name of at most 255 characters in labels of 1 to 63 characters: none of
//   \ / : * ? " < > | nor a control character, no empty label (no "..", no leading or trailing
//   period);
// - "NT SERVICE\service": the service's name, up to 256 characters;
// - "user@domain.example" (a user principal name): a prefix as above but of any length, a DNS
//   name after the "@", at most 1024 characters in all.
bool IsPossibleAccountName(const std::wstring& name);
