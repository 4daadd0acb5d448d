#include "common/layout_values.h"

#include "common/format.h"

#include <algorithm>
#include <climits>

namespace {
constexpr int CascadeOffset = 24;

// An optional sign and at least one decimal digit, nothing else, within the range of int.
std::optional<int> DecimalInt(std::wstring_view text)
{
    bool negative = false;
    if (!text.empty() && (text.front() == L'-' || text.front() == L'+')) {
        negative = text.front() == L'-';
        text.remove_prefix(1);
    }
    if (text.empty())
        return std::nullopt;
    long long value = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9')
            return std::nullopt;
        value = value * 10 + (c - L'0');
        if (value > static_cast<long long>(INT_MAX) + 1)
            return std::nullopt;
    }
    if (negative)
        value = -value;
    if (value < INT_MIN || value > INT_MAX)
        return std::nullopt;
    return static_cast<int>(value);
}

// The first count words of text, a word being a run of characters other than space and comma.
std::vector<std::wstring_view> Words(std::wstring_view text, size_t count)
{
    std::vector<std::wstring_view> words;
    const auto separator = [](wchar_t c) { return c == L' ' || c == L','; };
    size_t i = 0;
    while (words.size() < count) {
        while (i < text.size() && separator(text[i]))
            ++i;
        if (i == text.size())
            break;
        const size_t start = i;
        while (i < text.size() && !separator(text[i]))
            ++i;
        words.push_back(text.substr(start, i - start));
    }
    return words;
}
}  // namespace

std::optional<SIZE> ParseFormSize(const std::wstring& text)
{
    const std::vector<std::wstring_view> words = Words(text, 2);
    if (words.size() < 2)
        return std::nullopt;
    const int width = DecimalInt(words[0]).value_or(0);
    const int height = DecimalInt(words[1]).value_or(0);
    if (width <= 0 || height <= 0)
        return std::nullopt;
    return SIZE{width, height};
}

std::wstring FormatFormSize(SIZE size) { return Fmt(L"%d,%d", {size.cx, size.cy}); }

std::vector<std::optional<int>> ParseColumnWidths(const std::wstring& text)
{
    std::vector<std::optional<int>> widths;
    if (text.empty())
        return widths;
    std::wstring_view rest = text;
    for (;;) {
        const size_t end = rest.find(L';');
        std::optional<int> width = DecimalInt(rest.substr(0, end));
        widths.push_back(width && *width >= 0 ? width : std::nullopt);
        if (end == std::wstring_view::npos)
            return widths;
        rest.remove_prefix(end + 1);
    }
}

std::wstring FormatColumnWidths(const std::vector<int>& widths)
{
    std::wstring text;
    for (size_t i = 0; i < widths.size(); ++i) {
        if (i > 0)
            text += L';';
        text += std::to_wstring(widths[i]);
    }
    return text;
}

POINT CascadePosition(const RECT& reference, SIZE window, const RECT& workArea)
{
    LONG x = reference.left + CascadeOffset;
    x = std::min(x, workArea.right - window.cx);
    x = std::max(x, workArea.left);
    LONG y = reference.top + CascadeOffset;
    y = std::min(y, workArea.bottom - window.cy);
    y = std::max(y, workArea.top);
    return POINT{x, y};
}
