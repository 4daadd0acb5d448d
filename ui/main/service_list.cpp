// The service list: rebuilding it from the catalogue, refreshing its rows, and the list's
// own events (deletion, info tip, grey rows of disabled services).
#include "ui/main/form_main.h"

#include "common/finally.h"
#include "common/text.h"
#include "ui/base/busy.h"

#include <algorithm>
#include <vector>

namespace {
// The longest a refresh of the rows keeps the window from answering (a record costs about
// 3 ms under Wine, and "all" lists thousands).
constexpr DWORD UpdateBudgetMs = 200;

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

const TStateLook& LookOf(const TNtService* service)
{
    size_t state = static_cast<size_t>(service->ServiceState());
    return StateLooks[state < std::size(StateLooks) ? state : 0];
}

bool IsListed(const TNtService* service, bool showAllServices)
{
    if (showAllServices)
        return true;
    const std::wstring& display = service->DisplayName();
    const std::wstring& name = service->ServiceName();
    return PosText(L"talvora32", display, 1) == 1 || PosText(L"talvora erp", display, 1) == 1 ||
           PosText(L"asany", name, 1) == 1 || PosText(L"sqlany", name, 1) == 1;
}

int CompareCaptions(const std::wstring& a, const std::wstring& b) { return lstrcmpW(a.c_str(), b.c_str()); }

int CALLBACK CompareRows(LPARAM a, LPARAM b, LPARAM) noexcept
{
    return CompareCaptions(reinterpret_cast<TItemData*>(a)->Caption, reinterpret_cast<TItemData*>(b)->Caption);
}
}  // namespace

std::wstring TFormMain::GetStateText(const TNtService* service) { return LookOf(service).Text; }

int TFormMain::GetStateImage(const TNtService* service) { return LookOf(service).Image; }

TItemData* TFormMain::ItemData(int index) const { return reinterpret_cast<TItemData*>(FList.Data(index)); }

TItemData* TFormMain::SelectedData() const
{
    int index = FList.Selected();
    return index < 0 ? nullptr : ItemData(index);
}

void TFormMain::RebuildItems(bool refreshAll)
{
    TBusyCursor busy;
    FItemsBuilding = true;
    FList.SetRedraw(false);
    TFinally done([this] {
        FList.SetRedraw(true);
        FItemsBuilding = false;
    });
    int selected = FList.Selected();
    std::wstring selectedCaption = selected >= 0 ? FList.Text(selected) : std::wstring();
    DeleteRows();
    FNextUpdateRow = 0;
    FManager->Refresh(refreshAll);
    // The listed records in the rows' order (equal captions in the catalogue's order), so
    // that every row is appended: no search through the rows, no row moved.
    std::vector<TNtService*> listed;
    for (int i = 0; i < FManager->ServiceCount(); ++i)
        if (TNtService* service = FManager->GetService(i); IsListed(service, FShowAllServices))
            listed.push_back(service);
    std::stable_sort(listed.begin(), listed.end(), [](const TNtService* a, const TNtService* b) {
        return CompareCaptions(a->DisplayName(), b->DisplayName()) < 0;
    });
    int rowCount = 0;
    for (TNtService* service : listed) {
        auto data = std::make_unique<TItemData>();
        data->Service = service;
        data->Caption = service->DisplayName();
        data->StateText = GetStateText(service);
        data->Description = service->Description();
        data->Image = GetStateImage(service);
        int row = FList.Insert(rowCount, data->Caption, data->Image, reinterpret_cast<LPARAM>(data.get()));
        if (row < 0)
            continue;
        ++rowCount;
        TItemData* item = data.release();  // the row owns it now; LVDeletion frees it
        FList.SetText(row, 1, item->StateText);
        FList.SetText(row, 2, item->Description);
        // A monitor still following the service goes on with the new row.
        if (TServiceMonitor* running = RunningMonitorOf(service->ServiceName()))
            item->Monitor = running;
        else if (IsPendingState(service->ServiceState()))
            StartMonitor(item, PendingControl(service->ServiceState()));
    }
    if (!selectedCaption.empty()) {
        int found = FList.FindCaption(selectedCaption);
        if (found >= 0) {
            FList.Select(found);
            FList.EnsureVisible(found);
        }
    }
}

int TFormMain::UpdateItems()
{
    if (FItemsBuilding)
        return 0;
    // Each record has one row, so the row at an index is the row FindItemByService would find.
    // At most one pass, from where the previous call stopped, and no longer than the budget.
    const int count = FList.Count();
    const DWORD start = GetTickCount();
    int row = FNextUpdateRow < count ? FNextUpdateRow : 0;
    int done = 0;
    for (; done < count && row < FList.Count(); ++done) {
        if (done > 0 && GetTickCount() - start >= UpdateBudgetMs)
            break;
        UpdateRow(row);
        row = (row + 1) % count;
    }
    FNextUpdateRow = row;
    return done;
}

void TFormMain::UpdateItem(TNtService* service)
{
    if (FItemsBuilding)
        return;
    RefreshService(service);
    PaintItem(service);
}

void TFormMain::UpdateRow(int index)
{
    if (TItemData* data = ItemData(index)) {
        RefreshService(data->Service);
        PaintRow(index);
    }
}

void TFormMain::PaintItem(const TNtService* service)
{
    if (FItemsBuilding)
        return;
    int index = FindItemByService(service);
    if (index >= 0)
        PaintRow(index);
}

void TFormMain::PaintRow(int index)
{
    TItemData* data = ItemData(index);
    if (!data)
        return;
    const TNtService* service = data->Service;
    std::wstring stateText = GetStateText(service);
    int image = GetStateImage(service);
    if (stateText != data->StateText) {
        data->StateText = stateText;
        FList.SetText(index, 1, stateText);
    }
    if (service->Description() != data->Description) {
        data->Description = service->Description();
        FList.SetText(index, 2, data->Description);
    }
    if (image != data->Image) {
        data->Image = image;
        FList.SetImage(index, image);
    }
    if (service->DisplayName() != data->Caption) {
        data->Caption = service->DisplayName();
        FList.SetText(index, 0, data->Caption);
        SortItems();
    }
}

void TFormMain::SortItems() { ListView_SortItems(FList.Handle(), &CompareRows, 0); }

template <typename Match>
int TFormMain::FindItem(Match match) const
{
    const int count = FList.Count();
    for (int i = 0; i < count; ++i)
        if (TItemData* data = ItemData(i); data && match(*data))
            return i;
    return -1;
}

int TFormMain::FindItemByService(const TNtService* service) const
{
    return FindItem([service](const TItemData& data) { return data.Service == service; });
}

int TFormMain::FindItemByMonitor(const TServiceMonitor* monitor) const
{
    return FindItem([monitor](const TItemData& data) { return data.Monitor == monitor; });
}

void TFormMain::RefreshService(TNtService* service)
{
    try {
        service->Refresh();
    } catch (...) {
        // The record keeps whatever it holds now; the row shows its last values.
    }
}

void TFormMain::DeleteRows()
{
    FDeletingRows = true;
    FList.DeleteAll();
    FDeletingRows = false;
}

void TFormMain::LVDeletion(int index, LPARAM data)
{
    delete reinterpret_cast<TItemData*>(data);
    // A row deleted on its own is cleared, so that nothing reads the freed data before the
    // control drops it. Deleting all rows, the control drops each right after its notice, and
    // clearing it would cost a change of the row with its two notices, for every row.
    if (!FDeletingRows && index >= 0 && FList.Handle())
        FList.SetData(index, 0);
}

void TFormMain::LVInfoTip(NMLVGETINFOTIPW* tip)
{
    TItemData* data = ItemData(tip->iItem);
    if (!data || !tip->pszText || tip->cchTextMax <= 0)
        return;
    const TNtService* s = data->Service;
    std::wstring text = L"Name: " + s->ServiceName() + L"\r\n" + L"File: " + s->FileName() + L"\r\n" + L"Account: " +
                        s->ServiceStartName();
    // The tip replaces the list's default tip.
    lstrcpynW(tip->pszText, text.c_str(), tip->cchTextMax);
}

LRESULT TFormMain::LVCustomDrawItem(NMLVCUSTOMDRAW* draw)
{
    switch (draw->nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
        return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT: {
        auto* data = reinterpret_cast<TItemData*>(draw->nmcd.lItemlParam);
        if (data && data->Service && data->Service->StartType() == sstDisabled)
            draw->clrText = RGB(0x80, 0x80, 0x80);
        return CDRF_DODEFAULT;
    }
    default:
        return CDRF_DODEFAULT;
    }
}
