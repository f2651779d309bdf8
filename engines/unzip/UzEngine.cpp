// Wiz_SingleEntryUnzip(Ex): listing and extraction on libzip.
//
// Extraction runs as a pipeline. The calling thread plans the entries in
// archive order (names, folders), worker threads decode entries into
// temporary files, and the calling thread commits the results in archive
// order: the service callback, password and overwrite questions, the rename
// onto the final name, the message lines and the outcome of each entry. So
// every callback happens on the calling thread, in archive order, and nothing
// reaches a final name before its data checked out.
#include "brixuzip1.h"

#include "UzArchive.h"
#include "UzDecode.h"
#include "UzDisk.h"
#include "UzNames.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>
#include <functional>
#include <iterator>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <vector>

static_assert(offsetof(DCL, fPrivilege) == 56 && offsetof(DCL, lpszZipFN) >= 60, "command record layout");
static_assert(offsetof(USERFUNCTIONS, TotalSizeComp) == 6 * sizeof(void*), "callback table layout");
static_assert(offsetof(UzpVer2, windll) == 60 && sizeof(UzpVer2) == 64, "version record layout");

namespace uz {
namespace {

enum class Kind { File, Folder, Link };

// What the planning made of an entry's stored name.
struct Verdict {
    bool ok = false;
    bool directory = false;  // the stored name ends with a separator
    std::string reason;      // why the name was refused
};

// One planned entry. A run may plan millions, so its output path is held
// once: `display` is the path below the extract folder ("a/b/c.txt", the
// form messages show) and the file's own name starts at `leafAt`.
struct Item {
    EntryInfo info;
    std::string stored;               // the name as stored
    Verdict safe;
    bool unreadable = false;          // its central record could not be read
    Kind kind = Kind::File;
    std::string display;              // relative output path
    std::uint32_t leafAt = 0;
    std::time_t mtime = 0;
    mode_t mode = 0644;
    // No other entry of the run wants its name: the file may take the name
    // where it was decoded, when the name is free (see markEarlyLinks).
    bool linkEarly = false;

    // The output file's (or folder's) own name.
    const char* leaf() const { return display.c_str() + leafAt; }
    // The folders on the output path, outermost first.
    std::vector<std::string> folder() const {
        std::vector<std::string> parts;
        for (std::size_t at = 0; at < leafAt;) {
            const std::size_t slash = display.find('/', at);
            parts.push_back(display.substr(at, slash - at));
            at = slash + 1;
        }
        return parts;
    }
};

struct JobResult {
    DecodeResult decode;
    TempFile temp;
    std::string linkTarget;
    std::string passwordUsed;
    bool hadPassword = false;
    // Given its name where it was decoded (the name was free), with the
    // folder and size it has there; or why that failed (the file is gone).
    bool published = false;
    int publishErr = 0;
    Dir publishedIn;
    std::uint64_t publishedSize = 0;
};

struct ZipCloser {
    void operator()(zip_t* z) const {
        if (z) zip_discard(z);
    }
};
using ZipPtr = std::unique_ptr<zip_t, ZipCloser>;

std::string toStr(const char* s) { return s ? std::string(s) : std::string(); }

// The caller's outcome callback (UZEXTRA), read only as far as the caller's
// record reaches.
class OutcomeReporter {
public:
    explicit OutcomeReporter(const UZEXTRA* extra) {
        const std::size_t need = offsetof(UZEXTRA, outcome) + sizeof(BrixOutcomeFn);
        if (extra && extra->structlen >= need) {
            context_ = extra->context;
            fn_ = extra->outcome;
        }
    }
    void operator()(const std::string& name, int32_t kind, int sysError, const std::string& reason) const {
        if (!fn_) return;
        BRIXOUTCOME o{sizeof(BRIXOUTCOME), kind, sysError, name.c_str(), reason.c_str()};
        fn_(context_, &o);
    }

private:
    void* context_ = nullptr;
    BrixOutcomeFn fn_ = nullptr;
};

int32_t outcomeKind(Outcome o) {
    switch (o) {
        case Outcome::Ok: return BRIX_DONE;
        case Outcome::NeedPassword: return BRIX_NO_PASSWORD;
        case Outcome::WrongPassword: return BRIX_WRONG_PASSWORD;
        case Outcome::BadData: return BRIX_DAMAGED;
        case Outcome::Unsupported: return BRIX_UNSUPPORTED;
        case Outcome::TooBig: return BRIX_TOO_BIG;
        case Outcome::WriteError: return BRIX_WRITE_FAILED;
        case Outcome::ReadError: return BRIX_READ_FAILED;
        case Outcome::Cancelled: return BRIX_STOPPED;
        case Outcome::Refused: return BRIX_UNSAFE;
    }
    return BRIX_READ_FAILED;
}

// DOS dates and times as the listing shows them when libzip reads them:
// libzip turns the fields into a time with mktime (daylight saving time left
// to the C library), the listing turns that back into local fields. That
// round trip gives the fields themselves, except where mktime moves them
// (fields out of range, times in a daylight saving gap). It is made once per
// date and hour: an hour whose first and last two-second steps come back as
// they are, 3,598 seconds apart, has no change of offset inside, so every
// time in it comes back as it is.
class DosClock {
public:
    std::tm fields(std::uint16_t date, std::uint16_t time) {
        std::tm tm = raw(date, time);
        if (tm.tm_min <= 59 && hour(date, time).plain) {
            tm.tm_isdst = 0;
            return tm;
        }
        std::time_t t = std::mktime(&tm);
        std::tm out{};
        localtime_r(&t, &out);
        return out;
    }

    // The time libzip gives the fields (mktime's), counted from the start
    // of the hour where the hour has no change of offset.
    std::time_t time(std::uint16_t date, std::uint16_t time) {
        std::tm tm = raw(date, time);
        if (tm.tm_min < 59 || (tm.tm_min == 59 && tm.tm_sec <= 58)) {
            const Slot& slot = hour(date, time);
            if (slot.plain) return slot.start + tm.tm_min * 60 + tm.tm_sec;
        }
        return std::mktime(&tm);
    }

private:
    struct Slot {
        std::uint32_t key = 0xFFFFFFFFu;
        bool plain = false;
        std::time_t start = 0;
    };
    const Slot& hour(std::uint16_t date, std::uint16_t time) {
        const std::uint32_t key = std::uint32_t{date} << 5 | (time >> 11);
        Slot& slot = slots_[key % kSlots];
        if (slot.key != key) {
            slot.key = key;
            slot.plain = plainHour(date, time, slot.start);
        }
        return slot;
    }

    static std::tm raw(std::uint16_t date, std::uint16_t time) {
        std::tm tm{};
        tm.tm_year = ((date >> 9) & 127) + 80;
        tm.tm_mon = ((date >> 5) & 15) - 1;
        tm.tm_mday = date & 31;
        tm.tm_hour = (time >> 11) & 31;
        tm.tm_min = (time >> 5) & 63;
        tm.tm_sec = (time << 1) & 62;
        tm.tm_isdst = -1;
        return tm;
    }
    static bool comesBack(std::tm tm, std::time_t& t) {
        const std::tm in = tm;
        t = std::mktime(&tm);
        std::tm out{};
        return t != static_cast<std::time_t>(-1) && localtime_r(&t, &out) && out.tm_year == in.tm_year &&
               out.tm_mon == in.tm_mon && out.tm_mday == in.tm_mday && out.tm_hour == in.tm_hour &&
               out.tm_min == in.tm_min && out.tm_sec == in.tm_sec;
    }
    static bool plainHour(std::uint16_t date, std::uint16_t time, std::time_t& first) {
        const std::uint16_t hour = time & 0xF800;
        std::time_t last = 0;
        return comesBack(raw(date, hour), first) && comesBack(raw(date, hour | 59 << 5 | 29), last) &&
               last - first == 3598;
    }

    static constexpr std::size_t kSlots = 256;
    Slot slots_[kSlots];
};

// ---- worker pool -----------------------------------------------------------

struct Job {
    std::size_t slot = 0;
    const Item* item = nullptr;
    Dir dir;
    std::optional<std::string> password;
};
using JobFn = std::function<JobResult(ArchiveAccess&, const Job&)>;
// Undoes a result nobody collected (slot, result).
using DropFn = std::function<void(std::size_t, JobResult&)>;

// The archive of one worker, opened by libzip when an entry first needs it.
class WorkerArchive : public ArchiveAccess {
public:
    explicit WorkerArchive(const std::string& path) : path_(path) {}
    zip_t* zip(std::string& reason) override {
        if (!tried_) {
            tried_ = true;
            za_.reset(openArchive(path_, failure_));
        }
        if (!za_) reason = failure_.reason;
        return za_.get();
    }

private:
    const std::string& path_;
    ZipPtr za_;
    OpenFailure failure_;
    bool tried_ = false;
};

// The decoding threads of one extraction; each opens the archive for
// itself when it first needs libzip. The destructor stops and joins them and throws away what nobody
// collected, so however the run ends (finished, stopped, or left by an
// exception) no thread outlives it and no temporary file stays behind.
class WorkerPool {
public:
    WorkerPool(unsigned threads, std::string archive, std::size_t slots, RunLimits& limits, JobFn work, DropFn drop)
        : archive_(std::move(archive)), limits_(limits), work_(std::move(work)), drop_(std::move(drop)), done_(slots),
          taken_(slots) {
        try {
            for (unsigned t = 0; t < threads; ++t) workers_.emplace_back([this] { loop(); });
        } catch (...) {
            shutDown();
            throw;
        }
    }
    ~WorkerPool() { shutDown(); }
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    // Queues a job; the workers see it at the next release().
    void submit(Job job) { held_.push_back(std::move(job)); }

    // Hands the jobs submitted since the last call to the workers at once.
    void release() {
        if (held_.empty()) return;
        const std::size_t n = held_.size();
        {
            std::lock_guard lock(mu_);
            for (auto& j : held_) queue_.push_back(std::move(j));
        }
        held_.clear();
        if (n == 1) cvWork_.notify_one();
        else cvWork_.notify_all();
    }

    // Waits for the result of a submitted slot, and until `through` (a
    // later submitted slot, or `slot` itself) is done too: the calling
    // thread then settles a run of results without a hand-off for each, and
    // collects what is done up to `through` with one lock.
    JobResult take(std::size_t slot, std::size_t through) {
        if (!taken_[slot]) {
            if (taken_[through]) through = slot;  // collected before
            std::unique_lock lock(mu_);
            waitingFor_ = slot;
            waitingThrough_ = through;
            cvDone_.wait(lock, [&] { return done_[slot] != nullptr && done_[through] != nullptr; });
            waitingFor_ = waitingThrough_ = kNobody;
            for (std::size_t j = slot; j <= through; ++j)
                if (done_[j]) taken_[j] = std::move(done_[j]);
        }
        JobResult r = std::move(*taken_[slot]);
        taken_[slot].reset();
        return r;
    }

private:
    void loop() {
        WorkerArchive archive(archive_);
        for (;;) {
            Job job;
            {
                std::unique_lock lock(mu_);
                cvWork_.wait(lock, [&] { return stopping_ || !queue_.empty(); });
                if (queue_.empty()) return;
                job = std::move(queue_.front());
                queue_.pop_front();
            }
            JobResult r;
            try {
                r = work_(archive, job);
            } catch (...) {
                // Nothing may leave a thread: an escaping exception ends the host.
                discardTemp(r.temp);
                r = JobResult{};
                r.decode.outcome = Outcome::ReadError;
                r.decode.reason = "out of memory";
                r.decode.err = ENOMEM;
            }
            bool awaited = false;
            {
                std::lock_guard lock(mu_);
                done_[job.slot] = std::make_unique<JobResult>(std::move(r));
                awaited = waitingFor_ != kNobody && done_[waitingFor_] && done_[waitingThrough_];
            }
            // Only the results the calling thread waits for wake it: the
            // others it finds done when it gets to them.
            if (awaited) cvDone_.notify_all();
        }
    }

    void shutDown() {
        {
            std::lock_guard lock(mu_);
            stopping_ = true;
            queue_.clear();
        }
        // Entries being decoded stop at their next piece.
        limits_.cancel = true;
        cvWork_.notify_all();
        for (auto& t : workers_)
            if (t.joinable()) t.join();
        workers_.clear();
        for (std::size_t slot = 0; slot < done_.size(); ++slot) {
            if (done_[slot]) drop_(slot, *done_[slot]);
            if (taken_[slot]) drop_(slot, *taken_[slot]);
        }
    }

    std::string archive_;
    RunLimits& limits_;
    JobFn work_;
    DropFn drop_;
    std::mutex mu_;
    std::condition_variable cvWork_, cvDone_;
    std::deque<Job> queue_;
    std::vector<Job> held_;  // submitted, not yet released (calling thread only)
    std::vector<std::unique_ptr<JobResult>> done_;
    std::vector<std::unique_ptr<JobResult>> taken_;  // collected, not yet taken (calling thread only)
    std::vector<std::thread> workers_;
    bool stopping_ = false;
    static constexpr std::size_t kNobody = static_cast<std::size_t>(-1);
    std::size_t waitingFor_ = kNobody;  // the slot the calling thread waits for
    std::size_t waitingThrough_ = kNobody;  // and the last one it waits for with it
};

// ---- the run ---------------------------------------------------------------

class Run {
public:
    Run(int32_t inc, UZNAMES* include, int32_t exc, UZNAMES* exclude, DCL* opts, USERFUNCTIONS* fn,
        const UZEXTRA* extra)
        : opts_(*opts), fn_(fn), outcome_(extra) {
        // Only the fields the caller's record has are read.
        if (extra && extra->structlen >= offsetof(UZEXTRA, listing64) + sizeof extra->listing64) {
            context_ = extra->context;
            listing64_ = extra->listing64;
        }
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
            outcome_("", BRIX_NOT_FOUND, 0, "no archive named");
            return PK_PARAM;
        }
        if (int32_t code = 0; opts_.nvflag && listPlain(code)) return code;
        // A plain archive is planned from its central directory alone;
        // libzip opens it only for an entry that needs it.
        if (!opts_.nvflag && readPlainEntries()) return extract();
        OpenFailure why;
        za_.reset(openArchive(archive_, why));
        if (!za_) {
            error("error: " + why.reason);
            outcome_(archive_, why.kind, why.sysError, why.brief);
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
    bool testing() const { return opts_.ntflag != 0; }

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
        ListTotals totals;
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
            const bool encrypted = (st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE;
            const char* method = (st.valid & ZIP_STAT_COMP_METHOD) ? methodName(st.comp_method) : "";
            const std::string name = entryName(za_.get(), static_cast<zip_uint64_t>(i));
            listOne(totals, comp, size, tm, encrypted, method, name.c_str(), (st.valid & ZIP_STAT_CRC) ? st.crc : 0,
                    static_cast<std::uint64_t>(n));
        }
        int len = 0;
        zip_get_archive_comment(za_.get(), &len, 0);
        listTotals(totals, static_cast<std::uint64_t>(n), static_cast<std::uint16_t>(len));
        return bad ? PK_ERR : PK_OK;
    }

    struct ListTotals {
        std::uint64_t comp = 0, size = 0;
    };

    void listOne(ListTotals& totals, std::uint64_t comp, std::uint64_t size, const std::tm& tm, bool encrypted,
                 const char* method, const char* name, std::uint32_t crc, std::uint64_t entries) {
        // The reader derives the packed size as size × factor / 100, so the
        // factor is the packed share in percent, rounded to the nearest.
        std::uint64_t factor = size ? (comp * 200 + size) / (size * 2) : 0;
        if (factor > 32767) factor = 32767;
        totals.comp += comp;
        totals.size += size;
        if (listing64_) {
            UZLISTING64 full{sizeof(UZLISTING64), comp, size, name, entries};
            listing64_(context_, &full);
        }
        if (fn_ && fn_->listing)
            fn_->listing(clamp32(comp), clamp32(size), static_cast<uint32_t>(factor),
                         static_cast<uint32_t>(tm.tm_mon + 1), static_cast<uint32_t>(tm.tm_mday),
                         static_cast<uint32_t>(tm.tm_year + 1900), static_cast<uint32_t>(tm.tm_hour),
                         static_cast<uint32_t>(tm.tm_min), encrypted ? 'E' : ' ', name, method, crc,
                         static_cast<char>(encrypted ? UZ_ENCRYPTED_BIT : 0));
    }

    void listTotals(const ListTotals& totals, std::uint64_t entries, std::uint16_t commentLength) {
        if (!fn_) return;
        fn_->TotalSizeComp = clamp32(totals.comp);
        fn_->TotalSize = clamp32(totals.size);
        fn_->CompFactor = totals.size ? static_cast<uint32_t>((totals.comp * 200 + totals.size) / (totals.size * 2)) : 0;
        fn_->NumMembers = static_cast<uint32_t>(entries);
        fn_->cchComment = commentLength;
    }

    // Listing straight from the central directory, without libzip's table
    // (which cost half the time of a large listing and more memory than the
    // listing itself). False when the archive is not a plain one: then it is
    // opened and listed as any other. BRIXUZIP_LIST_THROUGH_LIBZIP takes the
    // other way for every archive, so that tests show both agree.
    bool listPlain(int32_t& code) {
        if (std::getenv("BRIXUZIP_LIST_THROUGH_LIBZIP")) return false;
        ListTotals totals;
        DosClock clock;
        std::string name;
        std::uint64_t entries = 0;
        std::uint16_t commentLength = 0;
        const DirectoryRead read = readPlainDirectory(
            archive_,
            [&](const CentralEntry& e) {
                name.assign(e.name);
                listOne(totals, e.compSize, e.size, clock.fields(e.dosDate, e.dosTime), e.encrypted,
                        methodName(e.method), name.c_str(), e.crc, entries);
            },
            entries, commentLength);
        if (read == DirectoryRead::NotPlain) return false;
        if (read == DirectoryRead::Damaged) {
            error("error: " + archive_ + " changed while it was listed");
            outcome_(archive_, BRIX_READ_FAILED, 0, "the archive changed while it was listed");
            code = PK_ERR;
            return true;
        }
        listTotals(totals, entries, commentLength);
        code = PK_OK;
        return true;
    }

    static uint32_t clamp32(std::uint64_t v) { return v > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<uint32_t>(v); }

    // ---- planning ---------------------------------------------------------

    void plan(zip_uint64_t idx, Item& it) {
        zip_stat_t st;
        if (zip_stat_index(za_.get(), idx, 0, &st) != 0) {
            it.stored = "#" + std::to_string(idx + 1);
            it.unreadable = true;
            it.safe.ok = false;
            it.safe.reason = std::string("cannot read the entry: ") + zip_strerror(za_.get());
            return;
        }
        it.stored = entryName(za_.get(), idx);
        it.info.index = idx;
        it.info.size = st.size;
        it.info.compSize = st.comp_size;
        it.info.method = st.comp_method;
        it.info.encryption = (st.valid & ZIP_STAT_ENCRYPTION_METHOD) ? st.encryption_method : ZIP_EM_NONE;
        it.info.crc = st.crc;
        // AES entries of the AE-2 kind carry no CRC; their MAC protects them.
        it.info.checkCrc = !(it.info.encryption != ZIP_EM_NONE && it.info.encryption != ZIP_EM_TRAD_PKWARE && st.crc == 0);
        it.mtime = (st.valid & ZIP_STAT_MTIME) ? st.mtime : std::time(nullptr);
        SafeName safe = sanitize(it.stored);
        zip_uint8_t opsys = 0;
        zip_uint32_t attr = 0;
        zip_file_get_external_attributes(za_.get(), idx, 0, &opsys, &attr);
        planKindAndMode(opsys, attr, safe, it);
        if (safe.ok) planOutputName(safe.parts, it);
    }

    // The same from the central directory of a plain archive, as libzip
    // would give it; its entries are read from the file without libzip
    // unless encrypted.
    void plan(const CentralEntry& p, std::size_t idx, Item& it) {
        it.stored = p.name;
        it.info.index = idx;
        it.info.size = p.size;
        it.info.compSize = p.compSize;
        it.info.method = p.method;
        it.info.crc = p.crc;
        it.info.encryption = p.encrypted ? ZIP_EM_TRAD_PKWARE : ZIP_EM_NONE;
        if (!p.encrypted) it.info.localHeader = p.localHeader;
        it.mtime = clock_.time(p.dosDate, p.dosTime);
        SafeName safe = sanitize(it.stored);
        planKindAndMode(static_cast<zip_uint8_t>(p.madeBy >> 8), p.attributes, safe, it);
        if (safe.ok) planOutputName(safe.parts, it);
    }

    // The entry's kind and mode from its attributes and the verdict on its
    // name, which the item keeps.
    void planKindAndMode(zip_uint8_t opsys, zip_uint32_t attr, SafeName& safe, Item& it) {
        it.safe.ok = safe.ok;
        it.safe.directory = safe.directory;
        it.safe.reason = std::move(safe.reason);
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
    }

    // Components never hold a "/", so the folders can be read back from the
    // joined path.
    void planOutputName(const std::vector<std::string>& parts, Item& it) {
        it.display.clear();
        if (opts_.ndflag)
            for (std::size_t i = 0; i + 1 < parts.size(); ++i) (it.display += parts[i]) += '/';
        it.leafAt = static_cast<std::uint32_t>(it.display.size());
        it.display += parts.back();
        if (opts_.SpaceToUnderscore) std::replace(it.display.begin(), it.display.end(), ' ', '_');
        it.display.shrink_to_fit();
    }

    bool selected(const Item& it) {
        std::string name = it.stored;
        std::replace(name.begin(), name.end(), '\\', '/');
        bool in = includeMatcher_->empty() || includeMatcher_->matches(name);
        if (!in) return false;
        if (!excludeMatcher_->empty() && excludeMatcher_->matches(name)) return false;
        return true;
    }

    // The entries the lists pick, in archive order; include names that
    // picked nothing are reported as not found.
    void selectItems() {
        includeMatcher_ = std::make_unique<NameMatcher>(includes_, opts_.C_flag != 0);
        excludeMatcher_ = std::make_unique<NameMatcher>(excludes_, opts_.C_flag != 0);
        if (za_) {  // a plain archive's entries were planned as its directory was read
            const auto n = static_cast<std::size_t>(zip_get_num_entries(za_.get(), 0));
            items_.reserve(n);
            for (std::size_t i = 0; i < n; ++i) plan(static_cast<zip_uint64_t>(i), items_.emplace_back());
        }
        if (!includes_.empty() || !excludes_.empty()) {
            std::vector<std::string> names;
            names.reserve(items_.size());
            for (const Item& it : items_) names.push_back(it.stored);
            includeMatcher_->preferLiteral(names);
            excludeMatcher_->preferLiteral(names);
        }
        std::size_t kept = 0;
        for (Item& it : items_) {
            if (!selected(it)) continue;
            if (!opts_.ndflag && it.kind == Kind::Folder && it.safe.ok) continue;  // no folders without folder names
            totalSize_ += it.info.size;
            if (&it != &items_[kept]) items_[kept] = std::move(it);
            ++kept;
        }
        items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(kept), items_.end());
        for (auto& name : includeMatcher_->unmatched()) {
            error("caution: filename not matched:  " + name);
            outcome_(name, BRIX_NOT_FOUND, 0, "no entry of that name");
            ++warnings_;
        }
    }

    // Plans the entries of a plain archive from its central directory, read
    // on a descriptor of our own, which the workers then read the entries
    // from. False for any other archive (nothing is planned and the
    // descriptor is not used).
    // BRIXUZIP_READ_THROUGH_LIBZIP leaves every archive and entry to libzip,
    // so that tests show both ways agree.
    bool readPlainEntries() {
        if (std::getenv("BRIXUZIP_READ_THROUGH_LIBZIP")) return false;
        archiveFd_.reset(::open(archive_.c_str(), O_RDONLY | O_CLOEXEC));
        if (archiveFd_.get() < 0) return false;
        std::uint64_t entries = 0;
        std::uint16_t commentLength = 0;
        const DirectoryRead read = readPlainDirectory(
            archiveFd_.get(),
            [&](const CentralEntry& e) {
                if (items_.empty()) items_.reserve(entries);
                const std::size_t index = items_.size();
                plan(e, index, items_.emplace_back());
            },
            entries, commentLength);
        if (read != DirectoryRead::Read) {
            std::vector<Item>().swap(items_);
            archiveFd_.reset(-1);
            return false;
        }
        return true;
    }

    // ---- decoding (any thread) -------------------------------------------

    JobResult execute(ArchiveAccess& za, const Item& it, const Dir& dir, const std::string* password) {
        JobResult r;
        r.hadPassword = password != nullptr;
        if (password) r.passwordUsed = *password;
        if (it.kind == Kind::Link) return executeLink(za, it, dir, password, r);
        if (testing()) {
            NullSink s;
            r.decode = decodeEntry(za, it.info, password, s, limits_, archiveFd_.get());
            return r;
        }
        std::string reason;
        if (!createTemp(dir, it.mode, r.temp, reason)) {
            writeFailed(r, errno, reason);
            return r;
        }
        FileSink sink(r.temp.fd, opts_.naflag != 0);
        r.decode = decodeEntry(za, it.info, password, sink, limits_, archiveFd_.get());
        // The file stays open until it is published: one without a name
        // is linked through its descriptor.
        if (r.decode.outcome != Outcome::Ok) {
            discardTemp(r.temp);
            return r;
        }
        struct timespec ts[2];
        ts[0].tv_sec = ts[1].tv_sec = it.mtime;
        ts[0].tv_nsec = ts[1].tv_nsec = 0;
        // Taken back after a stop only while it is still the file this run
        // made, recognised by its time among other things.
        const bool timed = ::futimens(r.temp.fd, ts) == 0;
        if (timed && it.linkEarly && dir->exactNames()) {
            if (publishTemp(r.temp, it.leaf(), false)) {
                r.published = true;
                r.publishedIn = dir;
                r.publishedSize = sink.written();
            } else if (errno != EEXIST) {
                r.publishErr = errno;
            }
        }
        return r;
    }

    JobResult& executeLink(ArchiveAccess& za, const Item& it, const Dir& dir, const std::string* password, JobResult& r) {
        StringSink s(4095);
        r.decode = decodeEntry(za, it.info, password, s, limits_, archiveFd_.get());
        if (r.decode.outcome == Outcome::WriteError) {
            r.decode.outcome = Outcome::BadData;
            r.decode.reason = "symbolic link target too long";
        }
        if (r.decode.outcome != Outcome::Ok) return r;
        r.linkTarget = s.text;
        if (testing()) return r;
        if (r.linkTarget.empty() || r.linkTarget.find('\0') != std::string::npos ||
            !linkStaysInside(it.folder(), r.linkTarget)) {
            r.decode.outcome = Outcome::Refused;
            r.decode.reason = "symbolic link to " + r.linkTarget + " points outside the extract folder, not created";
            return r;
        }
        std::string reason;
        if (!createTempLink(dir, r.linkTarget, r.temp, reason)) return writeFailed(r, errno, reason);
        return r;
    }

    // An entry decoded on the calling thread: through libzip's table when
    // the archive was planned with it, else opened when an entry needs it.
    JobResult executeHere(const Item& it, const Dir& dir, const std::string* password) {
        if (!za_) return execute(ownArchive_, it, dir, password);
        OpenZip za(za_.get());
        return execute(za, it, dir, password);
    }

    // What could not be created in the output folder, with the system's error.
    static JobResult& writeFailed(JobResult& r, int err, const std::string& reason) {
        r.decode.outcome = Outcome::WriteError;
        r.decode.err = err;
        r.decode.reason = reason;
        return r;
    }

    // ---- extraction --------------------------------------------------------

    bool existsAt(const Dir& dir, const char* leaf, struct stat& st) {
        return ::fstatat(dir->fd(), leaf, &st, AT_SYMLINK_NOFOLLOW) == 0;
    }

    // Whether work on an entry whose target exists would certainly be thrown away.
    bool certainlyKept(const Item& it, const Dir& dir) {
        // A folder this run made holds only this run's files; a name the
        // archive has twice is settled when it is placed.
        if (dir->created()) return false;
        if (!opts_.ExtractOnlyNewer && (opts_.noflag || answeredAll_)) return false;
        struct stat st;
        if (!existsAt(dir, it.leaf(), st)) return false;
        if (S_ISDIR(st.st_mode)) return false;  // reported at commit
        if (opts_.ExtractOnlyNewer && it.mtime <= st.st_mtime) return true;
        if (opts_.noflag || answeredAll_) return false;
        if (answeredNone_) return true;
        return !opts_.PromptToOverwrite;
    }

    int32_t extract() {
        info("Archive:  " + archive_);
        if (!testing() && !openExtractFolder()) return PK_PARAM;
        selectItems();
        if (!includes_.empty() && items_.empty()) return PK_FIND;
        const int32_t stopCode = settleItems();
        pool_.reset();
        finishFolders();
        reportTotals(stopCode);
        return resultCode(stopCode);
    }

    bool openExtractFolder() {
        std::string reason;
        errno = 0;
        if (tree_.openRoot(extractDir_, reason)) return true;
        const int err = errno;
        error("error: " + reason);
        outcome_(extractDir_, BRIX_WRITE_FAILED, err, reason);
        return false;
    }

    // Settles every selected entry in archive order, decoding ahead on the
    // pool when the work is worth it. Returns the code that stopped the run,
    // or 0.
    int32_t settleItems() {
        unsigned threads = std::min(4u, std::max(1u, std::thread::hardware_concurrency()));
        if (items_.size() < 4 || totalSize_ < (1u << 20)) threads = 1;
        dirs_.assign(items_.size(), nullptr);
        dirFailure_.clear();
        submitted_.assign(items_.size(), false);
        if (threads > 1 && !testing()) markEarlyLinks();
        if (threads > 1)
            pool_.emplace(threads, archive_, items_.size(), limits_,
                          [this](ArchiveAccess& za, const Job& job) {
                              return execute(za, *job.item, job.dir, job.password ? &*job.password : nullptr);
                          },
                          [this](std::size_t slot, JobResult& r) {
                              discardTemp(r.temp);
                              if (r.published)
                                  withdrawPublished(r.publishedIn, items_[slot].leaf(), r.publishedSize, items_[slot].mtime);
                          });
        // How far decoding runs ahead of settling: by count (each entry
        // decoded ahead holds a descriptor until it is settled), and by
        // declared size so that a stop throws little work away (though
        // always a few entries per thread).
        const std::size_t ahead = pool_ ? aheadWithin(descriptorLimit(), threads) : 1;
        std::size_t next = 0;  // next item to prepare and submit
        for (std::size_t k = 0; k < items_.size(); ++k) {
            // Refilled half a window at a time, so that the workers are woken
            // once for many entries.
            if (next <= k + ahead / 2) {
                for (; next < items_.size() && next < k + ahead &&
                       (aheadBytes_ < kAheadBytes || next < k + 2 * threads);
                     ++next) {
                    prepare(next);
                    if (pool_) submit(next);
                }
                if (pool_) pool_->release();
            }
            const int32_t code = settle(k, next);
            if (code) {
                // Entries never reached were stopped with the run.
                for (std::size_t rest = stoppedBeforeSettling_ ? k : k + 1; rest < items_.size(); ++rest)
                    outcome_(items_[rest].stored, BRIX_STOPPED, 0, "the run was stopped");
                limits_.cancel = true;
                return code;
            }
        }
        return 0;
    }

    // Which files may take their names on the workers, as soon as they
    // checked out. Only where no other entry of the run wants the name (as
    // its file, or as a folder on its path), compared without ASCII case:
    // then the order in which the names are taken cannot matter, and a name
    // that is already taken is left to the questions, on this thread.
    void markEarlyLinks() {
        static constexpr auto lower = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; };
        struct FoldHash {
            std::size_t operator()(std::string_view v) const {
                std::uint64_t h = 1469598103934665603ull;  // FNV-1a
                for (unsigned char c : v) h = (h ^ lower(c)) * 1099511628211ull;
                return static_cast<std::size_t>(h);
            }
        };
        struct FoldEqual {
            bool operator()(std::string_view a, std::string_view b) const {
                return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                                  [](unsigned char x, unsigned char y) { return lower(x) == lower(y); });
            }
        };
        std::unordered_map<std::string_view, unsigned, FoldHash, FoldEqual> wanted;
        wanted.reserve(items_.size() * 2);
        std::string_view lastFolder;
        for (const Item& it : items_) {
            if (!it.safe.ok) continue;
            const std::string_view path(it.display);
            ++wanted[path];
            // The folders on its path, once for a run of entries in one folder.
            const std::size_t end = path.rfind('/');
            if (end == std::string_view::npos || path.substr(0, end) == lastFolder) continue;
            lastFolder = path.substr(0, end);
            for (std::size_t slash = path.find('/'); slash <= end; slash = path.find('/', slash + 1))
                ++wanted[path.substr(0, slash)];
        }
        for (Item& it : items_) it.linkEarly = it.safe.ok && it.kind == Kind::File && wanted[it.display] == 1;
    }

    // Opens (creating) the output folder of item k.
    void prepare(std::size_t k) {
        Item& it = items_[k];
        if (!it.safe.ok || testing()) return;
        std::string reason;
        std::vector<std::string> full = it.folder();
        if (it.kind == Kind::Folder) full.push_back(it.leaf());
        errno = 0;
        dirs_[k] = tree_.open(full, true, reason);
        if (!dirs_[k]) dirFailure_[k] = {reason.empty() ? "cannot create the folder" : reason, errno};
    }

    // Hands item k to the pool when its work cannot be thrown away unseen.
    void submit(std::size_t k) {
        Item& it = items_[k];
        if (!it.safe.ok || it.kind == Kind::Folder) return;
        if (!testing() && !dirs_[k]) return;
        if (it.info.encryption != ZIP_EM_NONE && !lastGood_) return;  // needs a question first
        if (!testing() && certainlyKept(it, dirs_[k])) return;
        Job job{k, &it, dirs_[k], std::nullopt};
        if (it.info.encryption != ZIP_EM_NONE) job.password = *lastGood_;
        pool_->submit(std::move(job));
        submitted_[k] = true;
        aheadBytes_ += it.info.size;
    }

    // The last submitted item of the run that settling item k waits for
    // (k itself at the least); `next` is the first item not submitted.
    std::size_t waitThrough(std::size_t k, std::size_t next) const {
        for (std::size_t j = std::min(k + kBatch, next - 1); j > k; --j)
            if (submitted_[j]) return j;
        return k;
    }

    // Item k on the calling thread: the service callback, then its fate.
    int32_t settle(std::size_t k, std::size_t next) {
        Item& it = items_[k];
        stoppedBeforeSettling_ = false;
        if (fn_ && fn_->service) {
            const std::string& shown = it.safe.ok ? it.display : it.stored;
            if (fn_->service(shown.c_str(), static_cast<uint32_t>(shown.size() + 1)) == 1) {
                error("stopped at " + shown);
                stoppedBeforeSettling_ = true;
                return IZ_CTRLC;
            }
        }
        if (!it.safe.ok) {
            error("warning:  skipped \"" + it.stored + "\": " + it.safe.reason);
            outcome_(it.stored, it.unreadable ? BRIX_READ_FAILED : BRIX_UNSAFE, 0, it.safe.reason);
            ++warnings_;
            return 0;
        }
        if (!testing() && !dirs_[k]) {
            const auto& [reason, err] = dirFailure_.at(k);
            error("warning:  skipped \"" + it.stored + "\": " + reason);
            outcome_(it.stored, BRIX_WRITE_FAILED, err, reason);
            ++warnings_;
            return 0;
        }
        if (it.kind == Kind::Folder) {
            // Folders are reported only when they cannot be made (above):
            // hosts count the files that came out.
            if (!testing()) {
                info("   creating: " + it.display + "/");
                folders_.push_back(k);
            }
            return 0;
        }
        std::optional<JobResult> r;
        if (submitted_[k]) {
            r = pool_->take(k, waitThrough(k, next));
            aheadBytes_ -= it.info.size;
        }
        return commit(it, dirs_[k], r);
    }

    // Settles one file or link entry. Non-zero stops the run.
    int32_t commit(const Item& it, const Dir& dir, std::optional<JobResult>& r) {
        if (!r) {
            if (!testing() && certainlyKept(it, dir)) {
                keepExisting(it, dir);
                return 0;
            }
            const std::string* pw = it.info.encryption != ZIP_EM_NONE && lastGood_ ? &*lastGood_ : nullptr;
            r = executeHere(it, dir, pw);
        }
        if (it.info.encryption != ZIP_EM_NONE && !settlePassword(it, dir, *r)) return 0;
        if (r->decode.outcome != Outcome::Ok) return failed(it, *r);
        if (testing()) {
            info("    testing: " + it.display + "   OK");
            outcome_(it.stored, BRIX_DONE, 0, "tested");
            ++extracted_;
            return 0;
        }
        return place(it, dir, *r);
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

    // Asks for passwords while the entry's password check fails. Data that
    // fail their CRC after the check passed are not a password question:
    // they are reported once, as damaged. False when the entry was given up.
    bool settlePassword(const Item& it, const Dir& dir, JobResult& r) {
        int asked = 0;
        bool given = false;
        while (r.decode.outcome == Outcome::NeedPassword || r.decode.outcome == Outcome::WrongPassword) {
            std::string pw;
            if (++asked > 64 || !askPassword(it, pw)) {
                const bool wrong = given && r.decode.outcome == Outcome::WrongPassword;
                const char* why = wrong ? "incorrect password" : "no password given";
                error("  skipping: " + it.display + "  " + why);
                outcome_(it.stored, wrong ? BRIX_WRONG_PASSWORD : BRIX_NO_PASSWORD, 0, why);
                discardTemp(r.temp);
                ++passwordSkipped_;
                return false;
            }
            given = true;
            discardTemp(r.temp);
            r = executeHere(it, dir, &pw);
        }
        if (r.hadPassword && r.decode.outcome == Outcome::Ok) {
            lastGood_ = r.passwordUsed;
            proven_.insert(r.passwordUsed);
        } else if (r.hadPassword && r.decode.outcome == Outcome::BadData && it.info.encryption == ZIP_EM_TRAD_PKWARE &&
                   !proven_.count(r.passwordUsed)) {
            // The traditional check is one byte: a wrong password passes it
            // once in 256 tries. Say so rather than ask again and again.
            r.decode.reason += " (damaged data, or a wrong password that passed the check)";
        }
        return true;
    }

    // An entry whose data did not come out. Non-zero stops the run.
    int32_t failed(const Item& it, JobResult& r) {
        const DecodeResult& d = r.decode;
        discardTemp(r.temp);
        outcome_(it.stored, outcomeKind(d.outcome), d.err, d.reason);
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

    // Gives a checked file its name, unless the name is to be kept.
    int32_t place(const Item& it, const Dir& dir, JobResult& r) {
        // Where the name is free the file takes it at once (maybe already
        // where it was decoded); only an existing name needs the questions.
        bool done = r.published;
        int err = r.publishErr;
        if (!done && !err) {
            done = publishTemp(r.temp, it.leaf(), false);
            err = errno;
        }
        if (!done && err == EEXIST) {
            struct stat st;
            if (existsAt(dir, it.leaf(), st)) {
                if (S_ISDIR(st.st_mode)) {
                    discardTemp(r.temp);
                    error("  error:  " + it.display + ": a folder of that name exists");
                    outcome_(it.stored, BRIX_WRITE_FAILED, EISDIR, "a folder of that name exists");
                    ++errors_;
                    return 0;
                }
                if (!mayReplace(it, st)) {
                    discardTemp(r.temp);
                    return 0;
                }
            }
            done = publishTemp(r.temp, it.leaf(), true);
            err = errno;
        }
        if (!done) {
            discardTemp(r.temp);
            error("  error:  " + it.display + ": cannot write: " + errnoText(err));
            outcome_(it.stored, BRIX_WRITE_FAILED, err, errnoText(err));
            ++errors_;
            return 0;
        }
        ++extracted_;
        outcome_(it.stored, BRIX_DONE, 0, "extracted");
        if (it.kind == Kind::Link) info("    linking: " + it.display + " -> " + r.linkTarget);
        else if (it.info.method == ZIP_CM_STORE) info(" extracting: " + it.display);
        else info("  inflating: " + it.display);
        return 0;
    }

    void keepExisting(const Item& it, const Dir& dir) {
        struct stat st;
        if (existsAt(dir, it.leaf(), st) && opts_.ExtractOnlyNewer && it.mtime <= st.st_mtime) {
            keptAsNotNewer(it);
            return;
        }
        keptExisting(it);
    }

    void keptAsNotNewer(const Item& it) {
        info("  skipping: " + it.display + "  (existing file is not older)");
        outcome_(it.stored, BRIX_KEPT, 0, "existing file is not older");
    }

    void keptExisting(const Item& it) {
        error("  skipping: " + it.display + "  (file exists, kept)");
        outcome_(it.stored, BRIX_KEPT, 0, "file exists, kept");
        ++warnings_;
    }

    bool mayReplace(const Item& it, const struct stat& st) {
        if (opts_.ExtractOnlyNewer && it.mtime <= st.st_mtime) {
            keptAsNotNewer(it);
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
        keptExisting(it);
        return false;
    }

    // Folder times and permissions last, deepest first, once their files are in.
    void finishFolders() {
        for (auto k = folders_.rbegin(); k != folders_.rend(); ++k) {
            const Item& it = items_[*k];
            const Dir& d = dirs_[*k];
            if (!d) continue;
            ::fchmod(d->fd(), (it.mode & 0777) | 0700);
            struct timespec ts[2];
            ts[0].tv_sec = ts[1].tv_sec = it.mtime;
            ts[0].tv_nsec = ts[1].tv_nsec = 0;
            ::futimens(d->fd(), ts);
        }
    }

    void reportTotals(int32_t stopCode) {
        if (fn_) {
            fn_->NumMembers = static_cast<uint32_t>(items_.size());
            fn_->TotalSize = clamp32(totalSize_);
        }
        if (testing() && stopCode == 0) {
            if (errors_ == 0 && unsupported_ == 0) info("No errors detected in compressed data of " + archive_ + ".");
            else error("At least one error was detected in " + archive_ + ".");
        }
    }

    int32_t resultCode(int32_t stopCode) const {
        if (stopCode) return stopCode;
        if (diskFull_) return PK_DISK;
        if (errors_) return PK_ERR;
        if (unsupported_ && extracted_ == 0 && passwordSkipped_ == 0) return IZ_UNSUP;
        if (unsupported_) return PK_ERR;
        if (passwordSkipped_ && extracted_ == 0) return IZ_BADPWD;
        if (passwordSkipped_ || warnings_) return PK_WARN;
        return PK_OK;
    }

    DCL opts_;
    USERFUNCTIONS* fn_;
    OutcomeReporter outcome_;
    void* context_ = nullptr;
    UzpListing64Fn listing64_ = nullptr;
    std::vector<std::string> includes_, excludes_;
    std::string archive_, extractDir_;
    ZipPtr za_;
    WorkerArchive ownArchive_{archive_};
    FolderTree tree_;
    RunLimits limits_;
    std::unique_ptr<NameMatcher> includeMatcher_, excludeMatcher_;

    DosClock clock_;
    // The archive, for the entries read without libzip (by any thread).
    class Fd {
    public:
        ~Fd() { reset(-1); }
        void reset(int fd) {
            if (fd_ >= 0) ::close(fd_);
            fd_ = fd;
        }
        int get() const { return fd_; }

    private:
        int fd_ = -1;
    } archiveFd_;

    std::vector<Item> items_;
    std::uint64_t totalSize_ = 0;
    std::vector<Dir> dirs_;
    std::unordered_map<std::size_t, std::pair<std::string, int>> dirFailure_;  // item: reason, errno
    std::vector<bool> submitted_;
    std::uint64_t aheadBytes_ = 0;  // declared size of the submitted items not yet taken
    static constexpr std::size_t kAhead = 128, kBatch = 32;
    // The process's limit on open descriptors, or 0 when there is none.
    static std::size_t descriptorLimit() {
        struct rlimit rl;
        if (::getrlimit(RLIMIT_NOFILE, &rl) != 0 || rl.rlim_cur == RLIM_INFINITY) return 0;
        return static_cast<std::size_t>(rl.rlim_cur);
    }
    // Entries decoded ahead each hold a descriptor, beside the folders kept
    // open and whatever the host has open: an eighth of the limit at most.
    static std::size_t aheadWithin(std::size_t limit, unsigned threads) {
        if (limit == 0) return kAhead;
        return std::clamp<std::size_t>(limit / 8, 2 * std::size_t{threads}, kAhead);
    }
    static constexpr std::uint64_t kAheadBytes = 64u << 20;
    bool stoppedBeforeSettling_ = false;

    std::optional<std::string> lastGood_;
    std::set<std::string> proven_;
    bool answeredAll_ = false, answeredNone_ = false, diskFull_ = false;
    int errors_ = 0, warnings_ = 0, unsupported_ = 0, passwordSkipped_ = 0, extracted_ = 0;
    std::vector<std::size_t> folders_;

    // Last: destroyed first, so its threads are joined before anything they
    // read (the items, their folders, the limits) goes away.
    std::optional<WorkerPool> pool_;
};

}  // namespace
}  // namespace uz

extern "C" __attribute__((visibility("default"))) int32_t Wiz_SingleEntryUnzipEx(
    int32_t includeCount, UZNAMES* include, int32_t excludeCount, UZNAMES* exclude, DCL* options,
    USERFUNCTIONS* functions, const UZEXTRA* extra) {
    if (!options) return PK_PARAM;
    try {
        uz::Run run(includeCount, include, excludeCount, exclude, options, functions, extra);
        return run.run();
    } catch (const std::bad_alloc&) {
        return PK_MEM;
    } catch (...) {
        return PK_BADERR;
    }
}

extern "C" __attribute__((visibility("default"))) int32_t Wiz_SingleEntryUnzip(int32_t includeCount, UZNAMES* include,
                                                                               int32_t excludeCount, UZNAMES* exclude,
                                                                               DCL* options, USERFUNCTIONS* functions) {
    return Wiz_SingleEntryUnzipEx(includeCount, include, excludeCount, exclude, options, functions, nullptr);
}
