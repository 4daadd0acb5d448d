// Text formatting with the placeholders the program's messages use:
// %s (text), %d (signed), %u (unsigned), %x (hex, upper-case digits, no leading zeros), %%.
// Arguments are matched to placeholders in order; a missing argument formats as nothing.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

class FmtArg {
public:
    FmtArg(std::wstring_view s) : FText(s), FIsText(true) {}
    FmtArg(const std::wstring& s) : FText(s), FIsText(true) {}
    FmtArg(const wchar_t* s) : FText(s ? s : L""), FIsText(true) {}
    FmtArg(int v) : FNumber(v), FSigned(true) {}
    FmtArg(long v) : FNumber(v), FSigned(true) {}
    FmtArg(long long v) : FNumber(v), FSigned(true) {}
    FmtArg(unsigned v) : FNumber(static_cast<long long>(v)) {}
    FmtArg(unsigned long v) : FNumber(static_cast<long long>(v)) {}
    FmtArg(unsigned long long v) : FNumber(static_cast<long long>(v)) {}

    std::wstring Render(wchar_t conversion) const;

private:
    std::wstring_view FText;
    long long FNumber = 0;
    bool FIsText = false;
    bool FSigned = false;
};

std::wstring Fmt(std::wstring_view format, std::initializer_list<FmtArg> args);

// UTF-8 / UTF-16 conversion for texts that cross into narrow strings (exception what(), test output).
std::string ToUtf8(std::wstring_view text);
std::wstring FromUtf8(std::string_view text);
