// Following pending states: every row found pending by a rebuild, and every service a command
// starts, stops, pauses or resumes, is followed by a monitor thread until it settles.
#include "ui/main/form_main.h"

#include "common/message_box.h"

void TFormMain::StartMonitor(TItemData* data, TServiceControl operation)
{
    const TControlInfo info = ControlInfo(operation);
    // The monitor reaches this window only through the sink, which the window's end cuts.
    std::shared_ptr<TMonitorSink> sink = FMonitorSink;
    data->Monitor = new TServiceMonitor(
        data->Service->ServiceName(), info.Operation, info.FinalState,
        [sink](const std::wstring& message) {
            if (sink->Form)
                sink->Form->MonitorNotify(message);
        },
        [sink](TServiceMonitor* sender) {
            if (sink->Form)
                sink->Form->MonitorTerminated(sender);
        },
        FManager->Scm());
}

void TFormMain::MonitorNotify(const std::wstring& message)
{
    UpdateItems();
    if (!message.empty())
        AppMessageBox(message, Caption(), MB_ICONERROR);
}

void TFormMain::MonitorTerminated(TServiceMonitor* sender)
{
    int index = FindItemByMonitor(sender);
    if (index >= 0)
        ItemData(index)->Monitor = nullptr;
}
