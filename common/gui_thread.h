// What a worker thread needs of the program's GUI thread: running a call there and waiting for
// it, and the default report of an error. The program hands over its application's
// (TApplication::GuiThread); the threads see no window. The two are held as calls, so that this
// layer names nothing of the one above it.
#pragma once

#include <functional>
#include <utility>

class IGuiThread {
public:
    using TSynchronize = std::function<bool(const std::function<void()>&)>;

    IGuiThread(TSynchronize synchronize, std::function<void()> report)
        : FSynchronize(std::move(synchronize)), FReport(std::move(report))
    {
    }
    IGuiThread(const IGuiThread&) = delete;
    IGuiThread& operator=(const IGuiThread&) = delete;

    // Runs call on the GUI thread and waits for it; an exception raised by call is raised again
    // in the calling thread. Returns false when the GUI is gone and call did not run.
    bool Synchronize(const std::function<void()>& call) { return FSynchronize(call); }
    // Reports whatever is being handled in the current catch block (the report never raises).
    void ReportException() noexcept { FReport(); }

private:
    TSynchronize FSynchronize;
    std::function<void()> FReport;
};

// Runs body and hands any exception to the GUI's default report.
template <typename F>
void GuardedCall(IGuiThread& gui, F&& body) noexcept
{
    try {
        body();
    } catch (...) {
        gui.ReportException();
    }
}
