// The variant that registry values travel in: empty, Boolean, 16- and 32-bit
// integers, double, text or a byte array (indexed from 0), with the classic
// coercions (a failed one raises 13, type mismatch).
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "platform/Export.h"

namespace pw {

using RegBytes = std::vector<std::uint8_t>;

class PACKWELL_API RegVariant {
public:
    using Value = std::variant<std::monostate, bool, std::int16_t, std::int32_t, double, std::string, RegBytes>;

    RegVariant() = default;
    RegVariant(bool b) : v_(b) {}
    RegVariant(std::int16_t i) : v_(i) {}
    RegVariant(std::int32_t i) : v_(i) {}
    RegVariant(double d) : v_(d) {}
    RegVariant(std::string s) : v_(std::move(s)) {}
    RegVariant(const char* s) : v_(std::string(s)) {}
    RegVariant(RegBytes b) : v_(std::move(b)) {}

    bool isEmpty() const { return std::holds_alternative<std::monostate>(v_); }
    const Value& value() const { return v_; }
    template <class T>
    bool is() const { return std::holds_alternative<T>(v_); }
    template <class T>
    const T& get() const { return std::get<T>(v_); }

    // Empty gives 0 and ""; True is -1 and "True"; a numeric text converts,
    // any other text or a byte array raises 13. Out of range raises 6.
    std::int32_t toLong() const;
    // Like toLong, but anything that does not convert gives `fallback`.
    std::int32_t toLongOr(std::int32_t fallback) const;
    // Bytes show as their hexadecimal pairs.
    std::string toString() const;

    bool operator==(const RegVariant&) const = default;

private:
    Value v_;
};

}  // namespace pw
