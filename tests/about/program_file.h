// Where the built program lies, seen from a test program in <build>/tests/<area>/.
#pragma once

#include <windows.h>

#include <string>

inline std::wstring ProgramFile()
{
    wchar_t path[MAX_PATH * 2] = {};
    std::wstring self(path, GetModuleFileNameW(nullptr, path, MAX_PATH * 2));
    for (int up = 0; up < 3; ++up)
        self.resize(self.find_last_of(L"\\/"));
    return self + L"\\ServiceManager.exe";
}
