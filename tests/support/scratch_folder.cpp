#include "tests/support/scratch_folder.h"

#include "common/errors.h"
#include "common/handle.h"
#include "tests/support/test_paths.h"

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

TScratchFolder::TScratchFolder(const std::wstring& tag)
{
    static int serial = 0;
    wchar_t temp[MAX_PATH + 1];
    Win32Check(GetTempPathW(MAX_PATH + 1, temp) != 0);
    FPath = FullPath(std::wstring(temp) + tag + L"_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
                     std::to_wstring(++serial));
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

std::wstring TScratchFolder::AddProgramCopy(const std::wstring& subfolder) const
{
    std::wstring copy = Folder(subfolder) + L"\\ServiceManager.exe";
    Win32Check(CopyFileW(SM_TEST_PROGRAM_PATH, copy.c_str(), FALSE));
    return copy;
}
