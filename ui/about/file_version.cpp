#include "ui/about/file_version.h"

#include "common/format.h"

#include <windows.h>

#include <vector>

std::wstring FileVersionText(const std::wstring& fileName)
{
    DWORD unused = 0;
    const DWORD size = GetFileVersionInfoSizeW(fileName.c_str(), &unused);
    if (size == 0)
        return {};
    std::vector<BYTE> data(size);
    if (!GetFileVersionInfoW(fileName.c_str(), 0, size, data.data()))
        return {};
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &length) || !info ||
        length < sizeof(VS_FIXEDFILEINFO))
        return {};
    return Fmt(L"%d.%d.%d.%d", {static_cast<int>(HIWORD(info->dwFileVersionMS)),
                                static_cast<int>(LOWORD(info->dwFileVersionMS)),
                                static_cast<int>(HIWORD(info->dwFileVersionLS)),
                                static_cast<int>(LOWORD(info->dwFileVersionLS))});
}

std::wstring FileVersionText()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return {};
        if (length < path.size()) {
            path.resize(length);
            return FileVersionText(path);
        }
        path.resize(path.size() * 2);
    }
}
