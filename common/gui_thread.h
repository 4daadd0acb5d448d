// What a worker thread needs of the program's GUI thread: running a call there and waiting for
// it, and the default report of an error. The application is the one the program passes in;
// the interface keeps the threads free of any window.
#pragma once

#include <functional>

class IGuiThread {
public:
    // Runs call on the GUI thread and waits for it; an exception raised by call is raised again
    // in the calling thread. Returns false when the GUI is gone and call did not run.
    virtual bool Synchronize(const std::function<void()>& call) = 0;
    // Reports whatever is being handled in the current catch block.
    virtual void HandleException() noexcept = 0;

protected:
    ~IGuiThread() = default;
};

// Runs body and hands any exception to the GUI's default report.
template <typename F>
void GuardedCall(IGuiThread& gui, F&& body) noexcept
{
    try {
        body();
    } catch (...) {
        gui.HandleException();
    }
}
