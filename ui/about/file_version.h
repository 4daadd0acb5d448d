// The version number of a program file, from its version resource.
#pragma once

#include <string>

// The file version of the given file as "major.minor.release.build"; empty when the file has
// no version information or it cannot be read.
std::wstring FileVersionText(const std::wstring& fileName);

// The same for the program's own executable file.
std::wstring FileVersionText();
