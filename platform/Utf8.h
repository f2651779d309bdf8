// UTF-8 decoding and case folding, the one copy of both.
//
// This file and Utf8.cpp depend on nothing but the standard library: the
// core compiles them in, and so does each engine library that needs them
// (the engines are loaded at run time and never link the core).
//
// Invalid bytes. A byte that does not start a complete, well-formed sequence
// decodes as U+DC00 + byte (a lone low surrogate, which well-formed UTF-8
// never holds), and encoding such a value writes the byte back. So invalid
// bytes count as one character each, stay distinct from every real
// character and from each other, and survive a decode/encode round trip.
//
// Case folding. One rule for every name the system compares without regard
// to case (registry keys and values, the unzip engine's include and exclude
// names, upper-cased extensions and dispatch names): a fixed table that
// folds to upper case the letters of ASCII, Latin-1, Latin Extended-A, Greek
// and Cyrillic; every other character is its own fold. Fixed, not the
// locale's: the registry stores folded names, so every process and every
// release must fold a name the same way whatever locale it runs under.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace pw::utf8 {

// The code point at byte `i` of `s`, advancing `i` past it (by one byte for
// an invalid byte, which gives U+DC00 + byte). `i` must be < s.size().
char32_t decode(std::string_view s, std::size_t& i);

// Appends `cp` as UTF-8 (an escaped invalid byte as that byte).
void encode(char32_t cp, std::string& out);

// The whole text as code points.
std::u32string decodeAll(std::string_view s);

// Whether `s` is well-formed UTF-8: no stray bytes, overlong forms,
// surrogates or code points past U+10FFFF.
bool isValid(std::string_view s);

// Is `c` a continuation byte (10xxxxxx)?
inline bool isContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// The fold of one character, and of a whole text (re-encoded; `chars`, when
// given, gets the text's number of characters).
char32_t foldChar(char32_t c);
std::string fold(std::string_view s, std::size_t* chars = nullptr);

}  // namespace pw::utf8
