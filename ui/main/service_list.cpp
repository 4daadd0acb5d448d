// The service list's view: the columns of the list control, its cells drawn from the records on
// demand, the selection kept by service, and the control's own events (info tip, grey rows of
// disabled services, the search for a caption).
#include "ui/main/service_list.h"

#include "ui/base/application.h"
#include "ui/base/busy.h"

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
    // Clicking a heading does nothing.
    FView.SetHeaderButtons(false);
    for (int i = 0; i < TServiceListModel::ColumnCount; ++i)
        FView.AddColumn(i, TServiceListModel::ColumnCaption(i), scale(TServiceListModel::ColumnWidth(i)));
    FScale = scale;
    ShowComputerColumn();
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
    const bool shown = FView.ColumnCount() > TInstallation::ComputerColumn;
    if (shown == FInstallation.Several())
        return;
    if (!shown) {
        FView.AddColumn(TInstallation::ComputerColumn, TInstallation::ComputerColumnCaption,
                        FScale ? FScale(TInstallation::ComputerColumnWidth) : TInstallation::ComputerColumnWidth);
        // Drawn first; its index stays after the service columns, whose stored widths keep theirs.
        std::vector<int> order{TInstallation::ComputerColumn};
        for (int i = 0; i < TServiceListModel::ColumnCount; ++i)
            order.push_back(i);
        FView.SetColumnOrder(order);
    } else {
        FView.DeleteColumn(TInstallation::ComputerColumn);
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
}

void TServiceList::ShowMovedRows()
{
    if (!Attached())
        return;
    // Under Wine a new count costs the list view tens of milliseconds (more when its scroll bar
    // comes or goes): one computer's rows handed over leave the others' count as it was.
    if (const int count = FInstallation.Count(); count != FView.Count())
        FView.SetItemCount(count);
    // The selection goes with its service to the service's row, wherever it is now; a service
    // whose computer no longer answers leaves it on the computer's own row.
    int row = -1;
    if (FSelected) {
        row = FInstallation.RowOfName(FSelectedMachine, FSelectedName);
        if (row < 0 && !FSelectedName.empty())
            row = FInstallation.RowOfName(FSelectedMachine, std::wstring());
    }
    if (row != FView.Selected()) {
        FView.Deselect();
        if (row >= 0) {
            FView.Select(row);
            FView.EnsureVisible(row);
        }
    }
    FSelected = false;
    FSelectedName.clear();
    FView.RedrawAll();
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
    if ((item.mask & LVIF_TEXT) && item.pszText && item.cchTextMax > 0 && item.iSubItem >= 0 &&
        item.iSubItem <= TInstallation::ComputerColumn) {
        const std::wstring text = FInstallation.CellText(*data, item.iSubItem);
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
