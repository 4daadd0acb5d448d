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

bool SameTextAscii(const std::wstring& a, const std::wstring& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        wchar_t x = a[i], y = b[i];
        if (x >= L'A' && x <= L'Z')
            x = static_cast<wchar_t>(x - L'A' + L'a');
        if (y >= L'A' && y <= L'Z')
            y = static_cast<wchar_t>(y - L'A' + L'a');
        if (x != y)
            return false;
    }
    return true;
}
