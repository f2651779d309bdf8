#include "platform/Text.h"

#include <cctype>
#include <cwctype>

namespace pw {

namespace {
bool isContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// Decodes one code point at `i`, advancing `i`; invalid bytes give U+FFFD.
char32_t decode(std::string_view s, std::size_t& i) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    int len = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
    if (len == 0 || i + len > s.size()) { ++i; return 0xFFFD; }
    char32_t cp = len == 1 ? c : len == 2 ? (c & 0x1F) : len == 3 ? (c & 0x0F) : (c & 0x07);
    for (int k = 1; k < len; ++k) {
        unsigned char cc = static_cast<unsigned char>(s[i + k]);
        if (!isContinuation(cc)) { ++i; return 0xFFFD; }
        cp = (cp << 6) | (cc & 0x3F);
    }
    i += len;
    return cp;
}

void encode(char32_t cp, std::string& out) {
    if (cp < 0x80) out += static_cast<char>(cp);
    else if (cp < 0x800) { out += static_cast<char>(0xC0 | (cp >> 6)); out += static_cast<char>(0x80 | (cp & 0x3F)); }
    else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12)); out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18)); out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F)); out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}
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

std::string toUpper(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        char32_t cp = decode(s, i);
        if (cp < 0x80) cp = static_cast<char32_t>(std::toupper(static_cast<int>(cp)));
        else cp = static_cast<char32_t>(std::towupper(static_cast<wint_t>(cp)));
        encode(cp, out);
    }
    return out;
}

bool equalsNoCase(std::string_view a, std::string_view b) { return toUpper(a) == toUpper(b); }

bool endsWith(std::string_view s, std::string_view suffix) {
    return s.size() >= suffix.size() && s.substr(s.size() - suffix.size()) == suffix;
}

bool startsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

}  // namespace pw
