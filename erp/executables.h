// Executable candidates for a new service and the folder history.
//
// The properties dialog builds the Executable file box's drop-down list with
//     FPathMem = NewPathList();                       // when it is created
//     LoadPathHistory(FPathMem);
//     TStringList candidates = NewPathList();
//     CollectExecutableCandidates(FExeType, FPathMem, candidates);
// then makes candidates the box's list and selects the entry when it is the only one. Its
// browse button adds HistoryFolderOfFile(picked) to FPathMem; on closing a new-service dialog
// it calls SavePathHistory(FPathMem).
#pragma once

#include "common/settings_key.h"
#include "common/strings.h"
#include "erp/exe_type.h"
#include "erp/file_paths.h"

#include <windows.h>

#include <string>

// The ERP's own key under the current user, whose "RunDirs" lists its program folders.
inline constexpr const wchar_t* ErpKey = L"SOFTWARE\\Talvora\\Kelmar32";

// A list of paths kept sorted without regard to case, each path once: the candidate list and
// the folder history are such lists.
TStringList NewPathList();

// Adds to list the plain files matching pattern in each folder of folders (separated by ";"),
// as the folder (with a "\" appended when missing) followed by the file's name. Subfolders are
// not searched, network folders (IsNetworkPath) and empty elements are skipped,
// and a file is taken only when its attributes lie within read-only, hidden, system, volume
// label, archive, device, normal and temporary. No cursor is shown here: a window that waits
// for the search shows the busy cursor itself.
void FindExecutables(const std::wstring& pattern, const std::wstring& folders, TStringList& list);

// Whether a found entry with these attributes is offered: a plain file whose attributes all lie
// within 0x1EF (no directory, nothing compressed, encrypted, sparse, offline, reparsed or kept
// out of the content index).
bool IsCandidateFile(DWORD attributes);

// The folders searched for a kind, separated by ";": the expanded PATH of this process for the
// database kinds, "RunDirs" for the ERP kinds, then the history.
std::wstring ExecutableFolders(TExeType kind, const TStringList& history);

// Adds to candidates the matches of every pattern of the kind in ExecutableFolders.
void CollectExecutableCandidates(TExeType kind, const TStringList& history, TStringList& candidates);

// Adds a browsed folder to the history; false (nothing added) for an empty folder or one whose
// name holds ";", which the ";"-separated value cannot keep.
bool AddToPathHistory(TStringList& history, const std::wstring& folder);

// Fills history from "PathHistory" (empty pieces dropped; the list's own rules sort it and
// drop duplicates). A missing value gives an empty history.
void LoadPathHistory(TStringList& history);
// Writes history back to "PathHistory" as REG_SZ, folders joined by ";", creating the key when
// missing. Raises the system's error when that fails.
void SavePathHistory(const TStringList& history);


// A text value under the current user, REG_SZ or REG_EXPAND_SZ (not expanded); empty when it
// is missing or unreadable.
std::wstring ReadUserText(const wchar_t* keyPath, const wchar_t* valueName);
