// A main window over the simulated Service Control Manager, its message boxes answered by
// the test.
#pragma once

#include "tests/main/list_ticks.h"
#include "services/catalogue_reader.h"
#include "services/catalogue_worker.h"
#include "services/command_runner.h"
#include "tests/sim_scm/sim_scm.h"
#include "tests/support/message_box_hook.h"
#include "tests/support/wait_until.h"
#include "tests/support/workers_ended.h"
#include "ui/base/application.h"
#include "ui/base/busy.h"
#include "ui/base/delay.h"
#include "ui/main/form_main.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

class MainWindowTest : public testing::Test {
protected:
    void SetUp() override
    {
        Application().Initialize();
        Application().ClearTerminated();  // the previous test's window ended the application
    }
    void TearDown() override
    {
        Form.reset();
        Application().ClearTerminated();
        // Monitors still running use the simulator: settle their services and let them end.
        for (int i = 0; i < 200 && TThread::RunningCount() > 0; ++i) {
            if (i == 20)
                Sim.ClearFaults();
            DelayWithMessages(50);
        }
        EXPECT_EQ(TThread::RunningCount(), 0) << "a monitor is still running";
        // The workers end alone once their window has gone, before the simulator goes.
        EXPECT_TRUE(WaitUntil(WorkersEnded))
            << "a worker still runs";
    }

    TFormMain& Window()
    {
        if (!Form)
            Form = std::make_unique<TFormMain>(Sim, false);
        return *Form;
    }

    // Adds a stopped service that the list shows (service names beginning with "SQLANY").
    void AddListed(const std::wstring& name, const std::wstring& display, DWORD state = SERVICE_STOPPED,
                   std::vector<std::wstring> dependencies = {})
    {
        Sim.AddService(ListedSimService(name, display, state, std::move(dependencies)));
    }

    // The timer's refresh of the rows, waited for; returns the records re-read whole.
    int UpdateItems() { return UpdateNow(Window().ServiceList().Model()); }
    // Runs the command as its action does and waits until it has ended (its steps go on as
    // messages arrive); false when the action was refused.
    bool Run(int action)
    {
        if (!Window().Actions().Execute(action))
            return false;
        EXPECT_TRUE(WaitUntil([this] { return !Form->Handle() || !Form->CommandRunning(); })) << "the command runs on";
        return true;
    }

    int Row(const std::wstring& caption) { return Window().List().FindCaption(caption); }
    TItemData* Data(const std::wstring& caption)
    {
        int row = Row(caption);
        return row < 0 ? nullptr : Window().ItemData(row);
    }
    // The tip the list gives for a row, asked as the list view asks for it.
    std::wstring Tip(const std::wstring& caption)
    {
        wchar_t buffer[INFOTIPSIZE] = L"";
        NMLVGETINFOTIPW tip{};
        tip.hdr.hwndFrom = Window().List().Handle();
        tip.hdr.idFrom = TFormMain::idList;
        tip.hdr.code = LVN_GETINFOTIPW;
        tip.pszText = buffer;
        tip.cchTextMax = INFOTIPSIZE;
        tip.iItem = Row(caption);
        SendMessageW(Window().Handle(), WM_NOTIFY, TFormMain::idList, reinterpret_cast<LPARAM>(&tip));
        return buffer;
    }
    void Select(const std::wstring& caption)
    {
        int row = Row(caption);
        ASSERT_GE(row, 0) << "no row";
        Window().List().Select(row);
    }
    bool Enabled(int action)
    {
        Window().Actions().Update();
        return Window().Actions().Find(action)->Enabled;
    }
    TSimServiceControlManager Sim;
    ScriptedMessageBoxes Boxes;
    std::unique_ptr<TFormMain> Form;
};
