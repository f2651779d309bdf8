#include "ZpScan.h"

#include "brixoutcome.h"

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <unordered_map>
#include <utility>

namespace brixzip {

bool hasWildcard(const std::string& s) { return s.find_first_of("*?[") != std::string::npos; }

bool matchName(const std::string& pattern, const std::string& name) {
    if (fnmatch(pattern.c_str(), name.c_str(), FNM_NOESCAPE) == 0) return true;
    // "x.*" also takes "x": a name without an extension has an empty one.
    if (pattern.size() >= 2 && pattern.compare(pattern.size() - 2, 2, ".*") == 0) {
        std::string stem = pattern.substr(0, pattern.size() - 2);
        if (name.find('.') == std::string::npos || stem == "*")
            return fnmatch(stem.c_str(), name.c_str(), FNM_NOESCAPE) == 0;
    }
    return false;
}

std::string storedName(const std::string& path) {
    std::string out;
    std::size_t i = 0;
    while (i <= path.size()) {
        std::size_t j = path.find('/', i);
        if (j == std::string::npos) j = path.size();
        std::string part = path.substr(i, j - i);
        if (!part.empty() && part != "." && part != "..") {
            if (!out.empty()) out += '/';
            out += part;
        }
        i = j + 1;
    }
    return out;
}

namespace {

struct Identity {
    dev_t dev = 0;
    ino_t ino = 0;
    bool operator==(const Identity&) const = default;
};

std::string baseName(const std::string& path) {
    std::size_t p = path.rfind('/');
    return p == std::string::npos ? path : path.substr(p + 1);
}

std::string dirName(const std::string& path) {
    std::size_t p = path.rfind('/');
    if (p == std::string::npos) return ".";
    if (p == 0) return "/";
    return path.substr(0, p);
}

class Scanner {
public:
    explicit Scanner(const ScanOptions& o) : opt_(o) {
        struct stat st;
        if (!o.archive.empty()) {
            if (::stat(o.archive.c_str(), &st) == 0) {
                archive_ = {st.st_dev, st.st_ino};
                haveArchive_ = true;
            }
            if (::stat(dirName(o.archive).c_str(), &st) == 0) {
                archiveDir_ = {st.st_dev, st.st_ino};
                haveArchiveDir_ = true;
            }
            archiveBase_ = baseName(o.archive);
        }
    }

    void spec(std::string s) {
        while (s.size() > 1 && s.back() == '/') s.pop_back();
        if (s.empty()) return;
        std::size_t before = added_;
        std::size_t slash = s.rfind('/');
        std::string dirRel = slash == std::string::npos ? "" : (slash == 0 ? "/" : s.substr(0, slash));
        std::string base = slash == std::string::npos ? s : s.substr(slash + 1);

        int statErr = 0;
        bool folder = false;
        if (hasWildcard(base)) {
            walkFrom(dirRel, base);
        } else {
            struct stat st;
            bool ok = ::stat(fs(s).c_str(), &st) == 0;
            if (!ok) statErr = errno;
            folder = ok && S_ISDIR(st.st_mode);
            if (folder) {
                addDir(s);
                if (opt_.recurse) {
                    std::vector<Identity> anc{{st.st_dev, st.st_ino}};
                    walk(s, "*", anc);
                }
            } else if (ok) {
                addFile(s, baseName(s), st, true);
            }
            // With recursion a plain name is also looked for in every subfolder.
            if (opt_.recurse && !(ok && S_ISDIR(st.st_mode))) walkFrom(dirRel, base);
        }
        if (added_ == before && !existsAlready_) {
            result_.warnings.push_back("  zip warning: name not matched: " + s);
            // A name behind a folder we may not search is there, unreadable.
            if (folder)
                problem(s, BRIX_NOT_FOUND, 0, "a folder with nothing to take (no folder entries, no recursion)");
            else if (statErr == EACCES || statErr == EPERM)
                problem(s, BRIX_READ_FAILED, statErr);
            else
                problem(s, BRIX_NOT_FOUND, statErr ? statErr : ENOENT);
        }
        existsAlready_ = false;
    }

    ScanResult take() { return std::move(result_); }

private:
    void problem(const std::string& name, int kind, int err, std::string reason = {}) {
        if (reason.empty()) reason = err ? std::strerror(err) : "could not be read";
        result_.problems.push_back({name, kind, err, std::move(reason)});
    }

    std::string fs(const std::string& rel) const {
        if (rel.empty()) return opt_.root.empty() ? "." : opt_.root;
        if (rel[0] == '/' || opt_.root.empty()) return rel;
        return opt_.root + "/" + rel;
    }

    static std::string join(const std::string& dir, const std::string& name) {
        if (dir.empty()) return name;
        if (dir == "/") return "/" + name;
        return dir + "/" + name;
    }

    void walkFrom(const std::string& dirRel, const std::string& pattern) {
        struct stat st;
        if (::stat(fs(dirRel).c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return;
        std::vector<Identity> anc{{st.st_dev, st.st_ino}};
        walk(dirRel, pattern, anc);
    }

    // What a folder's listing says of one name. Every name is looked at
    // through the folder's own descriptor, which spares the kernel a walk of
    // the whole path for each, before any subfolder is entered: only one
    // folder is open at a time, however deep the tree.
    struct Listed {
        std::string name;
        bool matched = false;
        int statErr = 0;
        int readErr = 0;  // of a matched regular file: access(R_OK)'s errno
        struct stat st {};
    };

    void walk(const std::string& dirRel, const std::string& pattern, std::vector<Identity>& anc) {
        std::vector<Listed> listed;
        int dfd = ::open(fs(dirRel).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK);
        DIR* d = dfd < 0 ? nullptr : ::fdopendir(dfd);
        if (!d) {
            int err = errno;
            if (dfd >= 0) ::close(dfd);
            result_.warnings.push_back("  zip warning: could not read folder: " + (dirRel.empty() ? "." : dirRel));
            problem(dirRel.empty() ? "." : dirRel, BRIX_READ_FAILED, err);
            return;
        }
        while (dirent* e = ::readdir(d)) {
            std::string n = e->d_name;
            if (n == "." || n == "..") continue;
            if (!opt_.hidden && n[0] == '.') continue;
            listed.push_back({std::move(n)});
        }
        std::sort(listed.begin(), listed.end(), [](const Listed& a, const Listed& b) { return a.name < b.name; });
        for (Listed& l : listed) {
            l.matched = matchName(pattern, l.name);
            if (::fstatat(dfd, l.name.c_str(), &l.st, 0) != 0) {
                l.statErr = errno;
            } else if (l.matched && S_ISREG(l.st.st_mode) && ::faccessat(dfd, l.name.c_str(), R_OK, 0) != 0) {
                l.readErr = errno;
            }
        }
        ::closedir(d);
        for (const Listed& l : listed) {
            const std::string& n = l.name;
            std::string rel = join(dirRel, n);
            if (l.statErr) {
                if (l.matched) {
                    result_.warnings.push_back("  zip warning: could not open for reading: " + rel);
                    problem(rel, BRIX_READ_FAILED, l.statErr);
                }
                continue;
            }
            const struct stat& st = l.st;
            if (S_ISDIR(st.st_mode)) {
                Identity id{st.st_dev, st.st_ino};
                if (std::find(anc.begin(), anc.end(), id) != anc.end()) {
                    result_.warnings.push_back("  zip warning: not following a folder link that loops: " + rel);
                    continue;
                }
                if (!opt_.recurse) {
                    if (l.matched) addDir(rel, &st);
                    continue;
                }
                // The folder's own entry goes before its contents; it stays only
                // when the folder matched or something inside it was taken.
                std::size_t mark = result_.items.size();
                std::size_t addedMark = added_;
                bool provisional = addDir(rel, &st);
                anc.push_back(id);
                walk(rel, pattern, anc);
                anc.pop_back();
                if (provisional && !l.matched && added_ == addedMark + 1 && result_.items.size() == mark + 1) {
                    byName_.erase(result_.items.back().name);
                    result_.items.pop_back();
                    --added_;
                }
            } else if (l.matched) {
                addFile(rel, n, st, false, l.readErr);
            }
        }
    }

    // `seen`: the folder's stat, when the caller has it already.
    bool addDir(const std::string& rel, const struct stat* seen = nullptr) {
        if (opt_.noDirEntries || opt_.junk) return false;
        std::string name = storedName(rel);
        if (name.empty()) return false;
        name += '/';
        if (byName_.count(name)) {
            existsAlready_ = true;
            return false;
        }
        struct stat st;
        if (seen)
            st = *seen;
        else if (::stat(fs(rel).c_str(), &st) != 0)
            return false;
        Item it;
        it.path = fs(rel);
        it.name = name;
        it.dir = true;
        it.mode = st.st_mode;
        it.mtime = st.st_mtime;
        byName_[name] = {result_.items.size(), {st.st_dev, st.st_ino}};
        result_.items.push_back(std::move(it));
        ++added_;
        return true;
    }

    // `named`: the caller named this file itself (not through a pattern).
    // `readErr`: whether it may be read (0, or access's errno) when the caller
    // has asked already; -1 asks here.
    // A FIFO, socket or device is never opened: reading one can block for
    // ever. One the caller named is a failure; one a pattern met is skipped,
    // as a tree's sockets are no content.
    void addFile(const std::string& rel, const std::string& leaf, const struct stat& st, bool named,
                 int readErr = -1) {
        if (!S_ISREG(st.st_mode)) {
            result_.warnings.push_back("  zip warning: skipping special file: " + rel);
            if (named) problem(rel, BRIX_READ_FAILED, 0, "not a regular file");
            existsAlready_ = true;
            return;
        }
        Identity id{st.st_dev, st.st_ino};
        if (isArchive(id, rel, leaf)) {
            existsAlready_ = true;
            return;
        }
        std::string path = fs(rel);
        if (readErr < 0) readErr = ::access(path.c_str(), R_OK) == 0 ? 0 : errno;
        if (readErr) {
            int err = readErr;
            result_.warnings.push_back("  zip warning: could not open for reading: " + rel);
            problem(rel, BRIX_READ_FAILED, err);
            existsAlready_ = true;
            return;
        }
        std::string name = opt_.junk ? leaf : storedName(rel);
        if (name.empty()) return;
        Item it;
        it.path = path;
        it.name = name;
        it.mode = st.st_mode;
        it.mtime = st.st_mtime;
        it.size = static_cast<std::uint64_t>(st.st_size);
        auto found = byName_.find(name);
        if (found != byName_.end()) {
            if (found->second.second == id) {
                existsAlready_ = true;
                return;
            }
            Item& earlier = result_.items[found->second.first];
            result_.warnings.push_back("  zip warning: " + rel + " replaces " + earlier.path +
                                       " (same stored name " + name + ")");
            earlier = std::move(it);
            found->second.second = id;
            ++added_;
            if (opt_.taken) opt_.taken(found->second.first, earlier);
            return;
        }
        byName_[name] = {result_.items.size(), id};
        result_.items.push_back(std::move(it));
        ++added_;
        if (opt_.taken) opt_.taken(result_.items.size() - 1, result_.items.back());
    }

    // The archive itself, and the temporary files that an interrupted earlier
    // run may have left beside it (<archive>.XXXXXX), are never stored.
    bool isArchive(const Identity& id, const std::string& rel, const std::string& leaf) const {
        if (haveArchive_ && id == archive_) return true;
        if (!haveArchiveDir_ || leaf.size() != archiveBase_.size() + 7 ||
            leaf.compare(0, archiveBase_.size() + 1, archiveBase_ + ".") != 0)
            return false;
        for (std::size_t i = archiveBase_.size() + 1; i < leaf.size(); ++i)
            if (!std::isalnum(static_cast<unsigned char>(leaf[i]))) return false;
        struct stat st;
        if (::stat(fs(dirName(rel)).c_str(), &st) != 0) return false;
        return Identity{st.st_dev, st.st_ino} == archiveDir_;
    }

    const ScanOptions& opt_;
    ScanResult result_;
    std::unordered_map<std::string, std::pair<std::size_t, Identity>> byName_;
    std::size_t added_ = 0;
    bool existsAlready_ = false;
    Identity archive_, archiveDir_;
    bool haveArchive_ = false, haveArchiveDir_ = false;
    std::string archiveBase_;
};

}  // namespace

ScanResult scan(const std::vector<std::string>& specs, const ScanOptions& options) {
    Scanner s(options);
    for (const std::string& spec : specs) s.spec(spec);
    return s.take();
}

}  // namespace brixzip
