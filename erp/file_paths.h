// Paths as the service definitions take them apart: the folder part, the file name, the folder
// kept in the history or opened from the Parameters box, the full canonical form, and whether
// a path is a network path (which the tool never searches or probes).
#pragma once

#include <string>

// The folder part of a path: up to and including its last "\" or drive colon; empty when it
// has neither.
std::wstring ExtractFilePath(const std::wstring& path);

// The file name of a path: what follows its last "\" or ":" (all of it when it has neither).
std::wstring ExtractFileName(const std::wstring& path);

// The folder the history keeps for a picked file: its path without the file name and without
// a trailing "\", except that a root keeps it ('C:\').
std::wstring HistoryFolderOfFile(const std::wstring& fileName);

// The folder a selected text names: up to its last "\", without it except in a root such as
// 'C:\'; empty when the text has no "\".
std::wstring FolderOfSelection(const std::wstring& selection);

// The path made full and canonical (GetFullPathNameW: forward slashes, "." and "..", trailing
// blanks and dots of the last part); the path as it is when that fails.
std::wstring FullPathName(const std::wstring& path);

// Whether the text names a network path in any form ("\\host", "//host", "\\?\UNC\",
// "\??\UNC\", a relative path under a network current folder, a drive mapped to a network
// share). Decided from the text and the drive table alone: nothing on the network is touched.
bool IsNetworkPath(const std::wstring& path);
