#include "tests/props/props_test_support.h"

#include "common/handle.h"

#include <vector>

std::wstring TestProgramFolder()
{
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, n);
    return folder.substr(0, folder.find_last_of(L'\\'));
}

TScopedEnvironment::TScopedEnvironment(const wchar_t* name, const std::optional<std::wstring>& value) : FName(name)
{
    DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
    if (size > 0) {
        std::wstring old(size, L'\0');
        size = GetEnvironmentVariableW(name, old.data(), size);
        old.resize(size);
        FOld = old;
    }
    SetEnvironmentVariableW(name, value ? value->c_str() : nullptr);
}

TScopedEnvironment::~TScopedEnvironment() { SetEnvironmentVariableW(FName.c_str(), FOld ? FOld->c_str() : nullptr); }

std::wstring ReadUtf16File(const std::wstring& path)
{
    UniqueFileHandle file(
        CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file)
        return {};
    std::vector<wchar_t> data(GetFileSize(file.get(), nullptr) / sizeof(wchar_t));
    DWORD read = 0;
    ReadFile(file.get(), data.data(), static_cast<DWORD>(data.size() * sizeof(wchar_t)), &read, nullptr);
    return std::wstring(data.data(), read / sizeof(wchar_t));
}
