// The service list's view: the columns of the list control, its cells drawn from the records on
// demand, the selection kept by service, and the control's own events (info tip, grey rows of
// disabled services, the search for a caption).
#include "ui/main/service_list.h"

#include "ui/base/application.h"
#include "ui/base/busy.h"

#include <algorithm>

TServiceList::TServiceList(IServiceControlManager& scm, bool showAllServices, const std::wstring& machineName)
    : FModel(scm, showAllServices, machineName, Application())
{
    FModel.SetView({.BeforeMove = [this] { KeepSelection(); },
                    .AfterMove = [this] { ShowMovedRows(); },
                    .RowChanged = [this](int row) { RedrawRow(row); },
                    .RowsInView = [this] { return VisibleRows(); }});
    FModel.OnMonitorFailure = [this](const std::wstring& message) {
        if (OnMonitorFailure)
            OnMonitorFailure(message);
    };
    FModel.OnConnectionLost = [this](const std::wstring& message) {
        if (OnConnectionLost)
            OnConnectionLost(message);
    };
}

TServiceList::~TServiceList()
{
    Detach();
    FModel.SetView({});
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
    // The results wait in the worker; a message to the window announces them.
    FModel.Start([window = GetParent(listView)] { PostMessageW(window, ResultsMessage, 0, 0); });
}

void TServiceList::Detach()
{
    FModel.Stop();
    FView = TListView();
}

void TServiceList::Rebuild(bool refreshAll)
{
    TBusyCursor busy;
    FModel.Rebuild(refreshAll);
}

bool TServiceList::Connect(const std::wstring& machineName)
{
    TBusyCursor busy;
    return FModel.Connect(machineName);
}

void TServiceList::KeepSelection()
{
    const TItemData* selected = Attached() ? SelectedData() : nullptr;
    FSelectedName = selected ? selected->Service->ServiceName() : std::wstring();
}

void TServiceList::ShowMovedRows()
{
    if (!Attached())
        return;
    FView.SetItemCount(FModel.Count());
    // The selection goes with its service to the service's row, wherever it is now.
    const int row = FSelectedName.empty() ? -1 : FModel.RowOfName(FSelectedName);
    if (row != FView.Selected()) {
        FView.Deselect();
        if (row >= 0) {
            FView.Select(row);
            FView.EnsureVisible(row);
        }
    }
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
    const TItemData* data = FModel.Row(item.iItem);
    if (!data)
        return;
    if ((item.mask & LVIF_TEXT) && item.pszText && item.cchTextMax > 0 && item.iSubItem >= 0 &&
        item.iSubItem < TServiceListModel::ColumnCount) {
        const std::wstring text = TServiceListModel::CellText(*data->Service, item.iSubItem);
        lstrcpynW(item.pszText, text.c_str(), item.cchTextMax);
    }
    if (item.mask & LVIF_IMAGE)
        item.iImage = TServiceListModel::ImageOf(*data->Service);
}

int TServiceList::LVFindItem(const NMLVFINDITEMW* find) const
{
    // The control's search for a caption (typing a row's first letters, LVM_FINDITEMW): from
    // the row given on, letter case ignored, the whole caption or (LVFI_PARTIAL) its start.
    const LVFINDINFOW& what = find->lvfi;
    if (!(what.flags & (LVFI_STRING | LVFI_PARTIAL)) || !what.psz)
        return -1;
    const std::wstring wanted = what.psz;
    const int count = FModel.Count();
    const int start = std::clamp(find->iStart, 0, count);
    const bool wrap = (what.flags & LVFI_WRAP) != 0;
    for (int i = 0; i < count; ++i) {
        const int row = start + i;
        if (row >= count && !wrap)
            break;
        const std::wstring& caption = FModel.Row(row % count)->Service->DisplayName();
        const std::wstring shown = (what.flags & LVFI_PARTIAL) ? caption.substr(0, wanted.size()) : caption;
        if (CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, shown.c_str(), static_cast<int>(shown.size()),
                           wanted.c_str(), static_cast<int>(wanted.size())) == CSTR_EQUAL)
            return row % count;
    }
    return -1;
}

void TServiceList::LVInfoTip(NMLVGETINFOTIPW* tip)
{
    const TItemData* data = FModel.Row(tip->iItem);
    if (!data || !tip->pszText || tip->cchTextMax <= 0)
        return;
    TNtService* s = data->Service;
    if (!s->RecordRead()) {
        // The tip shows what a read found: the record is read first (one wait at a time; a
        // rebuild meanwhile takes the record away, and no tip is shown).
        if (FTipReading)
            return;
        const unsigned generation = FModel.Generation();
        FTipReading = true;
        const bool read = FModel.ReadRecords({s}, false);
        FTipReading = false;
        if (!read || generation != FModel.Generation())
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
        const TItemData* data = FModel.Row(static_cast<int>(draw->nmcd.dwItemSpec));
        if (data && data->Service->StartType() == sstDisabled)
            draw->clrText = RGB(0x80, 0x80, 0x80);
        return CDRF_DODEFAULT;
    }
    default:
        return CDRF_DODEFAULT;
    }
}
