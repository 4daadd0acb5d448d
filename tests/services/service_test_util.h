// Helpers of the service-layer tests: a scratch registry key, a record looked up in a catalogue,
// waiting while messages are processed, and checks on the messages of raised errors.
#pragma once

#include "common/delay.h"
#include "common/errors.h"
#include "common/format.h"
#include "common/registry.h"
#include "services/sc_manager.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <string>

// A key under HKEY_CURRENT_USER\Software\SmServiceTests, removed with everything below it.
class ScratchKey {
public:
    explicit ScratchKey(const std::wstring& name) : FPath(L"Software\\SmServiceTests\\" + name)
    {
        RegDeleteTreeW(HKEY_CURRENT_USER, FPath.c_str());
        CreateRegKey(HKEY_CURRENT_USER, FPath, KEY_ALL_ACCESS, FKey);
    }
    ~ScratchKey()
    {
        FKey.reset();
        RegDeleteTreeW(HKEY_CURRENT_USER, FPath.c_str());
    }
    ScratchKey(const ScratchKey&) = delete;
    ScratchKey& operator=(const ScratchKey&) = delete;

    const std::wstring& Path() const { return FPath; }
    void Set(const std::wstring& value, DWORD type, const void* data, size_t bytes)
    {
        RegSetValueExW(FKey.get(), value.c_str(), 0, type, static_cast<const BYTE*>(data), static_cast<DWORD>(bytes));
    }
    void SetMulti(const std::wstring& value, const std::wstring& text, DWORD type = REG_MULTI_SZ)
    {
        Set(value, type, text.data(), text.size() * sizeof(wchar_t));
    }

private:
    std::wstring FPath;
    UniqueRegKey FKey;
};

// The catalogue's record of the service, or null.
inline TNtService* FindRecord(const TSCManager& manager, const std::wstring& name)
{
    TNtService* record = nullptr;
    manager.FindService(name, record);
    return record;
}

// Processes messages until done() holds or timeoutMs pass; returns done().
inline bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    while (!done() && GetTickCount() - start < timeoutMs)
        DelayWithMessages(20);
    return done();
}

// The message of the Exception that body raises, or "<no exception>".
template <typename F>
std::wstring RaisedMessage(F&& body)
{
    try {
        body();
    } catch (const Exception& e) {
        return e.Message();
    }
    return L"<no exception>";
}

// The error code of the EOSError that body raises, or 0.
template <typename F>
DWORD RaisedOSError(F&& body)
{
    try {
        body();
    } catch (const EOSError& e) {
        return e.ErrorCode();
    }
    return 0;
}

inline bool StartsWith(const std::wstring& text, const std::wstring& prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

inline std::string Narrow(const std::wstring& text) { return ToUtf8(text); }
