// The service list's columns, the order of its rows and its text filter.
#include "ui/main/list_columns.h"

#include "common/layout_values.h"
#include "common/text.h"
#include "services/sc_manager.h"
#include "ui/main/command_ids.h"

#include <windows.h>

#include <algorithm>
#include <iterator>

namespace {
struct TStateLook {
    const wchar_t* Text;
    int Image;
};

// By TServiceState ordinal.
const TStateLook StateLooks[] = {
    {L"Unknown", imgUnknown},        {L"Stopped", imgStopped},       {L"Starting", imgStarting},
    {L"Stopping", imgStopping},      {L"Running", imgRunning},       {L"Resume pending", imgStarting},
    {L"Pause pending", imgStopping}, {L"Paused", imgPaused},
};

const TStateLook& StateLookOf(const TNtService& service)
{
    size_t state = static_cast<size_t>(service.ServiceState());
    return StateLooks[state < std::size(StateLooks) ? state : 0];
}

// By TServiceStartType ordinal; the dialog's own words for the three it offers.
const wchar_t* const StartTypeTexts[] = {L"Boot", L"System", L"Automatic", L"Manual", L"Disabled"};

constexpr TListColumn Columns[] = {
    {.Caption = L"Service Name", .Width = 200, .ShownAtFirst = true, .Hideable = false, .Slot = 0,
     .Value = [](const TNtService& s) { return s.DisplayName(); }},
    {.Caption = L"Status", .Width = 80, .ShownAtFirst = true, .Hideable = false, .Slot = 1,
     .Value = [](const TNtService& s) { return std::wstring(StateText(s)); }},
    {.Caption = L"Description", .Width = 250, .ShownAtFirst = true, .Hideable = false, .Slot = 2,
     .Value = [](const TNtService& s) { return s.Description(); }},
    {.Caption = L"Service name", .Width = 120, .ShownAtFirst = false, .Hideable = true, .Slot = 3,
     .Value = [](const TNtService& s) { return s.ServiceName(); }},
    {.Caption = L"Startup type", .Width = 100, .ShownAtFirst = false, .Hideable = true, .Slot = 4,
     .Value = StartupTypeText},
    {.Caption = L"Log on as", .Width = 120, .ShownAtFirst = false, .Hideable = true, .Slot = 5,
     .Value = [](const TNtService& s) { return s.ServiceStartName(); }},
};

// Every slot from 0 on is one column's, so that the stored texts have no gaps.
constexpr bool SlotsDense()
{
    for (size_t slot = 0; slot < std::size(Columns); ++slot)
        if (std::count_if(std::begin(Columns), std::end(Columns),
                          [slot](const TListColumn& c) { return c.Slot == static_cast<int>(slot); }) != 1)
            return false;
    return true;
}
static_assert(SlotsDense(), "one column per slot, from 0 on");
static_assert(std::size(Columns) == ListColumnTotal);
static_assert(!Columns[0].Hideable, "the caption always shows");

int CompareTexts(const std::wstring& a, const std::wstring& b) { return lstrcmpW(a.c_str(), b.c_str()); }

// The computer a row's service is on; empty for this one, which so comes first.
const std::wstring& ComputerOf(const TNtService& service)
{
    static const std::wstring thisComputer;
    return service.SCManager() ? service.SCManager()->MachineName() : thisComputer;
}

int CompareComputers(const TNtService& a, const TNtService& b)
{
    const std::wstring& x = ComputerOf(a);
    const std::wstring& y = ComputerOf(b);
    if (SameTextAscii(x, y))
        return 0;
    return CompareTexts(x, y);
}

// The fields of a stored list of numbers ("1;2", "3,0"), each a number or nothing.
std::vector<std::optional<int>> Numbers(const std::wstring& text, wchar_t separator)
{
    std::wstring fields = text;
    std::replace(fields.begin(), fields.end(), separator, L';');
    return ParseColumnWidths(fields);
}
}  // namespace

std::span<const TListColumn> ListColumns() { return Columns; }

int ColumnOfSlot(int slot)
{
    for (int i = 0; i < ListColumnCount(); ++i)
        if (Columns[i].Slot == slot)
            return i;
    return -1;
}

const wchar_t* StateText(const TNtService& service) { return StateLookOf(service).Text; }
int StateImage(const TNtService& service) { return StateLookOf(service).Image; }

std::wstring StartupTypeText(const TNtService& service)
{
    if (!service.ValuesKnown())
        return {};
    const auto type = static_cast<size_t>(service.StartType());
    std::wstring text = type < std::size(StartTypeTexts) ? StartTypeTexts[type] : L"";
    if (service.StartType() == sstAuto && service.DelayedAutoStart())
        text += L" (Delayed start)";
    return text;
}

bool RowBefore(const TNtService& a, const TNtService& b, const TListSort& sort)
{
    if (sort.Column > 0 && sort.Column < ListColumnCount()) {
        const TListColumn& column = Columns[sort.Column];
        const int order = CompareTexts(column.Value(a), column.Value(b));
        if (order != 0)
            return sort.Descending ? order > 0 : order < 0;
    }
    if (const int computers = CompareComputers(a, b); computers != 0)
        return computers < 0;
    const int captions = CompareTexts(a.DisplayName(), b.DisplayName());
    // Sorted by caption, the caption's own direction counts.
    return sort.Column == 0 && sort.Descending ? captions > 0 : captions < 0;
}

TListSort SortAfterClick(const TListSort& sort, int column)
{
    if (column == sort.Column)
        return {.Column = column, .Descending = !sort.Descending};
    return {.Column = column, .Descending = false};
}

bool RowHoldsText(const TNtService& service, const std::wstring& text)
{
    return text.empty() || PosText(text, service.DisplayName()) > 0 || PosText(text, service.ServiceName()) > 0;
}

TColumnLayout DesignedColumnLayout(const std::function<int(int)>& scale)
{
    TColumnLayout layout;
    for (const TListColumn& column : Columns) {
        layout.Widths.push_back(scale(column.Width));
        layout.Shown.push_back(column.ShownAtFirst);
    }
    return layout;
}

void ApplyStoredWidths(TColumnLayout& layout, const std::wstring& columns)
{
    const std::vector<std::optional<int>> widths = ParseColumnWidths(columns);
    for (size_t slot = 0; slot < widths.size(); ++slot)
        if (const int column = ColumnOfSlot(static_cast<int>(slot)); column >= 0 && widths[slot])
            layout.Widths[static_cast<size_t>(column)] = *widths[slot];
}

void ApplyStoredShown(TColumnLayout& layout, const std::wstring& shown)
{
    std::vector<bool> stored(layout.Shown.size(), false);
    bool any = false;
    for (const std::optional<int>& slot : Numbers(shown, L';'))
        if (const int column = slot ? ColumnOfSlot(*slot) : -1; column >= 0) {
            stored[static_cast<size_t>(column)] = true;
            any = true;
        }
    if (!any)
        return;
    // The columns the user cannot hide show whatever the text says.
    for (int i = 0; i < ListColumnCount(); ++i)
        layout.Shown[static_cast<size_t>(i)] = stored[static_cast<size_t>(i)] || !Columns[i].Hideable;
}

void ApplyStoredSort(TColumnLayout& layout, const std::wstring& sort)
{
    const std::vector<std::optional<int>> fields = Numbers(sort, L',');
    if (fields.size() != 2 || !fields[0] || !fields[1] || *fields[1] > 1)
        return;
    const int column = ColumnOfSlot(*fields[0]);
    if (column < 0 || !layout.Shown[static_cast<size_t>(column)])
        return;
    layout.Sort = {.Column = column, .Descending = *fields[1] == 1};
}

std::wstring StoredWidths(const TColumnLayout& layout)
{
    std::vector<int> bySlot(layout.Widths.size());
    for (size_t i = 0; i < layout.Widths.size(); ++i)
        bySlot[static_cast<size_t>(Columns[i].Slot)] = layout.Widths[i];
    return FormatColumnWidths(bySlot);
}

std::wstring StoredShown(const TColumnLayout& layout)
{
    std::vector<int> slots;
    for (int slot = 0; slot < ListColumnCount(); ++slot)
        if (layout.Shown[static_cast<size_t>(ColumnOfSlot(slot))])
            slots.push_back(slot);
    return FormatColumnWidths(slots);
}

std::wstring StoredSort(const TListSort& sort)
{
    return std::to_wstring(Columns[sort.Column].Slot) + L"," + (sort.Descending ? L"1" : L"0");
}
