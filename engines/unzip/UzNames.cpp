#include "UzNames.h"

#include <algorithm>

#include <clocale>
#include <cwctype>
#include <locale.h>
#include <wctype.h>

namespace uz {

namespace {

locale_t utf8Locale() {
    static locale_t loc = [] {
        locale_t l = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
        if (!l) l = newlocale(LC_CTYPE_MASK, "C", static_cast<locale_t>(0));
        return l;
    }();
    return loc;
}

std::vector<std::string> splitParts(const std::string& s) {
    std::vector<std::string> out;
    std::string cur;
    for (char c : s) {
        if (c == '/' || c == '\\') {
            out.push_back(cur);
            cur.clear();
        } else {
            cur.push_back(c);
        }
    }
    out.push_back(cur);
    return out;
}

bool hasWildcard(const std::string& s) {
    return s.find_first_of("*?[") != std::string::npos;
}

}  // namespace

SafeName sanitize(const std::string& stored) {
    SafeName r;
    if (stored.empty()) {
        r.reason = "empty name";
        return r;
    }
    const char first = stored[0];
    if (first == '/' || first == '\\') {
        r.reason = "absolute path";
        return r;
    }
    if (stored.size() >= 2 && stored[1] == ':' && ((first >= 'A' && first <= 'Z') || (first >= 'a' && first <= 'z'))) {
        r.reason = "absolute path (drive letter)";
        return r;
    }
    const char last = stored.back();
    r.directory = last == '/' || last == '\\';
    for (auto& p : splitParts(stored)) {
        if (p.empty() || p == ".") continue;
        if (p == "..") {
            r.reason = "path leaves the extract folder (\"..\")";
            r.parts.clear();
            return r;
        }
        r.parts.push_back(p);
    }
    if (r.parts.empty()) {
        r.reason = "empty name";
        return r;
    }
    r.ok = true;
    return r;
}

bool linkStaysInside(const std::vector<std::string>& linkFolder, const std::string& target) {
    if (target.empty() || target[0] == '/' || target[0] == '\\') return false;
    if (target.size() >= 2 && target[1] == ':') return false;
    std::vector<std::string> at = linkFolder;
    for (auto& p : splitParts(target)) {
        if (p.empty() || p == ".") continue;
        if (p == "..") {
            if (at.empty()) return false;
            at.pop_back();
        } else {
            at.push_back(p);
        }
    }
    return true;
}

std::u32string decodeUtf8(const std::string& s) {
    std::u32string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        char32_t cp;
        int n;
        if (c < 0x80) { cp = c; n = 1; }
        else if ((c & 0xE0) == 0xC0) { cp = c & 0x1F; n = 2; }
        else if ((c & 0xF0) == 0xE0) { cp = c & 0x0F; n = 3; }
        else if ((c & 0xF8) == 0xF0) { cp = c & 0x07; n = 4; }
        else { out.push_back(0xDC00 + c); ++i; continue; }  // keep stray bytes distinct
        if (i + n > s.size()) { out.push_back(0xDC00 + c); ++i; continue; }
        bool good = true;
        for (int k = 1; k < n; ++k) {
            unsigned char cc = static_cast<unsigned char>(s[i + k]);
            if ((cc & 0xC0) != 0x80) { good = false; break; }
            cp = (cp << 6) | (cc & 0x3F);
        }
        if (!good) { out.push_back(0xDC00 + c); ++i; continue; }
        out.push_back(cp);
        i += n;
    }
    return out;
}

bool wildMatch(const char32_t* p, const char32_t* pe, const char32_t* s, const char32_t* se) {
    // Iterative star matching with backtracking to the last star only.
    const char32_t* starP = nullptr;
    const char32_t* starS = nullptr;
    while (s < se) {
        if (p < pe && *p == U'*') {
            while (p < pe && *p == U'*') ++p;
            if (p == pe) return true;
            starP = p;
            starS = s;
            continue;
        }
        bool ok = false;
        const char32_t* next = p;
        if (p < pe) {
            if (*p == U'?') {
                ok = true;
                next = p + 1;
            } else if (*p == U'[') {
                const char32_t* q = p + 1;
                bool negate = q < pe && (*q == U'!' || *q == U'^');
                if (negate) ++q;
                bool in = false;
                const char32_t* start = q;
                while (q < pe && (*q != U']' || q == start)) {
                    if (q + 2 < pe && q[1] == U'-' && q[2] != U']') {
                        if (*s >= q[0] && *s <= q[2]) in = true;
                        q += 3;
                    } else {
                        if (*s == *q) in = true;
                        ++q;
                    }
                }
                if (q < pe) {  // a closed set
                    ok = in != negate;
                    next = q + 1;
                } else {       // no closing bracket: a literal "["
                    ok = *s == U'[';
                    next = p + 1;
                }
            } else {
                ok = *p == *s;
                next = p + 1;
            }
        }
        if (ok) {
            p = next;
            ++s;
        } else if (starP) {
            p = starP;
            s = ++starS;
        } else {
            return false;
        }
    }
    while (p < pe && *p == U'*') ++p;
    return p == pe;
}

NameMatcher::NameMatcher(const std::vector<std::string>& patterns, bool caseSensitive)
    : caseSensitive_(caseSensitive), count_(patterns.size()), originals_(patterns), hit_(patterns.size(), false) {
    for (std::size_t i = 0; i < patterns.size(); ++i) {
        std::string p = patterns[i];
        for (auto& c : p)
            if (c == '\\') c = '/';
        if (hasWildcard(p)) {
            wild_.push_back(fold(p));
            wildIndex_.push_back(i);
        } else {
            auto f = fold(p);
            exact_.insert(f);
            exactIndex_.emplace_back(std::move(f), i);
        }
    }
}

std::u32string NameMatcher::fold(const std::string& s) const {
    std::u32string u = decodeUtf8(s);
    if (!caseSensitive_) {
        locale_t loc = utf8Locale();
        for (auto& c : u)
            if (c < 0xD800 || c > 0xDFFF) c = static_cast<char32_t>(towlower_l(static_cast<wint_t>(c), loc));
    }
    return u;
}

bool NameMatcher::matches(const std::string& name) {
    std::string n = name;
    for (auto& c : n)
        if (c == '\\') c = '/';
    bool any = false;
    if (!literal_.empty() && literal_.count(n)) {
        any = true;
        for (auto& [l, i] : literalIndex_)
            if (!hit_[i] && l == n) hit_[i] = true;
    }
    if (exact_.empty() && wild_.empty()) return any;
    const std::u32string f = fold(n);
    if (!exact_.empty() && exact_.count(f)) {
        any = true;
        for (auto& [e, i] : exactIndex_)
            if (!hit_[i] && e == f) hit_[i] = true;
    }
    for (std::size_t k = 0; k < wild_.size(); ++k) {
        if (any && hit_[wildIndex_[k]]) continue;
        const auto& w = wild_[k];
        if (wildMatch(w.data(), w.data() + w.size(), f.data(), f.data() + f.size())) {
            hit_[wildIndex_[k]] = true;
            any = true;
        }
    }
    return any;
}

void NameMatcher::preferLiteral(const std::vector<std::string>& names) {
    std::unordered_set<std::string> stored;
    std::unordered_set<std::u32string> folded;
    for (const std::string& n : names) {
        std::string t = n;
        for (auto& c : t)
            if (c == '\\') c = '/';
        if (!wild_.empty()) folded.insert(fold(t));
        stored.insert(std::move(t));
    }
    // A pattern that is exactly a stored name stands for that entry alone,
    // whatever the case flag says: "Readme.txt" must not also pick README.TXT.
    for (std::size_t i = 0; i < count_; ++i) {
        std::string p = originals_[i];
        for (auto& c : p)
            if (c == '\\') c = '/';
        if (!stored.count(p)) continue;
        literal_.insert(p);
        literalIndex_.emplace_back(std::move(p), i);
    }
    auto isLiteral = [&](std::size_t i) {
        for (auto& [l, j] : literalIndex_)
            if (j == i) return true;
        return false;
    };
    if (!literalIndex_.empty()) {
        exactIndex_.erase(std::remove_if(exactIndex_.begin(), exactIndex_.end(),
                                         [&](const auto& e) { return isLiteral(e.second); }),
                          exactIndex_.end());
        exact_.clear();
        for (auto& [e, i] : exactIndex_) exact_.insert(e);
    }
    // A wildcard pattern that names an entry (folded) is that name, too.
    for (std::size_t k = 0; k < wild_.size();) {
        const bool literal = isLiteral(wildIndex_[k]);
        if (!literal && !folded.count(wild_[k])) {
            ++k;
            continue;
        }
        if (!literal) {
            exact_.insert(wild_[k]);
            exactIndex_.emplace_back(std::move(wild_[k]), wildIndex_[k]);
        }
        wild_.erase(wild_.begin() + static_cast<std::ptrdiff_t>(k));
        wildIndex_.erase(wildIndex_.begin() + static_cast<std::ptrdiff_t>(k));
    }
}

std::vector<std::string> NameMatcher::unmatched() const {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < count_; ++i)
        if (!hit_[i]) out.push_back(originals_[i]);
    return out;
}

}  // namespace uz
