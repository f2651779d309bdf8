// A small variant for hosts that bind by dispatch identifier: empty, Boolean,
// signed 32-bit, date, text or a listing record, with the classic coercions
// (a failed one raises 13, type mismatch).
#pragma once

#include <cstdint>
#include <string>
#include <variant>

#include "platform/Export.h"
#include "control/ctlListing.h"

namespace pw {

struct Date {
    double value = 0;
    bool operator==(const Date&) const = default;
};

class PACKWELL_API Variant {
public:
    using Value = std::variant<std::monostate, bool, std::int32_t, double, Date, std::string, ctlListing>;

    Variant() = default;
    Variant(bool b) : v_(b) {}
    Variant(std::int32_t i) : v_(i) {}
    Variant(double d) : v_(d) {}
    Variant(Date d) : v_(d) {}
    Variant(std::string s) : v_(std::move(s)) {}
    Variant(const char* s) : v_(std::string(s)) {}
    Variant(ctlListing r) : v_(std::move(r)) {}

    bool isEmpty() const { return std::holds_alternative<std::monostate>(v_); }
    const Value& value() const { return v_; }

    template <class T>
    bool is() const { return std::holds_alternative<T>(v_); }
    template <class T>
    const T& get() const { return std::get<T>(v_); }

    // Coercions: "True"/"False" and numbers to Boolean, numeric texts to
    // numbers, anything to text; empty gives False, 0 and "".
    bool toBool() const;
    std::int32_t toLong() const;
    double toDouble() const;
    std::string toString() const;
    ctlListing toListing() const;

    bool operator==(const Variant&) const = default;

private:
    Value v_;
};

}  // namespace pw
