#include "common/text.h"

#include "common/errors.h"
#include "common/finally.h"
#include "common/strings.h"

#include <windows.h>

namespace {
// The user's mapping, as the window system's CharUpperBuffW applies it, without the window system.
std::wstring Upper(std::wstring s)
{
    if (!s.empty())
        LCMapStringW(LOCALE_USER_DEFAULT, LCMAP_UPPERCASE, s.data(), static_cast<int>(s.size()), s.data(),
                     static_cast<int>(s.size()));
    return s;
}

constexpr wchar_t Quote = L'"';
}  // namespace

bool SameTextAscii(const std::wstring& a, const std::wstring& b)
{
    if (a.size() != b.size())
        return false;
    auto lower = [](wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c; };
    for (size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i]))
            return false;
    return true;
}

int PosText(const std::wstring& sub, const std::wstring& text, int from)
{
    if (sub.empty() || from < 1 || static_cast<size_t>(from) > text.size())
        return 0;
    size_t at = Upper(text).find(Upper(sub), static_cast<size_t>(from - 1));
    return at == std::wstring::npos ? 0 : static_cast<int>(at) + 1;
}

std::wstring FetchToken(const std::wstring& source, wchar_t delimiter, int& position, bool ignoreQuotes, bool skipEmpty)
{
    std::wstring token;
    const int len = static_cast<int>(source.size());
    if (len == 0) {
        position = 0;
        return token;
    }
    if (position == len + 1 && source[static_cast<size_t>(len - 1)] == delimiter) {
        position = len + 2;
        if (!skipEmpty)
            return token;
    }
    if (position < 1 || position > len) {
        position = 0;
        return token;
    }
    bool inQuotes = false;
    while (position <= len) {
        wchar_t c = source[static_cast<size_t>(position - 1)];
        if (!ignoreQuotes && c == Quote)
            inQuotes = !inQuotes;
        if (c == delimiter && !inQuotes) {
            ++position;
            if (!skipEmpty || !token.empty())
                return token;
            continue;
        }
        token += c;
        ++position;
    }
    if (skipEmpty && token.empty())
        position = 0;
    return token;
}

std::vector<std::wstring> SplitText(const std::wstring& text, const std::wstring& separator, bool keepEmpty)
{
    std::vector<std::wstring> pieces;
    size_t from = 0;
    size_t at = separator.empty() ? std::wstring::npos : text.find(separator);
    while (at != std::wstring::npos) {
        if (keepEmpty || at > from)
            pieces.push_back(text.substr(from, at - from));
        from = at + separator.size();
        at = text.find(separator, from);
    }
    if (keepEmpty || from < text.size())
        pieces.push_back(text.substr(from));
    return pieces;
}

void SplitText(const std::wstring& text, const std::wstring& separator, TStringList* list, bool keepEmpty)
{
    SM_ASSERT(list != nullptr);
    list->BeginUpdate();
    TFinally endUpdate([list] { list->EndUpdate(); });
    list->Clear();
    for (std::wstring& piece : SplitText(text, separator, keepEmpty))
        list->Add(piece);
}

std::wstring JoinText(const TStringList& list, const std::wstring& separator, bool keepEmpty)
{
    std::wstring result;
    for (const auto& item : list.Items()) {
        if (keepEmpty || !item.empty()) {
            result += item;
            result += separator;
        }
    }
    if (list.Count() > 0)
        result.erase(result.size() >= separator.size() ? result.size() - separator.size() : 0);
    return result;
}
