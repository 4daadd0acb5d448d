// The list's timer tick, waited for: a tick under way ends first, then one more is asked for and
// its results applied. Returns the records that tick re-read whole (0 when the application
// terminated meanwhile or the list stopped).
#pragma once

#include "ui/main/list_model.h"

inline int UpdateNow(TServiceListModel& model)
{
    if (const std::optional<unsigned> pending = model.PendingTick(); pending && !model.WaitForWorker(*pending))
        return 0;
    model.Update();
    const std::optional<unsigned> tick = model.PendingTick();
    if (!tick || !model.WaitForWorker(*tick))
        return 0;
    return model.LastReread();
}
