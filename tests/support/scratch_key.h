// A scratch registry key for a test: HKEY_CURRENT_USER\Software\SmTests\<name>, emptied when
// made and removed with everything below it at the end. The key stays open on its owner.
#pragma once

#include "common/handle.h"

#include <windows.h>

#include <string>

class ScratchKey {
public:
    explicit ScratchKey(const std::wstring& name);
    ~ScratchKey();
    ScratchKey(const ScratchKey&) = delete;
    ScratchKey& operator=(const ScratchKey&) = delete;

    // The path below HKEY_CURRENT_USER, and the open key (all access).
    const std::wstring& Path() const { return FPath; }
    HKEY Key() const { return FKey.get(); }

    void Set(const std::wstring& value, DWORD type, const void* data, size_t bytes);
    // Text stored as it is given (no terminating NUL added), as REG_MULTI_SZ or another type.
    void SetMulti(const std::wstring& value, const std::wstring& text, DWORD type = REG_MULTI_SZ);

private:
    std::wstring FPath;
    UniqueRegKey FKey;
};
