// Whether every thread that may still call a manager has ended: the commands' workers, the
// list's workers, the catalogue's readers (one left to a hung computer included) and the
// objects let go alone. A simulated manager may go only then.
#pragma once

#include "services/catalogue_reader.h"
#include "services/catalogue_worker.h"
#include "services/command_runner.h"
#include "services/let_go.h"

inline bool WorkersEnded()
{
    return TCommandRunner::RunningCount() == 0 && TCatalogueWorker::RunningCount() == 0 &&
           TCatalogueReader::RunningCount() == 0 && LetGoRunningCount() == 0;
}
