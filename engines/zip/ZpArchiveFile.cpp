#include "ZpArchiveFile.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

namespace brixzip {
namespace {

constexpr std::size_t kGather = 1u << 20;

class ArchiveFile {
public:
    explicit ArchiveFile(std::string path) : path_(std::move(path)) { zip_error_init(&error_); }
    ~ArchiveFile() {
        closeRead();
        discardTemp();
        zip_error_fini(&error_);
    }

    zip_int64_t command(void* data, zip_uint64_t len, zip_source_cmd_t cmd);
    zip_int64_t fail(int ze, int sys) {
        zip_error_set(&error_, ze, sys);
        return -1;
    }

private:

    // Moves the read or the write position (`pos`, in a file of `end` bytes).
    zip_int64_t seek(std::uint64_t& pos, std::uint64_t end, void* data, zip_uint64_t len) {
        zip_int64_t to = zip_source_seek_compute_offset(pos, end, data, len, &error_);
        if (to < 0) return -1;
        pos = static_cast<std::uint64_t>(to);
        return 0;
    }

    // Reading the archive as it is.
    zip_int64_t stat(void* data, zip_uint64_t len);
    zip_int64_t openRead();
    zip_int64_t read(void* data, zip_uint64_t len);
    void closeRead() {
        if (rfd_ >= 0) ::close(rfd_);
        rfd_ = -1;
    }

    // Writing the new one.
    zip_int64_t beginWrite();
    zip_int64_t write(const void* data, zip_uint64_t len);
    bool flush();
    bool writeAt(const unsigned char* p, std::size_t n, std::uint64_t at);
    zip_int64_t commitWrite();
    void discardTemp() {
        if (wfd_ < 0) return;
        ::close(wfd_);
        ::unlink(temp_.c_str());
        wfd_ = -1;
        gather_.clear();
    }

    std::string path_, temp_;
    zip_error_t error_;
    int rfd_ = -1, wfd_ = -1;
    std::uint64_t size_ = 0, rpos_ = 0;
    // The gathered bytes belong at [gatherAt_, gatherAt_ + gather_.size());
    // wpos_ is where the next write goes, wend_ the new file's length.
    std::vector<unsigned char> gather_;
    std::uint64_t gatherAt_ = 0, wpos_ = 0, wend_ = 0;
};

zip_int64_t ArchiveFile::stat(void* data, zip_uint64_t len) {
    if (len < sizeof(zip_stat_t)) return fail(ZIP_ER_INVAL, 0);
    struct stat sb;
    int rc = rfd_ >= 0 ? ::fstat(rfd_, &sb) : ::stat(path_.c_str(), &sb);
    if (rc != 0) return fail(ZIP_ER_READ, errno);
    auto* st = static_cast<zip_stat_t*>(data);
    zip_stat_init(st);
    st->valid = ZIP_STAT_SIZE | ZIP_STAT_MTIME;
    st->size = static_cast<zip_uint64_t>(sb.st_size);
    st->mtime = sb.st_mtime;
    return sizeof(zip_stat_t);
}

zip_int64_t ArchiveFile::openRead() {
    closeRead();
    // The caller has checked that a regular file is there; O_NONBLOCK keeps
    // one put there since from holding the run.
    rfd_ = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (rfd_ < 0) return fail(ZIP_ER_OPEN, errno);
    struct stat sb;
    if (::fstat(rfd_, &sb) != 0 || !S_ISREG(sb.st_mode)) {
        int err = S_ISREG(sb.st_mode) ? errno : EINVAL;
        closeRead();
        return fail(ZIP_ER_OPEN, err);
    }
    size_ = static_cast<std::uint64_t>(sb.st_size);
    rpos_ = 0;
    return 0;
}

zip_int64_t ArchiveFile::read(void* data, zip_uint64_t len) {
    if (rfd_ < 0) return fail(ZIP_ER_INTERNAL, 0);
    auto* p = static_cast<unsigned char*>(data);
    std::size_t want = static_cast<std::size_t>(std::min<zip_uint64_t>(len, 1u << 30));
    std::size_t got = 0;
    while (got < want) {
        ssize_t r = ::pread(rfd_, p + got, want - got, static_cast<off_t>(rpos_ + got));
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) return fail(ZIP_ER_READ, errno);
        if (r == 0) break;
        got += static_cast<std::size_t>(r);
    }
    rpos_ += got;
    return static_cast<zip_int64_t>(got);
}

zip_int64_t ArchiveFile::beginWrite() {
    discardTemp();
    struct stat sb;
    const bool replacing = ::stat(path_.c_str(), &sb) == 0;
    const mode_t mode = replacing ? (sb.st_mode & 0777) : 0666;
    static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    for (int attempt = 0; attempt < 100 && wfd_ < 0; ++attempt) {
        unsigned char r[6];
        if (::getrandom(r, sizeof r, 0) != static_cast<ssize_t>(sizeof r))
            for (unsigned char& c : r) c = static_cast<unsigned char>(std::rand());
        temp_ = path_ + ".";
        for (unsigned char c : r) temp_ += digits[c % (sizeof digits - 1)];
        wfd_ = ::open(temp_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (wfd_ < 0 && errno != EEXIST) return fail(ZIP_ER_TMPOPEN, errno);
    }
    if (wfd_ < 0) return fail(ZIP_ER_TMPOPEN, EEXIST);
    // The umask is for new files; a replaced archive keeps its own mode.
    if (replacing) (void)::fchmod(wfd_, mode);
    try {
        gather_.reserve(kGather);
    } catch (const std::bad_alloc&) {
        discardTemp();
        return fail(ZIP_ER_MEMORY, 0);
    }
    gatherAt_ = wpos_ = wend_ = 0;
    return 0;
}

bool ArchiveFile::writeAt(const unsigned char* p, std::size_t n, std::uint64_t at) {
    while (n > 0) {
        ssize_t w = ::pwrite(wfd_, p, n, static_cast<off_t>(at));
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) {
            zip_error_set(&error_, ZIP_ER_WRITE, w < 0 ? errno : ENOSPC);
            return false;
        }
        p += w;
        n -= static_cast<std::size_t>(w);
        at += static_cast<std::uint64_t>(w);
    }
    return true;
}

bool ArchiveFile::flush() {
    if (gather_.empty()) return true;
    bool ok = writeAt(gather_.data(), gather_.size(), gatherAt_);
    gatherAt_ += gather_.size();
    gather_.clear();
    return ok;
}

zip_int64_t ArchiveFile::write(const void* data, zip_uint64_t len) {
    if (wfd_ < 0) return fail(ZIP_ER_INTERNAL, 0);
    const auto* p = static_cast<const unsigned char*>(data);
    const std::size_t n = static_cast<std::size_t>(len);
    // A write that does not touch or extend the gathered bytes sends them
    // first (a header finished after its entry's data has gone out).
    if (!gather_.empty() && (wpos_ < gatherAt_ || wpos_ > gatherAt_ + gather_.size()) && !flush()) return -1;
    if (gather_.empty()) gatherAt_ = wpos_;
    if (gather_.empty() && n >= kGather) {
        if (!writeAt(p, n, wpos_)) return -1;
    } else {
        std::size_t off = static_cast<std::size_t>(wpos_ - gatherAt_);
        if (off + n > gather_.size()) gather_.resize(off + n);
        std::memcpy(gather_.data() + off, p, n);
        if (gather_.size() >= kGather && !flush()) return -1;
    }
    wpos_ += n;
    wend_ = std::max(wend_, wpos_);
    return static_cast<zip_int64_t>(n);
}

zip_int64_t ArchiveFile::commitWrite() {
    if (wfd_ < 0) return fail(ZIP_ER_INTERNAL, 0);
    if (!flush()) {
        discardTemp();
        return -1;
    }
    int fd = wfd_;
    wfd_ = -1;
    if (::close(fd) != 0) {
        int err = errno;
        ::unlink(temp_.c_str());
        return fail(ZIP_ER_WRITE, err);
    }
    if (::rename(temp_.c_str(), path_.c_str()) != 0) {
        int err = errno;
        ::unlink(temp_.c_str());
        return fail(ZIP_ER_RENAME, err);
    }
    gather_.clear();
    gather_.shrink_to_fit();
    return 0;
}

zip_int64_t ArchiveFile::command(void* data, zip_uint64_t len, zip_source_cmd_t cmd) {
    switch (cmd) {
        case ZIP_SOURCE_SUPPORTS:
            return ZIP_SOURCE_SUPPORTS_WRITABLE | ZIP_SOURCE_MAKE_COMMAND_BITMASK(ZIP_SOURCE_ACCEPT_EMPTY);
        case ZIP_SOURCE_STAT:
            return stat(data, len);
        case ZIP_SOURCE_OPEN:
            return openRead();
        case ZIP_SOURCE_READ:
            return read(data, len);
        case ZIP_SOURCE_CLOSE:
            closeRead();
            return 0;
        case ZIP_SOURCE_SEEK:
            return seek(rpos_, size_, data, len);
        case ZIP_SOURCE_TELL:
            return static_cast<zip_int64_t>(rpos_);
        case ZIP_SOURCE_BEGIN_WRITE:
            return beginWrite();
        case ZIP_SOURCE_WRITE:
            return write(data, len);
        case ZIP_SOURCE_SEEK_WRITE:
            return seek(wpos_, wend_, data, len);
        case ZIP_SOURCE_TELL_WRITE:
            return static_cast<zip_int64_t>(wpos_);
        case ZIP_SOURCE_COMMIT_WRITE:
            return commitWrite();
        case ZIP_SOURCE_ROLLBACK_WRITE:
            discardTemp();
            return 0;
        case ZIP_SOURCE_REMOVE:
            closeRead();
            if (::unlink(path_.c_str()) != 0 && errno != ENOENT) return fail(ZIP_ER_REMOVE, errno);
            return 0;
        case ZIP_SOURCE_ACCEPT_EMPTY:
            // An empty file is not an archive (as with libzip's own file source).
            return 0;
        case ZIP_SOURCE_ERROR:
            return zip_error_to_data(&error_, data, len);
        case ZIP_SOURCE_FREE:
            delete this;
            return 0;
        default:
            return fail(ZIP_ER_OPNOTSUPP, 0);
    }
}

// libzip is C: nothing may be thrown through it.
zip_int64_t callback(void* ud, void* data, zip_uint64_t len, zip_source_cmd_t cmd) {
    auto* file = static_cast<ArchiveFile*>(ud);
    try {
        return file->command(data, len, cmd);
    } catch (...) {
        return file->fail(ZIP_ER_MEMORY, 0);
    }
}

}  // namespace

zip_source_t* archiveFileSource(const std::string& path, zip_error_t* error) {
    auto* file = new (std::nothrow) ArchiveFile(path);
    if (!file) {
        zip_error_set(error, ZIP_ER_MEMORY, 0);
        return nullptr;
    }
    zip_source_t* src = zip_source_function_create(callback, file, error);
    if (!src) delete file;
    return src;
}

}  // namespace brixzip
