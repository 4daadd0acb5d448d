// Following pending states: every row found pending by a rebuild, and every service a command
// starts, stops, pauses or resumes, is followed by a monitor thread until it settles. A rebuild
// hands a monitor still running to its service's new row: one monitor at most follows a service,
// and its failure is reported once.
#include "ui/main/service_list.h"

#include "services/sc_buffer.h"
#include "ui/base/application.h"

void TServiceList::StartMonitor(TItemData* data, TServiceControl operation)
{
    const TControlInfo info = ControlInfo(operation);
    // The monitor reaches this list only through the sink, which the window's end cuts.
    std::shared_ptr<TMonitorSink> sink = FMonitorSink;
    data->Monitor = new TServiceMonitor(
        data->Service->ServiceName(), info.Operation, info.FinalState,
        [sink, name = data->Service->ServiceName()](const std::wstring& message) {
            if (sink->List)
                sink->List->MonitorNotify(name, message);
        },
        [sink](TServiceMonitor* sender) {
            if (sink->List)
                sink->List->MonitorTerminated(sender);
        },
        FManager->Scm(), Application(), FManager->MachineName());
    FMonitors.push_back(data->Monitor);
}

TServiceMonitor* TServiceList::RunningMonitorOf(const std::wstring& serviceName) const
{
    for (TServiceMonitor* monitor : FMonitors)
        if (monitor->SvcName() == serviceName)
            return monitor;
    return nullptr;
}

void TServiceList::MonitorNotify(const std::wstring& serviceName, const std::wstring& message)
{
    // The followed service's own record first, read on the worker: with thousands of rows a
    // refresh of the list keeps to its time budget and may not reach it.
    TNtService* service = nullptr;
    if (FWorker && FManager->FindService(serviceName, service))
        FWorker->Read({serviceName}, true);
    Update();
    if (!message.empty() && OnMonitorFailure)
        OnMonitorFailure(message);
}

void TServiceList::MonitorTerminated(TServiceMonitor* sender)
{
    std::erase(FMonitors, sender);
    if (FReading)
        FEndedDuringRead.insert(AsciiLower(sender->SvcName()));
    int index = FindItemByMonitor(sender);
    if (index >= 0)
        ItemData(index)->Monitor = nullptr;
}
