// A worker thread in the manner the service monitor needs: Execute is the body, OnTerminate runs
// on the GUI thread after it, and with FreeOnTerminate the object then destroys itself.
//
// Usage:
//   class TWorker final : public TThread {
//   public:
//       explicit TWorker(IGuiThread& gui) : TThread(gui) { FreeOnTerminate = true; Start(); }
//                                                          // start once construction is done
//   protected:
//       void Execute() override { ...; Synchronize([&] { /* on the GUI thread */ }); }
//   };
// The GUI thread is passed in (the program passes its application). Synchronize sends the call
// to it and waits: the GUI thread must keep processing messages (any message loop, modal ones
// included) for it to return. An error that escapes Execute is shown by the GUI's default
// report, on the GUI thread, before OnTerminate runs.
#pragma once

#include "common/gui_thread.h"

#include <windows.h>

#include <atomic>
#include <functional>
#include <thread>

class TThread {
public:
    explicit TThread(IGuiThread& gui) : FGui(gui) {}
    // A thread that does not free itself is waited for here.
    virtual ~TThread();
    TThread(const TThread&) = delete;
    TThread& operator=(const TThread&) = delete;

    // Threads started and not yet ended (their object freed, when they free themselves).
    static int RunningCount() { return FRunningCount; }

    // Asks Execute to stop; Execute looks at Terminated().
    void Terminate() { FTerminated = true; }
    bool Terminated() const { return FTerminated; }

    int ReturnValue = 0;
    bool FreeOnTerminate = false;
    // Runs on the GUI thread once Execute has returned, with the thread as sender.
    std::function<void(TThread* Sender)> OnTerminate;

protected:
    void Start();
    virtual void Execute() = 0;
    // Runs call on the GUI thread and waits for it; its exception is raised again here.
    void Synchronize(const std::function<void()>& call) { FGui.Synchronize(call); }

private:
    static void Run(TThread* self) noexcept;

    static inline std::atomic<int> FRunningCount{0};
    IGuiThread& FGui;
    std::atomic<bool> FTerminated{false};
    std::thread FThread;
};
