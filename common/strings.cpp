#include "common/strings.h"

#include <windows.h>

#include <algorithm>
#include <iterator>

int CompareTextCI(const std::wstring& a, const std::wstring& b)
{
    return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.c_str(), static_cast<int>(a.size()), b.c_str(),
                          static_cast<int>(b.size())) -
           CSTR_EQUAL;
}

TStringList::TStringList(std::initializer_list<std::wstring> items)
{
    for (const auto& item : items)
        Add(item);
}

void TStringList::Clear()
{
    if (FItems.empty())
        return;
    FItems.clear();
    Changed();
}

void TStringList::Add(const std::wstring& text)
{
    if (!Sorted) {
        FItems.push_back(text);
    } else {
        auto at = std::lower_bound(FItems.begin(), FItems.end(), text,
                                   [](const std::wstring& a, const std::wstring& b) { return CompareTextCI(a, b) < 0; });
        if (IgnoreDuplicates && at != FItems.end() && CompareTextCI(*at, text) == 0)
            return;
        FItems.insert(at, text);
    }
    Changed();
}

void TStringList::AddOrdered(std::vector<std::wstring> texts)
{
    if (texts.empty())
        return;
    if (Sorted) {
        auto less = [](const std::wstring& a, const std::wstring& b) { return CompareTextCI(a, b) < 0; };
        auto at = std::lower_bound(FItems.begin(), FItems.end(), texts.front(), less);
        // The entry found is not less than the first text: the block fits before it when the
        // last text is less still (which also rules out a duplicate of the first).
        if (at != FItems.end() && CompareTextCI(texts.back(), *at) >= 0) {
            BeginUpdate();
            for (const auto& text : texts)
                Add(text);
            EndUpdate();
            return;
        }
        FItems.insert(at, std::make_move_iterator(texts.begin()), std::make_move_iterator(texts.end()));
    } else {
        FItems.insert(FItems.end(), std::make_move_iterator(texts.begin()), std::make_move_iterator(texts.end()));
    }
    Changed();
}

int TStringList::IndexOf(const std::wstring& text) const
{
    for (size_t i = 0; i < FItems.size(); ++i)
        if (CompareTextCI(FItems[i], text) == 0)
            return static_cast<int>(i);
    return -1;
}

void TStringList::EndUpdate()
{
    if (FUpdateCount > 0 && --FUpdateCount == 0 && FChangedInUpdate) {
        FChangedInUpdate = false;
        if (OnChange)
            OnChange();
    }
}

void TStringList::Changed()
{
    if (FUpdateCount > 0)
        FChangedInUpdate = true;
    else if (OnChange)
        OnChange();
}
