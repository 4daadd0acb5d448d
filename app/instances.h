// The single-instance guard: every running copy of the program records its process id in three
// tables in named shared memory (machine-wide, per logon session, per user account), guarded by a
// cross-process lock. A start that the limits refuse brings the running copy to the front and
// ends. The names of all objects derive from the executable's full path.
#pragma once

#include "app/instance_table.h"
#include "app/kernel_objects.h"
#include "app/optex.h"

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

// Notification codes, sent with the registered message and the process id.
enum TInstanceNotification : WPARAM { inCreated = 1, inDestroyed = 2 };

class TAppInstances {
public:
    static constexpr int LockSpinCount = 4000;

    // The guard of this executable.
    TAppInstances();
    // A guard under the given application id (also used by tools and tests that join the
    // tables of a program).
    explicit TAppInstances(const std::wstring& uniqueAppID);
    // Removes this process from the three tables, tells the remaining copies, closes the tables.
    ~TAppInstances();
    TAppInstances(const TAppInstances&) = delete;
    TAppInstances& operator=(const TAppInstances&) = delete;

    // Registers this process in the all, session and user tables and says whether the limits
    // (0 = none) let it run. When they do, the running copies are told (code 1).
    bool CheckInstance(uint16_t maxInstances, uint16_t maxSessionInstances, uint16_t maxUserInstances);
    // Brings the application window of the process at index of the all table to the front.
    bool SwitchTo(unsigned index);
    // Ends the process with exit code 0 through the normal exit path, so the guard is destroyed.
    [[noreturn]] void KillInstance();

    // The process id at index of the all table, or 0 when index is not below its count.
    DWORD GetAllProcessIDs(unsigned index);
    unsigned AllCount();

    DWORD ProcessID() const noexcept { return FCPID; }
    UINT MessageID() const noexcept { return FMessageID; }
    const std::wstring& UniqueAppID() const noexcept { return FUniqueAppID; }

private:
    // Creates or opens one table while holding the lock; a new one is zero-filled.
    void OpenTable(const std::wstring& name, SECURITY_ATTRIBUTES* security, std::optional<TSwapFileMapping>& mapping,
                   std::optional<TFileMappingView>& view);
    void NotifyInstances(WPARAM code, LPARAM value);
    static TInstanceTable& Table(const std::optional<TFileMappingView>& view) noexcept
    {
        return *static_cast<TInstanceTable*>(view->Data());
    }

    DWORD FCPID;
    std::optional<TSwapFileMapping> FAllMapping;
    std::optional<TFileMappingView> FAllMappingView;
    std::optional<TSwapFileMapping> FSessionMapping;
    std::optional<TFileMappingView> FSessionMappingView;
    std::optional<TSwapFileMapping> FUserMapping;
    std::optional<TFileMappingView> FUserMappingView;
    UINT FMessageID;
    TOptex FOptex;
    std::wstring FUniqueAppID;
};

// This process's guard, created on the first call and destroyed at process exit.
TAppInstances& AppInstances();

// The application id of an executable: "Orvessa" + its full path, upper-cased with the
// locale's mapping, every backslash turned into an underscore.
std::wstring UniqueAppIDOf(const std::wstring& exePath);
// The full path of this process's executable.
std::wstring ModuleFileName();
