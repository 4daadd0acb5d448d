// Small fixtures of the service definition tests: scratch folders and files, environment
// variables set for one test, the folder of the running test program.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

// The folder of this test program, without a trailing "\".
std::wstring TestProgramFolder();
// A path made absolute and free of "." and ".." parts.
std::wstring FullPath(const std::wstring& path);

// A folder under the temporary folder, created empty and removed with everything in it.
class TScratchFolder {
public:
    explicit TScratchFolder(const std::wstring& name);
    ~TScratchFolder();
    TScratchFolder(const TScratchFolder&) = delete;
    TScratchFolder& operator=(const TScratchFolder&) = delete;

    const std::wstring& Path() const { return FPath; }
    // The path of a file or folder inside, relative parts separated by "\".
    std::wstring operator/(const std::wstring& relative) const { return FPath + L"\\" + relative; }
    // Creates the folder (and its parents) inside.
    std::wstring Folder(const std::wstring& relative) const;
    // Creates a small file inside (its folder must exist) with the given attributes.
    std::wstring File(const std::wstring& relative, DWORD attributes = FILE_ATTRIBUTE_NORMAL) const;

private:
    std::wstring FPath;
};

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
