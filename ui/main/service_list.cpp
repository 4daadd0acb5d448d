// The service list: its columns, rebuilding it from the catalogue, refreshing its rows, and the
// list control's own events (deletion, info tip, grey rows of disabled services).
#include "ui/main/service_list.h"

#include "common/finally.h"
#include "common/text.h"
#include "erp/exe_type.h"
#include "services/catalogue_reader.h"
#include "ui/base/busy.h"
#include "ui/base/delay.h"
#include "ui/main/images.h"

#include <algorithm>
#include <iterator>

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

const TStateLook& LookOf(const TNtService& service)
{
    size_t state = static_cast<size_t>(service.ServiceState());
    return StateLooks[state < std::size(StateLooks) ? state : 0];
}

// The list's columns: the first is the row's caption, by which the rows are sorted.
struct TColumn {
    const wchar_t* Caption;
    int Width;
    std::wstring (*Value)(const TNtService& service);
};
const TColumn Columns[] = {
    {.Caption = L"Service Name", .Width = 200, .Value = [](const TNtService& s) { return s.DisplayName(); }},
    {.Caption = L"Status", .Width = 80, .Value = [](const TNtService& s) { return std::wstring(LookOf(s).Text); }},
    {.Caption = L"Description", .Width = 250, .Value = [](const TNtService& s) { return s.Description(); }},
};
constexpr int ColumnCount = static_cast<int>(std::size(Columns));

bool IsListed(const TNtService* service, bool showAllServices)
{
    if (showAllServices)
        return true;
    return IsErpService(service->ServiceName(), service->DisplayName());
}

int CompareCaptions(const std::wstring& a, const std::wstring& b) { return lstrcmpW(a.c_str(), b.c_str()); }

int CALLBACK CompareRows(LPARAM a, LPARAM b, LPARAM) noexcept
{
    return CompareCaptions(reinterpret_cast<TItemData*>(a)->Texts[0], reinterpret_cast<TItemData*>(b)->Texts[0]);
}
}  // namespace

TServiceList::TServiceList(IServiceControlManager& scm, bool showAllServices, const std::wstring& machineName)
    : FManager(std::make_unique<TSCManager>(machineName, SC_MANAGER_ALL_ACCESS, L"ServicesActive", scm)),
      FShowAllServices(showAllServices),
      FMonitorSink(std::make_shared<TMonitorSink>(TMonitorSink{this}))
{
}

TServiceList::~TServiceList() { Detach(); }

void TServiceList::Attach(HWND listView, HIMAGELIST images, const std::function<int(int)>& scale)
{
    FView = TListView(listView);
    ListView_SetExtendedListViewStyle(listView, LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP | LVS_EX_DOUBLEBUFFER);
    ListView_SetImageList(listView, images, LVSIL_SMALL);
    // Clicking a heading does nothing.
    HWND header = ListView_GetHeader(listView);
    SetWindowLongPtrW(header, GWL_STYLE, GetWindowLongPtrW(header, GWL_STYLE) & ~HDS_BUTTONS);
    for (int i = 0; i < ColumnCount; ++i)
        FView.AddColumn(i, Columns[i].Caption, scale(Columns[i].Width));
}

void TServiceList::Detach()
{
    // Monitors that outlive the list never reach it.
    FMonitorSink->List = nullptr;
    if (FView.Handle() && IsWindow(FView.Handle()))
        DeleteRows();
    FView = TListView();
}

TItemData* TServiceList::ItemData(int index) const { return reinterpret_cast<TItemData*>(FView.Data(index)); }

TItemData* TServiceList::SelectedData() const
{
    int index = FView.Selected();
    return index < 0 ? nullptr : ItemData(index);
}

void TServiceList::Rebuild(bool refreshAll)
{
    TBusyCursor busy;
    std::unique_ptr<TCatalogueReader> reader;
    TSCManager* read = nullptr;
    if (refreshAll) {
        // The old rows stay, and go on being refreshed, until the new records are there.
        FReading = true;
        TFinally readingDone([this] { FReading = false; });
        reader = std::make_unique<TCatalogueReader>(*FManager);
        if (!WaitWithMessages(reader->DoneEvent()))
            return;  // the application is terminating: the read is dropped
        read = &reader->Result();
        // The worker's connection, when the catalogue has none yet: no wait here.
        FManager->TakeConnection(*read);
    }

    // The hand-over: the rows go, the catalogue takes the new records, the rows are built
    // from them (in memory: the control draws once at the end).
    FItemsBuilding = true;
    FView.SetRedraw(false);
    TFinally done([this] {
        FView.SetRedraw(true);
        FItemsBuilding = false;
    });
    int selected = FView.Selected();
    std::wstring selectedCaption = selected >= 0 ? FView.Text(selected) : std::wstring();
    DeleteRows();
    FNextUpdateRow = 0;
    if (read)
        FManager->TakeRecords(*read);
    else
        FManager->Refresh(false);
    BuildRows();
    if (!selectedCaption.empty()) {
        int found = FView.FindCaption(selectedCaption);
        if (found >= 0) {
            FView.Select(found);
            FView.EnsureVisible(found);
        }
    }
}

void TServiceList::BuildRows()
{
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
        for (const TColumn& column : Columns)
            data->Texts.push_back(column.Value(*service));
        data->Image = LookOf(*service).Image;
        int row = FView.Insert(rowCount, data->Texts[0], data->Image, reinterpret_cast<LPARAM>(data.get()));
        if (row < 0)
            continue;
        ++rowCount;
        TItemData* item = data.release();  // the row owns it now; LVDeletion frees it
        for (int column = 1; column < ColumnCount; ++column)
            FView.SetText(row, column, item->Texts[static_cast<size_t>(column)]);
        // A monitor still following the service goes on with the new row.
        if (TServiceMonitor* running = RunningMonitorOf(service->ServiceName()))
            item->Monitor = running;
        else if (IsPendingState(service->ServiceState()))
            StartMonitor(item, PendingControl(service->ServiceState()));
    }
}

int TServiceList::Update()
{
    if (FItemsBuilding || FView.Count() == 0)
        return 0;
    const DWORD start = GetTickCount();
    // Every row's state from one enumeration; a service the manager no longer lists keeps
    // its row as it is, as after a failed refresh.
    try {
        if (FManager->RefreshStatuses() > 0)
            PaintStates();
    } catch (...) {
        // The rows show their last values; the whole-record refresh below tries on.
    }
    // Each record has one row, so the row at an index is the row FindItemByService would find.
    // At most one pass, from where the previous call stopped, and no longer than the budget.
    const int count = FView.Count();
    int row = FNextUpdateRow < count ? FNextUpdateRow : 0;
    int done = 0;
    for (; done < count && row < FView.Count(); ++done) {
        if (done > 0 && GetTickCount() - start >= UpdateBudgetMs)
            break;
        UpdateRow(row);
        row = (row + 1) % count;
    }
    FNextUpdateRow = row;
    return done;
}

void TServiceList::PaintStates()
{
    const int count = FView.Count();
    for (int i = 0; i < count; ++i)
        PaintRow(i);
}

void TServiceList::UpdateService(TNtService* service)
{
    if (FItemsBuilding)
        return;
    RefreshService(service);
    PaintService(service);
}

void TServiceList::UpdateRow(int index)
{
    if (TItemData* data = ItemData(index)) {
        RefreshService(data->Service);
        PaintRow(index);
    }
}

void TServiceList::PaintService(const TNtService* service)
{
    if (FItemsBuilding)
        return;
    int index = FindItemByService(service);
    if (index >= 0)
        PaintRow(index);
}

void TServiceList::PaintRow(int index)
{
    TItemData* data = ItemData(index);
    if (!data)
        return;
    const TNtService& service = *data->Service;
    for (int column = 1; column < ColumnCount; ++column) {
        std::wstring text = Columns[column].Value(service);
        std::wstring& shown = data->Texts[static_cast<size_t>(column)];
        if (text != shown) {
            shown = std::move(text);
            FView.SetText(index, column, shown);
        }
    }
    if (int image = LookOf(service).Image; image != data->Image) {
        data->Image = image;
        FView.SetImage(index, image);
    }
    if (std::wstring caption = Columns[0].Value(service); caption != data->Texts[0]) {
        data->Texts[0] = std::move(caption);
        FView.SetText(index, 0, data->Texts[0]);
        SortItems();
    }
}

void TServiceList::SortItems() { ListView_SortItems(FView.Handle(), &CompareRows, 0); }

template <typename Match>
int TServiceList::FindItem(Match match) const
{
    const int count = FView.Count();
    for (int i = 0; i < count; ++i)
        if (TItemData* data = ItemData(i); data && match(*data))
            return i;
    return -1;
}

int TServiceList::FindItemByService(const TNtService* service) const
{
    return FindItem([service](const TItemData& data) { return data.Service == service; });
}

int TServiceList::FindItemByMonitor(const TServiceMonitor* monitor) const
{
    return FindItem([monitor](const TItemData& data) { return data.Monitor == monitor; });
}

void TServiceList::RefreshService(TNtService* service)
{
    try {
        service->Refresh();
    } catch (...) {
        // The record keeps whatever it holds now; the row shows its last values.
    }
}

void TServiceList::DeleteRows()
{
    FDeletingRows = true;
    FView.DeleteAll();
    FDeletingRows = false;
}

bool TServiceList::Notify(NMHDR* header, LRESULT& result)
{
    result = 0;
    switch (header->code) {
    case LVN_DELETEITEM: {
        auto* nm = reinterpret_cast<NMLISTVIEW*>(header);
        LVDeletion(nm->iItem, nm->lParam);
        return true;
    }
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

void TServiceList::LVDeletion(int index, LPARAM data)
{
    delete reinterpret_cast<TItemData*>(data);
    // A row deleted on its own is cleared, so that nothing reads the freed data before the
    // control drops it. Deleting all rows, the control drops each right after its notice, and
    // clearing it would cost a change of the row with its two notices, for every row.
    if (!FDeletingRows && index >= 0 && FView.Handle())
        FView.SetData(index, 0);
}

void TServiceList::LVInfoTip(NMLVGETINFOTIPW* tip)
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

LRESULT TServiceList::LVCustomDrawItem(NMLVCUSTOMDRAW* draw)
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
