// The current user's hive of this process redirected to a scratch key (RegOverridePredefKey), so
// that code opening HKEY_CURRENT_USER\... works on keys of the test's own while other tests of
// the run use the real ones. The scratch key starts empty and is removed at the end.
#pragma once

#include "common/handle.h"

#include <windows.h>

#include <string>

class TScratchCurrentUser {
public:
    TScratchCurrentUser();
    ~TScratchCurrentUser();
    TScratchCurrentUser(const TScratchCurrentUser&) = delete;
    TScratchCurrentUser& operator=(const TScratchCurrentUser&) = delete;

    // What HKEY_CURRENT_USER stands for meanwhile.
    HKEY Key() const { return FKey.get(); }

private:
    std::wstring FPath;  // under the real HKEY_CURRENT_USER
    UniqueRegKey FKey;
};
