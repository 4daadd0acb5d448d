#include "app/instance_table.h"

#include <algorithm>

unsigned TableCount(const TInstanceTable& table) noexcept
{
    return std::min<unsigned>(table.Count, TInstanceTable::Capacity);
}

DWORD TableProcessID(const TInstanceTable& table, unsigned index) noexcept
{
    return index < TableCount(table) ? table.ProcessIDs[index] : 0;
}

bool TableRegister(TInstanceTable& table, DWORD processID, uint16_t limit) noexcept
{
    if (table.Limit == 0)
        table.Limit = limit;
    if (table.Count >= TInstanceTable::Capacity)
        return false;
    const bool allowed = table.Limit == 0 || table.Count < table.Limit;
    table.ProcessIDs[table.Count] = processID;
    ++table.Count;
    return allowed;
}

void TableRemove(TInstanceTable& table, DWORD processID) noexcept
{
    const unsigned count = TableCount(table);
    uint32_t* begin = table.ProcessIDs;
    uint32_t* found = std::find(begin, begin + count, processID);
    if (found == begin + count)
        return;
    std::copy(found + 1, begin + count, found);
    table.Count = static_cast<uint16_t>(count - 1);
}
