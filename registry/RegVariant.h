// The variant that registry values travel in: empty, Boolean, 16- and 32-bit
// integers, double, text or a byte array (indexed from 0), with the classic
// coercions (a failed one raises 13, type mismatch).
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "platform/Export.h"
#include "platform/VariantOf.h"

namespace pw {

using RegBytes = std::vector<std::uint8_t>;

class PACKWELL_API RegVariant : public VariantOf<bool, std::int16_t, std::int32_t, double, std::string, RegBytes> {
public:
    using VariantOf::VariantOf;

    // Empty gives 0 and ""; True is -1 and "True"; a numeric text converts,
    // any other text or a byte array raises 13. Out of range raises 6.
    std::int32_t toLong() const;
    // Like toLong, but anything that does not convert gives `fallback`.
    std::int32_t toLongOr(std::int32_t fallback) const;
    // Bytes show as their hexadecimal pairs.
    std::string toString() const;

    bool operator==(const RegVariant&) const = default;
};

}  // namespace pw
