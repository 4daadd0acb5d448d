// The one piece of a service's data that the tool keeps outside the Service Control Manager:
// the server parameters in the value "Parameters" of the key
// HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Services\<service>\Parameters, lines separated
// by CR LF.
#pragma once

#include <string>

// The stored text: REG_SZ, REG_EXPAND_SZ (not expanded) or REG_BINARY data as UTF-16 without
// its terminating NUL; of data of odd size its whole characters. Any other type, a missing key
// or value, data of zero size and every failure give the empty text.
std::wstring ReadServiceParameters(const std::wstring& serviceName);

// Stores the text exactly as given, as REG_SZ with its terminating NUL, creating the key when
// missing. Raises "Unable to open key "HKEY_LOCAL_MACHINE\\SYSTEM\...\Parameters" for write"
// when the key cannot be opened for writing or the value cannot be set.
void WriteServiceParameters(const std::wstring& serviceName, const std::wstring& text);

// The text with every line break (CR LF, LF alone, CR alone) made a CR LF, as a multi-line
// box shows it.
std::wstring BoxLineBreaks(const std::wstring& text);
