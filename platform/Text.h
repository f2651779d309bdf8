// Text helpers. Texts are UTF-8 std::strings; where the system counts
// "characters" it counts Unicode code points, never bytes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace pw {

// Number of code points in `s` (invalid bytes count as one each, see
// platform/Utf8.h).
std::size_t charCount(std::string_view s);

// Byte offset of code point `n` (0-based); s.size() when past the end.
std::size_t byteOffsetOfChar(std::string_view s, std::size_t n);

// The first `n` code points of `s` (Left$).
std::string leftChars(std::string_view s, std::size_t n);
// The last `n` code points of `s` (Right$).
std::string rightChars(std::string_view s, std::size_t n);
// `count` code points from code point `start` (0-based; Mid$ - 1).
std::string midChars(std::string_view s, std::size_t start, std::size_t count = std::string::npos);

// The longest prefix of `s` of at most `maxBytes` bytes that does not cut a
// character in two.
std::string_view utf8PrefixBytes(std::string_view s, std::size_t maxBytes);

// Removes leading and trailing blanks (spaces only, as the classic Trim).
std::string trimBlanks(std::string_view s);

// The text up to its first NUL.
std::string cutAtNul(std::string_view s);

// Every occurrence of `from` replaced by `to`.
std::string replaceAll(std::string_view s, std::string_view from, std::string_view to);

// Upper-casing and case-insensitive comparison, by the one folding rule of
// platform/Utf8.h (a fixed table, the same under every locale).
std::string toUpper(std::string_view s);
bool equalsNoCase(std::string_view a, std::string_view b);

bool endsWith(std::string_view s, std::string_view suffix);
bool startsWith(std::string_view s, std::string_view prefix);

}  // namespace pw
