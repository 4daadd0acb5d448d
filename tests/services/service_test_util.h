// Helpers of the service-layer tests: a record looked up in a catalogue and checks on the
// messages of raised errors (with the scratch registry key from tests/support). Windowless: the
// tests that wait with messages include tests/support/wait_until.h themselves.
#pragma once

#include "common/errors.h"
#include "common/format.h"
#include "services/sc_manager.h"
#include "tests/support/scratch_key.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <string>

// The catalogue's record of the service, or null.
inline TNtService* FindRecord(const TSCManager& manager, const std::wstring& name)
{
    TNtService* record = nullptr;
    manager.FindService(name, record);
    return record;
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
