#include "services/catalogue_reader.h"

#include "common/errors.h"

namespace {
std::atomic<int> GRunning{0};
}  // namespace

int TCatalogueReader::RunningCount() { return GRunning.load(); }

TCatalogueReader::TCatalogueReader(const TSCManager& like, TSCManager::TReadFilter filter, TSCManager* connect,
                                   std::function<void()> done)
    : FCatalogue(std::make_unique<TSCManager>(like.MachineName(), like.DesiredAccess(), like.DatabaseName(), like.Scm())),
      FConnect(connect), FOnDone(std::move(done)), FDone(CreateEventW(nullptr, TRUE, FALSE, nullptr))
{
    if (!FDone)
        RaiseLastOSError();
    FCatalogue->SetGroupOrderLocation(like.GroupOrderLocation());
    FCatalogue->StopWhen(&FStop);
    FCatalogue->ReadWhen(std::move(filter));
    ++GRunning;
    try {
        FThread = std::thread(&TCatalogueReader::Read, this);
    } catch (...) {
        --GRunning;
        throw;
    }
}

TCatalogueReader::~TCatalogueReader()
{
    FStop = true;
    if (FThread.joinable())
        FThread.join();
}

void TCatalogueReader::Read() noexcept
{
    // Nothing leaves the thread's entry: the error goes to whoever takes the result.
    try {
        FCatalogue->Refresh(true);
        if (FConnect)
            FConnect->Active(true);
    } catch (...) {
        FError = std::current_exception();
    }
    // The records need no connection once read: it is closed here, not by whoever takes them.
    try {
        FCatalogue->Active(false);
    } catch (...) {
        // A failing close is dropped, as the catalogue's end would.
    }
    SetEvent(FDone.get());
    if (FOnDone) {
        try {
            FOnDone();
        } catch (...) {
            // Whoever waits still sees the event.
        }
    }
    --GRunning;
}

TSCManager& TCatalogueReader::Result()
{
    SM_ASSERT(Done());
    if (FThread.joinable())
        FThread.join();
    if (FError)
        std::rethrow_exception(FError);
    return *FCatalogue;
}
