// The one piece of a service's data that the tool keeps outside the Service Control Manager:
// the server parameters in the value "Parameters" of the key
// HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Services\<service>\Parameters, one option a line:
// a text with CR LF between the lines (REG_SZ, or REG_EXPAND_SZ whose %VAR% the server
// expands), or one string a line (REG_MULTI_SZ).
#pragma once

#include "common/handle.h"

#include <windows.h>

#include <string>

// A "Parameters" value as the tool shows it: the text, with the strings of a REG_MULTI_SZ
// joined by CR LF, and the type it is stored with (REG_NONE when there is none).
struct TParametersValue {
    std::wstring Text;
    DWORD Type = REG_NONE;
};

// The stored value: REG_SZ, REG_EXPAND_SZ (not expanded) or REG_BINARY data as UTF-16 without
// its terminating NUL, of data of odd size its whole characters; REG_MULTI_SZ as its strings,
// one a line (an empty string in the middle an empty line). Any other type, a missing key or
// value, data of zero size and every failure give the empty text (and REG_NONE when there is
// no value). machineName: the computer whose registry holds the value (empty: this one).
TParametersValue ReadServiceParametersValue(const std::wstring& serviceName, const std::wstring& machineName = {});
// The text of the stored value (ReadServiceParametersValue's).
std::wstring ReadServiceParameters(const std::wstring& serviceName, const std::wstring& machineName = {});

// Stores the text in the type given: REG_SZ and REG_EXPAND_SZ exactly as given with a
// terminating NUL; REG_MULTI_SZ one string a line (line breaks of any form), empty lines
// dropped (an empty string would end the list for every reader); REG_BINARY as UTF-16 with a
// terminating NUL, as it is read; any other type as REG_SZ. The Parameters key is created when
// missing, the service's own key never: a service whose key is gone raises
// "The service "<name>" no longer exists.". Other failures raise
// "Unable to open key "HKEY_LOCAL_MACHINE\SYSTEM\...\Parameters" for write".
void WriteServiceParameters(const std::wstring& serviceName, const std::wstring& text,
                            const std::wstring& machineName = {}, DWORD type = REG_SZ);

// How another computer's registry is reached: RegConnectRegistryW's signature; the name is
// given as "\\NAME".
using TRegistryConnector = LSTATUS(WINAPI*)(LPCWSTR machineName, HKEY key, PHKEY result);
// Replaces the connector (tests); null restores RegConnectRegistryW.
void SetRegistryConnector(TRegistryConnector connector);

// The root key HKEY_LOCAL_MACHINE of the computer: this computer's (not owned), or another's
// connected as "\\NAME" (a name given with its leading "\\" keeps it) and closed with the
// object. Status() is the connection's: ERROR_SUCCESS, or the reason the computer refused its
// registry.
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
