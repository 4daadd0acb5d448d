// An ordered list of texts, optionally kept sorted without regard to case and free of
// duplicates (the folder history keeps itself that way). Observers may hang on OnChange,
// which fires once per batch between BeginUpdate and EndUpdate.
#pragma once

#include <functional>
#include <string>
#include <vector>

class TStringList {
public:
    TStringList() = default;
    TStringList(std::initializer_list<std::wstring> items);

    // Sorted lists insert each text at its place (case-insensitive, locale-aware) and,
    // with IgnoreDuplicates, drop a text that is already there.
    bool Sorted = false;
    bool IgnoreDuplicates = false;
    std::function<void()> OnChange;

    void Clear();
    void Add(const std::wstring& text);
    // Adds texts that are already in the list's order and free of duplicates among themselves
    // (one folder's files, say): when they all fall between two neighbouring entries they go in
    // at once, with a few comparisons; otherwise one by one, as Add does.
    void AddOrdered(std::vector<std::wstring> texts);
    int Count() const { return static_cast<int>(FItems.size()); }
    const std::wstring& operator[](int index) const { return FItems.at(static_cast<size_t>(index)); }
    const std::vector<std::wstring>& Items() const { return FItems; }
    int IndexOf(const std::wstring& text) const;  // case-insensitive; -1 when absent

    void BeginUpdate() { ++FUpdateCount; }
    void EndUpdate();

private:
    void Changed();

    std::vector<std::wstring> FItems;
    int FUpdateCount = 0;
    bool FChangedInUpdate = false;
};

// Locale-aware comparison without regard to case (negative, zero, positive).
int CompareTextCI(const std::wstring& a, const std::wstring& b);
