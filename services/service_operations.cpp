// The operations on one service of the catalogue, and the catalogue's installation and
// database-lock operations. The program itself installs through the installers and takes no
// lock: Install and the lock operations stay as the catalogue's own, tested interface.
#include "services/sc_manager.h"

#include "common/errors.h"
#include "common/handle.h"
#include "common/registry.h"
#include "services/sc_buffer.h"

#include <algorithm>

namespace {
constexpr DWORD DependentsBufferSize = 40960;
constexpr DWORD LockStatusBufferSize = 10240;
constexpr DWORD CommitAccess = SERVICE_QUERY_CONFIG | SERVICE_CHANGE_CONFIG | SERVICE_QUERY_STATUS;

const wchar_t* NullIfEmpty(const std::wstring& s) { return s.empty() ? nullptr : s.c_str(); }
}  // namespace

// ---- Dependants ----------------------------------------------------------------------------

void TNtService::BuildDependentBy()
{
    if (FDependentByServices)
        return;
    WithHandle(SERVICE_ENUMERATE_DEPENDENTS, [&] {
        // Created empty first: a failing enumeration leaves it so, and it is not tried again.
        FDependentByServices.emplace();
        DWORD returned = 0;
        std::vector<BYTE> buffer =
            QueryGrowing(DependentsBufferSize, ERROR_MORE_DATA, [&](BYTE* buf, DWORD size, DWORD* needed) {
                return Scm().EnumDependentServicesW(FHandle.get(), SERVICE_STATE_ALL,
                                                    reinterpret_cast<LPENUM_SERVICE_STATUSW>(buf), size, needed,
                                                    &returned);
            });
        const auto* records = reinterpret_cast<const ENUM_SERVICE_STATUSW*>(buffer.data());
        for (DWORD i = 0; i < returned; ++i) {
            std::wstring name = records[i].lpServiceName ? records[i].lpServiceName : L"";
            TNtService* service = nullptr;
            if (!name.empty() && name[0] != SC_GROUP_IDENTIFIERW && FSCManager->FindService(name, service))
                FDependentByServices->push_back(service);
        }
    });
}

int TNtService::DependentByServiceCount()
{
    BuildDependentBy();
    return static_cast<int>(FDependentByServices->size());
}

TNtService* TNtService::GetDependentByService(int Idx)
{
    BuildDependentBy();
    return FDependentByServices->at(static_cast<size_t>(Idx));
}

// ---- Start and controls --------------------------------------------------------------------

void TNtService::Start(bool Sync) { Start(std::vector<std::wstring>{}, Sync); }

void TNtService::Start(const std::vector<std::wstring>& Args, bool Sync)
{
    std::vector<LPCWSTR> argv;
    for (const std::wstring& arg : Args)
        argv.push_back(arg.c_str());
    WithHandle(SERVICE_START, [&] {
        Win32Check(Scm().StartServiceW(FHandle.get(), static_cast<DWORD>(argv.size()), argv.empty() ? nullptr : argv.data()));
    });
    if (Sync)
        WaitFor(ssRunning, INFINITE);
}

SERVICE_STATUS TNtService::Controls(DWORD ControlType, DWORD ADesiredAccess)
{
    SERVICE_STATUS status{};
    WithHandle(ADesiredAccess, [&] { Win32Check(Scm().ControlService(FHandle.get(), ControlType, &status)); });
    return status;
}

void TNtService::Stop(bool Sync)
{
    Controls(SERVICE_CONTROL_STOP, SERVICE_STOP);
    if (Sync)
        WaitFor(ssStopped, INFINITE);
}

void TNtService::Pause(bool Sync)
{
    Controls(SERVICE_CONTROL_PAUSE, SERVICE_PAUSE_CONTINUE);
    if (Sync)
        WaitFor(ssPaused, INFINITE);
}

void TNtService::Continue(bool Sync)
{
    Controls(SERVICE_CONTROL_CONTINUE, SERVICE_PAUSE_CONTINUE);
    if (Sync)
        WaitFor(ssRunning, INFINITE);
}

// ---- Waiting -------------------------------------------------------------------------------

bool TNtService::WaitFor(TServiceState State, DWORD TimeOut)
{
    bool reached = false;
    WithHandle(SERVICE_QUERY_STATUS, [&] {
        DWORD start = Scm().TickCount();
        DWORD lastCheckPoint = 0;
        for (;;) {
            SERVICE_STATUS status = QueryStatus();
            reached = status.dwCurrentState == static_cast<DWORD>(State);
            if (reached)
                return;
            if (status.dwCheckPoint > lastCheckPoint) {
                lastCheckPoint = status.dwCheckPoint;
                start = Scm().TickCount();
            } else if (TimeOut != INFINITE && Scm().TickCount() - start > std::max(TimeOut, status.dwWaitHint)) {
                return;
            }
            Scm().Delay(std::clamp<DWORD>(status.dwWaitHint / 10, 1000, 10000));
        }
    });
    return reached;
}

// ---- Removal and configuration -------------------------------------------------------------

void TNtService::Delete()
{
    WithHandle(DELETE, [&] { Win32Check(Scm().DeleteService(FHandle.get())); });
}

void TNtService::Commit()
{
    if (!FCommitNeeded)
        return;
    FCommitNeeded = false;
    WithHandle(CommitAccess, [&] {
        std::vector<BYTE> buffer = QueryConfig();
        const auto* config = reinterpret_cast<const QUERY_SERVICE_CONFIGW*>(buffer.data());
        Win32Check(Scm().ChangeServiceConfigW(FHandle.get(), config->dwServiceType, static_cast<DWORD>(FStartType),
                                              static_cast<DWORD>(FErrorControlType), nullptr, nullptr, nullptr,
                                              nullptr, nullptr, nullptr, config->lpDisplayName));
    });
}

std::optional<bool> TNtService::DelayedStart()
{
    std::optional<bool> delayed;
    WithHandle(SERVICE_ALL_ACCESS, [&] { delayed = QueryDelayedAutoStart(Scm(), FHandle.get()); });
    return delayed;
}

bool TNtService::Reconfigure(const TServiceReconfiguration& change, const TPasswordPrompt& askPassword)
{
    bool changed = false;
    WithHandle(SERVICE_ALL_ACCESS,
               [&] { changed = ChangeServiceConfiguration(Scm(), FHandle.get(), change, askPassword); });
    return changed;
}

// ---- Catalogue: presence, installation and the database lock ------------------------------

bool TSCManager::ServiceExists(const std::wstring& SvcName)
{
    Active(true);
    SC_HANDLE opened = FScm->OpenServiceW(FHandle.get(), SvcName.c_str(), SERVICE_QUERY_STATUS);
    const DWORD error = opened ? ERROR_SUCCESS : GetLastError();
    UniqueScHandleOf service(*FScm, opened);
    return service || error != ERROR_SERVICE_DOES_NOT_EXIST;
}

TNtService* TSCManager::Install(const std::wstring& ServiceName, const std::wstring& DisplayName,
                                const std::wstring& ImageName, const std::wstring& Description,
                                TServiceTypes ServiceTypes, TServiceStartType StartType,
                                TServiceErrorControlType ErrorControlType, DWORD DesiredAccess,
                                const std::wstring& LoadOrderGroup, const std::vector<std::wstring>& Dependencies,
                                const std::wstring& Account, const std::wstring& Password)
{
    Active(true);
    std::wstring dependencies;
    for (const std::wstring& d : Dependencies)
        dependencies += d + L'\0';
    if (!dependencies.empty())
        dependencies += L'\0';

    // The new service's handle is not needed: the record opens its own.
    UniqueScHandleOf created(*FScm, FScm->CreateServiceW(FHandle.get(), ServiceName.c_str(), DisplayName.c_str(),
                                                         DesiredAccess, ServiceType(ServiceTypes),
                                                         static_cast<DWORD>(StartType),
                                                         static_cast<DWORD>(ErrorControlType), ImageName.c_str(),
                                                         NullIfEmpty(LoadOrderGroup), nullptr,
                                                         NullIfEmpty(dependencies), NullIfEmpty(Account),
                                                         NullIfEmpty(Password)));
    if (!created)
        RaiseLastOSError();
    created.reset();

    if (!Description.empty()) {
        UniqueRegKey key;
        CheckRegStatus(OpenRegKey(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Services\\" + ServiceName,
                                  KEY_SET_VALUE, key));
        CheckRegStatus(WriteRegText(key.get(), L"Description", Description));
    }

    ENUM_SERVICE_STATUSW entry{};
    entry.lpServiceName = const_cast<LPWSTR>(ServiceName.c_str());
    entry.lpDisplayName = const_cast<LPWSTR>(DisplayName.c_str());
    TNtService* service = TNtService::Create(this, entry);
    service->Refresh();
    return service;
}

void TSCManager::Lock()
{
    SM_ASSERT((FDesiredAccess & SC_MANAGER_LOCK) != 0);
    Active(true);
    SC_LOCK lock = FScm->LockServiceDatabase(FHandle.get());
    if (!lock)
        RaiseLastOSError();
    FLock = UniqueScLockOf(*FScm, lock);
}

void TSCManager::Unlock()
{
    SM_ASSERT(Active() && (FDesiredAccess & SC_MANAGER_LOCK) != 0 && FLock);
    Win32Check(FLock.Close());
}

QUERY_SERVICE_LOCK_STATUSW TSCManager::QueryLockStatus(std::vector<BYTE>& buffer)
{
    SM_ASSERT((FDesiredAccess & SC_MANAGER_QUERY_LOCK_STATUS) != 0);
    Active(true);
    buffer = QueryGrowing(LockStatusBufferSize, ERROR_INSUFFICIENT_BUFFER, [&](BYTE* buf, DWORD size, DWORD* needed) {
        return FScm->QueryServiceLockStatusW(FHandle.get(), reinterpret_cast<LPQUERY_SERVICE_LOCK_STATUSW>(buf), size, needed);
    });
    return *reinterpret_cast<const QUERY_SERVICE_LOCK_STATUSW*>(buffer.data());
}

bool TSCManager::IsLocked()
{
    std::vector<BYTE> buffer;
    return QueryLockStatus(buffer).fIsLocked != 0;
}

std::wstring TSCManager::LockOwner()
{
    std::vector<BYTE> buffer;
    QUERY_SERVICE_LOCK_STATUSW status = QueryLockStatus(buffer);
    return status.lpLockOwner ? status.lpLockOwner : L"";
}

DWORD TSCManager::LockDuration()
{
    std::vector<BYTE> buffer;
    return QueryLockStatus(buffer).dwLockDuration;
}
