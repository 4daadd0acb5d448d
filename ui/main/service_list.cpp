// The service list: its columns, rebuilding it from the catalogue, refreshing its rows, and the
// list control's own events (deletion, info tip, grey rows of disabled services).
#include "ui/main/service_list.h"

#include "common/finally.h"
#include "common/text.h"
#include "erp/exe_type.h"
#include "services/catalogue_reader.h"
#include "services/sc_buffer.h"
#include "ui/base/application.h"
#include "ui/base/busy.h"
#include "ui/base/delay.h"
#include "ui/main/images.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace {
// The longest a refresh of the rows keeps the window from answering (a record costs about
// 3 ms under Wine, and "all" lists thousands).
constexpr DWORD UpdateBudgetMs = 200;
// What a whole record's re-read costs the manager: open, description, configuration, close.
// A tick spends on re-reads about one call a listed row, beside its one enumeration.
constexpr int RecordReadCalls = 4;

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
    FWorker = std::make_unique<TCatalogueWorker>(FManager->Scm(), FManager->MachineName(), FManager->DatabaseName());
    // The results wait in the worker; a message to the window announces them.
    FWorker->SetNotify([window = GetParent(listView)] { PostMessageW(window, ResultsMessage, 0, 0); });
}

void TServiceList::Detach()
{
    // Monitors that outlive the list never reach it.
    FMonitorSink->List = nullptr;
    FReadAhead.reset();
    FWorker.reset();
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

TSCManager::TReadFilter TServiceList::ReadFilter() const
{
    // With "all" the rows come from the enumeration at once, and their records after them.
    if (FShowAllServices)
        return [](const std::wstring&, const std::wstring&) { return false; };
    return [](const std::wstring& name, const std::wstring& display) { return IsErpService(name, display); };
}

void TServiceList::Rebuild(bool refreshAll)
{
    TBusyCursor busy;
    std::unique_ptr<TCatalogueReader> reader;
    TSCManager* read = nullptr;
    if (refreshAll) {
        // The old rows stay, and go on being refreshed, until the new records are there.
        FReading = true;
        FEndedDuringRead.clear();
        TFinally readingDone([this] { FReading = false; });
        // A catalogue without a connection (its first read, or one found lost) gets its new one
        // on the reader's thread too.
        reader = FReadAhead ? std::move(FReadAhead)
                            : std::make_unique<TCatalogueReader>(*FManager, ReadFilter(),
                                                                 FManager->Active() ? nullptr : FManager.get());
        if (!WaitWithMessages(reader->DoneEvent()))
            return;  // the application is terminating: the read is dropped
        read = &reader->Result();
        FManager->Active(true);
    }
    // The records the read left unread, to be filled in once the rows are there.
    const std::unordered_set<const TNtService*> unread = read ? UnreadRecords(*read) : std::unordered_set<const TNtService*>();

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
    // What the worker found for the old records goes with them; its next tick gives every
    // state anew.
    if (FWorker) {
        FWorker->Restart();
        for (TWorkerResult& result : FWorker->Take())
            if (result.Kind == TWorkerResult::wrTickDone)
                ApplyResult(result);
    }
    DeleteRows();
    FNextUpdateRow = 0;
    ++FGeneration;
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
    FillIn(unread);
}

std::unordered_set<const TNtService*> TServiceList::UnreadRecords(const TSCManager& read)
{
    std::unordered_set<const TNtService*> unread;
    for (int i = 0; i < read.ServiceCount(); ++i)
        if (const TNtService* service = read.GetService(i); !service->RecordRead())
            unread.insert(service);
    return unread;
}

void TServiceList::FillIn(const std::unordered_set<const TNtService*>& unread)
{
    if (!FWorker || unread.empty())
        return;
    const int count = FView.Count();
    const int top = std::clamp(ListView_GetTopIndex(FView.Handle()), 0, count);
    const int inView = std::max(1, ListView_GetCountPerPage(FView.Handle()) + 1);
    std::vector<std::wstring> names;
    auto add = [&](int row) {
        if (TItemData* data = ItemData(row); data && unread.contains(data->Service))
            names.push_back(data->Service->ServiceName());
    };
    for (int row = top; row < std::min(count, top + inView); ++row)
        add(row);
    for (int row = 0; row < count; ++row)
        if (row < top || row >= top + inView)
            add(row);
    FWorker->Read(names, false);
}

void TServiceList::ReadAhead() noexcept
{
    try {
        FReadAhead = std::make_unique<TCatalogueReader>(*FManager, ReadFilter());
    } catch (...) {
        FReadAhead.reset();
    }
}

void TServiceList::BuildRows()
{
    FRowIndexValid = false;
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
        // A monitor still following the service goes on with the new row. One that ended while
        // the list was read has reported already: the read's pending state is stale.
        if (TServiceMonitor* running = RunningMonitorOf(service->ServiceName()))
            item->Monitor = running;
        else if (IsPendingState(service->ServiceState()) &&
                 !FEndedDuringRead.contains(AsciiLower(service->ServiceName())))
            StartMonitor(item, PendingControl(service->ServiceState()));
    }
}

void TServiceList::Update()
{
    if (!FWorker)
        return;
    // Records still to be filled in of rows the user scrolled into view come next.
    std::vector<std::wstring> inView;
    const int top = ListView_GetTopIndex(FView.Handle());
    const int bottom = std::min(FView.Count(), top + ListView_GetCountPerPage(FView.Handle()) + 1);
    for (int row = std::max(0, top); row < bottom; ++row)
        if (TItemData* data = ItemData(row); data && !data->Service->RecordRead())
            inView.push_back(data->Service->ServiceName());
    if (!inView.empty())
        FWorker->Prefer(inView);
    if (FTickPending)
        return;
    // The rows to re-read whole, from where the last tick stopped, as far as the calls allowed
    // this tick reach (a short list re-reads a record every few ticks); none while records are
    // still being filled in, which are read anyway.
    const int count = FView.Count();
    const bool filling = FWorker->Filling();
    // What a tick leaves unspent of its calls carries over (less than a record's, unless the
    // time budget cut the tick short), so that ticks spend about a call a row on average.
    FReadCredit = std::min(FReadCredit, std::max(count, RecordReadCalls)) + (filling ? 0 : count);
    const int records = filling ? 0 : std::min(count, FReadCredit / RecordReadCalls);
    std::vector<std::wstring> names;
    const int start = FNextUpdateRow < count ? FNextUpdateRow : 0;
    for (int i = 0; i < records; ++i)
        if (TItemData* data = ItemData((start + i) % count))
            names.push_back(data->Service->ServiceName());
    FReadCredit -= static_cast<int>(names.size()) * RecordReadCalls;
    FTickStartRow = start;
    FTickRecords = static_cast<int>(names.size());
    FTickGeneration = FGeneration;
    FTickTicket = FWorker->Tick(std::move(names), records, UpdateBudgetMs);
    FTickPending = true;
}

int TServiceList::UpdateNow()
{
    if (!FWorker)
        return 0;
    // A tick under way ends first: this one starts after it.
    if (FTickPending && !WaitForWorker(FTickTicket))
        return 0;
    Update();
    if (!FTickPending || !WaitForWorker(FTickTicket))
        return 0;
    return FLastReread;
}

bool TServiceList::WaitForWorker(unsigned ticket)
{
    // The list may end meanwhile (its window closed by a nested loop): nothing waits then.
    while (FWorker && !FWorker->Done(ticket))
        if (!WaitWithMessages(FWorker->DoneEvent()) && FWorker && !FWorker->Done(ticket))
            return false;
    if (!FWorker)
        return false;
    TakeResults();
    return true;
}

void TServiceList::TakeResults()
{
    if (!FWorker)
        return;
    std::vector<TWorkerResult> results = FWorker->Take();
    bool sort = false;
    for (TWorkerResult& result : results) {
        if (result.Kind == TWorkerResult::wrStatuses) {
            // Only what changed comes: the work here follows the rows that changed.
            for (const TListedStatus& listed : result.Statuses) {
                TNtService* service = nullptr;
                if (FManager->FindService(listed.Name, service) && service->ApplyListed(listed.DisplayName, listed.Status))
                    sort = RepaintRecord(service, service->StartType() == sstDisabled) || sort;
            }
        } else if (result.Kind == TWorkerResult::wrRecord) {
            TNtService* service = nullptr;
            if (!FManager->FindService(result.Record.ServiceName, service))
                continue;
            const bool disabledBefore = service->StartType() == sstDisabled;
            // A read that failed leaves the record (and its row) as it was.
            service->ApplyRecord(result.Record);
            ++FRecordsApplied;
            sort = RepaintRecord(service, disabledBefore) || sort;
        } else {
            ApplyResult(result);
        }
    }
    if (sort)
        SortItems();
}

void TServiceList::ApplyResult(TWorkerResult& result)
{
    if (result.Kind == TWorkerResult::wrTickDone) {
        if (result.Ticket != FTickTicket)
            return;
        FTickPending = false;
        TickEnded(result.Error);
        FLastReread = result.Reread;
        // The calls not spent come back to the next tick.
        FReadCredit += (FTickRecords - result.Reread) * RecordReadCalls;
        const int count = FView.Count();
        if (FTickGeneration == FGeneration && count > 0)
            FNextUpdateRow = (FTickStartRow + result.Reread) % count;
    } else if (result.Kind == TWorkerResult::wrDependants) {
        TNtService* service = nullptr;
        if (result.Error) {
            FDependantsErrors[result.Ticket] = result.Error;
        } else if (FManager->FindService(result.ServiceName, service)) {
            std::vector<TNtService*> dependants;
            for (const std::wstring& name : result.Names)
                if (TNtService* dependant = nullptr; FManager->FindService(name, dependant))
                    dependants.push_back(dependant);
            service->SetDependentBy(std::move(dependants));
        }
    }
}

bool TServiceList::RepaintRecord(const TNtService* service, bool disabledBefore)
{
    if (FItemsBuilding)
        return false;
    const int row = RowOf(service);
    if (row < 0)
        return false;
    const bool captionChanged = PaintRow(row);
    // Grey or not is drawn from the record: a changed start type redraws the row.
    if ((service->StartType() == sstDisabled) != disabledBefore)
        ListView_RedrawItems(FView.Handle(), row, row);
    return captionChanged;
}

int TServiceList::RowOf(const TNtService* service)
{
    if (FRowIndexValid) {
        auto it = FRowIndex.find(service);
        if (it == FRowIndex.end())
            return -1;
        if (TItemData* data = ItemData(it->second); data && data->Service == service)
            return it->second;
    }
    FRowIndex.clear();
    const int count = FView.Count();
    for (int i = 0; i < count; ++i)
        if (TItemData* data = ItemData(i))
            FRowIndex.try_emplace(data->Service, i);
    FRowIndexValid = true;
    auto it = FRowIndex.find(service);
    return it == FRowIndex.end() ? -1 : it->second;
}

bool TServiceList::ReadRecords(const std::vector<TNtService*>& services, bool fresh)
{
    std::vector<std::wstring> names;
    for (TNtService* service : services)
        if (fresh || !service->RecordRead())
            names.push_back(service->ServiceName());
    if (names.empty())
        return true;
    if (!FWorker) {
        for (TNtService* service : services)
            RefreshService(service);
        return true;
    }
    return WaitForWorker(FWorker->Read(names, true));
}

bool TServiceList::ReadDependants(TNtService* service)
{
    if (!FWorker) {
        service->DependentByServiceCount();
        return true;
    }
    const unsigned ticket = FWorker->Dependants(service->ServiceName());
    if (!WaitForWorker(ticket))
        return false;
    if (auto error = FDependantsErrors.find(ticket); error != FDependantsErrors.end()) {
        std::exception_ptr raised = error->second;
        FDependantsErrors.erase(error);
        std::rethrow_exception(raised);
    }
    return true;
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
        if (PaintRow(index))
            SortItems();
    }
}

void TServiceList::PaintService(const TNtService* service)
{
    if (FItemsBuilding)
        return;
    int index = RowOf(service);
    if (index >= 0 && PaintRow(index))
        SortItems();
}

bool TServiceList::PaintRow(int index)
{
    TItemData* data = ItemData(index);
    if (!data)
        return false;
    const TNtService& service = *data->Service;
    bool changed = false;
    for (int column = 1; column < ColumnCount; ++column) {
        std::wstring text = Columns[column].Value(service);
        std::wstring& shown = data->Texts[static_cast<size_t>(column)];
        if (text != shown) {
            shown = std::move(text);
            FView.SetText(index, column, shown);
            changed = true;
        }
    }
    if (int image = LookOf(service).Image; image != data->Image) {
        data->Image = image;
        FView.SetImage(index, image);
        changed = true;
    }
    bool captionChanged = false;
    if (std::wstring caption = Columns[0].Value(service); caption != data->Texts[0]) {
        data->Texts[0] = std::move(caption);
        FView.SetText(index, 0, data->Texts[0]);
        changed = captionChanged = true;
    }
    if (changed)
        ++FRowsPainted;
    return captionChanged;
}

void TServiceList::SortItems()
{
    ListView_SortItems(FView.Handle(), &CompareRows, 0);
    FRowIndexValid = false;
}

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
    FRowIndexValid = false;
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
    TNtService* s = data->Service;
    if (!s->RecordRead()) {
        // The tip shows what a read found: the record is read first (one wait at a time; a
        // rebuild meanwhile takes the record away, and no tip is shown).
        if (FTipReading)
            return;
        const unsigned generation = FGeneration;
        FTipReading = true;
        const bool read = ReadRecords({s}, false);
        FTipReading = false;
        if (!read || generation != FGeneration)
            return;
    }
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

// Following pending states: every row found pending by a rebuild, and every service a command
// starts, stops, pauses or resumes, is followed by a monitor thread until it settles. A rebuild
// hands a monitor still running to its service's new row: one monitor at most follows a service,
// and its failure is reported once.

void TServiceList::StartMonitor(TItemData* data, TServiceControl operation)
{
    const TControlInfo info = ControlInfo(operation);
    // The monitor reaches this list only through the sink, which the window's end cuts.
    std::shared_ptr<TMonitorSink> sink = FMonitorSink;
    data->Monitor = new TServiceMonitor(
        data->Service->ServiceName(), info.Operation, info.FinalState,
        [sink, name = data->Service->ServiceName()](const std::wstring& message) {
            if (sink->List)
                sink->List->MonitorNotify(name, message);
        },
        [sink](TServiceMonitor* sender) {
            if (sink->List)
                sink->List->MonitorTerminated(sender);
        },
        FManager->Scm(), Application(), FManager->MachineName());
    FMonitors.push_back(data->Monitor);
}

TServiceMonitor* TServiceList::RunningMonitorOf(const std::wstring& serviceName) const
{
    for (TServiceMonitor* monitor : FMonitors)
        if (monitor->SvcName() == serviceName)
            return monitor;
    return nullptr;
}

void TServiceList::MonitorNotify(const std::wstring& serviceName, const std::wstring& message)
{
    // The followed service's own record first, read on the worker: with thousands of rows a
    // refresh of the list keeps to its time budget and may not reach it.
    TNtService* service = nullptr;
    if (FWorker && FManager->FindService(serviceName, service))
        FWorker->Read({serviceName}, true);
    Update();
    if (!message.empty() && OnMonitorFailure)
        OnMonitorFailure(message);
}

void TServiceList::MonitorTerminated(TServiceMonitor* sender)
{
    std::erase(FMonitors, sender);
    if (FReading)
        FEndedDuringRead.insert(AsciiLower(sender->SvcName()));
    int index = FindItemByMonitor(sender);
    if (index >= 0)
        ItemData(index)->Monitor = nullptr;
}
