// Entry names: turning a stored name into a path that stays inside the
// extract folder, and matching names against the include/exclude lists.
#pragma once

#include <string>
#include <unordered_set>
#include <vector>

namespace uz {

struct SafeName {
    bool ok = false;
    std::string reason;               // why the name was refused
    std::vector<std::string> parts;   // path components, never "", "." or ".."
    bool directory = false;           // the entry is a folder (trailing separator)
};

// Splits a stored name at "/" and "\" (archives made on Windows use the
// latter) and refuses absolute names, drive letters and ".." components.
SafeName sanitize(const std::string& stored);

// Does a symbolic link with `target`, placed in folder `linkFolder` (components
// below the extract folder), resolve to a place inside the extract folder?
bool linkStaysInside(const std::vector<std::string>& linkFolder, const std::string& target);

// Info-ZIP style wildcards: "*" any run (slashes too), "?" one character,
// "[...]" a set ("[!...]" or "[^...]" negated). Case-insensitive unless asked.
class NameMatcher {
public:
    NameMatcher(const std::vector<std::string>& patterns, bool caseSensitive);
    bool empty() const { return count_ == 0; }
    // Whether `name` matches; marks the patterns that matched.
    bool matches(const std::string& name);
    // Patterns that never matched, in list order.
    std::vector<std::string> unmatched() const;
    // A pattern that is exactly one of `names` (the archive's stored names)
    // stands for that entry alone, whatever the case flag: callers list the
    // entries they picked by name, "Readme.txt" must not also pick
    // README.TXT, nor "photo [1].jpg" mean "photo 1.jpg". A wildcard pattern
    // that names an entry only when folded is taken as that folded name.
    void preferLiteral(const std::vector<std::string>& names);

private:
    std::u32string fold(const std::string& s) const;
    bool caseSensitive_;
    std::size_t count_ = 0;
    std::vector<std::string> originals_;
    std::vector<std::u32string> wild_;          // patterns with wildcards
    std::vector<std::size_t> wildIndex_;
    std::unordered_set<std::u32string> exact_;  // plain names, folded
    std::vector<std::pair<std::u32string, std::size_t>> exactIndex_;
    std::unordered_set<std::string> literal_;   // patterns that are stored names, unfolded
    std::vector<std::pair<std::string, std::size_t>> literalIndex_;
    std::vector<bool> hit_;
};

// Bytes read as code page 437, the zip format's own code page, in UTF-8.
std::string cp437ToUtf8(const std::string& bytes);
bool wildMatch(const char32_t* p, const char32_t* pe, const char32_t* s, const char32_t* se);

}  // namespace uz
