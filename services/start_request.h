// A service's start request made on a worker thread. StartServiceW returns only once the
// service's process has reported to the SCM (or after the SCM's time-out, 30 s on Windows), so
// the GUI thread makes the request here and goes on answering while it waits for DoneEvent.
// The request goes through a connection of its own; the thread keeps what it needs itself and
// ends on its own, also when nobody waits for it any more (the program quitting meanwhile).
//
// Usage:
//   TStartRequest request(scm, L"", L"ServicesActive", L"MyService");
//   ... wait for request.DoneEvent(), processing messages ...
//   request.Result();                         // raises the request's error, as Start would
#pragma once

#include "services/scm_api.h"

#include <windows.h>

#include <atomic>
#include <memory>
#include <string>

class TStartRequest {
public:
    TStartRequest(IServiceControlManager& scm, const std::wstring& machineName, const std::wstring& databaseName,
                  const std::wstring& serviceName);
    TStartRequest(const TStartRequest&) = delete;
    TStartRequest& operator=(const TStartRequest&) = delete;

    HANDLE DoneEvent() const;
    bool Done() const;
    // Once done: returns when the request succeeded, raises its error otherwise.
    void Result() const;

    // Requests whose thread has not ended.
    static int RunningCount() { return FRunningCount; }

private:
    struct TState;
    static void Run(std::shared_ptr<TState> state) noexcept;

    std::shared_ptr<TState> FState;
    static inline std::atomic<int> FRunningCount{0};
};
