// Small fixtures of the service definition tests: environment variables set for one test, the
// folder of the running test program, the text of a file.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

// The folder of this test program, without a trailing "\".
std::wstring TestProgramFolder();

// Sets an environment variable of this process for the life of the object.
class TScopedEnvironment {
public:
    TScopedEnvironment(const wchar_t* name, const std::optional<std::wstring>& value);
    ~TScopedEnvironment();
    TScopedEnvironment(const TScopedEnvironment&) = delete;
    TScopedEnvironment& operator=(const TScopedEnvironment&) = delete;

private:
    std::wstring FName;
    std::optional<std::wstring> FOld;
};

// The text of a file as UTF-16.
std::wstring ReadUtf16File(const std::wstring& path);
