#include "registry/RegVariant.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "errors/Error.h"

namespace pw {

namespace {

// A whole-number text ("12", " -3 ", "&H1F"); false for anything else.
bool parseLong(const std::string& s, double& out) {
    std::size_t b = s.find_first_not_of(" \t");
    std::size_t e = s.find_last_not_of(" \t");
    if (b == std::string::npos) return false;
    std::string t = s.substr(b, e - b + 1);
    errno = 0;
    char* end = nullptr;
    if (t.size() > 2 && t[0] == '&' && (t[1] == 'H' || t[1] == 'h')) {
        unsigned long long v = std::strtoull(t.c_str() + 2, &end, 16);
        if (*end || errno) return false;
        out = static_cast<double>(v);
        return true;
    }
    double v = std::strtod(t.c_str(), &end);
    if (*end || errno || std::isnan(v)) return false;
    out = v;
    return true;
}

bool toDouble(const RegVariant::Value& v, double& out) {
    if (std::holds_alternative<std::monostate>(v)) { out = 0; return true; }
    if (auto* b = std::get_if<bool>(&v)) { out = *b ? -1 : 0; return true; }
    if (auto* i = std::get_if<std::int16_t>(&v)) { out = *i; return true; }
    if (auto* l = std::get_if<std::int32_t>(&v)) { out = *l; return true; }
    if (auto* d = std::get_if<double>(&v)) { out = *d; return true; }
    if (auto* s = std::get_if<std::string>(&v)) return parseLong(*s, out);
    return false;
}

}  // namespace

std::int32_t RegVariant::toLong() const {
    double d = 0;
    if (!toDouble(v_, d)) raise(kTypeMismatch);
    d = std::nearbyint(d);
    if (d < std::numeric_limits<std::int32_t>::min() || d > std::numeric_limits<std::int32_t>::max()) raise(kOverflow);
    return static_cast<std::int32_t>(d);
}

std::int32_t RegVariant::toLongOr(std::int32_t fallback) const {
    double d = 0;
    if (!toDouble(v_, d)) return fallback;
    d = std::nearbyint(d);
    if (d < std::numeric_limits<std::int32_t>::min() || d > std::numeric_limits<std::int32_t>::max()) return fallback;
    return static_cast<std::int32_t>(d);
}

std::string RegVariant::toString() const {
    if (auto* b = std::get_if<bool>(&v_)) return *b ? "True" : "False";
    if (auto* i = std::get_if<std::int16_t>(&v_)) return std::to_string(*i);
    if (auto* l = std::get_if<std::int32_t>(&v_)) return std::to_string(*l);
    if (auto* d = std::get_if<double>(&v_)) {
        if (std::nearbyint(*d) == *d && std::fabs(*d) < 1e15) return std::to_string(static_cast<long long>(*d));
        char buf[32];
        std::snprintf(buf, sizeof buf, "%.15g", *d);
        return buf;
    }
    if (auto* s = std::get_if<std::string>(&v_)) return *s;
    if (auto* bytes = std::get_if<RegBytes>(&v_)) {
        static const char* hex = "0123456789abcdef";
        std::string out;
        for (std::uint8_t c : *bytes) { out += hex[c >> 4]; out += hex[c & 15]; }
        return out;
    }
    return {};
}

}  // namespace pw
