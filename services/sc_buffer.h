// Small helpers of the service layer: variable-size SCM queries, NUL-separated lists and the
// ASCII-only case folding of service and group names.
#pragma once

#include "common/errors.h"
#include "services/scm_api.h"

#include <windows.h>

#include <string>
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

// A service's QUERY_SERVICE_CONFIGW read through handle, in a buffer grown as the manager asks.
std::vector<BYTE> QueryServiceConfigBuffer(IServiceControlManager& scm, SC_HANDLE handle);

// The entries of a list of NUL-terminated strings up to the first empty one; `end` bounds the
// walk (a list without its empty entry stops there).
std::vector<std::wstring> SplitNulList(const wchar_t* list, const wchar_t* end = nullptr);

// Upper-case ASCII letters made lower-case, every other character kept.
std::wstring AsciiLower(const std::wstring& text);
