#include "services/catalogue_reader.h"

#include "common/errors.h"

TCatalogueReader::TCatalogueReader(const TSCManager& like)
    : FCatalogue(std::make_unique<TSCManager>(like.MachineName(), like.DesiredAccess(), like.DatabaseName(), like.Scm())),
      FDone(CreateEventW(nullptr, TRUE, FALSE, nullptr))
{
    if (!FDone)
        RaiseLastOSError();
    FCatalogue->SetGroupOrderLocation(like.GroupOrderLocation());
    FCatalogue->StopWhen(&FStop);
    FThread = std::thread(&TCatalogueReader::Read, this);
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
    } catch (...) {
        FError = std::current_exception();
    }
    SetEvent(FDone.get());
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
