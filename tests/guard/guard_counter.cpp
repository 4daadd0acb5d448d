// Stand-in for a copy of the program that works on shared data: says it is ready, waits for the
// gate event, then
// increments a counter in shared memory the given number of times, each time under the lock
// taken twice (re-entered), reading and writing the counter in separate steps.
// Usage: guard_counter <lock name> <iterations>. Exit code 0 when done, 2 on a usage error.
// guard_counter <lock name> hold: enters the lock twice, sets the event "<lock name>_Held" and
// waits for ever, holding it, to be killed.
#include "app/kernel_objects.h"
#include "app/optex.h"

#include <windows.h>

#include <cstdlib>
#include <cwchar>

int wmain(int argc, wchar_t** argv)
{
    if (argc != 3)
        return 2;
    const std::wstring name = argv[1];
    const long iterations = std::wcstol(argv[2], nullptr, 10);
    try {
        if (std::wcscmp(argv[2], L"hold") == 0) {
            TOptex optex(name);
            optex.Enter();
            optex.Enter();
            TEvent(nullptr, true, false, name + L"_Held").SetEvent();
            Sleep(INFINITE);
        }
        TOptex optex(name);
        TSwapFileMapping mapping(name + L"_Counter", 2 * sizeof(LONG));
        TFileMappingView view(mapping, FILE_MAP_ALL_ACCESS, 0, 2 * sizeof(LONG));
        auto* counter = static_cast<volatile LONG*>(view.Data());
        TEvent gate(nullptr, true, false, name + L"_Go");
        InterlockedIncrement(counter + 1);  // ready
        if (gate.WaitFor(30000) != WAIT_OBJECT_0)
            return 1;
        for (long i = 0; i < iterations; ++i) {
            TOptexLock outer(optex);
            TOptexLock inner(optex);
            const LONG value = *counter;
            if (i % 2 == 0)
                SwitchToThread();  // let the other process run between reading and writing
            *counter = value + 1;
        }
        return 0;
    } catch (...) {
        return 1;
    }
}
