// Narrows who may do what with a registry key, for tests of settings that cannot be read or
// written: everyone gets exactly the given rights, and the key stops inheriting any others.
#pragma once

#include <windows.h>

#include <string>

// Gives everyone only these rights on root\path; raises a test failure when it cannot. Keep
// READ_CONTROL, WRITE_DAC and DELETE in the rights so that the key can be given back and removed.
void SetKeyAccess(HKEY root, const std::wstring& path, DWORD rights);
