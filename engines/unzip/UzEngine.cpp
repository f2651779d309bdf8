// Wiz_SingleEntryUnzip: listing and extraction on libzip.
//
// Extraction runs as a pipeline. The calling thread plans the entries in
// archive order (names, folders), worker threads decode entries into
// temporary files, and the calling thread commits the results in archive
// order: the service callback, password and overwrite questions, the rename
// onto the final name and the message lines. So every callback happens on the
// calling thread, in archive order, and nothing reaches a final name before
// its data checked out.
#include "brixuzip1.h"

#include "UzDecode.h"
#include "UzDisk.h"
#include "UzNames.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

static_assert(offsetof(DCL, fPrivilege) == 56 && offsetof(DCL, lpszZipFN) >= 60, "command record layout");
static_assert(offsetof(USERFUNCTIONS, TotalSizeComp) == 6 * sizeof(void*), "callback table layout");
static_assert(offsetof(UzpVer2, windll) == 60 && sizeof(UzpVer2) == 64, "version record layout");

namespace uz {
namespace {

enum class Kind { File, Folder, Link };

struct Item {
    EntryInfo info;
    std::string stored;               // the name as stored
    SafeName safe;
    Kind kind = Kind::File;
    std::vector<std::string> folder;  // output folder components
    std::string leaf;                 // output file name
    std::string display;              // relative output path for messages
    std::time_t mtime = 0;
    mode_t mode = 0644;
};

struct JobResult {
    DecodeResult decode;
    TempFile temp;
    std::string linkTarget;
    std::string passwordUsed;
    bool hadPassword = false;
};

struct ZipCloser {
    void operator()(zip_t* z) const {
        if (z) zip_discard(z);
    }
};
using ZipPtr = std::unique_ptr<zip_t, ZipCloser>;

std::string toStr(const char* s) { return s ? std::string(s) : std::string(); }

zip_t* openArchive(const std::string& path, std::string& reason) {
    int code = 0;
    zip_t* za = zip_open(path.c_str(), ZIP_RDONLY, &code);
    if (!za) {
        zip_error_t err;
        zip_error_init_with_code(&err, code);
        if (code == ZIP_ER_NOENT) reason = "cannot find " + path;
        else if (code == ZIP_ER_NOZIP) reason = path + " is not a zip archive (or it is truncated)";
        else reason = "cannot open " + path + ": " + zip_error_strerror(&err);
        zip_error_fini(&err);
    }
    return za;
}

mode_t currentUmask() {
    static const mode_t mask = [] {
        mode_t m = ::umask(022);
        ::umask(m);
        return m;
    }();
    return mask;
}

class Run {
public:
    Run(int32_t inc, UZNAMES* include, int32_t exc, UZNAMES* exclude, DCL* opts, USERFUNCTIONS* fn)
        : opts_(*opts), fn_(fn) {
        includes_ = readNames(inc, include);
        excludes_ = readNames(exc, exclude);
        archive_ = toStr(opts_.lpszZipFN);
        extractDir_ = toStr(opts_.lpszExtractDir);
        if (const char* lim = std::getenv("BRIXUZIP_MAX_OUTPUT")) limits_.totalLimit = std::strtoull(lim, nullptr, 10);
        if (fn_) {
            fn_->TotalSizeComp = fn_->TotalSize = fn_->CompFactor = fn_->NumMembers = 0;
            fn_->cchComment = 0;
        }
    }

    int32_t run() {
        if (archive_.empty()) {
            error("error: no archive named");
            return PK_PARAM;
        }
        std::string reason;
        za_.reset(openArchive(archive_, reason));
        if (!za_) {
            error("error: " + reason);
            return PK_NOZIP;
        }
        if (opts_.nvflag) return list();
        return extract();
    }

private:
    static std::vector<std::string> readNames(int32_t count, UZNAMES* list) {
        std::vector<std::string> out;
        if (!list || count <= 0) return out;
        for (int32_t i = 0; i < count && i < UNZIP_NAME_SLOTS; ++i) {
            const char* s = list->name[i];
            if (!s) break;
            if (*s) out.emplace_back(s);
        }
        return out;
    }

    int quiet() const { return opts_.fQuiet < 0 ? 0 : opts_.fQuiet; }

    void print(std::string line) {
        if (!fn_ || !fn_->print) return;
        if (line.size() > 8000) line.resize(8000);
        fn_->print(line.c_str(), static_cast<uint32_t>(line.size() + 1));
    }
    void info(const std::string& line) {
        if (quiet() == 0) print(line);
    }
    void error(const std::string& line) { print(line); }

    // ---- listing ----------------------------------------------------------

    int32_t list() {
        const zip_int64_t n = zip_get_num_entries(za_.get(), 0);
        std::uint64_t totalComp = 0, total = 0;
        bool bad = false;
        for (zip_int64_t i = 0; i < n; ++i) {
            zip_stat_t st;
            if (zip_stat_index(za_.get(), static_cast<zip_uint64_t>(i), 0, &st) != 0) {
                error("error: cannot read entry " + std::to_string(i + 1) + ": " + zip_strerror(za_.get()));
                bad = true;
                continue;
            }
            std::tm tm{};
            std::time_t t = (st.valid & ZIP_STAT_MTIME) ? st.mtime : 0;
            localtime_r(&t, &tm);
            const std::uint64_t size = (st.valid & ZIP_STAT_SIZE) ? st.size : 0;
            const std::uint64_t comp = (st.valid & ZIP_STAT_COMP_SIZE) ? st.comp_size : 0;
            // The reader derives the packed size as size × factor / 100, so the
            // factor is the packed share in percent, rounded to the nearest.
            std::uint64_t factor = size ? (comp * 200 + size) / (size * 2) : 0;
            if (factor > 32767) factor = 32767;
            const bool encrypted = (st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE;
            const char* method = (st.valid & ZIP_STAT_COMP_METHOD) ? methodName(st.comp_method) : "";
            totalComp += comp;
            total += size;
            if (fn_ && fn_->listing)
                fn_->listing(clamp32(comp), clamp32(size), static_cast<uint32_t>(factor),
                             static_cast<uint32_t>(tm.tm_mon + 1), static_cast<uint32_t>(tm.tm_mday),
                             static_cast<uint32_t>(tm.tm_year + 1900), static_cast<uint32_t>(tm.tm_hour),
                             static_cast<uint32_t>(tm.tm_min), encrypted ? 'E' : ' ', st.name ? st.name : "", method,
                             (st.valid & ZIP_STAT_CRC) ? st.crc : 0, static_cast<char>(encrypted ? UZ_ENCRYPTED_BIT : 0));
        }
        if (fn_) {
            fn_->TotalSizeComp = clamp32(totalComp);
            fn_->TotalSize = clamp32(total);
            fn_->CompFactor = total ? static_cast<uint32_t>((totalComp * 200 + total) / (total * 2)) : 0;
            fn_->NumMembers = static_cast<uint32_t>(n);
            int len = 0;
            zip_get_archive_comment(za_.get(), &len, 0);
            fn_->cchComment = static_cast<uint16_t>(len);
        }
        return bad ? PK_ERR : PK_OK;
    }

    static uint32_t clamp32(std::uint64_t v) { return v > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<uint32_t>(v); }

    // ---- planning ---------------------------------------------------------

    bool plan(zip_uint64_t idx, Item& it) {
        zip_stat_t st;
        if (zip_stat_index(za_.get(), idx, 0, &st) != 0) {
            it.stored = "#" + std::to_string(idx + 1);
            it.safe.ok = false;
            it.safe.reason = std::string("cannot read the entry: ") + zip_strerror(za_.get());
            return true;
        }
        it.stored = st.name ? st.name : "";
        it.info.index = idx;
        it.info.size = st.size;
        it.info.compSize = st.comp_size;
        it.info.method = st.comp_method;
        it.info.encryption = (st.valid & ZIP_STAT_ENCRYPTION_METHOD) ? st.encryption_method : ZIP_EM_NONE;
        it.info.crc = st.crc;
        // AES entries of the AE-2 kind carry no CRC; their MAC protects them.
        it.info.checkCrc = !(it.info.encryption != ZIP_EM_NONE && it.info.encryption != ZIP_EM_TRAD_PKWARE && st.crc == 0);
        it.mtime = (st.valid & ZIP_STAT_MTIME) ? st.mtime : std::time(nullptr);
        it.safe = sanitize(it.stored);

        zip_uint8_t opsys = 0;
        zip_uint32_t attr = 0;
        zip_file_get_external_attributes(za_.get(), idx, 0, &opsys, &attr);
        const mode_t unixMode = static_cast<mode_t>(attr >> 16);
        const bool unixAttrs = opsys == ZIP_OPSYS_UNIX && unixMode != 0;
        if (unixAttrs && S_ISLNK(unixMode)) it.kind = Kind::Link;
        else if (it.safe.directory || (unixAttrs && S_ISDIR(unixMode)) || (!unixAttrs && (attr & 0x10)))
            it.kind = Kind::Folder;
        if (unixAttrs) {
            // Never setuid, setgid or sticky bits from an archive.
            it.mode = unixMode & 0777;
        } else {
            it.mode = (it.kind == Kind::Folder ? 0777 : 0666) & ~currentUmask();
            if (attr & 0x01) it.mode &= ~0222;  // read-only
        }
        if (!it.safe.ok) return true;

        std::vector<std::string> parts = it.safe.parts;
        if (opts_.SpaceToUnderscore)
            for (auto& p : parts) std::replace(p.begin(), p.end(), ' ', '_');
        if (opts_.ndflag) {
            it.leaf = parts.back();
            it.folder.assign(parts.begin(), parts.end() - 1);
        } else {
            it.leaf = parts.back();
        }
        it.display.clear();
        for (auto& p : it.folder) it.display += p + "/";
        it.display += it.leaf;
        return true;
    }

    bool selected(const Item& it) {
        std::string name = it.stored;
        std::replace(name.begin(), name.end(), '\\', '/');
        bool in = includeMatcher_->empty() || includeMatcher_->matches(name);
        if (!in) return false;
        if (!excludeMatcher_->empty() && excludeMatcher_->matches(name)) return false;
        return true;
    }

    // ---- decoding (any thread) -------------------------------------------

    JobResult execute(zip_t* za, const Item& it, const Dir& dir, const std::string* password) {
        JobResult r;
        r.hadPassword = password != nullptr;
        if (password) r.passwordUsed = *password;
        const bool test = opts_.ntflag != 0;
        if (it.kind == Kind::Link) {
            StringSink s(4095);
            r.decode = decodeEntry(za, it.info, password, s, limits_);
            if (r.decode.outcome == Outcome::WriteError) {
                r.decode.outcome = Outcome::BadData;
                r.decode.reason = "symbolic link target too long";
            }
            if (r.decode.outcome != Outcome::Ok) return r;
            r.linkTarget = s.text;
            if (test) return r;
            if (r.linkTarget.empty() || r.linkTarget.find('\0') != std::string::npos ||
                !linkStaysInside(it.folder, r.linkTarget)) {
                r.decode.outcome = Outcome::Refused;
                r.decode.reason = "symbolic link to " + r.linkTarget + " points outside the extract folder, not created";
                return r;
            }
            std::string reason;
            if (!createTempLink(dir, r.linkTarget, r.temp, reason)) {
                r.decode.outcome = Outcome::WriteError;
                r.decode.reason = reason;
                r.decode.err = errno;
            }
            return r;
        }
        if (test) {
            NullSink s;
            r.decode = decodeEntry(za, it.info, password, s, limits_);
            return r;
        }
        std::string reason;
        if (!createTemp(dir, r.temp, reason)) {
            r.decode.outcome = Outcome::WriteError;
            r.decode.err = errno;
            r.decode.reason = reason;
            return r;
        }
        FileSink sink(r.temp.fd, opts_.naflag != 0);
        r.decode = decodeEntry(za, it.info, password, sink, limits_);
        if (r.decode.outcome == Outcome::Ok) {
            ::fchmod(r.temp.fd, it.mode);
            struct timespec ts[2];
            ts[0].tv_sec = ts[1].tv_sec = it.mtime;
            ts[0].tv_nsec = ts[1].tv_nsec = 0;
            ::futimens(r.temp.fd, ts);
            if (::close(r.temp.fd) != 0) {
                r.decode.outcome = Outcome::WriteError;
                r.decode.err = errno;
                r.decode.reason = "write error: " + errnoText(errno);
            }
            r.temp.fd = -1;
        }
        if (r.decode.outcome != Outcome::Ok) discardTemp(r.temp);
        return r;
    }

    // ---- worker pool -------------------------------------------------------

    struct Job {
        std::size_t slot;
        const Item* item;
        Dir dir;
        std::optional<std::string> password;
    };

    void startPool(unsigned threads) {
        for (unsigned t = 0; t < threads; ++t) workers_.emplace_back([this] { workerLoop(); });
    }

    void workerLoop() {
        ZipPtr za;
        std::string openFailure;
        bool tried = false;
        for (;;) {
            Job job;
            {
                std::unique_lock lock(mu_);
                cvWork_.wait(lock, [&] { return stopping_ || !queue_.empty(); });
                if (queue_.empty()) return;
                job = std::move(queue_.front());
                queue_.pop_front();
            }
            if (!tried) {
                tried = true;
                za.reset(openArchive(archive_, openFailure));
            }
            JobResult r;
            if (!za) {
                r.decode.outcome = Outcome::ReadError;
                r.decode.reason = openFailure;
            } else {
                r = execute(za.get(), *job.item, job.dir, job.password ? &*job.password : nullptr);
            }
            {
                std::lock_guard lock(mu_);
                done_[job.slot] = std::make_unique<JobResult>(std::move(r));
            }
            cvDone_.notify_all();
        }
    }

    void stopPool() {
        {
            std::lock_guard lock(mu_);
            stopping_ = true;
        }
        cvWork_.notify_all();
        for (auto& t : workers_) t.join();
        workers_.clear();
    }

    // ---- extraction --------------------------------------------------------

    enum class Keep { No, Yes, Skip };

    bool existsAt(const Dir& dir, const std::string& leaf, struct stat& st) {
        return ::fstatat(dir->fd(), leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
    }

    // Whether work on an entry whose target exists would certainly be thrown away.
    bool certainlyKept(const Item& it, const Dir& dir) {
        struct stat st;
        if (!existsAt(dir, it.leaf, st)) return false;
        if (S_ISDIR(st.st_mode)) return false;  // reported at commit
        if (opts_.ExtractOnlyNewer && it.mtime <= st.st_mtime) return true;
        if (opts_.noflag || answeredAll_) return false;
        if (answeredNone_) return true;
        return !opts_.PromptToOverwrite;
    }

    int32_t extract() {
        const bool test = opts_.ntflag != 0;
        info("Archive:  " + archive_);
        if (!test) {
            std::string reason;
            if (!tree_.openRoot(extractDir_, reason)) {
                error("error: " + reason);
                return PK_PARAM;
            }
        }
        includeMatcher_ = std::make_unique<NameMatcher>(includes_, opts_.C_flag != 0);
        excludeMatcher_ = std::make_unique<NameMatcher>(excludes_, opts_.C_flag != 0);

        const zip_int64_t n = zip_get_num_entries(za_.get(), 0);
        if (!includes_.empty() || !excludes_.empty()) {
            std::vector<std::string> names;
            names.reserve(static_cast<std::size_t>(n));
            for (zip_int64_t i = 0; i < n; ++i)
                if (const char* s = zip_get_name(za_.get(), static_cast<zip_uint64_t>(i), 0)) names.emplace_back(s);
            includeMatcher_->preferLiteral(names);
            excludeMatcher_->preferLiteral(names);
        }
        std::vector<Item> items;
        items.reserve(static_cast<std::size_t>(n));
        std::uint64_t totalSize = 0;
        for (zip_int64_t i = 0; i < n; ++i) {
            Item it;
            plan(static_cast<zip_uint64_t>(i), it);
            if (!selected(it)) continue;
            if (!opts_.ndflag && it.kind == Kind::Folder && it.safe.ok) continue;  // no folders without folder names
            totalSize += it.info.size;
            items.push_back(std::move(it));
        }
        for (auto& name : includeMatcher_->unmatched()) {
            error("caution: filename not matched:  " + name);
            ++warnings_;
        }
        if (!includes_.empty() && items.empty()) return PK_FIND;

        unsigned threads = std::min(4u, std::max(1u, std::thread::hardware_concurrency()));
        if (items.size() < 4 || totalSize < (1u << 20)) threads = 1;
        const bool pooled = threads > 1;
        if (pooled) startPool(threads);
        done_.clear();
        done_.resize(items.size());
        std::vector<bool> submitted(items.size(), false);
        std::vector<Dir> dirs(items.size());
        std::vector<std::string> dirFailure(items.size());
        const std::size_t window = threads * 4;
        std::size_t next = 0;  // next item to plan / submit

        auto prepare = [&](std::size_t k) {
            Item& it = items[k];
            if (!it.safe.ok || test) return;
            std::string reason;
            const bool isFolder = it.kind == Kind::Folder;
            std::vector<std::string> full = it.folder;
            if (isFolder) full.push_back(it.leaf);
            dirs[k] = tree_.open(full, true, reason);
            if (!dirs[k]) dirFailure[k] = reason.empty() ? "cannot create the folder" : reason;
        };
        auto submit = [&](std::size_t k) {
            Item& it = items[k];
            if (!it.safe.ok || it.kind == Kind::Folder) return;
            if (!test && !dirs[k]) return;
            if (it.info.encryption != ZIP_EM_NONE && !lastGood_) return;  // needs a question first
            if (!test && certainlyKept(it, dirs[k])) return;
            Job job{k, &it, dirs[k], std::nullopt};
            if (it.info.encryption != ZIP_EM_NONE) job.password = *lastGood_;
            {
                std::lock_guard lock(mu_);
                queue_.push_back(std::move(job));
            }
            submitted[k] = true;
            cvWork_.notify_one();
        };

        int32_t stopCode = 0;
        for (std::size_t k = 0; k < items.size(); ++k) {
            while (next < items.size() && next < k + (pooled ? window : 1)) {
                prepare(next);
                if (pooled) submit(next);
                ++next;
            }
            Item& it = items[k];
            if (fn_ && fn_->service) {
                const std::string& shown = it.safe.ok ? it.display : it.stored;
                if (fn_->service(shown.c_str(), static_cast<uint32_t>(shown.size() + 1)) == 1) {
                    error("stopped at " + shown);
                    stopCode = IZ_CTRLC;
                    break;
                }
            }
            if (!it.safe.ok) {
                error("warning:  skipped \"" + it.stored + "\": " + it.safe.reason);
                ++warnings_;
                continue;
            }
            if (!test && !dirs[k]) {
                error("warning:  skipped \"" + it.stored + "\": " + dirFailure[k]);
                ++warnings_;
                continue;
            }
            if (it.kind == Kind::Folder) {
                if (!test) {
                    info("   creating: " + it.display + "/");
                    folders_.push_back(k);
                }
                continue;
            }
            std::optional<JobResult> r;
            if (submitted[k]) {
                std::unique_lock lock(mu_);
                cvDone_.wait(lock, [&] { return done_[k] != nullptr; });
                r = std::move(*done_[k]);
                done_[k].reset();
            }
            int32_t code = commit(it, dirs[k], r);
            if (code) {
                stopCode = code;
                break;
            }
        }
        // Stopped early: let the workers run dry and throw their output away.
        limits_.cancel = stopCode != 0;
        if (pooled) {
            stopPool();
            for (auto& d : done_)
                if (d) discardTemp(d->temp);
        }
        finishFolders(items, dirs);
        if (fn_) {
            fn_->NumMembers = static_cast<uint32_t>(items.size());
            fn_->TotalSize = clamp32(totalSize);
        }
        if (test && stopCode == 0) {
            if (errors_ == 0 && unsupported_ == 0) info("No errors detected in compressed data of " + archive_ + ".");
            else error("At least one error was detected in " + archive_ + ".");
        }
        if (stopCode) return stopCode;
        if (diskFull_) return PK_DISK;
        if (errors_) return PK_ERR;
        if (unsupported_ && extracted_ == 0 && passwordSkipped_ == 0) return IZ_UNSUP;
        if (unsupported_) return PK_ERR;
        if (passwordSkipped_ && extracted_ == 0) return IZ_BADPWD;
        if (passwordSkipped_ || warnings_) return PK_WARN;
        return PK_OK;
    }

    bool askPassword(const Item& it, std::string& out) {
        if (!fn_ || !fn_->password) return false;
        char buf[UNZIP_PASSWORD_BUFFER];
        std::memset(buf, 0, sizeof buf);
        std::string prompt = "Enter password for " + it.display;
        int32_t rc = fn_->password(buf, UNZIP_PASSWORD_BUFFER, prompt.c_str(), it.stored.c_str());
        buf[UNZIP_PASSWORD_BUFFER - 1] = 0;
        if (rc != 0 || buf[0] == 0) return false;
        out.assign(buf);
        return true;
    }

    static bool passwordProblem(const Item& it, const JobResult& r, const std::set<std::string>& proven) {
        if (r.decode.outcome == Outcome::NeedPassword || r.decode.outcome == Outcome::WrongPassword) return true;
        // A wrong traditional password passes the header check once in 256
        // times and then yields garbage; ask again unless it worked before.
        return it.info.encryption == ZIP_EM_TRAD_PKWARE && r.decode.outcome == Outcome::BadData && r.hadPassword &&
               !proven.count(r.passwordUsed);
    }

    // Settles one file or link entry on the calling thread. Non-zero stops the run.
    int32_t commit(const Item& it, const Dir& dir, std::optional<JobResult>& r) {
        const bool test = opts_.ntflag != 0;
        if (!r) {
            if (!test && certainlyKept(it, dir)) {
                keepExisting(it, dir);
                return 0;
            }
            const std::string* pw = it.info.encryption != ZIP_EM_NONE && lastGood_ ? &*lastGood_ : nullptr;
            r = execute(za_.get(), it, dir, pw);
        }
        if (it.info.encryption != ZIP_EM_NONE) {
            int asked = 0;
            while (passwordProblem(it, *r, proven_)) {
                std::string pw;
                if (++asked > 64 || !askPassword(it, pw)) {
                    error("  skipping: " + it.display + "  " +
                          (r->decode.outcome == Outcome::NeedPassword ? "no password given" : "incorrect password"));
                    discardTemp(r->temp);
                    ++passwordSkipped_;
                    return 0;
                }
                discardTemp(r->temp);
                r = execute(za_.get(), it, dir, &pw);
            }
            if (r->decode.outcome == Outcome::Ok && r->hadPassword) {
                lastGood_ = r->passwordUsed;
                proven_.insert(r->passwordUsed);
            }
        }
        const DecodeResult& d = r->decode;
        if (d.outcome != Outcome::Ok) {
            discardTemp(r->temp);
            if (d.outcome == Outcome::Cancelled) return IZ_CTRLC;
            if (d.outcome == Outcome::Refused) {
                error("warning:  skipped \"" + it.stored + "\": " + d.reason);
                ++warnings_;
                return 0;
            }
            if (d.outcome == Outcome::Unsupported) {
                error("  skipping: " + it.display + "  " + d.reason);
                ++unsupported_;
                return 0;
            }
            error("  error:  " + it.display + ": " + d.reason);
            ++errors_;
            if (d.outcome == Outcome::WriteError && (d.err == ENOSPC || d.err == EDQUOT)) {
                diskFull_ = true;
                return PK_DISK;
            }
            if (limits_.cancel) return PK_ERR;  // the total output limit was reached
            return 0;
        }
        if (test) {
            info("    testing: " + it.display + "   OK");
            ++extracted_;
            return 0;
        }
        struct stat st;
        if (existsAt(dir, it.leaf, st)) {
            if (S_ISDIR(st.st_mode)) {
                discardTemp(r->temp);
                error("  error:  " + it.display + ": a folder of that name exists");
                ++errors_;
                return 0;
            }
            if (!mayReplace(it, st)) {
                discardTemp(r->temp);
                return 0;
            }
        }
        if (::renameat(dir->fd(), r->temp.name.c_str(), dir->fd(), it.leaf.c_str()) != 0) {
            int err = errno;
            discardTemp(r->temp);
            error("  error:  " + it.display + ": cannot write: " + errnoText(err));
            ++errors_;
            return 0;
        }
        r->temp.name.clear();
        ++extracted_;
        if (it.kind == Kind::Link) info("    linking: " + it.display + " -> " + r->linkTarget);
        else if (it.info.method == ZIP_CM_STORE) info(" extracting: " + it.display);
        else info("  inflating: " + it.display);
        return 0;
    }

    void keepExisting(const Item& it, const Dir& dir) {
        struct stat st;
        if (existsAt(dir, it.leaf, st) && opts_.ExtractOnlyNewer && it.mtime <= st.st_mtime) {
            info("  skipping: " + it.display + "  (existing file is not older)");
            return;
        }
        error("  skipping: " + it.display + "  (file exists, kept)");
        ++warnings_;
    }

    bool mayReplace(const Item& it, const struct stat& st) {
        if (opts_.ExtractOnlyNewer && it.mtime <= st.st_mtime) {
            info("  skipping: " + it.display + "  (existing file is not older)");
            return false;
        }
        if (opts_.noflag || answeredAll_) return true;
        if (!answeredNone_ && opts_.PromptToOverwrite && fn_ && fn_->replace) {
            std::string path = (extractDir_.empty() ? std::string() : extractDir_ + "/") + it.display;
            std::vector<char> buf(path.begin(), path.end());
            buf.resize(std::max<std::size_t>(buf.size() + 1, 1024), '\0');
            int32_t answer = fn_->replace(buf.data());
            if (answer == IDM_REPLACE_YES) return true;
            if (answer == IDM_REPLACE_ALL) {
                answeredAll_ = true;
                return true;
            }
            if (answer == IDM_REPLACE_NONE) answeredNone_ = true;
        }
        error("  skipping: " + it.display + "  (file exists, kept)");
        ++warnings_;
        return false;
    }

    // Folder times and permissions last, deepest first, once their files are in.
    void finishFolders(const std::vector<Item>& items, const std::vector<Dir>& dirs) {
        for (auto k = folders_.rbegin(); k != folders_.rend(); ++k) {
            const Item& it = items[*k];
            const Dir& d = dirs[*k];
            if (!d) continue;
            ::fchmod(d->fd(), (it.mode & 0777) | 0700);
            struct timespec ts[2];
            ts[0].tv_sec = ts[1].tv_sec = it.mtime;
            ts[0].tv_nsec = ts[1].tv_nsec = 0;
            ::futimens(d->fd(), ts);
        }
    }

    DCL opts_;
    USERFUNCTIONS* fn_;
    std::vector<std::string> includes_, excludes_;
    std::string archive_, extractDir_;
    ZipPtr za_;
    FolderTree tree_;
    RunLimits limits_;
    std::unique_ptr<NameMatcher> includeMatcher_, excludeMatcher_;

    std::mutex mu_;
    std::condition_variable cvWork_, cvDone_;
    std::deque<Job> queue_;
    std::vector<std::unique_ptr<JobResult>> done_;
    std::vector<std::thread> workers_;
    bool stopping_ = false;

    std::optional<std::string> lastGood_;
    std::set<std::string> proven_;
    bool answeredAll_ = false, answeredNone_ = false, diskFull_ = false;
    int errors_ = 0, warnings_ = 0, unsupported_ = 0, passwordSkipped_ = 0, extracted_ = 0;
    std::vector<std::size_t> folders_;
};

}  // namespace
}  // namespace uz

extern "C" __attribute__((visibility("default"))) int32_t Wiz_SingleEntryUnzip(int32_t includeCount, UZNAMES* include,
                                                                               int32_t excludeCount, UZNAMES* exclude,
                                                                               DCL* options, USERFUNCTIONS* functions) {
    if (!options) return PK_PARAM;
    try {
        uz::Run run(includeCount, include, excludeCount, exclude, options, functions);
        return run.run();
    } catch (const std::bad_alloc&) {
        return PK_MEM;
    } catch (...) {
        return PK_BADERR;
    }
}
