#include "services/sc_buffer.h"

#include <cstdint>

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

namespace {
wchar_t AsciiLowerChar(wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c; }
}  // namespace

std::wstring AsciiLower(const std::wstring& text)
{
    std::wstring result = text;
    for (wchar_t& c : result)
        c = AsciiLowerChar(c);
    return result;
}

size_t TAsciiFoldedHash::operator()(std::wstring_view name) const noexcept
{
    // FNV-1a over the folded characters.
    std::uint64_t hash = 14695981039346656037ull;
    for (wchar_t c : name)
        hash = (hash ^ static_cast<std::uint64_t>(AsciiLowerChar(c))) * 1099511628211ull;
    return static_cast<size_t>(hash);
}

bool TAsciiFoldedEqual::operator()(std::wstring_view a, std::wstring_view b) const noexcept
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (AsciiLowerChar(a[i]) != AsciiLowerChar(b[i]))
            return false;
    return true;
}
