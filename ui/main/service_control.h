// The control operations the main window issues, and what it follows a service with: the
// operation's text for the failure message and the state that counts as success.
#pragma once

#include "services/service_types.h"

enum TServiceControl { scStart, scStop, scPause, scContinue };

struct TControlInfo {
    const wchar_t* Operation;  // "Starting", "Stopping", "Pausing", "Resuming"
    TServiceState FinalState;
};

inline TControlInfo ControlInfo(TServiceControl operation)
{
    switch (operation) {
    case scStop:
        return {L"Stopping", ssStopped};
    case scPause:
        return {L"Pausing", ssPaused};
    case scContinue:
        return {L"Resuming", ssRunning};
    default:
        return {L"Starting", ssRunning};
    }
}

// The operation a service found in a pending state is under.
inline TServiceControl PendingControl(TServiceState state)
{
    switch (state) {
    case ssStopPending:
        return scStop;
    case ssContinuePending:
        return scContinue;
    case ssPausePending:
        return scPause;
    default:
        return scStart;
    }
}
