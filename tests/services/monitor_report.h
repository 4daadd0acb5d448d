// What a state monitor told the GUI thread, in order: the service-layer tests start monitors
// through it and wait for their end while messages are processed.
#pragma once

#include "services/service_monitor.h"
#include "tests/services/service_test_util.h"
#include "tests/support/wait_until.h"
#include "ui/base/application.h"

#include <string>
#include <vector>

struct MonitorReport {
    explicit MonitorReport(IServiceControlManager& scm) : Scm(scm) {}
    MonitorReport(const MonitorReport&) = delete;
    MonitorReport& operator=(const MonitorReport&) = delete;

    IServiceControlManager& Scm;
    std::vector<std::wstring> Messages;
    bool Terminated = false;
    int ReturnValue = -1;
    bool OnGuiThread = true;
    std::wstring ErrorInHandler;

    // A monitor of the service that reports here; it frees itself when it ends.
    TServiceMonitor* Start(const std::wstring& name, const std::wstring& operation, TServiceState finalState)
    {
        return new TServiceMonitor(
            name, operation, finalState,
            [this](const std::wstring& msg) {
                OnGuiThread = OnGuiThread && Application().IsGuiThread();
                Messages.push_back(msg);
            },
            [this](TServiceMonitor* sender) {
                OnGuiThread = OnGuiThread && Application().IsGuiThread();
                ReturnValue = sender->ReturnValue;
                ErrorInHandler = sender->ErrorMessage();
                Terminated = true;
            },
            Scm, Application());
    }
    bool WaitDone(DWORD ms = 10000)
    {
        return WaitUntil([this] { return Terminated; }, ms);
    }
};
