#include "platform/Variant.h"

#include <cmath>
#include <cstdlib>
#include <limits>

#include "errors/Error.h"
#include "platform/Text.h"

namespace pw {

namespace {
[[noreturn]] void mismatch() { raise(kTypeMismatch); }

double parseNumber(const std::string& s) {
    std::string t = trimBlanks(s);
    if (t.empty()) mismatch();
    char* end = nullptr;
    double d = std::strtod(t.c_str(), &end);
    if (end == t.c_str() || *end != '\0') mismatch();
    return d;
}
}  // namespace

bool Variant::toBool() const {
    if (isEmpty()) return false;
    if (is<bool>()) return get<bool>();
    if (is<std::int32_t>()) return get<std::int32_t>() != 0;
    if (is<double>()) return get<double>() != 0;
    if (is<Date>()) return get<Date>().value != 0;
    if (is<std::string>()) {
        const std::string& s = get<std::string>();
        if (equalsNoCase(s, "True")) return true;
        if (equalsNoCase(s, "False")) return false;
        return parseNumber(s) != 0;
    }
    mismatch();
}

double Variant::toDouble() const {
    if (isEmpty()) return 0;
    if (is<bool>()) return get<bool>() ? -1 : 0;  // True is -1, as in automation
    if (is<std::int32_t>()) return get<std::int32_t>();
    if (is<double>()) return get<double>();
    if (is<Date>()) return get<Date>().value;
    if (is<std::string>()) return parseNumber(get<std::string>());
    mismatch();
}

std::int32_t Variant::toLong() const {
    if (is<std::int32_t>()) return get<std::int32_t>();
    double d = toDouble();
    // Banker's rounding, as automation coercion does.
    double r = std::nearbyint(d);
    if (r < std::numeric_limits<std::int32_t>::min() || r > std::numeric_limits<std::int32_t>::max()) raise(kOverflow);
    return static_cast<std::int32_t>(r);
}

std::string Variant::toString() const {
    if (isEmpty()) return "";
    if (is<bool>()) return get<bool>() ? "True" : "False";
    if (is<std::int32_t>()) return std::to_string(get<std::int32_t>());
    if (is<double>()) {
        std::string s = std::to_string(get<double>());
        while (!s.empty() && s.back() == '0') s.pop_back();
        if (!s.empty() && s.back() == '.') s.pop_back();
        return s;
    }
    if (is<Date>()) return std::to_string(get<Date>().value);
    if (is<std::string>()) return get<std::string>();
    mismatch();
}

ctlListing Variant::toListing() const {
    if (is<ctlListing>()) return get<ctlListing>();
    mismatch();
}

}  // namespace pw
