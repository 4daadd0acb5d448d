// Small text routines. Texts are UTF-16; positions are 1-based.
#pragma once

#include <string>
#include <vector>

class TStringList;

// Case-insensitive search (each UTF-16 unit upper-cased with the system's mapping) for sub in
// text from the 1-based position from; the 1-based position in the whole text, or 0. An empty
// sub is never found.
int PosText(const std::wstring& sub, const std::wstring& text, int from = 1);

// Whether the texts are equal when the case of ASCII letters is ignored (other characters
// compare as they are).
bool SameTextAscii(const std::wstring& a, const std::wstring& b);

// Walks source one token at a time. position starts at 1, is advanced by each call and is
// 0 when nothing is left.
std::wstring FetchToken(const std::wstring& source, wchar_t delimiter, int& position, bool ignoreQuotes = false,
                        bool skipEmpty = false);

// The pieces of text between occurrences of separator, in order; empty pieces only with keepEmpty.
// Quotation marks are text like any other.
std::vector<std::wstring> SplitText(const std::wstring& text, const std::wstring& separator, bool keepEmpty);
// Clears list and fills it with those pieces (the list's own rules may sort or drop them).
void SplitText(const std::wstring& text, const std::wstring& separator, TStringList* list, bool keepEmpty);

// The items of list joined with separator between them.
std::wstring JoinText(const TStringList& list, const std::wstring& separator, bool keepEmpty);
