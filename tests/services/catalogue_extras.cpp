#include "tests/services/catalogue_extras.h"

#include "common/errors.h"
#include "common/handle.h"
#include "common/registry.h"
#include "services/sc_buffer.h"

#include <algorithm>
#include <climits>

namespace {
constexpr DWORD LockStatusBufferSize = 10240;

const wchar_t* NullIfEmpty(const std::wstring& s) { return s.empty() ? nullptr : s.c_str(); }

// The record's service, opened through the catalogue's manager with mask.
UniqueScHandleOf OpenRecord(TNtService& record, DWORD mask)
{
    TSCManager& catalogue = *record.SCManager();
    catalogue.Active(true);
    UniqueScHandleOf handle(catalogue.Scm(),
                            catalogue.Scm().OpenServiceW(catalogue.Handle(), record.ServiceName().c_str(), mask));
    if (!handle)
        RaiseLastOSError();
    return handle;
}

QUERY_SERVICE_LOCK_STATUSW QueryLockStatus(TSCManager& catalogue, std::vector<BYTE>& buffer)
{
    SM_ASSERT((catalogue.DesiredAccess() & SC_MANAGER_QUERY_LOCK_STATUS) != 0);
    catalogue.Active(true);
    buffer = QueryGrowing(LockStatusBufferSize, ERROR_INSUFFICIENT_BUFFER, [&](BYTE* buf, DWORD size, DWORD* needed) {
        return catalogue.Scm().QueryServiceLockStatusW(catalogue.Handle(),
                                                       reinterpret_cast<LPQUERY_SERVICE_LOCK_STATUSW>(buf), size,
                                                       needed);
    });
    return *reinterpret_cast<const QUERY_SERVICE_LOCK_STATUSW*>(buffer.data());
}

int CompareLocale(const std::wstring& a, const std::wstring& b)
{
    return CompareStringW(LOCALE_USER_DEFAULT, 0, a.c_str(), static_cast<int>(a.size()), b.c_str(),
                          static_cast<int>(b.size())) -
           CSTR_EQUAL;
}

template <typename T>
int CompareValues(T a, T b)
{
    return a < b ? -1 : (b < a ? 1 : 0);
}

int CompareRecords(const TNtService& a, const TNtService& b, TServiceSortOrderType order)
{
    switch (order) {
    case sotServiceName:
        return CompareLocale(a.ServiceName(), b.ServiceName());
    case sotDisplayName:
        return CompareLocale(a.DisplayName(), b.DisplayName());
    case sotDescription:
        return CompareLocale(a.Description(), b.Description());
    case sotFileName:
        return CompareLocale(a.FileName(), b.FileName());
    case sotServiceState:
        return CompareValues(static_cast<int>(a.ServiceState()), static_cast<int>(b.ServiceState()));
    case sotStartType:
        return CompareValues(static_cast<int>(a.StartType()), static_cast<int>(b.StartType()));
    case sotErrorControlType:
        return CompareValues(static_cast<int>(a.ErrorControlType()), static_cast<int>(b.ErrorControlType()));
    case sotLoadOrderGroup: {
        // A record never linked to a group sorts with the group-less ones.
        int ga = a.Group() ? a.Group()->Order() : INT_MAX;
        int gb = b.Group() ? b.Group()->Order() : INT_MAX;
        return CompareValues(ga, gb);
    }
    case sotWin32ExitCode:
        // Compared as unsigned numbers: a wrapped difference would give no consistent order.
        return CompareValues(a.Win32ExitCode(), b.Win32ExitCode());
    }
    return 0;
}
}  // namespace

TNtService* InstallService(TSCManager& catalogue, const std::wstring& name, const std::wstring& displayName,
                           const std::wstring& imageName, const std::wstring& description, TServiceTypes types,
                           TServiceStartType startType, TServiceErrorControlType errorControl, DWORD desiredAccess,
                           const std::wstring& loadOrderGroup, const std::vector<std::wstring>& dependencies,
                           const std::wstring& account, const std::wstring& password)
{
    catalogue.Active(true);
    std::wstring list;
    for (const std::wstring& d : dependencies)
        list += d + L'\0';
    if (!list.empty())
        list += L'\0';
    IServiceControlManager& scm = catalogue.Scm();
    UniqueScHandleOf created(scm, scm.CreateServiceW(catalogue.Handle(), name.c_str(), displayName.c_str(),
                                                     desiredAccess, ServiceTypeCode(types),
                                                     static_cast<DWORD>(startType), static_cast<DWORD>(errorControl),
                                                     imageName.c_str(), NullIfEmpty(loadOrderGroup), nullptr,
                                                     NullIfEmpty(list), NullIfEmpty(account), NullIfEmpty(password)));
    if (!created)
        RaiseLastOSError();
    created.reset();

    if (!description.empty()) {
        UniqueRegKey key;
        CheckRegStatus(OpenRegKey(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Services\\" + name, KEY_SET_VALUE, key));
        CheckRegStatus(WriteRegText(key.get(), L"Description", description));
    }
    catalogue.Refresh(true);
    TNtService* record = nullptr;
    catalogue.FindService(name, record);
    return record;
}

TDatabaseLock::TDatabaseLock(TSCManager& catalogue) : FCatalogue(catalogue)
{
    SM_ASSERT((catalogue.DesiredAccess() & SC_MANAGER_LOCK) != 0);
    catalogue.Active(true);
    SC_LOCK lock = catalogue.Scm().LockServiceDatabase(catalogue.Handle());
    if (!lock)
        RaiseLastOSError();
    FLock = UniqueScLockOf(catalogue.Scm(), lock);
}

void TDatabaseLock::Unlock()
{
    SM_ASSERT(FCatalogue.Active() && FLock);
    Win32Check(FLock.Close());
}

bool IsLocked(TSCManager& catalogue)
{
    std::vector<BYTE> buffer;
    return QueryLockStatus(catalogue, buffer).fIsLocked != 0;
}

std::wstring LockOwner(TSCManager& catalogue)
{
    std::vector<BYTE> buffer;
    QUERY_SERVICE_LOCK_STATUSW status = QueryLockStatus(catalogue, buffer);
    return status.lpLockOwner ? status.lpLockOwner : L"";
}

DWORD LockDuration(TSCManager& catalogue)
{
    std::vector<BYTE> buffer;
    return QueryLockStatus(catalogue, buffer).dwLockDuration;
}

std::vector<TNtService*> SortedRecords(const TSCManager& catalogue, TServiceSortOrderType order, bool ascending)
{
    std::vector<TNtService*> records;
    for (int i = 0; i < catalogue.ServiceCount(); ++i)
        records.push_back(catalogue.GetService(i));
    std::stable_sort(records.begin(), records.end(), [&](const TNtService* a, const TNtService* b) {
        int c = CompareRecords(*a, *b, order);
        return ascending ? c < 0 : c > 0;
    });
    return records;
}

void WriteStartType(TNtService& record, TServiceStartType startType)
{
    if (startType == record.StartType())
        return;
    {
        UniqueScHandleOf handle =
            OpenRecord(record, SERVICE_QUERY_CONFIG | SERVICE_CHANGE_CONFIG | SERVICE_QUERY_STATUS);
        IServiceControlManager& scm = record.SCManager()->Scm();
        std::vector<BYTE> buffer = QueryServiceConfigBuffer(scm, handle.get());
        const auto* config = reinterpret_cast<const QUERY_SERVICE_CONFIGW*>(buffer.data());
        Win32Check(scm.ChangeServiceConfigW(handle.get(), config->dwServiceType, static_cast<DWORD>(startType),
                                            static_cast<DWORD>(record.ErrorControlType()), nullptr, nullptr, nullptr,
                                            nullptr, nullptr, nullptr, config->lpDisplayName));
        Win32Check(handle.Close());
    }
    record.Refresh();
}

void StartWithArguments(TNtService& record, const std::vector<std::wstring>& arguments)
{
    std::vector<LPCWSTR> argv;
    for (const std::wstring& argument : arguments)
        argv.push_back(argument.c_str());
    UniqueScHandleOf handle = OpenRecord(record, SERVICE_START);
    Win32Check(record.SCManager()->Scm().StartServiceW(handle.get(), static_cast<DWORD>(argv.size()),
                                                       argv.empty() ? nullptr : argv.data()));
    Win32Check(handle.Close());
}
