// Following pending states: every row found pending by a rebuild, and every service a command
// starts, stops, pauses or resumes, is followed by a monitor thread until it settles. A rebuild
// hands a monitor still running to its service's new row: one monitor at most follows a service,
// and its failure is reported once.
#include "ui/main/form_main.h"

#include "ui/base/application.h"
#include "ui/base/message_box.h"

#include <vector>

void TFormMain::StartMonitor(TItemData* data, TServiceControl operation)
{
    const TControlInfo info = ControlInfo(operation);
    // The monitor reaches this window only through the sink, which the window's end cuts.
    std::shared_ptr<TMonitorSink> sink = FMonitorSink;
    data->Monitor = new TServiceMonitor(
        data->Service->ServiceName(), info.Operation, info.FinalState,
        [sink, name = data->Service->ServiceName()](const std::wstring& message) {
            if (sink->Form)
                sink->Form->MonitorNotify(name, message);
        },
        [sink](TServiceMonitor* sender) {
            if (sink->Form)
                sink->Form->MonitorTerminated(sender);
        },
        FManager->Scm(), Application());
    FMonitors.push_back(data->Monitor);
}

TServiceMonitor* TFormMain::RunningMonitorOf(const std::wstring& serviceName) const
{
    for (TServiceMonitor* monitor : FMonitors)
        if (monitor->SvcName() == serviceName)
            return monitor;
    return nullptr;
}

void TFormMain::MonitorNotify(const std::wstring& serviceName, const std::wstring& message)
{
    // The followed service's own row first: with thousands of rows a refresh of the list keeps
    // to its time budget and may not reach it.
    TNtService* service = nullptr;
    if (FManager->FindService(serviceName, service))
        UpdateItem(service);
    UpdateItems();
    if (!message.empty())
        AppMessageBox(message, Caption(), MB_ICONERROR);
}

void TFormMain::MonitorTerminated(TServiceMonitor* sender)
{
    std::erase(FMonitors, sender);
    int index = FindItemByMonitor(sender);
    if (index >= 0)
        ItemData(index)->Monitor = nullptr;
}
