#include "browser/cMRU.h"

#include <algorithm>

#include "errors/Error.h"
#include "registry/cRegistry.h"

void cMRU::MaxCount(std::int32_t v) {
    if (v < 0) pw::raise(pw::kInvalidProcedureCall);
    m_lMaxCount = v;
    if (Count() > v) m_sItems.resize(static_cast<std::size_t>(v));
}

std::string cMRU::Item(std::int32_t nIndex) const {
    if (nIndex < 1 || nIndex > Count()) pw::raise(pw::kSubscriptOutOfRange);
    return m_sItems[static_cast<std::size_t>(nIndex - 1)];
}

void cMRU::Add(const std::string& sItem) {
    // A list without room keeps nothing (rather than failing on position 1).
    // An empty text names no folder or archive: it would only come back as a
    // blank recent entry and as the next starting point.
    if (m_lMaxCount < 1 || sItem.empty()) return;
    auto found = std::find(m_sItems.begin(), m_sItems.end(), sItem);
    if (found != m_sItems.end()) m_sItems.erase(found);
    else if (Count() >= m_lMaxCount) m_sItems.resize(static_cast<std::size_t>(m_lMaxCount - 1));
    m_sItems.insert(m_sItems.begin(), sItem);
}

void cMRU::Serialise(cRegistry& cR) const {
    cR.ValueType(REG_DWORD);
    cR.ValueKey("MaxCount");
    cR.Value(pw::RegVariant(m_lMaxCount));
    // "Count" is kept as text, unlike "MaxCount", for the readers of this layout.
    cR.ValueKey("Count");
    cR.ValueType(REG_SZ);
    cR.Value(pw::RegVariant(Count()));
    for (std::int32_t i = 1; i <= Count(); ++i) {
        cR.ValueKey("Item" + std::to_string(i));
        cR.Value(pw::RegVariant(m_sItems[static_cast<std::size_t>(i - 1)]));
    }
}

void cMRU::DeSerialise(cRegistry& cR) {
    cR.ValueType(REG_DWORD);
    cR.ValueKey("MaxCount");
    // Values that are missing or do not read as numbers count as 0.
    std::int32_t maxCount = cR.Value().toLongOr(0);
    if (maxCount < 1) maxCount = kDefaultMaxCount;
    if (maxCount > kLargestLoadedMaxCount) maxCount = kLargestLoadedMaxCount;
    cR.ValueKey("Count");
    std::int32_t count = cR.Value().toLongOr(0);
    if (count > maxCount) count = maxCount;

    std::vector<std::string> items;
    if (count > 0) {
        items.reserve(static_cast<std::size_t>(count));
        for (std::int32_t i = 1; i <= count; ++i) {
            cR.ValueKey("Item" + std::to_string(i));
            items.push_back(cR.Value().toString());
        }
    }
    m_lMaxCount = maxCount;
    m_sItems = std::move(items);
}
