// The service list's view: the columns of the list control, its cells drawn from the records on
// demand, the selection kept by service, and the control's own events (info tip, grey rows of
// disabled services, the search for a caption).
#include "ui/main/service_list.h"

#include "common/text.h"
#include "services/sc_buffer.h"
#include "ui/base/application.h"
#include "ui/base/busy.h"
#include "ui/base/gui_handle.h"
#include "ui/base/layout.h"

#include <algorithm>

TServiceList::TServiceList(IServiceControlManager& scm, bool showAllServices, const std::vector<std::wstring>& computers)
    : FInstallation(scm, showAllServices, computers, Application())
{
    FInstallation.SetView({.BeforeMove = [this] { KeepSelection(); },
                           .AfterMove = [this] { ShowMovedRows(); },
                           .RowChanged = [this](int row) { RedrawRow(row); },
                           .RowsInView = [this] { return VisibleRows(); },
                           .ComputersChanged = [this] {
                               ShowComputerColumn();
                               if (OnComputersChanged)
                                   OnComputersChanged();
                           }});
    FInstallation.OnMonitorFailure = [this](const std::wstring& message) {
        if (OnMonitorFailure)
            OnMonitorFailure(message);
    };
    FInstallation.OnConnectionLost = [this](const std::wstring& message) {
        if (OnConnectionLost)
            OnConnectionLost(message);
    };
    FInstallation.OnComputerLost = [this](const std::wstring& message) {
        if (OnComputerLost)
            OnComputerLost(message);
    };
}

TServiceList::~TServiceList()
{
    Detach();
    FInstallation.SetView({});
}

void TServiceList::Attach(HWND listView, HIMAGELIST images, const std::function<int(int)>& scale)
{
    FView = TListView(listView);
    FView.SetExtendedStyle(LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP | LVS_EX_DOUBLEBUFFER);
    FView.SetSmallImages(images);
    // A click on a heading sorts by its column.
    FView.SetHeaderButtons(true);
    FScale = scale;
    FLayout = DesignedColumnLayout(scale);
    FShown.clear();
    ShowColumns();
    // The results wait in the workers; a message to the window announces them.
    FInstallation.Start([window = GetParent(listView)] { PostMessageW(window, ResultsMessage, 0, 0); });
}

void TServiceList::Detach()
{
    FInstallation.Stop();
    FView = TListView();
}

void TServiceList::ShowComputerColumn()
{
    if (!Attached())
        return;
    // The control's column after the service columns shown.
    const int index = static_cast<int>(FShown.size());
    const bool shown = FView.ColumnCount() > index;
    if (shown == FInstallation.Several())
        return;
    if (!shown) {
        FView.AddColumn(index, TInstallation::ComputerColumnCaption,
                        FScale ? FScale(TInstallation::ComputerColumnWidth) : TInstallation::ComputerColumnWidth);
        // Drawn first; its index stays after the service columns, whose stored widths keep theirs.
        std::vector<int> order{index};
        for (int i = 0; i < index; ++i)
            order.push_back(i);
        FView.SetColumnOrder(order);
    } else {
        FView.DeleteColumn(index);
    }
    FView.RedrawAll();
}

void TServiceList::Rebuild(bool refreshAll)
{
    TBusyCursor busy;
    FInstallation.Rebuild(refreshAll);
}

void TServiceList::RebuildComputer(const std::wstring& machineName)
{
    TBusyCursor busy;
    FInstallation.RebuildComputer(machineName);
}

bool TServiceList::Connect(const std::wstring& machineName)
{
    TBusyCursor busy;
    return FInstallation.Connect(machineName);
}

void TServiceList::SetComputers(const std::vector<std::wstring>& computers) { FInstallation.SetComputers(computers); }

void TServiceList::KeepSelection()
{
    const TItemData* selected = Attached() ? SelectedData() : nullptr;
    FSelected = selected != nullptr;
    FSelectedMachine = selected ? selected->List->Manager().MachineName() : std::wstring();
    FSelectedName = selected && selected->Service ? selected->Service->ServiceName() : std::wstring();
    FSelectedRow = selected ? FView.Selected() : -1;
    FGenerationBefore = FInstallation.Generation();
    // The user chose another row than the one that stood in for a hidden selection.
    if (!SameTextAscii(FSelectedName, FStandInSelection)) {
        FHiddenMachine.clear();
        FHiddenSelection.clear();
        FStandInSelection.clear();
    }
}

void TServiceList::ShowMovedRows()
{
    if (!Attached())
        return;
    // Under Wine a new count costs the list view tens of milliseconds (more when its scroll bar
    // comes or goes): one computer's rows handed over leave the others' count as it was.
    if (const int count = FInstallation.Count(); count != FView.Count())
        FView.SetItemCount(count);
    const bool handedOver = FInstallation.Generation() != FGenerationBefore;
    SelectRow(RowToSelect(handedOver));
    if (handedOver)
        FRebuildSelection = TRebuildSelection::Kept;
    FSelected = false;
    FSelectedName.clear();
    FView.RedrawAll();
}

int TServiceList::RowToSelect(bool handedOver)
{
    if (handedOver && FRebuildSelection == TRebuildSelection::NewService) {
        // The first of this computer's services that was not there before.
        int first = -1;
        for (int row = 0; row < FInstallation.Count(); ++row) {
            const TItemData* data = FInstallation.Row(row);
            if (data->Service && data->List->Manager().MachineName().empty() &&
                !FKnownServices.contains(AsciiLower(data->Service->ServiceName()))) {
                first = row;
                break;
            }
        }
        FKnownServices.clear();
        if (first >= 0)
            return first;
    }
    // A selection the filter hid comes back as soon as it shows again.
    if (!FHiddenSelection.empty()) {
        if (const int row = FInstallation.RowOfName(FHiddenMachine, FHiddenSelection); row >= 0) {
            FHiddenMachine.clear();
            FHiddenSelection.clear();
            FStandInSelection.clear();
            return row;
        }
    }
    if (!FSelected)
        return -1;
    // The selection goes with its service to the service's row, wherever it is now; a service
    // whose computer no longer answers leaves it on the computer's own row.
    int row = FInstallation.RowOfName(FSelectedMachine, FSelectedName);
    if (row < 0 && !FSelectedName.empty())
        row = FInstallation.RowOfName(FSelectedMachine, std::wstring());
    if (row >= 0 || FSelectedName.empty())
        return row;
    if (handedOver)
        return FRebuildSelection == TRebuildSelection::NextOfRemoved ? std::min(FSelectedRow, FInstallation.Count() - 1)
                                                                     : -1;
    // Not a rebuild: the service is still there, hidden by the filter; the first row stands in.
    if (FHiddenSelection.empty()) {
        FHiddenMachine = FSelectedMachine;
        FHiddenSelection = FSelectedName;
    }
    const TItemData* first = FInstallation.Row(0);
    FStandInSelection = first && first->Service ? first->Service->ServiceName() : std::wstring();
    return first ? 0 : -1;
}

void TServiceList::SelectRow(int row)
{
    if (row == FView.Selected())
        return;
    FView.Deselect();
    if (row >= 0) {
        FView.Select(row);
        FView.EnsureVisible(row);
    }
}

void TServiceList::SelectAfterRebuild(TRebuildSelection selection)
{
    FRebuildSelection = selection;
    FKnownServices.clear();
    if (selection != TRebuildSelection::NewService)
        return;
    // Add... installs on this computer.
    const TServiceListModel* here = FInstallation.FindComputer(std::wstring());
    if (!here)
        return;
    const TSCManager& manager = here->Manager();
    for (int i = 0; i < manager.ServiceCount(); ++i)
        FKnownServices.insert(AsciiLower(manager.GetService(i)->ServiceName()));
}

void TServiceList::SetFilter(const std::wstring& text) { FInstallation.SetFilter(text); }

void TServiceList::ShowColumns()
{
    if (!FShown.empty())
        TakeWidths();
    FShown.clear();
    for (int i = 0; i < ListColumnCount(); ++i)
        if (FLayout.Shown[static_cast<size_t>(i)])
            FShown.push_back(i);
    const std::span<const TListColumn> columns = ListColumns();
    FView.DeleteColumnsAfterFirst();
    for (size_t i = 0; i < FShown.size(); ++i) {
        const int column = FShown[i];
        const int width = FLayout.Widths[static_cast<size_t>(column)];
        if (i == 0 && FView.ColumnCount() > 0)
            FView.SetColumn(0, columns[static_cast<size_t>(column)].Caption, width);
        else
            FView.AddColumn(static_cast<int>(i), columns[static_cast<size_t>(column)].Caption, width);
    }
    ShowComputerColumn();
    ShowSortArrow();
    FView.RedrawAll();
}

void TServiceList::ShowSortArrow() const
{
    const TListSort& sort = FInstallation.Sort();
    for (size_t i = 0; i < FShown.size(); ++i)
        FView.SetSortArrow(static_cast<int>(i), FShown[i] != sort.Column ? TListView::saNone
                                                : sort.Descending       ? TListView::saDown
                                                                        : TListView::saUp);
}

void TServiceList::TakeWidths()
{
    for (size_t i = 0; i < FShown.size() && static_cast<int>(i) < FView.ColumnCount(); ++i)
        FLayout.Widths[static_cast<size_t>(FShown[i])] = FView.ColumnWidth(static_cast<int>(i));
}

int TServiceList::ColumnAt(int viewColumn) const
{
    const int services = static_cast<int>(FShown.size());
    if (viewColumn == services && Attached() && FView.ColumnCount() > services)
        return TInstallation::ComputerColumn;
    return viewColumn >= 0 && viewColumn < services ? FShown[static_cast<size_t>(viewColumn)] : -1;
}

void TServiceList::ShowColumn(int column, bool shown)
{
    if (column < 0 || column >= ListColumnCount() || !ListColumns()[static_cast<size_t>(column)].Hideable ||
        ColumnShown(column) == shown)
        return;
    if (Attached())
        TakeWidths();
    FLayout.Shown[static_cast<size_t>(column)] = shown;
    // Rows are not sorted by a column that does not show.
    if (!shown && FInstallation.Sort().Column == column)
        FInstallation.SetSort({});
    if (Attached())
        ShowColumns();
}

void TServiceList::ClickColumn(int column)
{
    if (column < 0 || column >= ListColumnCount())
        return;
    FInstallation.SetSort(SortAfterClick(FInstallation.Sort(), column));
    if (Attached())
        ShowSortArrow();
}

void TServiceList::ColumnMenu(POINT screen)
{
    if (!Attached())
        return;
    UniqueMenu menu(CreatePopupMenu());
    if (!menu)
        return;
    const std::span<const TListColumn> columns = ListColumns();
    for (int i = 0; i < ListColumnCount(); ++i)
        if (columns[static_cast<size_t>(i)].Hideable)
            AppendMenuW(menu.get(), MF_STRING | (ColumnShown(i) ? MF_CHECKED : MF_UNCHECKED),
                        static_cast<UINT_PTR>(i + 1), columns[static_cast<size_t>(i)].Caption);
    if (screen.x == -1 && screen.y == -1) {
        RECT header{};
        GetWindowRect(FView.Header(), &header);
        screen = {header.left + 8, header.bottom};
    }
    const int chosen = static_cast<int>(TrackPopupMenu(menu.get(), TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY,
                                                      screen.x, screen.y, 0, GetParent(FView.Handle()), nullptr));
    if (chosen > 0)
        ShowColumn(chosen - 1, !ColumnShown(chosen - 1));
}

void TServiceList::LoadLayout(HKEY settings, const std::wstring& section, bool withWidths)
{
    if (withWidths)
        ApplyStoredWidths(FLayout, ReadLayoutValue(settings, section, L"Columns"));
    ApplyStoredShown(FLayout, ReadLayoutValue(settings, section, L"ShownColumns"));
    ApplyStoredSort(FLayout, ReadLayoutValue(settings, section, L"Sort"));
    FInstallation.SetSort(FLayout.Sort);
    if (Attached()) {
        FShown.clear();  // the stored widths count, not those the control shows now
        ShowColumns();
    }
}

void TServiceList::SaveLayout(HKEY settings, const std::wstring& section)
{
    if (Attached())
        TakeWidths();
    FLayout.Sort = FInstallation.Sort();
    WriteLayoutValue(settings, section, L"Columns", StoredWidths(FLayout));
    WriteLayoutValue(settings, section, L"ShownColumns", StoredShown(FLayout));
    WriteLayoutValue(settings, section, L"Sort", StoredSort(FLayout.Sort));
}

void TServiceList::RedrawRow(int row) const
{
    if (Attached())
        FView.RedrawRows(row, row);
}

std::pair<int, int> TServiceList::VisibleRows() const
{
    if (!Attached())
        return {0, 0};
    // The row cut at the bottom counts as seen.
    return {FView.TopIndex(), FView.CountPerPage() + 1};
}

bool TServiceList::Notify(NMHDR* header, LRESULT& result)
{
    result = 0;
    switch (header->code) {
    case LVN_GETDISPINFOW:
        LVGetDispInfo(reinterpret_cast<NMLVDISPINFOW*>(header));
        return true;
    case LVN_ODFINDITEMW:
        result = LVFindItem(reinterpret_cast<NMLVFINDITEMW*>(header));
        return true;
    case LVN_GETINFOTIPW:
        LVInfoTip(reinterpret_cast<NMLVGETINFOTIPW*>(header));
        return true;
    case NM_CUSTOMDRAW:
        result = LVCustomDrawItem(reinterpret_cast<NMLVCUSTOMDRAW*>(header));
        return true;
    case LVN_COLUMNCLICK:
        ClickColumn(ColumnAt(reinterpret_cast<NMLISTVIEW*>(header)->iSubItem));
        return true;
    case LVN_BEGINLABELEDITW:
        result = TRUE;  // captions cannot be edited
        return true;
    default:
        return false;
    }
}

void TServiceList::LVGetDispInfo(NMLVDISPINFOW* info) const
{
    LVITEMW& item = info->item;
    const TItemData* data = FInstallation.Row(item.iItem);
    if (!data)
        return;
    if (const int column = ColumnAt(item.iSubItem); (item.mask & LVIF_TEXT) && item.pszText && item.cchTextMax > 0 &&
                                                   column >= 0) {
        const std::wstring text = FInstallation.CellText(*data, column);
        lstrcpynW(item.pszText, text.c_str(), item.cchTextMax);
    }
    if (item.mask & LVIF_IMAGE)
        item.iImage = TInstallation::ImageOf(*data);
}

int TServiceList::LVFindItem(const NMLVFINDITEMW* find) const
{
    // The control's search for a caption (typing a row's first letters, LVM_FINDITEMW): from
    // the row given on, letter case ignored, the whole caption or (LVFI_PARTIAL) its start.
    const LVFINDINFOW& what = find->lvfi;
    if (!(what.flags & (LVFI_STRING | LVFI_PARTIAL)) || !what.psz)
        return -1;
    const std::wstring wanted = what.psz;
    const int count = FInstallation.Count();
    const int start = std::clamp(find->iStart, 0, count);
    const bool wrap = (what.flags & LVFI_WRAP) != 0;
    for (int i = 0; i < count; ++i) {
        const int row = start + i;
        if (row >= count && !wrap)
            break;
        const std::wstring caption = FInstallation.CellText(*FInstallation.Row(row % count), 0);
        const std::wstring shown = (what.flags & LVFI_PARTIAL) ? caption.substr(0, wanted.size()) : caption;
        if (CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, shown.c_str(), static_cast<int>(shown.size()),
                           wanted.c_str(), static_cast<int>(wanted.size())) == CSTR_EQUAL)
            return row % count;
    }
    return -1;
}

void TServiceList::LVInfoTip(NMLVGETINFOTIPW* tip)
{
    const TItemData* data = FInstallation.Row(tip->iItem);
    if (!data || !tip->pszText || tip->cchTextMax <= 0)
        return;
    TNtService* s = data->Service;
    if (!s) {
        // A computer that does not answer: why.
        lstrcpynW(tip->pszText, FInstallation.ErrorOf(*data).c_str(), tip->cchTextMax);
        return;
    }
    if (!s->RecordRead()) {
        // The tip shows what a read found: the record is read first on its computer's worker
        // (one wait at a time; a rebuild meanwhile takes the record away, and no tip is shown).
        if (FTipReading)
            return;
        TServiceListModel& list = *data->List;
        const std::wstring machine = list.Manager().MachineName();
        const unsigned generation = list.Generation();
        FTipReading = true;
        const bool read = list.ReadRecords({s}, false);
        FTipReading = false;
        // The computer may have left the installation meanwhile.
        if (!read || FInstallation.FindComputer(machine) != &list || generation != list.Generation())
            return;
    }
    std::wstring text = L"Name: " + s->ServiceName() + L"\r\n" + L"File: " + s->FileName() + L"\r\n" + L"Account: " +
                        s->ServiceStartName();
    // The tip replaces the list's default tip.
    lstrcpynW(tip->pszText, text.c_str(), tip->cchTextMax);
}

LRESULT TServiceList::LVCustomDrawItem(NMLVCUSTOMDRAW* draw) const
{
    switch (draw->nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
        return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT: {
        // A virtual list's rows carry no data: the row's index finds its record.
        const TItemData* data = FInstallation.Row(static_cast<int>(draw->nmcd.dwItemSpec));
        if (data && data->Service && data->Service->StartType() == sstDisabled)
            draw->clrText = RGB(0x80, 0x80, 0x80);
        return CDRF_DODEFAULT;
    }
    default:
        return CDRF_DODEFAULT;
    }
}
