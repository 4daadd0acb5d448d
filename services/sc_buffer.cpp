#include "services/sc_buffer.h"

std::vector<BYTE> QueryServiceConfigBuffer(IServiceControlManager& scm, SC_HANDLE handle)
{
    constexpr DWORD InitialSize = 4096;
    return QueryGrowing(InitialSize, ERROR_INSUFFICIENT_BUFFER, [&](BYTE* buf, DWORD size, DWORD* needed) {
        return scm.QueryServiceConfigW(handle, reinterpret_cast<LPQUERY_SERVICE_CONFIGW>(buf), size, needed);
    });
}

void ForEachListedService(IServiceControlManager& scm, SC_HANDLE manager, DWORD serviceType,
                          std::vector<BYTE>& buffer, const std::function<bool(const ENUM_SERVICE_STATUSW&)>& each)
{
    // Services added between the calls may ask for more room again, a few times at most.
    constexpr int MostRestarts = 8;
    DWORD resume = 0;
    for (int restarts = 0;;) {
        DWORD needed = 0, returned = 0;
        const DWORD resumedAt = resume;
        const BOOL ok = scm.EnumServicesStatusW(
            manager, serviceType, SERVICE_STATE_ALL,
            buffer.empty() ? nullptr : reinterpret_cast<LPENUM_SERVICE_STATUSW>(buffer.data()),
            static_cast<DWORD>(buffer.size()), &needed, &returned, &resume);
        const DWORD error = ok ? ERROR_SUCCESS : GetLastError();
        if (!ok && error != ERROR_MORE_DATA)
            RaiseOSError(error);
        const bool movedOn = ok || (returned > 0 && resume != resumedAt);
        if (movedOn) {
            const auto* records = reinterpret_cast<const ENUM_SERVICE_STATUSW*>(buffer.data());
            for (DWORD i = 0; i < returned; ++i)
                if (!each(records[i]))
                    return;
            if (ok)
                return;
        } else if (++restarts > MostRestarts || (returned == 0 && needed <= buffer.size())) {
            // An answer that gives nothing and asks for no more room would never end.
            RaiseOSError(error);
        }
        if (needed > buffer.size())
            buffer.assign(needed + needed / 8, 0);
        else if (!movedOn)
            buffer.assign(buffer.size() * 2, 0);
    }
}

std::vector<std::wstring> SplitNulList(const wchar_t* list, const wchar_t* end)
{
    std::vector<std::wstring> entries;
    if (!list)
        return entries;
    const wchar_t* p = list;
    while ((!end || p < end) && *p) {
        const wchar_t* start = p;
        while ((!end || p < end) && *p)
            ++p;
        entries.emplace_back(start, p);
        if (end && p >= end)
            break;
        ++p;
    }
    return entries;
}

std::wstring AsciiLower(const std::wstring& text)
{
    std::wstring result = text;
    for (wchar_t& c : result)
        if (c >= L'A' && c <= L'Z')
            c = static_cast<wchar_t>(c - L'A' + L'a');
    return result;
}
