#include "tests/support/scratch_current_user.h"

#include "common/registry.h"

TScratchCurrentUser::TScratchCurrentUser()
{
    static int serial = 0;
    FPath = L"Software\\Talvora\\Scratch_" + std::to_wstring(GetCurrentProcessId()) + L"_" + std::to_wstring(++serial);
    RegDeleteTreeW(HKEY_CURRENT_USER, FPath.c_str());
    CheckRegStatus(CreateRegKey(HKEY_CURRENT_USER, FPath, KEY_ALL_ACCESS, FKey));
    CheckRegStatus(RegOverridePredefKey(HKEY_CURRENT_USER, FKey.get()));
}

TScratchCurrentUser::~TScratchCurrentUser()
{
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    FKey.reset();
    RegDeleteTreeW(HKEY_CURRENT_USER, FPath.c_str());
}
