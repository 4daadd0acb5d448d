// The ERP installation as the service list shows it: one part per computer, each a list of its
// own (list_model.h) with its catalogue, its worker and its connection, its monitors, and
// whether the computer answers. The rows the view draws are the parts' rows one computer after
// the other, in the installation's order; a computer that does not answer shows one row of its
// own instead of its services (its name, "Not reachable", the reason), and is read again every
// RetryMs without anything waiting for it.
//
// One computer is the plain case of it: its part is read and rebuilt as the list always was (the
// window waits, answering, for the read, and a failure is raised). With several, every part
// reads in the background and takes its rows over when its read has ended, so that a slow or
// hung computer delays only its own rows; its failures turn into its row, never into a message.
//
// Usage (the view's way):
//   TInstallation installation(scm, showAll, {L"", L"erp-app1"}, Application());
//   installation.SetView({...});
//   installation.Start([] { /* post a message: TakeResults() is due */ });
//   installation.Rebuild(true);
//   installation.Update();                   // every second
//   installation.TakeResults();              // when the notify callback said so
//   installation.SetComputers({L""});        // parts kept, added and removed
#pragma once

#include "ui/main/list_model.h"

#include <windows.h>

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

class TInstallation {
public:
    // What the view hears (each may be left empty): as TServiceListModel::TViewLink, over the
    // rows of every computer, and the computers' count or reachability changed.
    struct TViewLink {
        std::function<void()> BeforeMove;
        std::function<void()> AfterMove;
        std::function<void(int row)> RowChanged;
        std::function<std::pair<int, int>()> RowsInView;
        std::function<void()> ComputersChanged;
    };

    // The column of the row's computer, shown first with more than one computer; its index
    // follows the service columns' (TServiceListModel::ColumnCount).
    static constexpr int ComputerColumn = TServiceListModel::ColumnCount;
    static constexpr const wchar_t* ComputerColumnCaption = L"Computer";
    static constexpr int ComputerColumnWidth = 110;
    static constexpr const wchar_t* NotReachableText = L"Not reachable";
    // How often a computer that does not answer is tried again, and how long a read or a
    // tick may go unanswered before its computer counts as not answering.
    static constexpr DWORD DefaultRetryMs = 10000;

    // computers: names as the installation keeps them (empty: this computer, under whichever
    // of its names it was given: installation_computers.h), at least one. A computer's name is
    // compared as text from then on (its own names are looked up once, when it is added).
    TInstallation(IServiceControlManager& scm, bool showAllServices, const std::vector<std::wstring>& computers,
                  IGuiThread& gui);
    ~TInstallation();
    TInstallation(const TInstallation&) = delete;
    TInstallation& operator=(const TInstallation&) = delete;

    void SetView(TViewLink view) { FView = std::move(view); }
    void Start(std::function<void()> notify);
    // Monitors no longer reach the lists; reads a host holds go on alone.
    void Stop();

    int ComputerCount() const { return static_cast<int>(FParts.size()); }
    bool Several() const { return FParts.size() > 1; }
    std::vector<std::wstring> Computers() const;
    TServiceListModel& Computer(int index) const { return *FParts.at(static_cast<size_t>(index))->Model; }
    // The part of the computer (empty: this one); nullptr when the installation has none.
    TServiceListModel* FindComputer(const std::wstring& machineName) const;
    // Why the computer does not answer; empty while it does.
    std::wstring Unreachable(int index) const { return FParts.at(static_cast<size_t>(index))->Error; }
    int UnreachableCount() const;
    // How often a computer that does not answer is tried again (tests shorten it).
    void SetRetryMs(DWORD ms) { FRetryMs = ms; }

    // The rows of every computer.
    int Count() const;
    TItemData* Row(int index) const;
    // The row of the computer's service (letter case ignored), or of the computer's own row
    // when serviceName is empty; -1 when none shows it.
    int RowOfName(const std::wstring& machineName, const std::wstring& serviceName) const;
    std::wstring CellText(const TItemData& row, int column) const;

    // The order and the filter of every computer's rows (TServiceListModel::SetSort, SetFilter);
    // a computer added later gets them too. The computers keep their order: the rows sort
    // within each computer, the computer being the first tie.
    void SetSort(const TListSort& sort);
    const TListSort& Sort() const { return FSort; }
    void SetFilter(const std::wstring& text);
    // Changes whenever a computer's rows were replaced (TServiceListModel::Generation) or the
    // computers changed.
    unsigned Generation() const;
    static int ImageOf(const TItemData& row);
    // Why the computer of its own row does not answer (the row's tip); empty for a service's row.
    std::wstring ErrorOf(const TItemData& row) const;

    // With one computer, its list's Rebuild. With several, every computer is read anew in the
    // background (refreshAll) or its rows listed anew from its records.
    void Rebuild(bool refreshAll);
    // One computer's list read anew and waited for (after a command changed its services);
    // raises its failure.
    void RebuildComputer(const std::wstring& machineName);
    // Shows the computer alone (TServiceListModel::Connect with one computer).
    bool Connect(const std::wstring& machineName);
    // The installation's computers from now on: the parts of computers kept stay as they are,
    // new ones start reading, and those gone go (their monitors cut off).
    void SetComputers(const std::vector<std::wstring>& computers);
    void ReadAhead() noexcept;
    // The timer: every answering computer's tick, and the computers tried again when due.
    void Update();
    void TakeResults();

    // The command that runs uses the records of this computer: its new records wait (a read
    // that has ended is taken over once it no longer does).
    std::function<bool(const std::wstring& machineName)> InUse;
    std::function<void(const std::wstring& message)> OnMonitorFailure;
    // A computer's connection found lost by the timer: with one computer the message (the
    // window shows it); with several its row shows it, and this says so (for the status bar).
    std::function<void(const std::wstring& message)> OnConnectionLost;
    std::function<void(const std::wstring& message)> OnComputerLost;
    // A command found the computer's connection lost: with several computers its row shows it.
    // True the first time since it last answered.
    bool NoteConnectionLost(const std::wstring& machineName, const std::wstring& message);

private:
    struct TPart {
        std::unique_ptr<TServiceListModel> Model;
        TItemData Own;       // the computer's own row, shown while it does not answer
        std::wstring Error;  // why it does not answer; empty: it answers (or has not said yet)
        bool Silent = false; // the error is that it has not answered for too long
        DWORD ReadSince = 0; // when its background read started
        DWORD TickSince = 0; // when its pending tick was asked for
        DWORD RetryAt = 0;
    };
    std::unique_ptr<TPart> MakePart(const std::wstring& machineName);
    void Link(TPart& part);
    bool ShowsOwnRow(const TPart& part) const { return !part.Error.empty(); }
    int RowsOf(const TPart& part) const { return ShowsOwnRow(part) ? 1 : part.Model->Count(); }
    int OffsetOf(const TServiceListModel* model) const;
    TPart* PartOf(const TServiceListModel* model) const;
    std::pair<int, int> RowsInViewOf(const TServiceListModel* model) const;
    void StartRead(TPart& part);
    // Takes the ended reads over, notes the computers that stay silent and tries again those due.
    void Poll();
    void TakeRead(TPart& part);
    // The computer's rows give way to its own row with the reason, or come back.
    void SetError(TPart& part, const std::wstring& error, bool silent);
    void Moved(const std::function<void()>& change);
    bool Held(const TPart& part) const;

    // The notify callback as the readers' threads call it: a read started before Start (the
    // window's read ahead) announces its end once the callback is there.
    struct TSharedNotify {
        std::mutex Mutex;
        std::function<void()> Notify;
        void operator()()
        {
            std::lock_guard lock(Mutex);
            if (Notify)
                Notify();
        }
    };

    IServiceControlManager& FScm;
    bool FShowAllServices;
    IGuiThread& FGui;
    TViewLink FView;
    std::function<void()> FNotify;
    std::shared_ptr<TSharedNotify> FReadNotify = std::make_shared<TSharedNotify>();
    std::vector<std::unique_ptr<TPart>> FParts;
    TListSort FSort;
    std::wstring FFilter;
    unsigned FPartsChanged = 0;
    DWORD FRetryMs = DefaultRetryMs;
    bool FPolling = false;
    int FMoving = 0;  // parts change inside one move of the rows: theirs are not told on
};
