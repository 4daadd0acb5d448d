// The kinds of server executable the tool manages: the two SQL Anywhere database servers and
// the two kinds of Talvora ERP server. The kind decides how a service is installed, where its
// executable is looked for and which files the browse dialog offers.
#pragma once

#include <cstdint>
#include <string>

// The ordinal indexes the name and pattern tables; classification tries the kinds in this
// order, so the narrow "t32appsrv.exe" comes before the broad "t32*.exe".
enum TExeType : std::uint8_t {
    etNetworkServer = 0,
    etLocalServer = 1,
    etT32AppServer = 2,
    etT32GenericServer = 3,
    etUnknown = 4,
};

constexpr int ExeTypeCount = 5;
// The kinds a new service can be given (everything before etUnknown).
constexpr int OfferedExeTypeCount = 4;

// "SQL Anywhere Network Server", ... "Unknown Server". A value past etUnknown (a damaged
// remembered kind) gives the name of etUnknown.
std::wstring ExeTypeName(TExeType kind);

// The kind's file masks, separated by ";" ("dbsrv*.exe"); empty for etUnknown.
std::wstring ExeTypePatterns(TExeType kind);

// The kind of a service's binary path as the Service Control Manager stores it (possibly
// quoted, possibly followed by arguments): the stem of the file name before the first ".exe"
// is tested for the prefix that each kind's masks give once their stars are deleted.
TExeType ExeTypeOfFile(const std::wstring& imagePath);

// The SQL Anywhere kinds (installed by dbsvc.exe, searched along PATH).
bool IsDatabaseKind(TExeType kind);
// The ERP server kinds (installing themselves, searched in the ERP's "RunDirs").
bool IsAppServerKind(TExeType kind);

// The text without the extension: cut at the last character among ".", "\" and ":" when that
// character is ".".
std::wstring DropExtension(const std::wstring& text);
