#include "services/sc_buffer.h"

std::vector<BYTE> QueryServiceConfigBuffer(IServiceControlManager& scm, SC_HANDLE handle)
{
    constexpr DWORD InitialSize = 4096;
    return QueryGrowing(InitialSize, ERROR_INSUFFICIENT_BUFFER, [&](BYTE* buf, DWORD size, DWORD* needed) {
        return scm.QueryServiceConfigW(handle, reinterpret_cast<LPQUERY_SERVICE_CONFIGW>(buf), size, needed);
    });
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
