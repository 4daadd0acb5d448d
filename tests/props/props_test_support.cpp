#include "tests/props/props_test_support.h"

#include "common/errors.h"
#include "common/handle.h"


#include <vector>

std::wstring TestProgramFolder()
{
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, n);
    return folder.substr(0, folder.find_last_of(L'\\'));
}

std::wstring FullPath(const std::wstring& path)
{
    wchar_t full[MAX_PATH];
    DWORD n = GetFullPathNameW(path.c_str(), MAX_PATH, full, nullptr);
    return n > 0 && n < MAX_PATH ? std::wstring(full, n) : path;
}

namespace {
void RemoveTree(const std::wstring& path)
{
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = found.cFileName;
            if (name == L"." || name == L"..")
                continue;
            std::wstring child = path + L"\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(child);
            } else {
                SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(child.c_str());
            }
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(path.c_str());
}
}  // namespace

TScratchFolder::TScratchFolder(const std::wstring& name)
{
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    FPath = FullPath(std::wstring(temp) + name + L"_" + std::to_wstring(GetCurrentProcessId()));
    RemoveTree(FPath);
    Win32Check(CreateDirectoryW(FPath.c_str(), nullptr));
}

TScratchFolder::~TScratchFolder() { RemoveTree(FPath); }

std::wstring TScratchFolder::Folder(const std::wstring& relative) const
{
    std::wstring path = FPath;
    size_t start = 0;
    while (start <= relative.size()) {
        size_t at = relative.find(L'\\', start);
        path += L"\\" + relative.substr(start, at == std::wstring::npos ? std::wstring::npos : at - start);
        CreateDirectoryW(path.c_str(), nullptr);
        if (at == std::wstring::npos)
            break;
        start = at + 1;
    }
    return path;
}

std::wstring TScratchFolder::File(const std::wstring& relative, DWORD attributes) const
{
    std::wstring path = FPath + L"\\" + relative;
    UniqueFileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                      nullptr));
    if (!file)
        RaiseLastOSError();
    DWORD written = 0;
    WriteFile(file.get(), "MZ", 2, &written, nullptr);
    file.reset();
    Win32Check(SetFileAttributesW(path.c_str(), attributes));
    return path;
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
