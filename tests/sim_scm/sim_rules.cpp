// Where Windows' manager refuses a request that a kinder one would carry out: controls that the
// service's state or its accepted controls do not allow, dependencies in a circle, a display
// name already used, and a start whose dependencies cannot run. The table of these rules, with
// the Windows answer and where it is recorded, is in tests/services/sim_rules_test.cpp.
#include "tests/sim_scm/sim_scm.h"

#include <algorithm>
#include <functional>

namespace {
bool IsGroup(const std::wstring& dependency) { return !dependency.empty() && dependency[0] == SC_GROUP_IDENTIFIERW; }
}  // namespace

DWORD TSimServiceControlManager::ControlRefusal(const TSimService& service, DWORD control)
{
    switch (service.State) {
    case SERVICE_STOPPED:
        return ERROR_SERVICE_NOT_ACTIVE;
    case SERVICE_STOP_PENDING:
        return ERROR_SERVICE_CANNOT_ACCEPT_CTRL;
    case SERVICE_START_PENDING:
        if (control != SERVICE_CONTROL_STOP)
            return ERROR_SERVICE_CANNOT_ACCEPT_CTRL;
        break;
    default:
        break;
    }
    switch (control) {
    case SERVICE_CONTROL_STOP:
        return (service.ControlsAccepted & SERVICE_ACCEPT_STOP) ? 0 : ERROR_INVALID_SERVICE_CONTROL;
    case SERVICE_CONTROL_PAUSE:
    case SERVICE_CONTROL_CONTINUE:
        return (service.ControlsAccepted & SERVICE_ACCEPT_PAUSE_CONTINUE) ? 0 : ERROR_INVALID_SERVICE_CONTROL;
    default:
        return 0;
    }
}

std::vector<TSimService*> TSimServiceControlManager::GroupMembers(const std::wstring& group)
{
    std::vector<TSimService*> members;
    const std::wstring key = KeyOf(group);
    for (TSimService& s : FServices)
        if (!s.LoadOrderGroup.empty() && KeyOf(s.LoadOrderGroup) == key)
            members.push_back(&s);
    return members;
}

DWORD TSimServiceControlManager::CircleRefusal(const std::wstring& key, const std::vector<std::wstring>& dependencies,
                                               const std::wstring& group)
{
    // The services a service needs, the changed one taken as it would be after the change.
    auto needs = [&](const std::wstring& serviceKey) {
        std::vector<std::wstring> result;
        const TSimService* s = FindByKey(serviceKey);
        const std::vector<std::wstring>& list = serviceKey == key ? dependencies
                                                : s               ? s->Dependencies
                                                                  : std::vector<std::wstring>{};
        for (const std::wstring& d : list) {
            if (!IsGroup(d)) {
                result.push_back(KeyOf(d));
                continue;
            }
            const std::wstring groupKey = KeyOf(d.substr(1));
            if (!group.empty() && KeyOf(group) == groupKey)
                result.push_back(key);
            for (const TSimService* member : GroupMembers(d.substr(1)))
                if (KeyOf(member->Name) != key)
                    result.push_back(KeyOf(member->Name));
        }
        return result;
    };
    std::vector<std::wstring> seen;
    std::function<bool(const std::wstring&)> reaches = [&](const std::wstring& from) {
        for (const std::wstring& next : needs(from)) {
            if (next == key)
                return true;
            if (std::find(seen.begin(), seen.end(), next) != seen.end())
                continue;
            seen.push_back(next);
            if (reaches(next))
                return true;
        }
        return false;
    };
    return reaches(key) ? ERROR_CIRCULAR_DEPENDENCY : 0;
}

DWORD TSimServiceControlManager::DisplayNameRefusal(const std::wstring& key, const std::wstring& displayName)
{
    const std::wstring wanted = KeyOf(displayName);
    for (const TSimService& s : FServices) {
        if (KeyOf(s.Name) == key)
            continue;
        if (KeyOf(s.Name) == wanted || KeyOf(s.DisplayName) == wanted)
            return ERROR_DUPLICATE_SERVICE_NAME;
    }
    return 0;
}

DWORD TSimServiceControlManager::StartDependencies(TSimService& service, std::vector<std::wstring>& starting)
{
    for (const std::wstring& d : service.Dependencies) {
        if (IsGroup(d)) {
            // A group is there when one of its members runs.
            bool running = false;
            for (TSimService* member : GroupMembers(d.substr(1))) {
                if (member->State == SERVICE_STOPPED)
                    StartOne(*member, starting);
                running = running || member->State != SERVICE_STOPPED;
            }
            if (!running)
                return ERROR_SERVICE_DEPENDENCY_FAIL;
            continue;
        }
        TSimService* needed = FindByKey(KeyOf(d));
        if (!needed || needed->MarkedForDelete)
            return ERROR_SERVICE_DEPENDENCY_DELETED;
        if (needed->State == SERVICE_STOPPED && (StartOne(*needed, starting) != 0 || needed->State == SERVICE_STOPPED))
            return ERROR_SERVICE_DEPENDENCY_FAIL;
    }
    return 0;
}

DWORD TSimServiceControlManager::StartOne(TSimService& service, std::vector<std::wstring>& starting)
{
    const std::wstring key = KeyOf(service.Name);
    if (std::find(starting.begin(), starting.end(), key) != starting.end())
        return ERROR_CIRCULAR_DEPENDENCY;
    starting.push_back(key);
    if (service.MarkedForDelete)
        return ERROR_SERVICE_MARKED_FOR_DELETE;
    if (service.StartType == SERVICE_DISABLED)
        return ERROR_SERVICE_DISABLED;
    if (DWORD refused = StartDependencies(service, starting))
        return refused;
    if (service.StartFailure)
        return service.StartFailure;
    service.State = service.StateAfterStart;
    service.CheckPoint = 0;
    // A run that ends at once leaves the exit codes the test gave it; any other clears them.
    if (service.State != SERVICE_STOPPED) {
        service.Win32ExitCode = 0;
        service.ServiceSpecificExitCode = 0;
    }
    return 0;
}
