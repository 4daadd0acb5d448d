// The service list's rows: their columns, building them from the catalogue, applying the worker's
// results, and following pending states.
#include "ui/main/list_model.h"

#include "common/finally.h"
#include "common/text.h"
#include "erp/exe_type.h"
#include "services/let_go.h"
#include "services/sc_buffer.h"
#include "ui/base/delay.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace {
// The longest a refresh of the rows keeps the worker at re-reads (a record costs about 3 ms
// under Wine, and "all" lists thousands).
constexpr DWORD UpdateBudgetMs = 200;
// What a whole record's re-read costs the manager: open, description, configuration, close.
// A tick spends on re-reads about one call a listed row, beside its one enumeration.
constexpr int RecordReadCalls = 4;
}  // namespace

void TServiceListModel::RefreshQuietly(TNtService* service)
{
    try {
        service->Refresh();
    } catch (...) {
        // The record keeps whatever it holds now; the row shows its last values.
    }
}

const wchar_t* TServiceListModel::ColumnCaption(int column) { return ListColumns()[static_cast<size_t>(column)].Caption; }
int TServiceListModel::ColumnWidth(int column) { return ListColumns()[static_cast<size_t>(column)].Width; }
std::wstring TServiceListModel::CellText(const TNtService& service, int column)
{
    return ListColumns()[static_cast<size_t>(column)].Value(service);
}
int TServiceListModel::ImageOf(const TNtService& service) { return StateImage(service); }

TServiceListModel::TLook TServiceListModel::LookOf(const TNtService& service) const
{
    return {.Caption = service.DisplayName(),
            .Description = service.Description(),
            .State = service.ServiceState(),
            .Disabled = service.StartType() == sstDisabled,
            .StartupType = StartupTypeText(service),
            .Account = service.ServiceStartName(),
            .SortKey = FSort.Column > 0 ? CellText(service, FSort.Column) : std::wstring()};
}

bool TServiceListModel::RowBeforeRow(const TItemData& a, const TItemData& b) const
{
    return RowBefore(*a.Service, *b.Service, FSort);
}

TServiceListModel::TServiceListModel(IServiceControlManager& scm, bool showAllServices, const std::wstring& machineName,
                                     IGuiThread& gui)
    : FManager(std::make_unique<TSCManager>(machineName, SC_MANAGER_ALL_ACCESS, L"ServicesActive", scm)),
      FShowAllServices(showAllServices),
      FGui(gui),
      FMonitorSink(std::make_shared<TMonitorSink>(TMonitorSink{this}))
{
}

TServiceListModel::~TServiceListModel() { Stop(); }

void TServiceListModel::Start(std::function<void()> notify)
{
    FNotify = std::move(notify);
    FWorker = std::make_unique<TCatalogueWorker>(FManager->Scm(), FManager->MachineName(), FManager->DatabaseName());
    FWorker->SetNotify(FNotify);
}

void TServiceListModel::Stop()
{
    // Monitors that outlive the list never reach it.
    FMonitorSink->List = nullptr;
    FReadAhead.reset();
    FWorker.reset();
    FTickPending = false;
    FHiddenRows.clear();
    if (!FRows.empty()) {
        BeforeMove();
        DropRows();
        AfterMove();
    }
}

TItemData* TServiceListModel::Row(int index) const
{
    return index >= 0 && index < Count() ? FRows[static_cast<size_t>(index)].get() : nullptr;
}

int TServiceListModel::RowOf(const TNtService* service) const
{
    if (!FRowIndexValid) {
        FRowIndex.clear();
        for (int i = 0; i < Count(); ++i)
            FRowIndex.try_emplace(FRows[static_cast<size_t>(i)]->Service, i);
        FRowIndexValid = true;
    }
    auto it = FRowIndex.find(service);
    return it == FRowIndex.end() ? -1 : it->second;
}

int TServiceListModel::RowOfName(const std::wstring& serviceName) const
{
    TNtService* service = nullptr;
    return FManager->FindService(serviceName, service) ? RowOf(service) : -1;
}

bool TServiceListModel::IsListed(const TNtService& service) const
{
    return FShowAllServices || IsErpService(service.ServiceName(), service.DisplayName());
}

TSCManager::TReadFilter TServiceListModel::ReadFilter() const
{
    // With "all" the rows come from the enumeration at once, and their records after them.
    if (FShowAllServices)
        return [](const std::wstring&, const std::wstring&) { return false; };
    return [](const std::wstring& name, const std::wstring& display) { return IsErpService(name, display); };
}

void TServiceListModel::ReadAhead() noexcept
{
    try {
        FReadAhead = std::make_unique<TCatalogueReader>(*FManager, ReadFilter());
    } catch (...) {
        FReadAhead.reset();
    }
}

void TServiceListModel::ReadInBackground(std::function<void()> done)
{
    if (FReadAhead)
        return;
    FReadAhead = std::make_unique<TCatalogueReader>(*FManager, ReadFilter(), FManager->Active() ? nullptr : FManager.get(),
                                                    std::move(done));
}

void TServiceListModel::Abandon() noexcept
{
    if (FReadAhead && !FReadAhead->Done()) {
        FReadAhead->Stop();
        try {
            // The reader's thread uses the catalogue it connects until its call returns: both go
            // on a thread of their own, the reader (waiting for its thread) first. An empty
            // catalogue of the same computer stands in until the list goes.
            struct TAbandonedRead {
                std::unique_ptr<TSCManager> Connected;
                std::unique_ptr<TCatalogueReader> Reader;  // goes first
            };
            auto standIn = std::make_unique<TSCManager>(FManager->MachineName(), FManager->DesiredAccess(),
                                                        FManager->DatabaseName(), FManager->Scm());
            auto abandoned = std::make_shared<TAbandonedRead>();
            abandoned->Connected = std::exchange(FManager, std::move(standIn));
            abandoned->Reader = std::move(FReadAhead);
            LetGoAlone(std::move(abandoned));
        } catch (...) {
            // No room for it: the read is waited for as the list stops.
        }
    }
    Stop();
}

void TServiceListModel::Rebuild(bool refreshAll)
{
    if (!refreshAll) {
        HandOver(nullptr);
        return;
    }
    std::unique_ptr<TCatalogueReader> reader;
    {
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
    }
    TSCManager& read = reader->Result();
    FManager->Active(true);
    // What the worker found for the old records goes with them; its next tick gives every
    // state anew.
    if (FWorker) {
        FWorker->Restart();
        for (TWorkerResult& result : FWorker->Take())
            if (result.Kind == TWorkerResult::wrTickDone)
                ApplyResult(result);
    }
    HandOver(&read);
}

std::unordered_set<const TNtService*> TServiceListModel::UnreadRecords(const TSCManager& read)
{
    std::unordered_set<const TNtService*> unread;
    for (int i = 0; i < read.ServiceCount(); ++i)
        if (const TNtService* service = read.GetService(i); !service->RecordRead())
            unread.insert(service);
    return unread;
}

void TServiceListModel::HandOver(TSCManager* read)
{
    // The records the read left unread, to be filled in once the rows are there.
    const std::unordered_set<const TNtService*> unread = read ? UnreadRecords(*read) : std::unordered_set<const TNtService*>();
    BeforeMove();
    DropRows();
    FNextUpdateRow = 0;
    ++FGeneration;
    if (read)
        FManager->TakeRecords(*read);
    BuildRows();
    AfterMove();
    FillIn(unread);
}

void TServiceListModel::DropRows()
{
    FRows.clear();
    FHiddenRows.clear();
    FRowIndexValid = false;
}

void TServiceListModel::BuildRows()
{
    std::vector<TNtService*> listed;
    for (int i = 0; i < FManager->ServiceCount(); ++i)
        if (TNtService* service = FManager->GetService(i); IsListed(*service))
            listed.push_back(service);
    FRows.reserve(listed.size());
    for (TNtService* service : listed) {
        auto item = std::make_unique<TItemData>(TItemData{.Service = service, .List = this});
        // A monitor still following the service goes on with the new row. One that ended while
        // the list was read has reported already: the read's pending state is stale.
        if (TServiceMonitor* running = RunningMonitorOf(service->ServiceName()))
            item->Monitor = running;
        else if (IsPendingState(service->ServiceState()) &&
                 !FEndedDuringRead.contains(AsciiLower(service->ServiceName())))
            StartMonitor(item.get(), PendingControl(service->ServiceState()));
        (RowHoldsText(*service, FFilter) ? FRows : FHiddenRows).push_back(std::move(item));
    }
    // Rows equal in every key keep the catalogue's order.
    std::stable_sort(FRows.begin(), FRows.end(), [this](const auto& a, const auto& b) { return RowBeforeRow(*a, *b); });
    FRowIndexValid = false;
}

void TServiceListModel::SetSort(const TListSort& sort)
{
    if (sort == FSort || sort.Column < 0 || sort.Column >= ColumnCount)
        return;
    FSort = sort;
    SortRows();
}

void TServiceListModel::SetFilter(const std::wstring& text)
{
    if (text == FFilter)
        return;
    FFilter = text;
    Refilter();
}

void TServiceListModel::Refilter()
{
    BeforeMove();
    std::vector<std::unique_ptr<TItemData>> rows;
    rows.reserve(FRows.size() + FHiddenRows.size());
    std::move(FRows.begin(), FRows.end(), std::back_inserter(rows));
    std::move(FHiddenRows.begin(), FHiddenRows.end(), std::back_inserter(rows));
    FRows.clear();
    FHiddenRows.clear();
    for (auto& row : rows)
        (RowHoldsText(*row->Service, FFilter) ? FRows : FHiddenRows).push_back(std::move(row));
    std::stable_sort(FRows.begin(), FRows.end(), [this](const auto& a, const auto& b) { return RowBeforeRow(*a, *b); });
    FRowIndexValid = false;
    AfterMove();
    // Rows that show now may have records the rebuild left unread: those in view come first.
    std::unordered_set<const TNtService*> unread;
    for (const auto& row : FRows)
        if (!row->Service->RecordRead())
            unread.insert(row->Service);
    FillIn(unread);
}

void TServiceListModel::FillIn(const std::unordered_set<const TNtService*>& unread)
{
    if (!FWorker || unread.empty())
        return;
    const int count = Count();
    const auto [first, shown] = RowsInView();
    const int top = std::clamp(first, 0, count);
    const int bottom = std::min(count, top + std::max(1, shown));
    std::vector<std::wstring> names;
    auto add = [&](int row) {
        if (const TNtService* service = FRows[static_cast<size_t>(row)]->Service; unread.contains(service))
            names.push_back(service->ServiceName());
    };
    for (int row = top; row < bottom; ++row)
        add(row);
    for (int row = 0; row < count; ++row)
        if (row < top || row >= bottom)
            add(row);
    FWorker->Read(std::move(names), false);
}

void TServiceListModel::Update()
{
    if (!FWorker)
        return;
    const int count = Count();
    // Records still to be filled in of rows the user scrolled into view come next.
    const auto [first, shown] = RowsInView();
    std::vector<std::wstring> inView;
    for (int row = std::max(0, first); row < std::min(count, first + shown); ++row)
        if (const TNtService* service = FRows[static_cast<size_t>(row)]->Service; !service->RecordRead())
            inView.push_back(service->ServiceName());
    if (!inView.empty())
        FWorker->Prefer(inView);
    if (FTickPending)
        return;
    // The rows to re-read whole, from where the last tick stopped, as far as the calls allowed
    // this tick reach (a short list re-reads a record every few ticks); none while records are
    // still being filled in, which are read anyway.
    const bool filling = FWorker->Filling();
    // What a tick leaves unspent of its calls carries over (less than a record's, unless the
    // time budget cut the tick short), so that ticks spend about a call a row on average.
    FReadCredit = std::min(FReadCredit, std::max(count, RecordReadCalls)) + (filling ? 0 : count);
    const int records = filling ? 0 : std::min(count, FReadCredit / RecordReadCalls);
    std::vector<std::wstring> names;
    const int start = FNextUpdateRow < count ? FNextUpdateRow : 0;
    for (int i = 0; i < records; ++i)
        names.push_back(FRows[static_cast<size_t>((start + i) % count)]->Service->ServiceName());
    FReadCredit -= static_cast<int>(names.size()) * RecordReadCalls;
    FTickStartRow = start;
    FTickRecords = static_cast<int>(names.size());
    FTickGeneration = FGeneration;
    FTickTicket = FWorker->Tick(std::move(names), records, UpdateBudgetMs);
    FTickPending = true;
}

std::optional<unsigned> TServiceListModel::PendingTick() const
{
    return FTickPending ? std::optional<unsigned>(FTickTicket) : std::nullopt;
}

bool TServiceListModel::WaitForWorker(unsigned ticket)
{
    // The list may stop meanwhile (its window closed by a nested loop): nothing waits then.
    while (FWorker && !FWorker->Done(ticket))
        if (!WaitWithMessages(FWorker->DoneEvent()) && FWorker && !FWorker->Done(ticket))
            return false;
    if (!FWorker)
        return false;
    TakeResults();
    return true;
}

void TServiceListModel::TakeResults()
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
                if (!FManager->FindService(listed.Name, service))
                    continue;
                const TLook before = LookOf(*service);
                if (service->ApplyListed(listed.DisplayName, listed.Status))
                    sort = RowShows(service, before) || sort;
            }
        } else if (result.Kind == TWorkerResult::wrRecord) {
            TNtService* service = nullptr;
            if (!FManager->FindService(result.Record.ServiceName, service))
                continue;
            const TLook before = LookOf(*service);
            // A read that failed leaves the record (and its row) as it was.
            service->ApplyRecord(result.Record);
            sort = RowShows(service, before) || sort;
        } else {
            ApplyResult(result);
        }
    }
    if (sort)
        SortRows();
}

void TServiceListModel::ApplyResult(TWorkerResult& result)
{
    if (result.Kind == TWorkerResult::wrTickDone) {
        if (!FTickPending || result.Ticket != FTickTicket)
            return;
        FTickPending = false;
        TickEnded(result.Error);
        FLastReread = result.Reread;
        // The calls not spent come back to the next tick.
        FReadCredit += (FTickRecords - result.Reread) * RecordReadCalls;
        const int count = Count();
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

bool TServiceListModel::RowShows(const TNtService* service, const TLook& before)
{
    const int row = RowOf(service);
    if (row < 0)
        return false;
    const TLook after = LookOf(*service);
    if (after == before)
        return false;
    // A changed start type only greys the row or not: it counts as no change of texts.
    if (after.Caption != before.Caption || after.Description != before.Description || after.State != before.State)
        ++FRowsPainted;
    if (FView.RowChanged)
        FView.RowChanged(row);
    return after.Caption != before.Caption || after.SortKey != before.SortKey;
}

void TServiceListModel::PaintService(const TNtService* service)
{
    const int row = RowOf(service);
    if (row < 0)
        return;
    if (FView.RowChanged)
        FView.RowChanged(row);
    // A change made here moves the row when it no longer stands between its neighbours.
    const TItemData* current = Row(row);
    const TItemData* previous = Row(row - 1);
    const TItemData* next = Row(row + 1);
    if ((previous && RowBeforeRow(*current, *previous)) || (next && RowBeforeRow(*next, *current)))
        SortRows();
}

void TServiceListModel::SortRows()
{
    BeforeMove();
    std::stable_sort(FRows.begin(), FRows.end(), [this](const auto& a, const auto& b) { return RowBeforeRow(*a, *b); });
    FRowIndexValid = false;
    AfterMove();
}

void TServiceListModel::BeforeMove()
{
    if (FView.BeforeMove)
        FView.BeforeMove();
}

void TServiceListModel::AfterMove()
{
    if (FView.AfterMove)
        FView.AfterMove();
}

std::pair<int, int> TServiceListModel::RowsInView() const
{
    return FView.RowsInView ? FView.RowsInView() : std::pair<int, int>{0, 0};
}

bool TServiceListModel::ReadRecords(const std::vector<TNtService*>& services, bool fresh)
{
    std::vector<std::wstring> names;
    for (TNtService* service : services)
        if (fresh || !service->RecordRead())
            names.push_back(service->ServiceName());
    if (names.empty())
        return true;
    if (!FWorker) {
        // The list has not started: nothing else reads for it.
        for (TNtService* service : services)
            RefreshQuietly(service);
        return true;
    }
    return WaitForWorker(FWorker->Read(names, true));
}

bool TServiceListModel::ReadDependants(TNtService* service)
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

// Following pending states: every row found pending by a rebuild, and every service a command
// starts, stops, pauses or resumes, is followed by a monitor thread until it settles. A rebuild
// hands a monitor still running to its service's new row: one monitor at most follows a service,
// and its failure is reported once.

void TServiceListModel::StartMonitor(TItemData* data, TServiceControl operation)
{
    const TControlInfo info = ControlInfo(operation);
    // The monitor reaches this list only through the sink, which the list's end cuts.
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
        FManager->Scm(), FGui, FManager->MachineName());
    FMonitors.push_back(data->Monitor);
}

void TServiceListModel::StopFollowing(const std::wstring& serviceName)
{
    TServiceMonitor* monitor = RunningMonitorOf(serviceName);
    if (!monitor)
        return;
    monitor->DropHandlers();  // it runs to its end and frees itself
    ForgetMonitor(monitor);
}

TServiceMonitor* TServiceListModel::RunningMonitorOf(const std::wstring& serviceName) const
{
    for (TServiceMonitor* monitor : FMonitors)
        if (monitor->SvcName() == serviceName)
            return monitor;
    return nullptr;
}

void TServiceListModel::MonitorNotify(const std::wstring& serviceName, const std::wstring& message)
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

void TServiceListModel::MonitorTerminated(TServiceMonitor* sender)
{
    if (FReading)
        FEndedDuringRead.insert(AsciiLower(sender->SvcName()));
    ForgetMonitor(sender);
}

void TServiceListModel::ForgetMonitor(TServiceMonitor* monitor)
{
    std::erase(FMonitors, monitor);
    for (const auto* rows : {&FRows, &FHiddenRows})
        for (const auto& row : *rows)
            if (row->Monitor == monitor)
                row->Monitor = nullptr;
}

void TServiceListModel::CutMonitors()
{
    FMonitorSink->List = nullptr;
    FMonitorSink = std::make_shared<TMonitorSink>(TMonitorSink{this});
    FMonitors.clear();
    FEndedDuringRead.clear();
}
