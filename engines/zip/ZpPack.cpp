#include "ZpPack.h"

#include <fcntl.h>
#include <libdeflate.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace brixzip {

Buffer& Buffer::operator=(Buffer&& o) noexcept {
    if (this != &o) {
        std::free(p);
        p = o.p;
        n = o.n;
        o.p = nullptr;
        o.n = 0;
    }
    return *this;
}

Buffer::~Buffer() { std::free(p); }

void Buffer::reset() {
    std::free(p);
    p = nullptr;
    n = 0;
}

void Buffer::adopt(unsigned char* bytes, std::size_t size) {
    reset();
    p = bytes;
    n = size;
}

void EolConverter::feed(const unsigned char* p, std::size_t n, std::vector<unsigned char>& out) {
    out.reserve(out.size() + n + (mode_ == Eol::LfToCrLf ? n / 8 + 16 : 1));
    for (std::size_t i = 0; i < n; ++i) {
        unsigned char c = p[i];
        if (mode_ == Eol::CrLfToLf) {
            if (pendingCr_) {
                pendingCr_ = false;
                if (c == '\n') {
                    out.push_back('\n');
                    continue;
                }
                out.push_back('\r');
            }
            if (c == '\r')
                pendingCr_ = true;
            else
                out.push_back(c);
        } else if (mode_ == Eol::LfToCrLf) {
            if (c == '\n' && !lastCr_) out.push_back('\r');
            out.push_back(c);
            lastCr_ = c == '\r';
        } else {
            out.push_back(c);
        }
    }
}

void EolConverter::finish(std::vector<unsigned char>& out) {
    if (pendingCr_) out.push_back('\r');
    pendingCr_ = false;
}

static constexpr std::size_t kTextProbe = 32 * 1024;

// Opens a file for reading without ever blocking: a FIFO or device put
// where the scan saw a regular file is refused (EINVAL), not waited on.
// `size` is set to the file's size when it was opened.
static int openRegular(const std::string& path, std::uint64_t* size = nullptr) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return -errno;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        int err = S_ISREG(st.st_mode) ? errno : EINVAL;
        ::close(fd);
        return -err;
    }
    if (size) *size = static_cast<std::uint64_t>(st.st_size);
    return fd;
}

bool looksLikeText(const std::string& path) {
    int fd = openRegular(path);
    if (fd < 0) return false;
    unsigned char buf[kTextProbe];
    std::size_t have = 0;
    while (have < sizeof buf) {
        ssize_t r = ::read(fd, buf + have, sizeof buf - have);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) break;
        have += static_cast<std::size_t>(r);
    }
    ::close(fd);
    return std::memchr(buf, 0, have) == nullptr;
}

// Reads a whole file; the size seen at scan time is only a hint, and the
// size at opening saves the read that would only find the end: a short read
// that brings the total to that size is the end of the file, and a file that
// has grown since is read on to its new end.
static int readWhole(const std::string& path, std::uint64_t hint, Buffer& out) {
    std::uint64_t opened = 0;
    int fd = openRegular(path, &opened);
    if (fd < 0) return -fd;
    std::size_t cap = static_cast<std::size_t>(std::max(hint, opened)) + 1;
    unsigned char* p = static_cast<unsigned char*>(std::malloc(cap));
    if (!p) {
        ::close(fd);
        return ENOMEM;
    }
    std::size_t n = 0;
    for (;;) {
        if (n == cap) {
            std::size_t ncap = cap * 2;
            auto* q = static_cast<unsigned char*>(std::realloc(p, ncap));
            if (!q) {
                std::free(p);
                ::close(fd);
                return ENOMEM;
            }
            p = q;
            cap = ncap;
        }
        ssize_t r = ::read(fd, p + n, cap - n);
        if (r < 0) {
            if (errno == EINTR) continue;
            int e = errno;
            std::free(p);
            ::close(fd);
            return e;
        }
        if (r == 0) break;
        const bool shortRead = static_cast<std::size_t>(r) < cap - n;
        n += static_cast<std::size_t>(r);
        if (shortRead && n == opened) break;
    }
    ::close(fd);
    out.adopt(p, n);
    return 0;
}

// Compressed formats (gzip, bzip2, xz, zstd, zip, 7z, PNG, JPEG) by their
// first bytes.
static bool compressedFormat(const unsigned char* p, std::size_t n) {
    static const struct {
        const char* magic;
        std::size_t n;
    } formats[] = {{"\x1f\x8b", 2},         {"BZh", 3},          {"\xfd" "7zXZ\0", 6}, {"\x28\xb5\x2f\xfd", 4},
                   {"PK\3\4", 4},            {"7z\xbc\xaf\x27\x1c", 6}, {"\x89PNG", 4}, {"\xff\xd8\xff", 3}};
    for (const auto& f : formats)
        if (n >= f.n && std::memcmp(p, f.magic, f.n) == 0) return true;
    return false;
}

// A file in a compressed format whose first part the compressor cannot
// shrink is stored without deflating the rest: the whole would not shrink
// either, and deflating it costs as much as text does. The trial is a
// quarter of a small file, and 64 KiB of a large one.
static constexpr std::size_t kTrial = 64 * 1024, kSmallestTrial = 4096;

static bool packedAlready(libdeflate_compressor* c, const unsigned char* p, std::size_t n) {
    if (n < kSmallestTrial || !compressedFormat(p, n)) return false;
    const std::size_t trial = std::min(kTrial, std::max(kSmallestTrial, n / 4));
    auto out = std::make_unique<unsigned char[]>(trial);
    std::size_t cs = libdeflate_deflate_compress(c, p, trial, out.get(), trial);
    return cs == 0 || cs >= trial;
}

bool DeflatedCache::claim(std::uint64_t size, std::uint32_t crc, bool& mine, Buffer& stream) {
    std::unique_lock lk(m_);
    mine = false;
    for (;;) {
        auto [it, added] = holders_.try_emplace(Key{size, crc}, nullptr);
        if (added) {
            mine = true;
            return false;
        }
        if (const Job* holder = it->second) {
            auto* copy = static_cast<unsigned char*>(std::malloc(holder->data.n));
            if (!copy) return false;  // deflated anew, unclaimed
            std::memcpy(copy, holder->data.p, holder->data.n);
            stream.adopt(copy, holder->data.n);
            return true;
        }
        settled_.wait(lk);
    }
}

void DeflatedCache::settle(std::uint64_t size, std::uint32_t crc, const Job* holder) noexcept {
    std::lock_guard lk(m_);
    if (holder)
        holders_[{size, crc}] = holder;  // the claim's entry: nothing to allocate
    else
        holders_.erase({size, crc});
    settled_.notify_all();
}

void DeflatedCache::pass(const Job& to) noexcept {
    std::lock_guard lk(m_);
    auto it = holders_.find({to.rawSize, to.crc});
    if (it != holders_.end() && it->second) it->second = &to;
}

void DeflatedCache::forget(const Job& job) noexcept {
    std::lock_guard lk(m_);
    auto it = holders_.find({job.rawSize, job.crc});
    if (it != holders_.end() && it->second == &job) holders_.erase(it);
}

Workspace::~Workspace() {
    if (compressor) libdeflate_free_compressor(static_cast<libdeflate_compressor*>(compressor));
    if (decompressor) libdeflate_free_decompressor(static_cast<libdeflate_decompressor*>(decompressor));
}

// Larger contents are deflated again rather than held twice for comparing.
static constexpr std::size_t kLargestShared = 16u << 20;

Packer::Packer(int level, std::size_t budget) : level_(level), budget_(budget) {}

Packer::~Packer() { stop(); }

std::size_t Packer::reserve(const Job& job) {
    std::size_t in = static_cast<std::size_t>(job.size);
    if (job.eol == Eol::LfToCrLf) in *= 2;
    return in + in / 8 + 64 * 1024;
}

void Packer::start(unsigned threads) {
    for (unsigned i = 0; i < std::max(threads, 1u); ++i) threads_.emplace_back([this] { worker(); });
}

// Idle workers are woken for a few jobs at a time, not for each one, when
// the jobs come in no faster than they are done.
static constexpr std::size_t kWakeEvery = 8;

void Packer::add(Job& job) {
    std::lock_guard lk(m_);
    job.seq = jobs_.size();
    jobs_.push_back(&job);
    if (jobs_.size() - std::min(next_, jobs_.size()) >= kWakeEvery) cv_.notify_one();
}

void Packer::close() {
    std::lock_guard lk(m_);
    closed_ = true;
    cv_.notify_all();
    wakeWriter();
}

void Packer::drop(Job& job) {
    std::lock_guard lk(m_);
    job.dropped = true;
    if (job.state == Job::State::Pending) {
        job.state = Job::State::Done;
    } else if (job.state == Job::State::Done) {
        freeData(job);
        inFlight_ -= std::min(inFlight_, job.held);
        job.held = 0;
        cv_.notify_all();
    }
}

// Every job's data goes through here, so that no thread copies it from the
// cache after it has gone.
void Packer::freeData(Job& job) {
    seen_.forget(job);
    job.data.reset();
}

void Packer::worker() {
    Workspace ws;
    std::unique_lock lk(m_);
    for (;;) {
        while (next_ < jobs_.size() && jobs_[next_]->state != Job::State::Pending) ++next_;
        if (stopping_ || (closed_ && next_ >= jobs_.size())) break;
        if (next_ >= jobs_.size()) {
            cv_.wait(lk);
            continue;
        }
        std::size_t need = reserve(*jobs_[next_]);
        if (inFlight_ != 0 && inFlight_ + need > budget_) {
            cv_.wait(lk);
            continue;
        }
        Job& job = *jobs_[next_++];
        job.state = Job::State::Running;
        inFlight_ += need;
        ++running_;
        lk.unlock();
        runGuarded(job, ws);
        lk.lock();
        --running_;
        inFlight_ -= need;
        if (job.dropped) freeData(job);
        job.held = job.data.n;
        inFlight_ += job.held;
        job.state = Job::State::Done;
        cv_.notify_all();
        wakeWriter();
    }
}

Job& Packer::wait(Job& job) {
    std::unique_lock lk(m_);
    if (job.state == Job::State::Pending) {
        job.state = Job::State::Running;
        lk.unlock();
        runGuarded(job, main_);
        lk.lock();
        job.held = job.data.n;
        inFlight_ += job.held;
        job.state = Job::State::Done;
        cv_.notify_all();
        return job;
    }
    if (job.state != Job::State::Done) {
        awaited_ = &job;
        writerCv_.wait(lk, [&] { return writerMayGo(job); });
        awaited_ = nullptr;
    }
    return job;
}

// How far the workers should be ahead before a writer that caught up with
// them goes on.
static constexpr std::size_t kAhead = 32;

bool Packer::writerMayGo(const Job& job) const {
    if (job.state != Job::State::Done) return false;
    if (running_ == 0 || stopping_) return true;
    std::size_t ahead = std::min(job.seq + kAhead, jobs_.size() - 1);
    return jobs_[ahead]->state == Job::State::Done;
}

void Packer::wakeWriter() {
    if (awaited_ && writerMayGo(*awaited_)) writerCv_.notify_one();
}

void Packer::release(Job& job) {
    std::lock_guard lk(m_);
    freeData(job);
    inFlight_ -= std::min(inFlight_, job.held);
    job.held = 0;
    cv_.notify_all();
}

void Packer::stop() {
    {
        std::lock_guard lk(m_);
        stopping_ = true;
    }
    cv_.notify_all();
    writerCv_.notify_all();
    for (std::thread& t : threads_)
        if (t.joinable()) t.join();
    threads_.clear();
}

// Nothing may leave a worker thread (that would end the host), nor a
// libzip callback: a job that fails for want of memory is a failed read.
void Packer::runGuarded(Job& job, Workspace& ws) noexcept {
    try {
        run(job, ws);
    } catch (...) {
        freeData(job);
        job.error = ENOMEM;
    }
}

// Takes the stream of an identical content from a job in flight (or being
// deflated on another thread), when there is one of the same size and CRC
// and it inflates to exactly these bytes. `mine`: the caller is to settle
// the cache's key for this content.
bool Packer::deflatedBefore(const Buffer& in, Job& job, Workspace& ws, bool& mine) {
    mine = false;
    Buffer stream;
    if (in.n > kLargestShared || !seen_.claim(in.n, job.crc, mine, stream)) return false;
    if (!ws.decompressor) ws.decompressor = libdeflate_alloc_decompressor();
    if (!ws.decompressor) return false;
    if (ws.checkSize < in.n) {
        ws.check = std::make_unique_for_overwrite<unsigned char[]>(in.n);
        ws.checkSize = in.n;
    }
    std::size_t got = 0;
    if (libdeflate_deflate_decompress(static_cast<libdeflate_decompressor*>(ws.decompressor), stream.p, stream.n,
                                      ws.check.get(), in.n, &got) != LIBDEFLATE_SUCCESS ||
        got != in.n || std::memcmp(ws.check.get(), in.p, in.n) != 0)
        return false;
    job.stored = false;
    job.data = std::move(stream);
    seen_.pass(job);
    return true;
}

void Packer::run(Job& job, Workspace& ws) {
    Buffer in;
    job.error = readWhole(job.path, job.size, in);
    if (job.error) return;
    if (job.eol != Eol::None && in.n) {
        EolConverter conv(job.eol);
        std::vector<unsigned char> out;
        conv.feed(in.p, in.n, out);
        conv.finish(out);
        in.reset();
        if (!out.empty()) {
            in.p = static_cast<unsigned char*>(std::malloc(out.size()));
            if (!in.p) {
                job.error = ENOMEM;
                return;
            }
            std::memcpy(in.p, out.data(), out.size());
            in.n = out.size();
        }
    }
    job.rawSize = in.n;
    job.crc = static_cast<std::uint32_t>(libdeflate_crc32(0, in.p, in.n));
    if (in.n == 0) {
        job.stored = true;
        job.data = std::move(in);
        return;
    }
    if (!ws.compressor) ws.compressor = libdeflate_alloc_compressor(level_);
    auto* c = static_cast<libdeflate_compressor*>(ws.compressor);
    if (c && packedAlready(c, in.p, in.n)) {
        job.stored = true;
        job.data = std::move(in);
        return;
    }
    bool mine = false;
    if (deflatedBefore(in, job, ws, mine)) return;
    // Whatever happens below, threads waiting for this content's stream go on.
    struct Settle {
        DeflatedCache& cache;
        const Job& job;
        bool mine;
        bool deflated = false;
        ~Settle() {
            if (mine) cache.settle(job.rawSize, job.crc, deflated ? &job : nullptr);
        }
    } settle{seen_, job, mine};
    std::size_t bound = c ? libdeflate_deflate_compress_bound(c, in.n) : 0;
    unsigned char* out = c ? static_cast<unsigned char*>(std::malloc(bound)) : nullptr;
    std::size_t cs = out ? libdeflate_deflate_compress(c, in.p, in.n, out, bound) : 0;
    if (cs > 0 && cs < in.n) {
        if (auto* shrunk = static_cast<unsigned char*>(std::realloc(out, cs))) out = shrunk;
        settle.deflated = true;
        job.stored = false;
        job.data.adopt(out, cs);
    } else {
        // Deflate does not make it smaller: keep the bytes as they are.
        std::free(out);
        job.stored = true;
        job.data = std::move(in);
    }
}

StreamDeflater::StreamDeflater(const std::string& path, int level, Eol eol)
    : path_(path), level_(level), conv_(eol), eol_(eol) {}

StreamDeflater::~StreamDeflater() {
    if (zInit_) deflateEnd(&zs_);
    if (fd_ >= 0) ::close(fd_);
}

bool StreamDeflater::open() {
    fd_ = openRegular(path_);
    if (fd_ < 0) {
        error_ = -fd_;
        fd_ = -1;
        return false;
    }
    if (deflateInit2(&zs_, level_, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
        error_ = ENOMEM;
        return false;
    }
    zInit_ = true;
    in_.resize(512 * 1024);
    return true;
}

bool StreamDeflater::fill() {
    ssize_t r;
    do {
        r = ::read(fd_, in_.data(), in_.size());
    } while (r < 0 && errno == EINTR);
    if (r < 0) {
        error_ = errno;
        return false;
    }
    const unsigned char* p = in_.data();
    std::size_t n = static_cast<std::size_t>(r);
    if (r == 0) eof_ = true;
    if (eol_ != Eol::None) {
        conv_buf_.clear();
        if (n) conv_.feed(p, n, conv_buf_);
        if (eof_) conv_.finish(conv_buf_);
        p = conv_buf_.data();
        n = conv_buf_.size();
    }
    crc_ = static_cast<std::uint32_t>(libdeflate_crc32(crc_, p, n));
    rawSize_ += n;
    zs_.next_in = const_cast<unsigned char*>(p);
    zs_.avail_in = static_cast<uInt>(n);
    return true;
}

long long StreamDeflater::read(unsigned char* out, std::size_t n) {
    n = std::min<std::size_t>(n, 1u << 30);
    zs_.next_out = out;
    zs_.avail_out = static_cast<uInt>(n);
    while (zs_.avail_out > 0 && !finished_) {
        if (zs_.avail_in == 0 && !eof_ && !fill()) return -1;
        int ret = deflate(&zs_, (eof_ && zs_.avail_in == 0) ? Z_FINISH : Z_NO_FLUSH);
        if (ret == Z_STREAM_END)
            finished_ = true;
        else if (ret != Z_OK && ret != Z_BUF_ERROR) {
            error_ = EIO;
            return -1;
        }
    }
    std::size_t produced = n - zs_.avail_out;
    compSize_ += produced;
    return static_cast<long long>(produced);
}

}  // namespace brixzip
