#include "erp/service_settings.h"

#include "erp/service_parameters.h"

namespace {
bool IsGroupEntry(const std::wstring& entry) { return !entry.empty() && entry[0] == SC_GROUP_IDENTIFIERW; }

bool SameName(const std::wstring& a, const std::wstring& b)
{
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
}
}  // namespace

TServiceSettings ReadServiceSettings(TNtService& service, const std::wstring& machineName)
{
    TServiceSettings settings;
    const TServiceTypes types = service.ConfiguredTypes();
    settings.Driver = types.Contains(stKernelDriver) || types.Contains(stFileSystemDriver) ||
                      types.Contains(stAdapter) || types.Contains(stRecognizerDriver);
    // LocalSystem runs with the default account; only it may interact with the desktop.
    settings.DefaultAccount = IsLocalSystemAccount(service.ServiceStartName());
    if (settings.DefaultAccount)
        settings.Interact = types.Contains(stInteractiveProcess);
    else
        settings.UserName = service.ServiceStartName();

    settings.Start = StartChoiceOf(service.StartType());
    // A platform without the delayed-start setting counts as not delayed, and it is not written.
    const std::optional<bool> delayed = service.DelayedStart();
    settings.DelayedStartSupported = delayed.has_value();
    settings.DelayedStart = service.StartType() == sstAuto && delayed.value_or(false);
    settings.DelayedStartEditable = settings.DelayedStartSupported && settings.Start == TStartChoice::Automatic;

    settings.StoredDependencies = service.DependencyList();
    // The first service it depends on that exists, else the first stored name of a service.
    settings.Dependency = std::wstring();
    if (service.DependentServiceCount() > 0) {
        settings.Dependency = service.GetDependentService(0)->ServiceName();
    } else {
        for (const std::wstring& entry : settings.StoredDependencies)
            if (!IsGroupEntry(entry)) {
                settings.Dependency = entry;
                break;
            }
    }

    const TParametersValue parameters = ReadServiceParametersValue(service.ServiceName(), machineName);
    // As the box shows it: up to a NUL stored inside the value, every line break the box's.
    settings.Parameters = BoxLineBreaks(parameters.Text.substr(0, parameters.Text.find(L'\0')));
    settings.ParametersType = parameters.Type;
    return settings;
}

bool DependencyChanged(const TServiceSettings& loaded, const TServiceSettings& edited)
{
    if (!loaded.Dependency || !edited.Dependency)
        return loaded.Dependency.has_value() != edited.Dependency.has_value();
    return !SameName(*loaded.Dependency, *edited.Dependency);
}

std::vector<std::wstring> UnshownDependenciesDropped(const TServiceSettings& loaded, const TServiceSettings& edited)
{
    std::vector<std::wstring> dropped;
    if (!DependencyChanged(loaded, edited))
        return dropped;
    const std::wstring shown = loaded.Dependency.value_or(std::wstring());
    const std::wstring chosen = edited.Dependency.value_or(std::wstring());
    for (const std::wstring& entry : loaded.StoredDependencies)
        if (IsGroupEntry(entry) || (!SameName(entry, shown) && !SameName(entry, chosen)))
            dropped.push_back(entry);
    return dropped;
}
