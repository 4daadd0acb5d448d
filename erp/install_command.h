// The installers' command lines. A new database server is installed by the SQL Anywhere
// service utility dbsvc.exe from the server executable's own folder; an ERP server installs
// itself through its "/install" switch. Values are copied literally, with three exceptions that
// make the installer receive exactly what was chosen: a program path that holds a blank is
// quoted (see TInstallCommand), a dependency name with a blank or a quotation mark makes the
// dependency switch one quoted argument, and the application server's parameter text has its
// quotation marks and the backslashes before them (or before the closing one) escaped by the
// Windows argument rules. Texts without those characters stay exactly as the formats give them.
#pragma once

#include "erp/exe_type.h"
#include "erp/start_choice.h"

#include <optional>
#include <string>
#include <vector>

class TStringList;

// The service name of an application server that takes its own default name: no "/name:"
// switch (compared without regard to the case of ASCII letters).
inline constexpr const wchar_t* DefaultServiceName = L"<default>";

// What the properties dialog hands over when OK is pressed for a new service.
struct TInstallRequest {
    TExeType Kind = etUnknown;
    std::wstring Executable;               // the Executable file box, untrimmed
    std::wstring ServiceName;              // the Service name box, untrimmed
    TStartChoice Start = TStartChoice::Automatic;
    bool Interact = false;
    std::optional<std::wstring> Dependency{};  // none for "<none>" or no selection
    std::vector<std::wstring> ParameterLines{};
};

// An installer run: the program to start and the whole command line. The program is handed
// to CreateProcessW as its application name, so a path with a blank cannot be taken for a
// shorter one; in the command line such a path is quoted (when it is not quoted already).
// Paths without a blank give the command line unchanged.
struct TInstallCommand {
    std::wstring Program;
    std::wstring CommandLine;
};

// "/dependson:" and the dependency; empty for none. A name with a blank or a quotation mark
// gives one quoted argument ("/dependson:My Service").
std::wstring DependsOnSwitch(const std::optional<std::wstring>& dependency);

// The name under which the installer creates the service: "SQLANYs_<name>" for dbsvc.exe, the
// name itself for an application server; nothing when the server chooses its own ("<default>")
// or nothing is run.
std::optional<std::wstring> ExpectedServiceName(const TInstallRequest& request);

// The installer run for a new service; nothing for etUnknown (nothing is to be run).
std::optional<TInstallCommand> ComposeInstallCommand(const TInstallRequest& request);

// The lines of a multi-line box's text, split at CR LF, LF or CR: an empty line between
// others counts, a line break at the very end starts no further line, an empty text has none.
std::vector<std::wstring> TextLines(const std::wstring& text);
