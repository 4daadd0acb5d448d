// The installation's computers, each a list of its own, and their rows one after the other.
#include "ui/main/installation.h"

#include "common/errors.h"
#include "common/finally.h"
#include "common/text.h"
#include "ui/main/command_ids.h"
#include "ui/main/connection.h"
#include "ui/main/installation_computers.h"

#include <algorithm>

namespace {
// The reason as one line, for the row's description.
std::wstring OneLine(const std::wstring& text)
{
    std::wstring line;
    for (wchar_t c : text) {
        if (c == L'\r' || c == L'\n') {
            if (!line.empty() && line.back() != L' ')
                line += L' ';
        } else {
            line += c;
        }
    }
    return line;
}

bool Due(DWORD now, DWORD at) { return static_cast<LONG>(now - at) >= 0; }
}  // namespace

TInstallation::TInstallation(IServiceControlManager& scm, bool showAllServices,
                             const std::vector<std::wstring>& computers, IGuiThread& gui)
    : FScm(scm), FShowAllServices(showAllServices), FGui(gui)
{
    for (const std::wstring& computer : computers)
        FParts.push_back(MakePart(computer));
    if (FParts.empty())
        FParts.push_back(MakePart(std::wstring()));
}

TInstallation::~TInstallation() { Stop(); }

std::unique_ptr<TInstallation::TPart> TInstallation::MakePart(const std::wstring& machineName)
{
    auto part = std::make_unique<TPart>();
    part->Model = std::make_unique<TServiceListModel>(FScm, FShowAllServices, machineName, FGui);
    part->Own.List = part->Model.get();
    part->Model->SetSort(FSort);
    part->Model->SetFilter(FFilter);
    ++FPartsChanged;
    Link(*part);
    if (FNotify)
        part->Model->Start(FNotify);
    return part;
}

void TInstallation::Link(TPart& part)
{
    TServiceListModel* model = part.Model.get();
    model->SetView({.BeforeMove = [this] {
                        if (FMoving == 0 && FView.BeforeMove)
                            FView.BeforeMove();
                    },
                    .AfterMove = [this] {
                        if (FMoving == 0 && FView.AfterMove)
                            FView.AfterMove();
                    },
                    .RowChanged = [this, model](int row) {
                        const TPart* shown = PartOf(model);
                        if (shown && !ShowsOwnRow(*shown) && FView.RowChanged)
                            FView.RowChanged(OffsetOf(model) + row);
                    },
                    .RowsInView = [this, model] { return RowsInViewOf(model); }});
    model->OnMonitorFailure = [this](const std::wstring& message) {
        if (OnMonitorFailure)
            OnMonitorFailure(message);
    };
    model->OnConnectionLost = [this, model](const std::wstring& message) {
        TPart* lost = PartOf(model);
        if (!Several() || !lost) {
            if (OnConnectionLost)
                OnConnectionLost(message);
            return;
        }
        lost->RetryAt = GetTickCount() + FRetryMs;
        SetError(*lost, message, false);
        if (OnComputerLost)
            OnComputerLost(message);
    };
}

void TInstallation::Start(std::function<void()> notify)
{
    FNotify = std::move(notify);
    for (const auto& part : FParts)
        part->Model->Start(FNotify);
    {
        std::lock_guard lock(FReadNotify->Mutex);
        FReadNotify->Notify = FNotify;
    }
    // A read that ended before had nobody to tell.
    if (FNotify)
        FNotify();
}

void TInstallation::Stop()
{
    {
        std::lock_guard lock(FReadNotify->Mutex);
        FReadNotify->Notify = nullptr;
    }
    for (const auto& part : FParts) {
        part->Model->SetView({});
        part->Model->OnConnectionLost = nullptr;
        part->Model->OnMonitorFailure = nullptr;
        part->Model->Abandon();
    }
}

std::vector<std::wstring> TInstallation::Computers() const
{
    std::vector<std::wstring> names;
    for (const auto& part : FParts)
        names.push_back(part->Model->Manager().MachineName());
    return names;
}

TServiceListModel* TInstallation::FindComputer(const std::wstring& machineName) const
{
    for (const auto& part : FParts)
        if (SameComputer(part->Model->Manager().MachineName(), machineName))
            return part->Model.get();
    return nullptr;
}

int TInstallation::UnreachableCount() const
{
    return static_cast<int>(std::count_if(FParts.begin(), FParts.end(), [this](const auto& p) { return ShowsOwnRow(*p); }));
}

int TInstallation::Count() const
{
    int count = 0;
    for (const auto& part : FParts)
        count += RowsOf(*part);
    return count;
}

TItemData* TInstallation::Row(int index) const
{
    if (index < 0)
        return nullptr;
    for (const auto& part : FParts) {
        const int rows = RowsOf(*part);
        if (index < rows)
            return ShowsOwnRow(*part) ? &part->Own : part->Model->Row(index);
        index -= rows;
    }
    return nullptr;
}

int TInstallation::RowOfName(const std::wstring& machineName, const std::wstring& serviceName) const
{
    int offset = 0;
    for (const auto& part : FParts) {
        if (SameComputer(part->Model->Manager().MachineName(), machineName)) {
            if (ShowsOwnRow(*part))
                return serviceName.empty() ? offset : -1;
            const int row = serviceName.empty() ? -1 : part->Model->RowOfName(serviceName);
            return row < 0 ? -1 : offset + row;
        }
        offset += RowsOf(*part);
    }
    return -1;
}

void TInstallation::SetSort(const TListSort& sort)
{
    FSort = sort;
    for (const auto& part : FParts)
        part->Model->SetSort(sort);
}

void TInstallation::SetFilter(const std::wstring& text)
{
    FFilter = text;
    for (const auto& part : FParts)
        part->Model->SetFilter(text);
}

unsigned TInstallation::Generation() const
{
    unsigned generation = FPartsChanged;
    for (const auto& part : FParts)
        generation += part->Model->Generation();
    return generation;
}

std::wstring TInstallation::CellText(const TItemData& row, int column) const
{
    if (column == ComputerColumn)
        return ComputerDisplayName(row.List->Manager().MachineName());
    if (row.Service)
        return TServiceListModel::CellText(*row.Service, column);
    // The computer's own row: its name, "Not reachable" and why, in the first three columns.
    switch (column) {
    case 0:
        return ComputerDisplayName(row.List->Manager().MachineName());
    case 1:
        return NotReachableText;
    case 2:
        return OneLine(ErrorOf(row));
    default:
        return {};
    }
}

int TInstallation::ImageOf(const TItemData& row)
{
    return row.Service ? TServiceListModel::ImageOf(*row.Service) : imgUnknown;
}

std::wstring TInstallation::ErrorOf(const TItemData& row) const
{
    const TPart* part = row.Service ? nullptr : PartOf(row.List);
    return part ? part->Error : std::wstring();
}

int TInstallation::OffsetOf(const TServiceListModel* model) const
{
    int offset = 0;
    for (const auto& part : FParts) {
        if (part->Model.get() == model)
            return offset;
        offset += RowsOf(*part);
    }
    return offset;
}

TInstallation::TPart* TInstallation::PartOf(const TServiceListModel* model) const
{
    for (const auto& part : FParts)
        if (part->Model.get() == model)
            return part.get();
    return nullptr;
}

std::pair<int, int> TInstallation::RowsInViewOf(const TServiceListModel* model) const
{
    const auto [first, shown] = FView.RowsInView ? FView.RowsInView() : std::pair<int, int>{0, 0};
    const int offset = OffsetOf(model);
    const int top = std::max(first, offset) - offset;
    const int bottom = std::min(first + shown, offset + model->Count()) - offset;
    return bottom > top ? std::pair<int, int>{top, bottom - top} : std::pair<int, int>{0, 0};
}

void TInstallation::Rebuild(bool refreshAll)
{
    if (!Several()) {
        TPart& part = *FParts.front();
        part.Model->Rebuild(refreshAll);
        if (refreshAll)
            SetError(part, std::wstring(), false);
        return;
    }
    for (const auto& part : FParts) {
        if (part->Model->Reading() || Held(*part))
            continue;
        if (refreshAll)
            StartRead(*part);
        else
            part->Model->Rebuild(false);
    }
}

void TInstallation::RebuildComputer(const std::wstring& machineName)
{
    TServiceListModel* model = FindComputer(machineName);
    if (!model)
        return;
    model->Rebuild(true);
    if (TPart* part = PartOf(model))
        SetError(*part, std::wstring(), false);
}

bool TInstallation::Connect(const std::wstring& machineName)
{
    if (Several()) {
        SetComputers({machineName});
        return true;
    }
    TPart& part = *FParts.front();
    const bool connected = part.Model->Connect(machineName);
    if (connected)
        SetError(part, std::wstring(), false);
    return connected;
}

void TInstallation::SetComputers(const std::vector<std::wstring>& computers)
{
    std::vector<std::unique_ptr<TPart>> old = std::move(FParts);
    FParts.clear();
    ++FPartsChanged;
    std::vector<TPart*> added;
    Moved([&] {
        for (const std::wstring& computer : computers) {
            auto kept = std::find_if(old.begin(), old.end(), [&](const auto& part) {
                return part && SameComputer(part->Model->Manager().MachineName(), computer);
            });
            if (kept != old.end()) {
                FParts.push_back(std::move(*kept));
            } else {
                FParts.push_back(MakePart(computer));
                added.push_back(FParts.back().get());
            }
        }
        if (FParts.empty()) {
            FParts.push_back(MakePart(std::wstring()));
            added.push_back(FParts.back().get());
        }
        // The computers gone: their monitors reach nothing, and a read a host holds goes on alone.
        for (const auto& part : old)
            if (part) {
                part->Model->SetView({});
                part->Model->OnConnectionLost = nullptr;
                part->Model->OnMonitorFailure = nullptr;
                part->Model->Abandon();
            }
    });
    for (TPart* part : added)
        StartRead(*part);
    if (FView.ComputersChanged)
        FView.ComputersChanged();
}

void TInstallation::ReadAhead() noexcept
{
    if (!Several()) {
        FParts.front()->Model->ReadAhead();
        return;
    }
    for (const auto& part : FParts)
        StartRead(*part);
}

void TInstallation::StartRead(TPart& part)
{
    if (part.Model->BackgroundRead())
        return;
    try {
        part.ReadSince = GetTickCount();
        part.Model->ReadInBackground([notify = FReadNotify] { (*notify)(); });
    } catch (...) {
        part.RetryAt = GetTickCount() + FRetryMs;
        SetError(part, OneLine(CurrentExceptionMessage()), false);
    }
}

void TInstallation::Update()
{
    Poll();
    for (const auto& part : FParts) {
        if (ShowsOwnRow(*part))
            continue;
        const bool pending = part->Model->PendingTick().has_value();
        part->Model->Update();
        if (!pending && part->Model->PendingTick())
            part->TickSince = GetTickCount();
    }
}

void TInstallation::TakeResults()
{
    for (size_t i = 0; i < FParts.size(); ++i)
        FParts[i]->Model->TakeResults();
    Poll();
}

bool TInstallation::Held(const TPart& part) const { return InUse && InUse(part.Model->Manager().MachineName()); }

void TInstallation::Poll()
{
    // A read taken over waits, answering, in no loop of its own; nothing here runs twice at once.
    if (FPolling)
        return;
    FPolling = true;
    TFinally polled([this] { FPolling = false; });
    const DWORD now = GetTickCount();
    for (size_t i = 0; i < FParts.size(); ++i) {
        TPart& part = *FParts[i];
        TServiceListModel& model = *part.Model;
        if (model.Reading())
            continue;  // a rebuild waits for its read
        const std::wstring& machine = model.Manager().MachineName();
        if (model.BackgroundRead()) {
            if (model.BackgroundReadDone()) {
                if (!Held(part))
                    TakeRead(part);
            } else if (Several() && part.Error.empty() && now - part.ReadSince >= FRetryMs) {
                SetError(part, NoAnswerText(ComputerDisplayName(machine)), true);
            }
            continue;
        }
        if (part.Silent) {
            if (!model.PendingTick())
                SetError(part, std::wstring(), false);  // its tick has come back
            continue;
        }
        if (Several() && part.Error.empty() && model.PendingTick() && now - part.TickSince >= FRetryMs) {
            SetError(part, NoAnswerText(ComputerDisplayName(machine)), true);
            continue;
        }
        if (!part.Error.empty() && Due(now, part.RetryAt))
            StartRead(part);
    }
}

void TInstallation::TakeRead(TPart& part)
{
    TServiceListModel& model = *part.Model;
    try {
        model.Rebuild(true);  // the read has ended: nothing is waited for
        SetError(part, std::wstring(), false);
    } catch (const std::exception& error) {
        part.RetryAt = GetTickCount() + FRetryMs;
        const std::wstring& machine = model.Manager().MachineName();
        SetError(part, ConnectFailureText(ComputerDisplayName(machine), error), false);
    }
}

void TInstallation::SetError(TPart& part, const std::wstring& error, bool silent)
{
    if (part.Error == error && part.Silent == silent)
        return;
    if (part.Error.empty() != error.empty()) {
        Moved([&] {
            part.Error = error;
            part.Silent = silent;
        });
    } else {
        part.Error = error;
        part.Silent = silent;
        if (!error.empty() && FView.RowChanged)
            FView.RowChanged(OffsetOf(part.Model.get()));
    }
    if (FView.ComputersChanged)
        FView.ComputersChanged();
}

bool TInstallation::NoteConnectionLost(const std::wstring& machineName, const std::wstring& message)
{
    TServiceListModel* model = FindComputer(machineName);
    if (!model)
        return false;
    const bool first = model->NoteConnectionLost();
    if (TPart* part = PartOf(model); part && Several()) {
        part->RetryAt = GetTickCount() + FRetryMs;
        SetError(*part, message, false);
    }
    return first;
}

void TInstallation::Moved(const std::function<void()>& change)
{
    if (FView.BeforeMove)
        FView.BeforeMove();
    ++FMoving;
    {
        TFinally done([this] { --FMoving; });
        change();
    }
    if (FView.AfterMove)
        FView.AfterMove();
}
