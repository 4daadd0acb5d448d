#include "app/switches.h"

#include "app/startup.h"
#include "common/errors.h"
#include "common/handle.h"
#include "common/text.h"

#include <windows.h>
#include <shellapi.h>

#include <algorithm>

namespace {
// The switches whose value may follow as the next argument.
constexpr const wchar_t* ValueSwitches[] = {L"computer"};

struct SwitchState {
    std::vector<std::wstring> Arguments;
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

namespace {
// The switch's name in the argument ("/name" or "/name:value", "-" in place of "/"); empty when
// the argument is no switch.
std::wstring SwitchName(const std::wstring& arg)
{
    if (arg.size() < 2 || (arg[0] != L'/' && arg[0] != L'-'))
        return {};
    const size_t colon = arg.find(L':');
    return arg.substr(1, colon == std::wstring::npos ? std::wstring::npos : colon - 1);
}

bool TakesValue(const std::wstring& arg)
{
    return std::any_of(std::begin(ValueSwitches), std::end(ValueSwitches),
                       [&](const wchar_t* name) { return SameTextAscii(arg, L"/" + std::wstring(name)) ||
                                                         SameTextAscii(arg, L"-" + std::wstring(name)); });
}
}  // namespace

bool ArgumentsHaveSwitch(const std::vector<std::wstring>& arguments, const std::wstring& name)
{
    for (size_t i = 0; i < arguments.size(); ++i) {
        if (TakesValue(arguments[i])) {
            ++i;  // the next argument is its value
            continue;
        }
        const std::wstring found = SwitchName(arguments[i]);
        if (!found.empty() && SameTextAscii(found, name))
            return true;
    }
    return false;
}

bool HasSwitch(const std::wstring& name)
{
    SwitchState& state = State();
    if (!state.Built) {
        state.Arguments = CommandLineArguments();
        state.Built = true;
    }
    return ArgumentsHaveSwitch(state.Arguments, name);
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
