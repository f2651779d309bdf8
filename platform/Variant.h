// A small variant for hosts that bind by dispatch identifier: empty, Boolean,
// signed 32-bit, date, text or a listing record, with the classic coercions
// (a failed one raises 13, type mismatch).
#pragma once

#include <cstdint>
#include <string>
#include <variant>

#include "platform/Export.h"
#include "platform/VariantOf.h"

#include "platform/ctlListing.h"

namespace pw {

struct Date {
    double value = 0;
    bool operator==(const Date&) const = default;
};

class PACKWELL_API Variant : public VariantOf<bool, std::int32_t, double, Date, std::string, ctlListing> {
public:
    using VariantOf::VariantOf;

    // Coercions: "True"/"False" and numbers to Boolean, numeric texts to
    // numbers, anything to text; empty gives False, 0 and "".
    bool toBool() const;
    std::int32_t toLong() const;
    double toDouble() const;
    std::string toString() const;
    ctlListing toListing() const;

    bool operator==(const Variant&) const = default;
};

}  // namespace pw
