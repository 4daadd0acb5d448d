// The list's connection to a computer's Service Control Manager, and what its failures say.
#include "ui/main/connection.h"

#include "common/errors.h"
#include "common/finally.h"
#include "common/format.h"
#include "common/text.h"
#include "services/catalogue_reader.h"
#include "services/catalogue_worker.h"
#include "services/let_go.h"
#include "ui/base/application.h"
#include "ui/base/delay.h"
#include "ui/main/list_model.h"

#include <utility>

bool TServiceListModel::Connect(const std::wstring& machineName)
{
    if (SameTextAscii(machineName, FManager->MachineName())) {
        // The same computer again: a rebuild, which keeps the monitors that follow its rows.
        Rebuild(true);
        return !Application().Terminated();
    }
    auto manager = std::make_unique<TSCManager>(machineName, FManager->DesiredAccess(), FManager->DatabaseName(),
                                                FManager->Scm());
    manager->SetGroupOrderLocation(FManager->GroupOrderLocation());
    std::unique_ptr<TCatalogueReader> reader;
    {
        // The old rows stay, and go on being refreshed, until the new records are there.
        FReading = true;
        TFinally readingDone([this] { FReading = false; });
        // The catalogue's own connection is made on the reader's thread too.
        reader = std::make_unique<TCatalogueReader>(*manager, ReadFilter(), manager.get());
        if (!WaitWithMessages(reader->DoneEvent()))
            return false;
    }
    // A failed read raises here, with nothing changed yet.
    TSCManager& read = reader->Result();
    // The worker reads the old computer: a new one reads the new computer, its results
    // announced as before. The old one's tick will never be answered.
    FReadAhead.reset();
    if (FWorker) {
        FWorker = std::make_unique<TCatalogueWorker>(manager->Scm(), manager->MachineName(), manager->DatabaseName());
        FWorker->SetNotify(FNotify);
    }
    FTickPending = false;
    // The running monitors follow the old computer's services: they reach nothing any more.
    CutMonitors();
    // The old catalogue's records stay until no row shows them.
    FConnectionLost = false;
    std::unique_ptr<TSCManager> old = std::exchange(FManager, std::move(manager));
    HandOver(&read);
    // Its handle is closed by a call to the computer left, which may hang.
    LetGoAlone(std::move(old));
    return true;
}

bool TServiceListModel::NoteConnectionLost()
{
    FManager->DropConnection();
    return !std::exchange(FConnectionLost, true);
}

void TServiceListModel::TickEnded(const std::exception_ptr& error)
{
    if (!error) {
        FConnectionLost = false;
        return;
    }
    if (FManager->MachineName().empty())
        return;
    try {
        std::rethrow_exception(error);
    } catch (const EOSError& os) {
        if (IsLostConnectionError(os.ErrorCode()) && NoteConnectionLost() && OnConnectionLost)
            OnConnectionLost(ConnectionLostText(FManager->MachineName(), os.Message()));
    } catch (...) {
        // Anything else the tick met is left to the next one, as before.
    }
}

std::wstring ConnectFailureText(const std::wstring& machineName, const std::exception& error)
{
    const auto* os = dynamic_cast<const EOSError*>(&error);
    const std::wstring detail = CurrentExceptionMessage();
    if (os && IsConnectionError(os->ErrorCode()))
        return Fmt(L"The computer \"%s\" cannot be reached: it is unknown, switched off, or does not answer "
                   L"over the network.\r\n\r\n%s",
                   {machineName, detail});
    if (os && os->ErrorCode() == ERROR_ACCESS_DENIED)
        return Fmt(L"The computer \"%s\" refused the connection to its services: your account has no right "
                   L"to manage them there.\r\n\r\n%s",
                   {machineName, detail});
    return Fmt(L"The services of the computer \"%s\" could not be read.\r\n\r\n%s", {machineName, detail});
}

std::wstring ConnectionLostText(const std::wstring& machineName, const std::wstring& detail)
{
    return Fmt(L"The connection to the computer \"%s\" was lost. The list shows what was last read; "
               L"Refresh tries again.\r\n\r\n%s",
               {machineName, detail});
}

std::wstring NoAnswerText(const std::wstring& machineName)
{
    return Fmt(L"The computer \"%s\" does not answer: its services are read again as soon as it does.", {machineName});
}
