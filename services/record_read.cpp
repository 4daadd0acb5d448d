#include "services/record_read.h"

#include "common/errors.h"
#include "services/sc_buffer.h"
#include "services/service_config.h"

namespace {
constexpr DWORD DescriptionBufferSize = 4096;
constexpr DWORD ReadAccess = SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS;

// Whether the automatic start is delayed; none when the platform lacks the setting (Wine) or
// the query fails: the record is shown without it.
std::optional<bool> DelayedAutoStartOrNone(IServiceControlManager& scm, SC_HANDLE service)
{
    try {
        return QueryDelayedAutoStart(scm, service);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}
}  // namespace

void ReadRecordParts(IServiceControlManager& scm, SC_HANDLE service, bool withDescription, const SERVICE_STATUS* known,
                     bool withStatus, TServiceRecordData& data)
{
    if (withDescription) {
        // Read in UTF-16: the ANSI form loses every character outside the system's code page.
        std::vector<BYTE> buffer =
            QueryGrowing(DescriptionBufferSize, ERROR_INSUFFICIENT_BUFFER, [&](BYTE* buf, DWORD size, DWORD* needed) {
                return scm.QueryServiceConfig2W(service, SERVICE_CONFIG_DESCRIPTION, buf, size, needed);
            });
        const auto* info = reinterpret_cast<const SERVICE_DESCRIPTIONW*>(buffer.data());
        data.Description = info->lpDescription ? info->lpDescription : L"";
    }

    if (known) {
        data.Status = *known;
    } else if (withStatus) {
        SERVICE_STATUS status{};
        Win32Check(scm.QueryServiceStatus(service, &status));
        data.Status = status;
    }

    std::vector<BYTE> buffer = QueryServiceConfigBuffer(scm, service);
    const auto* config = reinterpret_cast<const QUERY_SERVICE_CONFIGW*>(buffer.data());
    TServiceRecordData::TConfig read;
    read.FileName = config->lpBinaryPathName ? config->lpBinaryPathName : L"";
    read.StartName = config->lpServiceStartName ? config->lpServiceStartName : L"";
    read.LoadOrderGroup = config->lpLoadOrderGroup ? config->lpLoadOrderGroup : L"";
    read.ServiceType = config->dwServiceType;
    read.StartType = config->dwStartType;
    read.ErrorControl = config->dwErrorControl;
    if (withDescription && read.StartType == SERVICE_AUTO_START)
        read.DelayedAutoStart = DelayedAutoStartOrNone(scm, service);
    // The walk stops at the buffer's end also when the list lacks its closing empty entry.
    const wchar_t* bufferEnd = reinterpret_cast<const wchar_t*>(buffer.data()) + buffer.size() / sizeof(wchar_t);
    read.Dependencies = SplitNulList(config->lpDependencies, bufferEnd);
    data.Config = std::move(read);
}

TServiceRecordData ReadServiceRecord(IServiceControlManager& scm, SC_HANDLE manager, const std::wstring& name,
                                     bool withDescription, bool withStatus)
{
    TServiceRecordData data;
    data.ServiceName = name;
    try {
        UniqueScHandleOf service(scm, scm.OpenServiceW(manager, name.c_str(), ReadAccess));
        if (!service)
            RaiseLastOSError();
        ReadRecordParts(scm, service.get(), withDescription, nullptr, withStatus, data);
        Win32Check(service.Close());
    } catch (...) {
        data.Error = std::current_exception();
    }
    return data;
}
