#include "common/format.h"

#include <windows.h>

#include <vector>

std::wstring FmtArg::Render(wchar_t conversion) const
{
    if (FIsText)
        return std::wstring(FText);
    switch (conversion) {
    case L'x': {
        unsigned long long v = static_cast<unsigned long long>(FNumber);
        if (FSigned)
            v = static_cast<std::uint32_t>(FNumber);  // 32-bit two's complement, as the platform prints it
        static const wchar_t digits[] = L"0123456789ABCDEF";
        std::wstring out;
        do {
            out.insert(out.begin(), digits[v & 0xF]);
            v >>= 4;
        } while (v != 0);
        return out;
    }
    case L'u':
        return std::to_wstring(FSigned ? static_cast<unsigned long long>(static_cast<std::uint32_t>(FNumber))
                                       : static_cast<unsigned long long>(FNumber));
    default:
        return std::to_wstring(FNumber);
    }
}

std::wstring Fmt(std::wstring_view format, std::initializer_list<FmtArg> args)
{
    std::wstring out;
    out.reserve(format.size() + 32);
    auto next = args.begin();
    for (size_t i = 0; i < format.size(); ++i) {
        wchar_t c = format[i];
        if (c != L'%' || i + 1 == format.size()) {
            out += c;
            continue;
        }
        wchar_t conv = format[++i];
        if (conv == L'%') {
            out += L'%';
            continue;
        }
        if (next != args.end())
            out += (next++)->Render(conv);
    }
    return out;
}

std::string ToUtf8(std::wstring_view text)
{
    if (text.empty())
        return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::wstring FromUtf8(std::string_view text)
{
    if (text.empty())
        return {};
    int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
    return out;
}
