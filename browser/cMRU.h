// cMRU: a bounded most-recent-first list of texts (archives opened, folders
// extracted to), saved to and loaded from one registry key.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Export.h"

class cRegistry;

class PACKWELL_API cMRU {
public:
    static constexpr std::int32_t kDefaultMaxCount = 16;
    // A stored capacity above this is taken as this when loading, so a
    // hostile value cannot make the list reserve unbounded memory.
    static constexpr std::int32_t kLargestLoadedMaxCount = 4096;

    std::int32_t MaxCount() const { return m_lMaxCount; }
    // Lowering the capacity below `Count` drops the oldest items. A negative
    // capacity raises 5; 0 makes a list that keeps nothing.
    void MaxCount(std::int32_t v);
    std::int32_t Count() const { return static_cast<std::int32_t>(m_sItems.size()); }
    // Item `nIndex`, 1 = the most recent; raises 9 outside 1..Count.
    std::string Item(std::int32_t nIndex) const;

    // Puts sItem first; an exactly equal (case-sensitive) item moves up
    // instead of being repeated; a full list loses its oldest item. An empty
    // text is never added.
    void Add(const std::string& sItem);

    // Writes "MaxCount" (REG_DWORD), "Count" (REG_SZ) and "Item1".."ItemN"
    // under the key the caller set in cR. Raises what the registry raises.
    void Serialise(cRegistry& cR) const;
    // Replaces the list with the one stored under cR's key; missing values
    // give capacity 16 and no items.
    void DeSerialise(cRegistry& cR);

private:
    std::int32_t m_lMaxCount = kDefaultMaxCount;
    std::vector<std::string> m_sItems;  // [0] is the most recent
};
