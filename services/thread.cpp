#include "services/thread.h"

#include "common/application.h"

TThread::~TThread()
{
    if (FThread.joinable() && FThread.get_id() != std::this_thread::get_id())
        FThread.join();
    else if (FThread.joinable())
        FThread.detach();
}

void TThread::Start()
{
    // A thread that frees itself may be gone before this returns: nothing here touches the
    // object after the thread has started.
    bool freeSelf = FreeOnTerminate;
    ++FRunningCount;
    std::thread thread(&TThread::Run, this);
    if (freeSelf)
        thread.detach();
    else
        FThread = std::move(thread);
}

void TThread::Synchronize(const std::function<void()>& call) { Application().Synchronize(call); }

void TThread::Run(TThread* self) noexcept
{
    try {
        self->Execute();
    } catch (...) {
        // Nothing may leave the thread's entry: an error Execute did not handle itself goes to
        // the default report on the GUI thread.
        Application().HandleThreadException();
    }
    try {
        Synchronize([self] {
            if (self->OnTerminate)
                GuardedCall([self] { self->OnTerminate(self); });
        });
    } catch (...) {
    }
    if (self->FreeOnTerminate)
        delete self;
    --FRunningCount;
}
