#include "app/switches.h"

#include "app/startup.h"
#include "common/errors.h"
#include "common/handle.h"
#include "common/text.h"

#include <windows.h>
#include <shellapi.h>

#include <algorithm>

namespace {
struct SwitchState {
    std::wstring Text;
    bool Built = false;
};

SwitchState& State()
{
    static SwitchState state;
    return state;
}

std::vector<std::wstring> CommandLineArguments()
{
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!argv)
        RaiseLastOSError();
    UniqueLocal owner(reinterpret_cast<HLOCAL>(argv));
    // The arguments after the program name.
    return std::vector<std::wstring>(argv + std::min(count, 1), argv + count);
}

bool InitShowAllServices() noexcept
{
    try {
        return HasSwitch(L"all");
    } catch (...) {
        RecordStartupError(CurrentExceptionMessage());
        return false;
    }
}
}  // namespace

std::wstring BuildSwitchText(const std::vector<std::wstring>& arguments)
{
    std::wstring text;
    for (const auto& arg : arguments)
        text += arg + L"|";
    std::replace(text.begin(), text.end(), L'/', L'-');
    return text;
}

bool SwitchTextHas(const std::wstring& switchText, const std::wstring& name)
{
    std::wstring copy = switchText;
    std::replace(copy.begin(), copy.end(), L'-', L'/');
    return PosText(L"/" + name, copy, 1) != 0;
}

bool HasSwitch(const std::wstring& name)
{
    SwitchState& state = State();
    if (!state.Built) {
        state.Text = BuildSwitchText(CommandLineArguments());
        state.Built = true;
    }
    return SwitchTextHas(state.Text, name);
}

std::optional<std::wstring> SwitchValue(const std::vector<std::wstring>& arguments, const std::wstring& name)
{
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::wstring& arg = arguments[i];
        if (arg.size() < name.size() + 1 || (arg[0] != L'/' && arg[0] != L'-') ||
            !SameTextAscii(arg.substr(1, name.size()), name))
            continue;
        const std::wstring rest = arg.substr(name.size() + 1);
        if (rest.empty())
            return i + 1 < arguments.size() ? arguments[i + 1] : std::wstring();
        if (rest[0] == L':')
            return rest.substr(1);
    }
    return std::nullopt;
}

std::optional<std::wstring> SwitchValue(const std::wstring& name) { return SwitchValue(CommandLineArguments(), name); }

const bool ShowAllServices = InitShowAllServices();
