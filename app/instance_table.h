// The instance table: the layout of each shared block in which the running copies of the
// program record their process ids, and the operations on it. Callers hold the guard's lock.
#pragma once

#include <windows.h>

#include <cstdint>

struct TInstanceTable {
    static constexpr unsigned Capacity = 257;

    uint16_t Limit;  // the most instances allowed; 0 = no limit. Set by the first registrant that finds 0.
    uint16_t Count;  // process ids in use
    uint32_t ProcessIDs[Capacity];  // in order of registration; entries from Count on mean nothing
};
static_assert(sizeof(TInstanceTable) == 1032);

// The number of ids that may be read: Count, but never past the end of the table.
unsigned TableCount(const TInstanceTable& table) noexcept;

// The id at index, or 0 when index is not below the count.
DWORD TableProcessID(const TInstanceTable& table, unsigned index) noexcept;

// Registers processID: writes limit into the table when its limit is 0, then appends the id.
// Returns whether the table lets the process run (no limit, or fewer ids than the limit before
// this one). A full table is never written past its end: the id is not appended and the start
// is refused.
bool TableRegister(TInstanceTable& table, DWORD processID, uint16_t limit) noexcept;

// Removes the first occurrence of processID; the ids after it move down one place, keeping
// their order. Without an occurrence the table is unchanged.
void TableRemove(TInstanceTable& table, DWORD processID) noexcept;
