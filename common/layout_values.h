// The stored forms of a window's layout and the placement arithmetic, free of any window or
// key: the "Size" text (outer width and height), the "Columns" text (the list's column widths)
// and where a cascaded window goes.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

// The outer size stored as "Size": its first two words, a word being a run of characters
// other than space and comma. Nothing when either word is missing, is not a decimal integer,
// or is zero or negative (the values are only ever written from a live window).
std::optional<SIZE> ParseFormSize(const std::wstring& text);
// "%d,%d".
std::wstring FormatFormSize(SIZE size);

// The fields of a "Columns" text, one entry per field in column order (one more than the
// number of ";"): the width, or nothing for a field that is empty, not a decimal integer or
// negative (the list view reads -1 and -2 as "size to fit"). The empty text has no fields.
std::vector<std::optional<int>> ParseColumnWidths(const std::wstring& text);
// The widths joined with ";", no trailing ";"; the empty text for no columns.
std::wstring FormatColumnWidths(const std::vector<int>& widths);

// Where a window of this size goes beside a reference window: 24 pixels right of and below
// the reference's top-left corner, pulled back so that it does not cross the work area's
// right or bottom edge, and with its left or top edge on the work area's when it is larger.
POINT CascadePosition(const RECT& reference, SIZE window, const RECT& workArea);
