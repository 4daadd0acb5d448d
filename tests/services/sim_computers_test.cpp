// The simulated computers as a network: a computer whose calls hang holds every call made to
// it, also a handle's close and its registry's, until the test releases it, while the other
// computers answer; what the computer's mode says then holds for the calls let through.
#include "tests/sim_scm/sim_computers.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {
class SimComputersHang : public testing::Test {
protected:
    SimComputersHang()
    {
        Net.Computer(L"far").AddService(SimService(L"Svc"));
        Net.Local().AddService(SimService(L"Here"));
    }
    // Waits (real time, bounded) until calls wait in the hang.
    bool HungSoon(int calls)
    {
        for (int i = 0; i < 400; ++i) {
            if (Net.HungCalls(L"far") == calls)
                return true;
            Sleep(5);
        }
        return false;
    }
    TSimComputers Net;
};

TEST_F(SimComputersHang, EveryKindOfCallWaitsForTheReleaseWhileOtherComputersAnswer)
{
    SC_HANDLE manager = Net.OpenSCManagerW(L"far", nullptr, SC_MANAGER_ALL_ACCESS);
    ASSERT_NE(manager, nullptr);
    SC_HANDLE service = Net.OpenServiceW(manager, L"Svc", SERVICE_ALL_ACCESS);
    ASSERT_NE(service, nullptr);
    Net.Hang(L"far");
    std::atomic<int> done{0};
    std::atomic<BOOL> queried{FALSE};
    std::atomic<LONG> registry{-1};
    std::thread query([&] {
        SERVICE_STATUS status{};
        queried = Net.QueryServiceStatus(service, &status);
        ++done;
    });
    std::thread open([&] {
        if (SC_HANDLE other = Net.OpenSCManagerW(L"far", nullptr, SC_MANAGER_CONNECT))
            Net.CloseServiceHandle(other);
        ++done;
    });
    std::thread reg([&] {
        registry = Net.EnterRegistry(L"far");
        ++done;
    });
    EXPECT_TRUE(HungSoon(3));
    // This computer is not held.
    SC_HANDLE here = Net.OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
    EXPECT_NE(here, nullptr);
    Net.CloseServiceHandle(here);
    EXPECT_EQ(done, 0);

    Net.Release(L"far");
    query.join();
    open.join();
    reg.join();
    EXPECT_EQ(done, 3);
    EXPECT_TRUE(queried);
    EXPECT_EQ(registry, ERROR_SUCCESS);
    // A close hangs too.
    Net.Hang(L"far");
    std::thread close([&] { Net.CloseServiceHandle(service); });
    EXPECT_TRUE(HungSoon(1));
    Net.Release(L"far");
    close.join();
    Net.CloseServiceHandle(manager);
    EXPECT_EQ(Net.OpenHandleCount(), 0);
}

TEST_F(SimComputersHang, ACallReleasedFromAHangFindsTheComputerAsItIsThen)
{
    SC_HANDLE manager = Net.OpenSCManagerW(L"far", nullptr, SC_MANAGER_CONNECT);
    ASSERT_NE(manager, nullptr);
    Net.Hang(L"far");
    std::atomic<DWORD> error{0};
    std::atomic<LONG> registry{-1};
    std::thread call([&] {
        UniqueScHandleOf service(Net, Net.OpenServiceW(manager, L"Svc", SERVICE_QUERY_STATUS));
        error = service ? ERROR_SUCCESS : GetLastError();
    });
    std::thread reg([&] { registry = Net.EnterRegistry(L"far"); });
    EXPECT_TRUE(HungSoon(2));
    Net.SetMode(L"far", TSimComputerMode::Lost);
    Net.Release(L"far");
    call.join();
    reg.join();
    EXPECT_EQ(error, static_cast<DWORD>(RPC_S_SERVER_UNAVAILABLE));
    EXPECT_EQ(registry, RPC_S_SERVER_UNAVAILABLE);
    Net.CloseServiceHandle(manager);
}

TEST_F(SimComputersHang, TheEndOfTheNetworkLetsAHungCallGo)
{
    std::thread call;
    {
        TSimComputers net;
        net.Computer(L"far");
        net.Hang(L"far");
        call = std::thread([&net] { net.EnterRegistry(L"far"); });
        for (int i = 0; i < 400 && net.HungCalls(L"far") == 0; ++i)
            Sleep(5);
        EXPECT_EQ(net.HungCalls(L"far"), 1);
    }
    call.join();
}
}  // namespace
