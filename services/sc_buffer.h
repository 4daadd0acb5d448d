// Small helpers of the service layer: variable-size SCM queries, NUL-separated lists and the
// ASCII-only case folding of service and group names.
#pragma once

#include "common/errors.h"
#include "services/scm_api.h"

#include <windows.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

// Calls query(buffer, size, &needed) with `initial` bytes; while it fails with `growError`, grows
// the buffer to the size reported and calls again. Any other failure raises the system's error,
// and so does a "too small" answer that asks for no more than was offered (it would never end).
template <typename Query>
std::vector<BYTE> QueryGrowing(DWORD initial, DWORD growError, Query&& query)
{
    std::vector<BYTE> buffer(initial);
    for (;;) {
        DWORD needed = 0;
        if (query(buffer.empty() ? nullptr : buffer.data(), static_cast<DWORD>(buffer.size()), &needed))
            return buffer;
        DWORD error = GetLastError();
        if (error != growError || needed <= buffer.size())
            RaiseOSError(error);
        buffer.assign(needed, 0);
    }
}

// Every service of the types given that the manager lists, in its order, each passed to
// each(entry) until it returns false; the system's error is raised when the manager cannot list
// them. `buffer` is the room of the first call and keeps what it grew to, for the next time.
// Windows gives a long list page after page, moving the resume handle on; Wine starts every call
// from the first service whatever the handle says, and reports the room the whole list needs:
// a page that did not move the handle on is dropped, and the whole list asked for again in that
// room.
void ForEachListedService(IServiceControlManager& scm, SC_HANDLE manager, DWORD serviceType,
                          std::vector<BYTE>& buffer, const std::function<bool(const ENUM_SERVICE_STATUSW&)>& each);

// A service's QUERY_SERVICE_CONFIGW read through handle, in a buffer grown as the manager asks.
std::vector<BYTE> QueryServiceConfigBuffer(IServiceControlManager& scm, SC_HANDLE handle);

// The entries of a list of NUL-terminated strings up to the first empty one; `end` bounds the
// walk (a list without its empty entry stops there).
std::vector<std::wstring> SplitNulList(const wchar_t* list, const wchar_t* end = nullptr);

// Upper-case ASCII letters made lower-case, every other character kept.
std::wstring AsciiLower(const std::wstring& text);

// Hash and equality of names without regard to the case of ASCII letters, for containers keyed
// by views of names held elsewhere (no folded copy is made).
struct TAsciiFoldedHash {
    size_t operator()(std::wstring_view name) const noexcept;
};
struct TAsciiFoldedEqual {
    bool operator()(std::wstring_view a, std::wstring_view b) const noexcept;
};
