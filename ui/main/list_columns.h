// The service list's columns, and the order and filter of its rows, without a window: one row of
// the column table per column (what it shows, caption, designed width, whether it shows at first,
// where its width is stored), the comparison of two rows by a column, and whether a row holds
// the filter's text. The list's model (list_model.h) orders and filters its rows with these; the
// view (service_list.h) shows the columns and keeps their layout.
#pragma once

#include "services/nt_service.h"

#include <functional>
#include <span>
#include <string>
#include <vector>

struct TListColumn {
    const wchar_t* Caption;
    // Pixels at 96 dpi.
    int Width;
    // Shown until the user hides it; a column the user cannot hide is always shown.
    bool ShownAtFirst;
    bool Hideable;
    // Its field in the stored "Columns" text (and its number in "ShownColumns" and "Sort"): a
    // new column takes the next unused one, so stored values of older runs keep their meaning
    // wherever the column stands in the table.
    int Slot;
    std::wstring (*Value)(const TNtService& service);
};

// The columns, in the order they are shown; the first is the row's caption.
std::span<const TListColumn> ListColumns();
inline constexpr int ListColumnTotal = 6;
constexpr int ListColumnCount() { return ListColumnTotal; }
// The column of a slot; -1 when no column has it.
int ColumnOfSlot(int slot);

// The word of a service's state ("Running") and the picture for it (images.h).
const wchar_t* StateText(const TNtService& service);
int StateImage(const TNtService& service);
// The start type as the properties dialog shows it: "Automatic" ("Automatic (Delayed start)"
// when its start is delayed), "Manual", "Disabled"; "Boot" and "System" for drivers, which the
// dialog does not offer; empty while the record has not been read.
std::wstring StartupTypeText(const TNtService& service);

// The order of the rows: by a column, ascending or descending; ties by the row's computer, then
// by caption, both ascending.
struct TListSort {
    int Column = 0;
    bool Descending = false;
    bool operator==(const TListSort&) const = default;
};
// Whether row a goes before row b. Texts compare as the platform's locale-aware, case-sensitive
// comparison (lstrcmpW) orders them.
bool RowBefore(const TNtService& a, const TNtService& b, const TListSort& sort);
// The sort a click on a column's heading gives: the same column the other way, or the column
// ascending.
TListSort SortAfterClick(const TListSort& sort, int column);

// Whether the row's display name or service name holds the text, letter case ignored; every
// row holds the empty text.
bool RowHoldsText(const TNtService& service, const std::wstring& text);

// What the list keeps of its columns between runs, in the window's layout subkey: "Columns"
// (the width of every column, hidden ones too, by slot, joined with ";"), "ShownColumns" (the
// slots of the columns shown, joined with ";") and "Sort" ("%d,%d": the sorted column's slot,
// then 1 for descending or 0). A stored value that cannot be used leaves the designed state.
struct TColumnLayout {
    // By column, in pixels.
    std::vector<int> Widths;
    std::vector<bool> Shown;
    TListSort Sort;
};
// The designed state; scale turns a designed width into pixels at the window's dpi.
TColumnLayout DesignedColumnLayout(const std::function<int(int)>& scale);
// Takes what is usable of the stored texts (nothing for a value that was not read).
void ApplyStoredWidths(TColumnLayout& layout, const std::wstring& columns);
void ApplyStoredShown(TColumnLayout& layout, const std::wstring& shown);
void ApplyStoredSort(TColumnLayout& layout, const std::wstring& sort);
std::wstring StoredWidths(const TColumnLayout& layout);
std::wstring StoredShown(const TColumnLayout& layout);
std::wstring StoredSort(const TListSort& sort);
