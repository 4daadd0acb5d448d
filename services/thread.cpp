#include "services/thread.h"

#include <exception>

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

void TThread::Run(TThread* self) noexcept
{
    // Nothing may leave the thread's entry. Execute reports its own failures; one that escapes
    // it all the same goes to the default report on the GUI thread.
    std::exception_ptr escaped;
    try {
        self->Execute();
    } catch (...) {
        escaped = std::current_exception();
    }
    IGuiThread& gui = self->FGui;
    try {
        gui.Synchronize([self, &gui, &escaped] {
            if (escaped)
                GuardedCall(gui, [&escaped] { std::rethrow_exception(escaped); });
            if (self->OnTerminate)
                GuardedCall(gui, [self] { self->OnTerminate(self); });
        });
    } catch (...) {
    }
    if (self->FreeOnTerminate)
        delete self;
    --FRunningCount;
}
