// A folder of a test's own under the temporary folder, created empty and removed with everything
// in it at the end.
#pragma once

#include <windows.h>

#include <string>

class TScratchFolder {
public:
    // The folder is named after the tag, this process and a serial number.
    explicit TScratchFolder(const std::wstring& tag);
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
    // Copies the program that tests start into the subfolder (made when missing); the copy's path.
    std::wstring AddProgramCopy(const std::wstring& subfolder) const;

private:
    std::wstring FPath;
};

// A path made absolute and free of "." and ".." parts.
std::wstring FullPath(const std::wstring& path);
