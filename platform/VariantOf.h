// What the system's two variants share: the dispatch's (platform/Variant.h)
// and the registry's (registry/RegVariant.h). They stay two types because
// they carry different things with different coercions (listing records and
// dates for hosts; byte arrays, 16-bit integers and True as -1 for registry
// values); the storage and access are this one template.
#pragma once

#include <type_traits>
#include <utility>
#include <variant>

namespace pw {

template <class... Alternatives>
class VariantOf {
public:
    using Value = std::variant<std::monostate, Alternatives...>;

    VariantOf() = default;
    // Any value one alternative takes without narrowing (a text pointer
    // becomes a std::string; only a bool becomes a bool).
    template <class T>
        requires(!std::is_base_of_v<VariantOf, std::remove_cvref_t<T>> && std::is_constructible_v<Value, T &&>)
    VariantOf(T&& v) : v_(std::forward<T>(v)) {}

    bool isEmpty() const { return std::holds_alternative<std::monostate>(v_); }
    const Value& value() const { return v_; }
    template <class T>
    bool is() const { return std::holds_alternative<T>(v_); }
    template <class T>
    const T& get() const { return std::get<T>(v_); }

    bool operator==(const VariantOf&) const = default;

protected:
    Value v_;
};

}  // namespace pw
