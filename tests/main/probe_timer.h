// A probe run from a timer of the GUI thread while that thread waits in a message loop (a
// command's wait, a modal dialog): what a test looks at, or does, in the middle of a wait.
// One probe at a time.
#pragma once

#include "ui/base/application.h"

#include <windows.h>

#include <functional>
#include <utility>

namespace probe_timer {
inline std::function<bool()> Pending;

inline void CALLBACK Tick(HWND, UINT, UINT_PTR id, DWORD)
{
    bool done = true;
    if (auto probe = std::exchange(Pending, nullptr)) {
        GuardedCall([&] { done = probe(); });
        if (!done)
            Pending = std::move(probe);
    }
    if (done)
        KillTimer(nullptr, id);
}
}  // namespace probe_timer

// Runs probe every ms until it returns true.
inline void ProbeUntil(UINT ms, std::function<bool()> probe)
{
    probe_timer::Pending = std::move(probe);
    SetTimer(nullptr, 0, ms, &probe_timer::Tick);
}

// Runs probe once, after ms.
inline void ProbeAfter(UINT ms, std::function<void()> probe)
{
    ProbeUntil(ms, [probe = std::move(probe)] {
        probe();
        return true;
    });
}

// The visible window of this class that belongs to this process, or null: a test of another
// program running at the same time may show a window of the same class.
inline HWND OwnVisibleWindow(const wchar_t* className)
{
    HWND found = nullptr;
    while ((found = FindWindowExW(nullptr, found, className, nullptr)) != nullptr) {
        DWORD process = 0;
        GetWindowThreadProcessId(found, &process);
        if (process == GetCurrentProcessId() && IsWindowVisible(found))
            return found;
    }
    return nullptr;
}
