#include "tests/support/scratch_key.h"

#include "common/registry.h"

ScratchKey::ScratchKey(const std::wstring& name) : FPath(L"Software\\SmTests\\" + name)
{
    RegDeleteTreeW(HKEY_CURRENT_USER, FPath.c_str());
    CreateRegKey(HKEY_CURRENT_USER, FPath, KEY_ALL_ACCESS, FKey);
}

ScratchKey::~ScratchKey()
{
    FKey.reset();
    RegDeleteTreeW(HKEY_CURRENT_USER, FPath.c_str());
}

void ScratchKey::Set(const std::wstring& value, DWORD type, const void* data, size_t bytes)
{
    RegSetValueExW(FKey.get(), value.c_str(), 0, type, static_cast<const BYTE*>(data), static_cast<DWORD>(bytes));
}

void ScratchKey::SetMulti(const std::wstring& value, const std::wstring& text, DWORD type)
{
    Set(value, type, text.data(), text.size() * sizeof(wchar_t));
}
