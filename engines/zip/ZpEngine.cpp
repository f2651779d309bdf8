// The zip engine's entry points and one archive run: find the files, decide
// what each one does to the archive, compress in parallel and let libzip
// write the archive beside the old one (through ZpArchiveFile) and rename it
// over it at the end.
#include "brixzip1.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "ZpArchiveFile.h"
#include "ZpLock.h"
#include "ZpPack.h"
#include "ZpScan.h"

#define BRIXZIP_EXPORT extern "C" __attribute__((visibility("default")))

// The records are shared with callers built separately: their layout is
// the interface.
static_assert(offsetof(ZPOPT, fTemp) == 3 * sizeof(void*) && offsetof(ZPOPT, fRecurse) == 3 * sizeof(void*) + 26 * 4 &&
                  offsetof(ZPOPT, fLevel) == 3 * sizeof(void*) + 28 * 4 &&
                  sizeof(ZPOPT) == (3 * sizeof(void*) + 29 * 4 + alignof(void*) - 1) / alignof(void*) * alignof(void*),
              "option record layout");
static_assert(sizeof(ZIPUSERFUNCTIONS) == 4 * sizeof(void*) && sizeof(ZIPNAMES) == ZIP_NAME_SLOTS * sizeof(void*),
              "callback table and name list layout");
static_assert(offsetof(ZPEXTRA, outcome) == 2 * sizeof(void*) && offsetof(BRIXOUTCOME, name) == 16,
              "outcome records layout");

namespace brixzip {
namespace {

// Files up to this size are read whole and compressed by the workers; larger
// ones are deflated as they are written. BRIXZIP_STREAM_ABOVE (bytes)
// overrides it, for tests and measurements.
std::uint64_t wholeFileLimit() {
    if (const char* v = std::getenv("BRIXZIP_STREAM_ABOVE"))
        if (*v) return std::strtoull(v, nullptr, 10);
    return 64ull << 20;
}
// Bytes that the workers may hold (read and compressed data) at one time.
constexpr std::size_t kBudget = 192u << 20;
constexpr zip_uint16_t kExtendedTimestamp = 0x5455;

struct State {
    ZIPUSERFUNCTIONS fn{};
    ZPOPT opt{};
    std::string date, root, temp;
};

// Callers run one archive per thread at a time, each with its own settings.
thread_local State tls;

std::string trimmed(const char* s) {
    if (!s) return {};
    std::string t = s;
    std::size_t b = t.find_first_not_of(" \t");
    if (b == std::string::npos) return {};
    std::size_t e = t.find_last_not_of(" \t");
    return t.substr(b, e - b + 1);
}

int levelOf(char v) {
    int l = (v >= '0' && v <= '9') ? v - '0' : static_cast<unsigned char>(v);
    return (l >= 1 && l <= 9) ? l : 6;
}

struct ArchiveCloser {
    void operator()(zip_t* za) const {
        if (za) zip_discard(za);
    }
};

class Run;

struct Entry {
    Run* run = nullptr;
    const Item* item = nullptr;
    zip_uint64_t index = 0;
    bool replacing = false;
    Job* job = nullptr;  // whole-file compression, or null when streamed or a folder
    std::unique_ptr<StreamDeflater> stream;
    Eol eol = Eol::None;
    bool serviced = false, reported = false, haveResult = false;
    bool stored = false;
    std::uint64_t rawSize = 0, compSize = 0, pos = 0;
    std::uint32_t crc = 0;
    zip_error_t error;
    Entry() { zip_error_init(&error); }
    ~Entry() { zip_error_fini(&error); }
};

zip_int64_t entryCallback(void* ud, void* data, zip_uint64_t len, zip_source_cmd_t cmd);

class Run {
public:
    Run(const State& s, std::vector<std::string> specs, std::string archive, const ZPEXTRA* extra)
        : st_(s), specs_(std::move(specs)), archiveArg_(std::move(archive)) {
        const ZPOPT& o = st_.opt;
        quiet_ = o.fQuiet != 0;
        verbose_ = o.fVerbose != 0 && !quiet_;
        level_ = levelOf(o.fLevel);
        if (o.fCRLF_LF)
            eol_ = Eol::CrLfToLf;
        else if (o.fLF_CRLF)
            eol_ = Eol::LfToCrLf;
        // The caller has made the root folder current before the run: an
        // absolute root names the same folder again, a relative one would be
        // taken twice (root/root/name), so only an absolute one is applied.
        root_ = (trimmed(st_.root.c_str()).empty() || st_.root[0] != '/') ? std::string() : st_.root;
        archive_ = fs(archiveArg_);
        // Only the fields the caller's record has are read.
        if (extra && extra->structlen >= offsetof(ZPEXTRA, outcome) + sizeof(extra->outcome)) {
            outcomeFn_ = extra->outcome;
            outcomeContext_ = extra->context;
        }
    }

    // Updates of one archive take turns (brixzip1.h): the lock is held from
    // before the archive is read until the new one is in place.
    int32_t execute() {
        ArchiveLock lock;
        lock.acquire(archive_);
        int32_t rc = st_.opt.fDeleteEntries ? deleteEntries() : addFiles();
        lock.release();
        deliverOutcomes();
        return rc;
    }

    // Callbacks from the entry sources, on the calling thread.
    bool service(const Item& item) {
        if (!st_.fn.service) return false;
        std::string name = item.name;
        return st_.fn.service(name.c_str(), static_cast<uint32_t>(name.size() + 1)) == 1;
    }
    void cancelled() { cancelled_ = true; }
    void readFailed(const Item& item, int err) {
        if (!readError_) print("zip error: could not read " + item.name + ": " + std::strerror(err));
        readError_ = true;
        outcome(BRIX_READ_FAILED, err, item.name, std::strerror(err));
    }
    void written(Entry& e) {
        totalIn_ += e.rawSize;
        totalOut_ += e.compSize;
        if (quiet_) return;
        std::string line = std::string(e.replacing ? "  updating: " : "  adding: ") + e.item->name;
        if (e.stored || e.rawSize == 0) {
            line += " (stored 0%)";
        } else {
            long pct = std::lround(100.0 - 100.0 * static_cast<double>(e.compSize) / static_cast<double>(e.rawSize));
            line += " (deflated " + std::to_string(std::max(0L, pct)) + "%)";
        }
        if (verbose_) line += " (in=" + std::to_string(e.rawSize) + ") (out=" + std::to_string(e.compSize) + ")";
        print(line);
    }
    zip_t* archive() const { return za_.get(); }
    Packer& packer() { return *packer_; }
    int level() const { return level_; }

private:
    struct Action {
        const Item* item;
        zip_int64_t existing;  // the entry it replaces, or -1
    };
    struct Pending {
        int32_t kind;
        int32_t err;
        std::string name, reason;
    };

    void print(const std::string& line) {
        if (st_.fn.print) st_.fn.print(line.c_str(), static_cast<uint32_t>(line.size()));
    }
    void note(const std::string& line) {
        if (!quiet_) print(line);
    }

    // Outcomes are held until the run is over: an entry is done only once
    // the archive that holds it is in place.
    void outcome(int32_t kind, int err, std::string name, std::string reason) {
        if (outcomeFn_) pending_.push_back({kind, err, std::move(name), std::move(reason)});
    }
    void deliverOutcomes() {
        for (const Pending& p : pending_) {
            BRIXOUTCOME o{sizeof(BRIXOUTCOME), p.kind, p.err, p.name.c_str(), p.reason.c_str()};
            outcomeFn_(outcomeContext_, &o);
        }
        pending_.clear();
    }
    // What the run leaves out of what it was asked for decides between a
    // clean result and "written without some named files".
    int32_t writtenResult() const { return missed_ ? ZE_OPEN : ZE_OK; }

    std::string fs(const std::string& p) const {
        if (p.empty() || p[0] == '/' || root_.empty()) return p;
        return root_ + "/" + p;
    }

    // The errno of a failed attempt to read the archive, for its outcome.
    int archiveReadErrno() const {
        int fd = ::open(archive_.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0) return errno;
        ::close(fd);
        return 0;
    }

    // Opens the archive; a missing one is created only when `create`.
    int32_t open(bool create) {
        struct stat sb;
        bool exists = ::stat(archive_.c_str(), &sb) == 0;
        if (exists && S_ISDIR(sb.st_mode)) {
            print("zip error: the archive name is a folder: " + archiveArg_);
            outcome(BRIX_WRITE_FAILED, EISDIR, archiveArg_, std::strerror(EISDIR));
            return ZE_CREAT;
        }
        // libzip would open a FIFO or device and wait on it for ever.
        if (exists && !S_ISREG(sb.st_mode)) {
            print("zip error: the archive name is not a regular file: " + archiveArg_);
            outcome(BRIX_WRITE_FAILED, 0, archiveArg_, "not a regular file");
            return ZE_CREAT;
        }
        if (!exists && !create) {
            print("zip error: archive not found: " + archiveArg_);
            outcome(BRIX_NOT_FOUND, ENOENT, archiveArg_, std::strerror(ENOENT));
            return ZE_NAME;
        }
        zip_error_t ze;
        zip_error_init(&ze);
        zip_source_t* src = archiveFileSource(archive_, &ze);
        // No consistency check: streamed archives trip it without being damaged.
        zip_t* za = src ? zip_open_from_source(src, exists ? 0 : ZIP_CREATE, &ze) : nullptr;
        if (!za) {
            if (src) zip_source_free(src);
            int err = zip_error_code_zip(&ze);
            std::string why = zip_error_strerror(&ze);
            zip_error_fini(&ze);
            if (err == ZIP_ER_NOZIP || err == ZIP_ER_INCONS || err == ZIP_ER_NOENT) {
                print("zip error: not a zip archive or damaged: " + archiveArg_ + " (" + why + ")");
                outcome(BRIX_DAMAGED, 0, archiveArg_, "not a zip archive or damaged");
                return ZE_FORM;
            }
            print("zip error: could not open " + archiveArg_ + ": " + why);
            int sys = err == ZIP_ER_MEMORY ? ENOMEM : archiveReadErrno();
            outcome(BRIX_READ_FAILED, sys, archiveArg_, sys ? std::strerror(sys) : why);
            return err == ZIP_ER_MEMORY ? ZE_MEM : ZE_READ;
        }
        zip_error_fini(&ze);
        za_.reset(za);
        return ZE_OK;
    }

    // Writes the archive (new file beside the old one, renamed over it).
    int32_t close() {
        int rc = zip_close(za_.get());
        if (rc == 0) {
            za_.release();
            return ZE_OK;
        }
        zip_error_t* ze = zip_get_error(za_.get());
        int code = zip_error_code_zip(ze);
        int sys = zip_error_system_type(ze) == ZIP_ET_SYS ? zip_error_code_system(ze) : 0;
        std::string why = zip_error_strerror(ze);
        za_.reset();
        if (cancelled_) {
            print("zip error: stopped; the archive was not changed");
            return ZE_ABORT;
        }
        if (readError_) {
            print("zip error: the archive was not changed");
            return ZE_READ;
        }
        print("zip error: could not write " + archiveArg_ + ": " + why + "; the archive was not changed");
        if (code == ZIP_ER_MEMORY) sys = ENOMEM;
        outcome(BRIX_WRITE_FAILED, sys, archiveArg_, sys ? std::strerror(sys) : why);
        switch (code) {
            case ZIP_ER_MEMORY: return ZE_MEM;
            case ZIP_ER_TMPOPEN:
                return (sys == EACCES || sys == EPERM || sys == EROFS || sys == ENOENT) ? ZE_CREAT : ZE_TEMP;
            default: return ZE_WRITE;
        }
    }

    // libzip removes an archive that has no entries left; an emptied archive
    // stays a valid (empty) zip file instead.
    int32_t writeEmpty() {
        std::string tmp = archive_ + ".XXXXXX";
        int fd = ::mkstemp(tmp.data());
        if (fd < 0) {
            int err = errno;
            print(std::string("zip error: could not create a temporary file: ") + std::strerror(err));
            outcome(BRIX_WRITE_FAILED, err, archiveArg_, std::strerror(err));
            return ZE_CREAT;
        }
        unsigned char eocd[22] = {'P', 'K', 5, 6};
        struct stat sb;
        errno = 0;
        bool ok = ::write(fd, eocd, sizeof eocd) == static_cast<ssize_t>(sizeof eocd);
        int err = ok ? 0 : (errno ? errno : ENOSPC);
        if (ok && ::stat(archive_.c_str(), &sb) == 0) ::fchmod(fd, sb.st_mode & 07777);
        if (::close(fd) != 0 && ok) {
            ok = false;
            err = errno;
        }
        if (ok && ::rename(tmp.c_str(), archive_.c_str()) != 0) {
            ok = false;
            err = errno;
        }
        if (!ok) {
            print(std::string("zip error: could not write ") + archiveArg_ + ": " + std::strerror(err));
            outcome(BRIX_WRITE_FAILED, err, archiveArg_, std::strerror(err));
            ::unlink(tmp.c_str());
            return ZE_WRITE;
        }
        return ZE_OK;
    }

    // Whether `entry` is named by some specification; marks every one that
    // names it, so a specification whose entries an earlier one also named
    // is not reported as matching nothing.
    bool deleteMatch(const std::string& entry, std::vector<bool>& specUsed) const {
        bool named = false;
        for (std::size_t i = 0; i < specs_.size(); ++i) {
            std::string s = storedName(specs_[i]);
            if (s.empty()) continue;
            if (entry == s || entry == s + "/" || matchName(s, entry) ||
                (st_.opt.fRecurse && entry.compare(0, s.size() + 1, s + "/") == 0))
                named = specUsed[i] = true;
        }
        return named;
    }

    int32_t deleteEntries() {
        if (int32_t rc = open(false)) return rc;
        zip_int64_t n = zip_get_num_entries(za_.get(), 0);
        std::vector<std::string> removed;
        std::vector<bool> specUsed(specs_.size(), false);
        for (zip_int64_t i = 0; i < n; ++i) {
            const char* name = zip_get_name(za_.get(), static_cast<zip_uint64_t>(i), 0);
            if (!name || !deleteMatch(name, specUsed)) continue;
            if (st_.fn.service && st_.fn.service(name, static_cast<uint32_t>(std::strlen(name) + 1)) == 1) {
                print("zip error: stopped; the archive was not changed");
                return ZE_ABORT;
            }
            zip_delete(za_.get(), static_cast<zip_uint64_t>(i));
            note(std::string("  deleting: ") + name);
            removed.emplace_back(name);
        }
        if (removed.empty()) {
            for (const std::string& s : specs_) print("  zip warning: name not matched: " + s);
            print("zip error: Nothing to do! (" + archiveArg_ + ")");
            for (const std::string& s : specs_) outcome(BRIX_NOT_FOUND, ENOENT, s, "no such entry in the archive");
            return ZE_NONE;
        }
        const bool emptied = static_cast<zip_int64_t>(removed.size()) == n;
        if (emptied) za_.reset();
        int32_t rc = emptied ? writeEmpty() : close();
        if (rc != ZE_OK) return rc;
        note("  " + std::to_string(removed.size()) + " entries deleted" + (emptied ? "; the archive is empty" : ""));
        for (std::size_t i = 0; i < specs_.size(); ++i) {
            if (specUsed[i]) continue;
            print("  zip warning: name not matched: " + specs_[i]);
            outcome(BRIX_NOT_FOUND, ENOENT, specs_[i], "no such entry in the archive");
            missed_ = true;
        }
        for (const std::string& name : removed) outcome(BRIX_DONE, 0, name, "deleted");
        return writtenResult();
    }

    // The entry's modification time, and whether it is exact to the second
    // (extended timestamp) or only to the two seconds of the DOS time.
    std::pair<std::time_t, bool> entryTime(zip_uint64_t idx) const {
        for (zip_flags_t where : {ZIP_FL_CENTRAL, ZIP_FL_LOCAL}) {
            zip_uint16_t len = 0;
            const zip_uint8_t* d = zip_file_extra_field_get_by_id(za_.get(), idx, kExtendedTimestamp, 0, &len, where);
            if (d && len >= 5 && (d[0] & 1))
                return {static_cast<std::time_t>(static_cast<std::uint32_t>(d[1] | d[2] << 8 | d[3] << 16 |
                                                                              static_cast<std::uint32_t>(d[4]) << 24)),
                        true};
        }
        zip_stat_t zs;
        if (zip_stat_index(za_.get(), idx, 0, &zs) == 0 && (zs.valid & ZIP_STAT_MTIME)) return {zs.mtime, false};
        return {0, false};
    }

    bool askPassword() {
        char buf[ZIP_PASSWORD_BUFFER] = {};
        if (!st_.fn.password) return false;
        int32_t rc = st_.fn.password(buf, ZIP_PASSWORD_BUFFER, "Enter password: ", archiveArg_.c_str());
        buf[ZIP_PASSWORD_BUFFER - 1] = '\0';
        if (rc != 0) return false;
        password_.assign(buf, strnlen(buf, ZIP_PASSWORD_BUFFER - 1));
        std::memset(buf, 0, sizeof buf);
        return !password_.empty();
    }

    // Find the files; each name that gives none, and each file that cannot
    // be read, is an outcome of its own.
    void scanNames() {
        ScanOptions so;
        so.root = root_;
        so.recurse = st_.opt.fRecurse != 0;
        so.hidden = st_.opt.fSystem != 0;
        so.junk = st_.opt.fJunkDir != 0;
        so.noDirEntries = st_.opt.fNoDirEntries != 0;
        so.archive = archive_;
        if (packer_) so.taken = [this](std::size_t place, const Item& it) { takeEarly(place, it); };
        found_ = scan(specs_, so);
        for (const std::string& w : found_.warnings) print(w);
        for (const Problem& p : found_.problems) outcome(p.kind, p.err, p.name, p.reason);
        missed_ = !found_.problems.empty();
    }

    // A new archive's entries are written in the order the scan finds the
    // files, so the workers can compress them while the scan goes on. (If
    // the archive turns up after all, any order is still right: the writer
    // compresses a file itself when no worker has taken it yet.)
    void startEarly() {
        struct stat sb;
        if (eol_ != Eol::None || st_.opt.fFreshen || ::stat(archive_.c_str(), &sb) == 0 || errno != ENOENT) return;
        packer_ = std::make_unique<Packer>(level_, kBudget);
        packer_->start(std::max(1u, std::thread::hardware_concurrency()));
    }

    void takeEarly(std::size_t place, const Item& it) {
        if (place >= early_.size()) early_.resize(place + 1, nullptr);
        if (Job* replaced = early_[place]) packer_->drop(*replaced);
        early_[place] = nullptr;
        if (it.dir || it.size > wholeLimit_) return;
        auto job = std::make_unique<Job>();
        job->path = it.path;
        job->size = it.size;
        early_[place] = job.get();
        packer_->add(*job);
        jobs_.push_back(std::move(job));
    }

    // What each file does to the archive: added, replacing an entry, or kept
    // out by the update and freshen rules.
    std::vector<Action> plan() {
        std::vector<Action> actions;
        for (const Item& it : found_.items) {
            zip_int64_t idx = zip_name_locate(za_.get(), it.name.c_str(), 0);
            if (idx >= 0 && (st_.opt.fUpdate || st_.opt.fFreshen)) {
                auto [t, exact] = entryTime(static_cast<zip_uint64_t>(idx));
                std::time_t mine = exact ? it.mtime : (it.mtime & ~static_cast<std::time_t>(1));
                if (mine <= t) {
                    outcome(BRIX_KEPT, 0, it.name, "the archive's entry is not older");
                    continue;
                }
            }
            if (idx < 0 && st_.opt.fFreshen) {
                outcome(BRIX_KEPT, 0, it.name, "not in the archive (freshen adds nothing)");
                continue;
            }
            actions.push_back({&it, idx});
        }
        return actions;
    }

    // The password (asked once, before anything is written) and the comment.
    int32_t askForRunInputs(const std::vector<Action>& actions) {
        encrypt_ = st_.opt.fEncrypt != 0;
        method_ = st_.opt.fEncryption == 1 ? ZIP_EM_TRAD_PKWARE : ZIP_EM_AES_256;
        bool anyFile = std::any_of(actions.begin(), actions.end(), [](const Action& a) { return !a.item->dir; });
        if (encrypt_ && anyFile) {
            if (!zip_encryption_method_supported(method_, 1)) {
                print("zip error: this build of libzip cannot write the chosen encryption");
                return ZE_PARMS;
            }
            if (!askPassword()) {
                print("zip error: no password given; the archive was not changed");
                return ZE_ABORT;
            }
        }
        if (st_.opt.fComment && st_.fn.comment) {
            std::vector<char> buf(65536, '\0');
            if (char* c = st_.fn.comment(buf.data())) {
                std::size_t n = strnlen(c, 65535);
                if (n) zip_set_archive_comment(za_.get(), c, static_cast<zip_uint16_t>(n));
            }
        }
        return ZE_OK;
    }

    // The entry's method, encryption, attributes and exact time.
    void describeEntry(const Entry& e) {
        const Item& it = *e.item;
        zip_set_file_compression(za_.get(), e.index, it.dir ? ZIP_CM_STORE : ZIP_CM_DEFAULT, 0);
        if (encrypt_ && !it.dir)
            zip_file_set_encryption(za_.get(), e.index, method_, password_.c_str());
        else if (e.replacing)
            zip_file_set_encryption(za_.get(), e.index, ZIP_EM_NONE, nullptr);
        zip_uint32_t attr = static_cast<zip_uint32_t>((it.dir ? S_IFDIR : S_IFREG) | (it.mode & 07777)) << 16;
        if (it.dir) attr |= 0x10;
        zip_file_set_external_attributes(za_.get(), e.index, 0, ZIP_OPSYS_UNIX, attr);
        if (e.replacing)
            zip_file_extra_field_delete_by_id(za_.get(), e.index, kExtendedTimestamp, ZIP_EXTRA_FIELD_ALL,
                                              ZIP_FL_LOCAL | ZIP_FL_CENTRAL);
        std::uint32_t t = static_cast<std::uint32_t>(std::clamp<std::time_t>(it.mtime, 0, 0xFFFFFFFF));
        zip_uint8_t ut[5] = {1, static_cast<zip_uint8_t>(t), static_cast<zip_uint8_t>(t >> 8),
                             static_cast<zip_uint8_t>(t >> 16), static_cast<zip_uint8_t>(t >> 24)};
        zip_file_extra_field_set(za_.get(), e.index, kExtendedTimestamp, ZIP_EXTRA_FIELD_NEW, ut, sizeof ut,
                                 ZIP_FL_LOCAL | ZIP_FL_CENTRAL);
    }

    // One entry in libzip's plan, its source calling back into this run.
    // Files small enough to hold are compressed by the workers: with the job
    // begun during the scan, or with a new one added to `order` by the
    // entry's index.
    int32_t stageEntry(const Action& a, std::vector<std::pair<zip_uint64_t, Job*>>& order) {
        const Item& it = *a.item;
        auto e = std::make_unique<Entry>();
        e->run = this;
        e->item = &it;
        e->replacing = a.existing >= 0;
        bool queued = true;  // false for a new job, which goes to `order`
        if (!it.dir) {
            if (eol_ != Eol::None && looksLikeText(it.path)) e->eol = eol_;
            const std::size_t place = static_cast<std::size_t>(&it - found_.items.data());
            if (place < early_.size() && early_[place]) {
                e->job = early_[place];
                early_[place] = nullptr;
            } else if (it.size <= wholeLimit_) {
                auto job = std::make_unique<Job>();
                job->path = it.path;
                job->size = it.size;
                job->eol = e->eol;
                e->job = job.get();
                jobs_.push_back(std::move(job));
                queued = false;
            }
        }
        zip_source_t* src = zip_source_function(za_.get(), entryCallback, e.get());
        if (!src) return failed("could not prepare " + it.name);
        zip_int64_t idx = a.existing;
        if (a.existing >= 0) {
            if (zip_file_replace(za_.get(), static_cast<zip_uint64_t>(idx), src, 0) < 0) {
                zip_source_free(src);
                return failed("could not replace " + it.name);
            }
        } else if ((idx = zip_file_add(za_.get(), it.name.c_str(), src, 0)) < 0) {
            zip_source_free(src);
            return failed("could not add " + it.name);
        }
        e->index = static_cast<zip_uint64_t>(idx);
        describeEntry(*e);
        if (e->job && !queued) order.emplace_back(e->index, e->job);
        entries_.push_back(std::move(e));
        return ZE_OK;
    }

    // Compress and write: the workers take files in the order libzip will
    // write them. Files the scan found that are not written after all (kept
    // by the update rules) are dropped.
    int32_t writeArchive(std::vector<std::pair<zip_uint64_t, Job*>> order) {
        std::sort(order.begin(), order.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
        if (!packer_) {
            packer_ = std::make_unique<Packer>(level_, kBudget);
            packer_->start(static_cast<unsigned>(
                std::min<std::size_t>(std::max(1u, std::thread::hardware_concurrency()), std::max<std::size_t>(order.size(), 1))));
        }
        for (auto& o : order) packer_->add(*o.second);
        for (Job* j : early_)
            if (j) packer_->drop(*j);
        early_.clear();
        packer_->close();
        int32_t rc = close();
        packer_->stop();
        password_.assign(password_.size(), '\0');
        return rc;
    }

    void reportWritten(const std::vector<Action>& actions) {
        if (totalIn_ > 0) {
            long pct = std::lround(100.0 - 100.0 * static_cast<double>(totalOut_) / static_cast<double>(totalIn_));
            note("  total bytes=" + std::to_string(totalIn_) + ", compressed=" + std::to_string(totalOut_) + " -> " +
                 std::to_string(std::max(0L, pct)) + "% savings");
        } else {
            note("  " + std::to_string(actions.size()) + " entries written");
        }
        for (const Action& a : actions)
            outcome(BRIX_DONE, 0, a.item->name, a.existing >= 0 ? "updated" : "added");
    }

    int32_t addFiles() {
        startEarly();
        scanNames();
        if (found_.items.empty()) {
            print("zip error: Nothing to do! (" + archiveArg_ + ")");
            return ZE_NONE;
        }
        if (int32_t rc = open(!st_.opt.fFreshen)) return rc;
        std::vector<Action> actions = plan();
        if (actions.empty()) {
            note("  nothing to update in " + archiveArg_);
            return writtenResult();
        }
        if (int32_t rc = askForRunInputs(actions)) return rc;
        std::vector<std::pair<zip_uint64_t, Job*>> order;
        for (const Action& a : actions)
            if (int32_t rc = stageEntry(a, order)) return rc;
        if (int32_t rc = writeArchive(std::move(order))) return rc;
        reportWritten(actions);
        return writtenResult();
    }

    int32_t failed(const std::string& what) {
        print("zip error: " + what + ": " + zip_strerror(za_.get()) + "; the archive was not changed");
        return ZE_LOGIC;
    }

    const State& st_;
    std::vector<std::string> specs_;
    std::string archiveArg_, archive_, root_, password_;
    bool quiet_ = false, verbose_ = false, cancelled_ = false, readError_ = false, missed_ = false;
    bool encrypt_ = false;
    zip_uint16_t method_ = ZIP_EM_AES_256;
    int level_ = 6;
    Eol eol_ = Eol::None;
    const std::uint64_t wholeLimit_ = wholeFileLimit();
    std::uint64_t totalIn_ = 0, totalOut_ = 0;
    BrixOutcomeFn outcomeFn_ = nullptr;
    void* outcomeContext_ = nullptr;
    std::vector<Pending> pending_;
    ScanResult found_;
    // Destroyed in reverse: the archive (and its sources) first, then the
    // workers, then what they worked on.
    std::vector<std::unique_ptr<Job>> jobs_;
    std::vector<std::unique_ptr<Entry>> entries_;
    std::vector<Job*> early_;  // by place in the scan's items: jobs begun during the scan
    std::unique_ptr<Packer> packer_;
    std::unique_ptr<zip_t, ArchiveCloser> za_;
};

zip_int64_t fail(Entry& e, int zipError, int sysError) {
    zip_error_set(&e.error, zipError, sysError);
    return -1;
}

zip_int64_t entrySource(Entry& e, void* data, zip_uint64_t len, zip_source_cmd_t cmd);

// libzip is C: nothing may be thrown through it.
zip_int64_t entryCallback(void* ud, void* data, zip_uint64_t len, zip_source_cmd_t cmd) {
    Entry& e = *static_cast<Entry*>(ud);
    try {
        return entrySource(e, data, len, cmd);
    } catch (...) {
        return fail(e, ZIP_ER_MEMORY, 0);
    }
}

zip_int64_t entrySource(Entry& e, void* data, zip_uint64_t len, zip_source_cmd_t cmd) {
    Run& run = *e.run;
    const Item& it = *e.item;
    switch (cmd) {
        case ZIP_SOURCE_SUPPORTS:
            return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE,
                                                  ZIP_SOURCE_STAT, ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, -1);
        case ZIP_SOURCE_STAT: {
            if (len < sizeof(zip_stat_t)) return fail(e, ZIP_ER_INVAL, 0);
            if (!e.serviced) {
                e.serviced = true;
                if (run.service(it)) {
                    run.cancelled();
                    return fail(e, ZIP_ER_CANCELLED, 0);
                }
            }
            if (e.job && !e.haveResult) {
                Job& j = run.packer().wait(*e.job);
                if (j.error) {
                    run.readFailed(it, j.error);
                    return fail(e, ZIP_ER_READ, j.error);
                }
                e.haveResult = true;
                e.stored = j.stored;
                e.rawSize = j.rawSize;
                e.compSize = j.data.n;
                e.crc = j.crc;
                // Known only now, and libzip reads it right after this stat.
                if (e.stored) zip_set_file_compression(run.archive(), e.index, ZIP_CM_STORE, 0);
            }
            auto* st = static_cast<zip_stat_t*>(data);
            zip_stat_init(st);
            // The mtime is always given: libzip derives the traditional
            // encryption's check byte from it.
            st->valid = ZIP_STAT_MTIME | ZIP_STAT_COMP_METHOD;
            st->mtime = it.mtime;
            if (it.dir) {
                st->valid |= ZIP_STAT_SIZE | ZIP_STAT_COMP_SIZE | ZIP_STAT_CRC;
                st->comp_method = ZIP_CM_STORE;
            } else if (e.job) {
                st->valid |= ZIP_STAT_SIZE | ZIP_STAT_COMP_SIZE | ZIP_STAT_CRC;
                st->comp_method = e.stored ? ZIP_CM_STORE : ZIP_CM_DEFLATE;
                st->size = e.rawSize;
                st->comp_size = e.compSize;
                st->crc = e.crc;
            } else {
                st->comp_method = ZIP_CM_DEFLATE;
                if (e.stream && e.stream->finished()) {
                    st->valid |= ZIP_STAT_SIZE | ZIP_STAT_COMP_SIZE | ZIP_STAT_CRC;
                    st->size = e.stream->rawSize();
                    st->comp_size = e.stream->compSize();
                    st->crc = e.stream->crc();
                } else if (e.eol == Eol::None) {
                    st->valid |= ZIP_STAT_SIZE;
                    st->size = it.size;
                }
            }
            return sizeof(zip_stat_t);
        }
        case ZIP_SOURCE_OPEN:
            e.pos = 0;
            if (!it.dir && !e.job) {
                e.stream = std::make_unique<StreamDeflater>(it.path, run.level(), e.eol);
                if (!e.stream->open()) {
                    run.readFailed(it, e.stream->error());
                    return fail(e, ZIP_ER_OPEN, e.stream->error());
                }
            }
            return 0;
        case ZIP_SOURCE_READ: {
            if (it.dir) return 0;
            if (e.job) {
                const Buffer& b = e.job->data;
                std::uint64_t n = std::min<std::uint64_t>(len, b.n - e.pos);
                if (n) std::memcpy(data, b.p + e.pos, n);
                e.pos += n;
                return static_cast<zip_int64_t>(n);
            }
            long long n = e.stream->read(static_cast<unsigned char*>(data), len);
            if (n < 0) {
                run.readFailed(it, e.stream->error());
                return fail(e, ZIP_ER_READ, e.stream->error());
            }
            return n;
        }
        case ZIP_SOURCE_CLOSE:
            if (e.stream) {
                e.rawSize = e.stream->rawSize();
                e.compSize = e.stream->compSize();
            }
            if (!e.reported && (it.dir || e.haveResult || (e.stream && e.stream->finished()))) {
                e.reported = true;
                run.written(e);
            }
            if (e.job) run.packer().release(*e.job);
            return 0;
        case ZIP_SOURCE_ERROR:
            return zip_error_to_data(&e.error, data, len);
        case ZIP_SOURCE_FREE:
            return 0;
        default:
            return fail(e, ZIP_ER_OPNOTSUPP, 0);
    }
}

}  // namespace
}  // namespace brixzip

using brixzip::tls;

BRIXZIP_EXPORT int32_t ZpInit(ZIPUSERFUNCTIONS* functions) {
    tls.fn = functions ? *functions : ZIPUSERFUNCTIONS{};
    return 1;
}

BRIXZIP_EXPORT int32_t ZpSetOptions(ZPOPT* options) {
    if (!options) return 0;
    // The caller's texts live only for the call: keep copies.
    tls.date = options->Date ? options->Date : "";
    tls.root = options->szRootDir ? options->szRootDir : "";
    tls.temp = options->szTempDir ? options->szTempDir : "";
    tls.opt = *options;
    tls.opt.Date = options->Date ? tls.date.c_str() : nullptr;
    tls.opt.szRootDir = options->szRootDir ? tls.root.c_str() : nullptr;
    tls.opt.szTempDir = options->szTempDir ? tls.temp.c_str() : nullptr;
    return 1;
}

BRIXZIP_EXPORT int32_t ZpGetOptions(ZPOPT* options) {
    if (!options) return 0;
    *options = tls.opt;
    return 1;
}

BRIXZIP_EXPORT int32_t ZpArchiveEx(int32_t count, const char* archive, ZIPNAMES* names, const ZPEXTRA* extra) {
    auto report = [](const char* line) {
        if (tls.fn.print) tls.fn.print(line, static_cast<uint32_t>(std::strlen(line)));
    };
    if (!archive || !*archive) {
        report("zip error: no archive name given");
        return ZE_PARMS;
    }
    if (count < 0 || count > ZIP_NAME_SLOTS - 2 || (count > 0 && !names)) {
        report("zip error: bad list of names");
        return ZE_PARMS;
    }
    try {
        std::vector<std::string> specs;
        for (int32_t i = 0; i < count && names->name[i]; ++i)
            if (*names->name[i]) specs.emplace_back(names->name[i]);
        brixzip::Run run(tls, std::move(specs), archive, extra);
        return run.execute();
    } catch (const std::bad_alloc&) {
        report("zip error: out of memory; the archive was not changed");
        return ZE_MEM;
    } catch (...) {
        report("zip error: internal error; the archive was not changed");
        return ZE_LOGIC;
    }
}

BRIXZIP_EXPORT int32_t ZpArchive(int32_t count, const char* archive, ZIPNAMES* names) {
    return ZpArchiveEx(count, archive, names, nullptr);
}
