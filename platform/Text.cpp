#include "platform/Text.h"

#include "platform/Utf8.h"

namespace pw {

namespace {
using utf8::decode;
using utf8::isContinuation;
}  // namespace

std::size_t charCount(std::string_view s) {
    std::size_t n = 0;
    for (std::size_t i = 0; i < s.size();) { decode(s, i); ++n; }
    return n;
}

std::size_t byteOffsetOfChar(std::string_view s, std::size_t n) {
    std::size_t i = 0;
    for (std::size_t k = 0; k < n && i < s.size(); ++k) decode(s, i);
    return i;
}

std::string leftChars(std::string_view s, std::size_t n) { return std::string(s.substr(0, byteOffsetOfChar(s, n))); }

std::string rightChars(std::string_view s, std::size_t n) {
    std::size_t total = charCount(s);
    if (n >= total) return std::string(s);
    return std::string(s.substr(byteOffsetOfChar(s, total - n)));
}

std::string midChars(std::string_view s, std::size_t start, std::size_t count) {
    std::size_t b = byteOffsetOfChar(s, start);
    if (count == std::string::npos) return std::string(s.substr(b));
    std::size_t e = b + byteOffsetOfChar(s.substr(b), count);
    return std::string(s.substr(b, e - b));
}

std::string_view utf8PrefixBytes(std::string_view s, std::size_t maxBytes) {
    if (s.size() <= maxBytes) return s;
    std::size_t end = maxBytes;
    while (end > 0 && isContinuation(static_cast<unsigned char>(s[end]))) --end;
    return s.substr(0, end);
}

std::string trimBlanks(std::string_view s) {
    std::size_t b = s.find_first_not_of(' ');
    if (b == std::string_view::npos) return {};
    std::size_t e = s.find_last_not_of(' ');
    return std::string(s.substr(b, e - b + 1));
}

std::string cutAtNul(std::string_view s) {
    std::size_t p = s.find('\0');
    return std::string(p == std::string_view::npos ? s : s.substr(0, p));
}

std::string replaceAll(std::string_view s, std::string_view from, std::string_view to) {
    std::string out;
    if (from.empty()) return std::string(s);
    std::size_t pos = 0;
    for (;;) {
        std::size_t f = s.find(from, pos);
        if (f == std::string_view::npos) { out.append(s.substr(pos)); break; }
        out.append(s.substr(pos, f - pos));
        out.append(to);
        pos = f + from.size();
    }
    return out;
}

std::string toUpper(std::string_view s) { return utf8::fold(s); }

bool equalsNoCase(std::string_view a, std::string_view b) { return toUpper(a) == toUpper(b); }

bool endsWith(std::string_view s, std::string_view suffix) {
    return s.size() >= suffix.size() && s.substr(s.size() - suffix.size()) == suffix;
}

bool startsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

}  // namespace pw
