// The kinds of server executable the tool manages: the two SQL Anywhere database servers and
// the two kinds of Talvora ERP server. The kind decides how a service is installed, where its
// executable is looked for, which files the browse dialog offers, which services the list
// shows and which stop asks about the ERP. All of it is one row of the table in exe_type.cpp:
// adding a kind is a value here (its number is stored as "ServiceType": never renumber) and a
// row there.
#pragma once

#include <cstdint>
#include <string>

// The value indexes the kinds' table and is what "ServiceType" stores; classification tries
// the kinds in this order, so the narrow "t32appsrv.exe" comes before the broad "t32*.exe".
enum TExeType : std::uint8_t {
    etNetworkServer = 0,
    etLocalServer = 1,
    etT32AppServer = 2,
    etT32GenericServer = 3,
    etUnknown = 4,  // always the last
};

constexpr int ExeTypeCount = etUnknown + 1;
// The kinds a new service can be given (everything before etUnknown).
constexpr int OfferedExeTypeCount = etUnknown;

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

// The kind's row; a value past etUnknown (a damaged remembered kind) gives etUnknown's.
const TServerKind& ServerKind(TExeType kind);

// Whether the list shows the service when it shows the ERP's services only: a service of one
// of the kinds by its name or display name.
bool IsErpService(const std::wstring& serviceName, const std::wstring& displayName);
// Whether the service is a database server (a kind marked Database, by its name).
bool IsDatabaseService(const std::wstring& serviceName);

// "SQL Anywhere Network Server", ... "Unknown Server". A value past etUnknown (a damaged
// remembered kind) gives the name of etUnknown.
std::wstring ExeTypeName(TExeType kind);

// The kind's file masks, separated by ";" ("dbsrv*.exe"); empty for etUnknown.
std::wstring ExeTypePatterns(TExeType kind);

// The kind of a service's binary path as the Service Control Manager stores it (possibly
// quoted, possibly followed by arguments): the stem of the file name before the first ".exe"
// is tested for the prefix that each kind's masks give once their stars are deleted.
TExeType ExeTypeOfFile(const std::wstring& imagePath);

// The ERP server kinds: installing themselves, with the "<default>" name.
bool IsAppServerKind(TExeType kind);

// The text without the extension: cut at the last character among ".", "\" and ":" when that
// character is ".".
std::wstring DropExtension(const std::wstring& text);
