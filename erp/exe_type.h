// The kinds of server executable the tool manages: the two SQL Anywhere database servers and
// the two kinds of Talvora ERP server. The kind decides how a service is installed, where its
// executable is looked for, which files the browse dialog offers, which services the list
// shows and which stop asks about the ERP. All of it is one row of the table in exe_type.cpp:
// adding a kind is a value here (the code stored as "ServiceType": the next unused number, never
// a renumbering) and a row there, at its place in the matching order.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// A kind's value is the code that "ServiceType" stores, and nothing more: the order in which
// the kinds are matched and offered is the order of the table's rows (a narrower kind goes
// before the broader one it would otherwise fall under, whatever its code).
enum TExeType : std::uint8_t {
    etNetworkServer = 0,
    etLocalServer = 1,
    etT32AppServer = 2,
    etT32GenericServer = 3,
    etUnknown = 4,  // no kind: never matched, never offered
};

// How a kind's service is installed.
enum class TInstallerForm : std::uint8_t {
    None,         // nothing is run
    Dbsvc,        // SQL Anywhere's dbsvc.exe beside the server, "-t <DbsvcType>"
    SelfInstall,  // the server's own "/install" switch
};

// Where a kind's executables are looked for, besides the folder history.
enum class TExecutableFolders : std::uint8_t {
    HistoryOnly,
    Path,     // the folders of this process's PATH
    RunDirs,  // the ERP's "RunDirs"
};

// One kind of server.
struct TServerKind {
    TExeType Kind;
    const wchar_t* Name;       // ExeTypeName
    const wchar_t* Patterns;   // ExeTypePatterns: file masks separated by ";"
    TInstallerForm Installer;
    const wchar_t* DbsvcType;  // dbsvc.exe's "-t" value, for TInstallerForm::Dbsvc
    TExecutableFolders Folders;
    // The services of this kind as the list knows them: service names beginning with one of
    // NamePrefixes, or display names beginning with one of DisplayPrefixes (";"-separated,
    // without regard to case). A database server's stop asks about the ERP.
    const wchar_t* NamePrefixes;
    const wchar_t* DisplayPrefixes;
    bool Database;
};

// The kind's row; a value that is no kind (a damaged remembered kind) gives etUnknown's.
const TServerKind& ServerKind(TExeType kind);

// The kinds a new service can be given, in the order they are matched and offered (every kind
// but etUnknown).
const std::vector<TExeType>& OfferedExeTypes();
// The kind whose stored code this is (etUnknown's included); none for a code no kind has.
std::optional<TExeType> ExeTypeOfCode(unsigned long code);

// Whether the list shows the service when it shows the ERP's services only: a service of one
// of the kinds by its name or display name.
bool IsErpService(const std::wstring& serviceName, const std::wstring& displayName);
// Whether the service is a database server (a kind marked Database, by its name).
bool IsDatabaseService(const std::wstring& serviceName);

// "SQL Anywhere Network Server", ... "Unknown Server". A value that is no kind (a damaged
// remembered kind) gives the name of etUnknown.
std::wstring ExeTypeName(TExeType kind);

// The kind's file masks, separated by ";" ("dbsrv*.exe"); empty for etUnknown.
std::wstring ExeTypePatterns(TExeType kind);

// The kind of a service's binary path as the Service Control Manager stores it (possibly
// quoted, possibly followed by arguments): the stem of the file name before the first ".exe"
// is tested, kind after kind in the matching order, for the prefix that each kind's masks give
// once their stars are deleted.
TExeType ExeTypeOfFile(const std::wstring& imagePath);

// The ERP server kinds: installing themselves, with the "<default>" name.
bool IsAppServerKind(TExeType kind);

// The text without the extension: cut at the last character among ".", "\" and ":" when that
// character is ".".
std::wstring DropExtension(const std::wstring& text);
