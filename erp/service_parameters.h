// The one piece of a service's data that the tool keeps outside the Service Control Manager:
// the server parameters in the value "Parameters" of the key
// HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Services\<service>\Parameters, lines separated
// by CR LF.
#pragma once

#include "common/handle.h"

#include <windows.h>

#include <string>

// The stored text: REG_SZ, REG_EXPAND_SZ (not expanded) or REG_BINARY data as UTF-16 without
// its terminating NUL; of data of odd size its whole characters. Any other type, a missing key
// or value, data of zero size and every failure give the empty text.
// machineName: the computer whose registry holds the value (RegConnectRegistryW); empty for
// this one.
std::wstring ReadServiceParameters(const std::wstring& serviceName, const std::wstring& machineName = {});

// Stores the text exactly as given, as REG_SZ with its terminating NUL, creating the key when
// missing. Raises "Unable to open key "HKEY_LOCAL_MACHINE\\SYSTEM\...\Parameters" for write"
// when the key cannot be opened for writing or the value cannot be set.
void WriteServiceParameters(const std::wstring& serviceName, const std::wstring& text,
                            const std::wstring& machineName = {});

// The root key HKEY_LOCAL_MACHINE of the computer: this computer's (not owned), or another's
// connected through RegConnectRegistryW and closed with the object. Status() is the
// connection's: ERROR_SUCCESS, or the reason the computer refused its registry.
class TMachineRegistry {
public:
    explicit TMachineRegistry(const std::wstring& machineName);
    LSTATUS Status() const { return FStatus; }
    // Null when the connection failed.
    HKEY Root() const { return FStatus != ERROR_SUCCESS ? nullptr : FRemote ? FRemote.get() : HKEY_LOCAL_MACHINE; }

private:
    UniqueRegKey FRemote;
    LSTATUS FStatus = ERROR_SUCCESS;
};

// The text with every line break (CR LF, LF alone, CR alone) made a CR LF, as a multi-line
// box shows it.
std::wstring BoxLineBreaks(const std::wstring& text);
