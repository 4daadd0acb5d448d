#include "erp/install_command.h"

#include "common/format.h"
#include "common/strings.h"
#include "common/text.h"
#include "erp/file_paths.h"

namespace {

std::wstring JoinLines(const std::vector<std::wstring>& lines, const std::wstring& separator)
{
    TStringList list;
    for (const auto& line : lines)
        list.Add(line);
    return JoinText(list, separator, true);
}

// The program path as it starts the command line: quoted when it holds a blank.
std::wstring CommandLineProgram(const std::wstring& program)
{
    if (program.find(L' ') == std::wstring::npos || (!program.empty() && program.front() == L'"'))
        return program;
    return L"\"" + program + L"\"";
}

// The text as it stands inside a quoted argument, by the Windows argument rules: a quotation
// mark becomes \", and the backslashes before it, or before the closing quotation mark, are
// doubled. Other backslashes stay single, so a text without quotation marks that does not end
// in a backslash is unchanged.
std::wstring InsideQuotes(const std::wstring& text)
{
    std::wstring out;
    size_t backslashes = 0;
    for (wchar_t c : text) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, L'\\');
    return out;
}

std::wstring Unquoted(const std::wstring& program)
{
    if (program.size() >= 2 && program.front() == L'"' && program.back() == L'"')
        return program.substr(1, program.size() - 2);
    return program;
}

TInstallCommand DbsvcCommand(const TInstallRequest& r)
{
    std::wstring program = ExtractFilePath(r.Executable) + L"dbsvc.exe";
    std::wstring line =
        Fmt(L"%s -y -t %s -as %s %s -w %s \"%s\" %s",
            {CommandLineProgram(program), ServerKind(r.Kind).DbsvcType, r.Interact ? L"-i" : L"",
             StartChoiceRow(r.Start).DbsvcSwitch, r.ServiceName, r.Executable, JoinLines(r.ParameterLines, L" ")});
    return {Unquoted(program), line};
}

TInstallCommand AppServerCommand(const TInstallRequest& r)
{
    std::wstring nameSwitch = SameTextAscii(r.ServiceName, DefaultServiceName) ? L"" : L"/name:" + r.ServiceName;
    std::wstring line = CommandLineProgram(r.Executable) + L" /install /silent " +
                        StartChoiceRow(r.Start).AppServerSwitch + L" " + (r.Interact ? L"/interact" : L"/nointeract") +
                        L" " + DependsOnSwitch(r.Dependency) + L" " + nameSwitch + L" \"/params:" +
                        InsideQuotes(JoinLines(r.ParameterLines, L"\\n")) + L"\"";
    return {Unquoted(r.Executable), line};
}
}  // namespace

std::wstring DependsOnSwitch(const std::optional<std::wstring>& dependency)
{
    if (!dependency)
        return {};
    const std::wstring text = L"/dependson:" + *dependency;
    // A name with a blank or a quotation mark travels as one quoted argument.
    if (dependency->find_first_of(L" \t\"") == std::wstring::npos)
        return text;
    return L"\"" + InsideQuotes(text) + L"\"";
}

std::optional<std::wstring> ExpectedServiceName(const TInstallRequest& request)
{
    switch (ServerKind(request.Kind).Installer) {
    case TInstallerForm::Dbsvc:
        return L"SQLANYs_" + request.ServiceName;
    case TInstallerForm::SelfInstall:
        if (!SameTextAscii(request.ServiceName, DefaultServiceName))
            return request.ServiceName;
        break;
    case TInstallerForm::None:
        break;
    }
    return std::nullopt;
}

std::optional<TInstallCommand> ComposeInstallCommand(const TInstallRequest& request)
{
    switch (ServerKind(request.Kind).Installer) {
    case TInstallerForm::Dbsvc:
        return DbsvcCommand(request);
    case TInstallerForm::SelfInstall:
        return AppServerCommand(request);
    case TInstallerForm::None:
        break;
    }
    return std::nullopt;
}

std::vector<std::wstring> TextLines(const std::wstring& text)
{
    std::vector<std::wstring> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t at = text.find_first_of(L"\r\n", start);
        if (at == std::wstring::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, at - start));
        start = at + (text.compare(at, 2, L"\r\n") == 0 ? 2 : 1);
    }
    return lines;
}
