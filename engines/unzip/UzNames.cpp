#include "UzNames.h"

#include <algorithm>

#include "platform/Utf8.h"

namespace uz {

namespace {

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

std::string cp437ToUtf8(const std::string& bytes) {
    static constexpr char16_t kHigh[128] = {
        0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE,
        0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9, 0x00FF, 0x00D6,
        0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA,
        0x00BA, 0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB, 0x2591, 0x2592, 0x2593, 0x2502,
        0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510, 0x2514,
        0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F, 0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550,
        0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518, 0x250C,
        0x2588, 0x2584, 0x258C, 0x2590, 0x2580, 0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4,
        0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229, 0x2261, 0x00B1, 0x2265, 0x2264, 0x2320,
        0x2321, 0x00F7, 0x2248, 0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0};
    std::string out;
    out.reserve(bytes.size() * 2);
    for (unsigned char c : bytes) {
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
            continue;
        }
        pw::utf8::encode(kHigh[c - 0x80], out);
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
    // The system's one folding rule (platform/Utf8.h); invalid bytes stay
    // distinct characters that fold to themselves.
    std::u32string u = pw::utf8::decodeAll(s);
    if (!caseSensitive_)
        for (auto& c : u) c = pw::utf8::foldChar(c);
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
