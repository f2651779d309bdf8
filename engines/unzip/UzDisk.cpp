#include "UzDisk.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <linux/magic.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace uz {

DirHandle::~DirHandle() {
    if (fd_ >= 0) ::close(fd_);
}

std::string errnoText(int err) {
    char buf[256];
    return std::string(strerror_r(err, buf, sizeof buf));
}

namespace {
#ifndef FS_CASEFOLD_FL
#define FS_CASEFOLD_FL 0x40000000
#endif

bool exactNamesAt(int fd) {
    struct statfs sf;
    if (::fstatfs(fd, &sf) != 0) return false;
    switch (static_cast<unsigned long>(sf.f_type)) {
        case XFS_SUPER_MAGIC:
        case BTRFS_SUPER_MAGIC:
            // XFS's ASCII-only folding is covered by comparing names
            // without ASCII case.
            return true;
        case EXT4_SUPER_MAGIC:  // ext2 and ext3 too
        case F2FS_SUPER_MAGIC:
        case TMPFS_MAGIC: {
            // These fold case in folders flagged so.
            int flags = 0;
            if (::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) return (flags & FS_CASEFOLD_FL) == 0;
            return errno == ENOTTY || errno == EOPNOTSUPP || errno == EINVAL;
        }
        default:
            return false;
    }
}
}  // namespace

bool FolderTree::openRoot(const std::string& path, std::string& reason) {
    std::string p = path.empty() ? std::string(".") : path;
    std::error_code ec;
    std::filesystem::create_directories(p, ec);
    int fd = ::open(p.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        reason = "cannot open the extract folder " + p + ": " + errnoText(errno);
        return false;
    }
    root_ = std::make_shared<DirHandle>(fd, false, exactNamesAt(fd));
    cache_.clear();
    return true;
}

Dir FolderTree::open(const std::vector<std::string>& parts, bool create, std::string& reason) {
    if (parts.empty()) return root_;
    std::string key;
    for (auto& p : parts) key += p + '/';
    if (auto it = cache_.find(key); it != cache_.end()) return it->second;
    // Open the parent first (cached), then one more level.
    std::vector<std::string> parentParts(parts.begin(), parts.end() - 1);
    Dir parent = open(parentParts, create, reason);
    if (!parent) return nullptr;
    const std::string& name = parts.back();
    // Mostly the folder is new: making it first saves the failing open.
    // mkdirat never follows a link (a link of that name is EEXIST), and the
    // open below refuses one.
    bool created = false;
    int mkErr = 0;
    if (create) {
        if (::mkdirat(parent->fd(), name.c_str(), 0777) == 0) created = true;
        else if (errno != EEXIST) mkErr = errno;
    }
    int fd = ::openat(parent->fd(), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT && mkErr) {
        reason = "cannot create folder " + key + ": " + errnoText(mkErr);
        errno = mkErr;
        return nullptr;
    }
    if (fd < 0) {
        int err = errno;
        struct stat st {};
        if (::fstatat(parent->fd(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode))
            reason = "path passes through the symbolic link " + key.substr(0, key.size() - 1);
        else if (err == ENOTDIR || err == ELOOP)
            reason = key.substr(0, key.size() - 1) + " is not a folder";
        else
            reason = "cannot open folder " + key.substr(0, key.size() - 1) + ": " + errnoText(err);
        return nullptr;
    }
    // Bound the number of folders held open; holders keep theirs alive.
    if (cache_.size() > 512) cache_.clear();
    // A new folder folds case as its parent does.
    Dir d = std::make_shared<DirHandle>(fd, created, created ? parent->exactNames() : exactNamesAt(fd));
    cache_[key] = d;
    return d;
}

mode_t currentUmask() {
    static const mode_t mask = [] {
        mode_t m = ::umask(022);
        ::umask(m);
        return m;
    }();
    return mask;
}

namespace {
std::string tempName() {
    static const int pid = static_cast<int>(::getpid());
    static std::atomic<unsigned> counter{0};
    char buf[64];
    std::snprintf(buf, sizeof buf, ".pwuz-%d-%u.tmp", pid, counter.fetch_add(1));
    return buf;
}

// A file without a name is linked through /proc/self/fd (linkat's
// AT_EMPTY_PATH needs a capability); without /proc it cannot be, so files
// then get a temporary name from the start. BRIXUZIP_NAMED_TEMPS takes the
// named way on purpose, so that the way of file systems without O_TMPFILE
// is tested on every machine.
bool canLinkAnonymous() {
    static const bool can = ::access("/proc/self/fd", X_OK) == 0 && !std::getenv("BRIXUZIP_NAMED_TEMPS");
    return can;
}

bool linkAnonymous(int fd, int dirFd, const char* name) {
    char path[64];
    std::snprintf(path, sizeof path, "/proc/self/fd/%d", fd);
    return ::linkat(AT_FDCWD, path, dirFd, name, AT_SYMLINK_FOLLOW) == 0;
}

// A name no file in `dirFd` has, made by `make` (false with errno EEXIST
// when taken).
template <class Make>
bool underFreshName(std::string& name, Make make) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = tempName();
        if (make(name.c_str())) return true;
        if (errno != EEXIST) return false;
    }
    errno = EEXIST;
    return false;
}

bool closeChecked(TempFile& t) {
    const int fd = t.fd;
    t.fd = -1;
    // close can report a write that failed late (network file systems).
    return fd < 0 || ::close(fd) == 0;
}

// renameat that leaves an existing `to` alone (EEXIST) when `replace` is false.
bool renameInto(int dirFd, const char* from, const char* to, bool replace) {
    if (replace) return ::renameat(dirFd, from, dirFd, to) == 0;
    if (::renameat2(dirFd, from, dirFd, to, RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    struct stat st;
    if (::fstatat(dirFd, to, &st, AT_SYMLINK_NOFOLLOW) == 0) {
        errno = EEXIST;
        return false;
    }
    return ::renameat(dirFd, from, dirFd, to) == 0;
}
}  // namespace

bool createTemp(const Dir& dir, mode_t mode, TempFile& out, std::string& reason) {
    mode &= 07777;
    if (canLinkAnonymous() && !dir->noTmpfile.load(std::memory_order_relaxed)) {
        int fd = ::openat(dir->fd(), ".", O_TMPFILE | O_RDWR | O_CLOEXEC, mode);
        if (fd >= 0) {
            // Only bits the umask took away need setting again.
            if ((mode & currentUmask()) != 0 && ::fchmod(fd, mode) != 0) {
                const int err = errno;
                ::close(fd);
                reason = "cannot set the file's permissions: " + errnoText(err);
                errno = err;
                return false;
            }
            out.dir = dir;
            out.name.clear();
            out.fd = fd;
            return true;
        }
        // No O_TMPFILE here (old kernel, or a file system without it).
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
            reason = "cannot create a file: " + errnoText(errno);
            return false;
        }
        dir->noTmpfile.store(true, std::memory_order_relaxed);
    }
    // Named: readable by nobody else while it is being written.
    int fd = -1;
    std::string name;
    if (!underFreshName(name, [&](const char* n) {
            fd = ::openat(dir->fd(), n, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
            return fd >= 0;
        })) {
        reason = errno == EEXIST ? std::string("cannot create a temporary file")
                                 : "cannot create a file: " + errnoText(errno);
        return false;
    }
    if (::fchmod(fd, mode) != 0) {
        const int err = errno;
        ::close(fd);
        ::unlinkat(dir->fd(), name.c_str(), 0);
        reason = "cannot set the file's permissions: " + errnoText(err);
        errno = err;
        return false;
    }
    out.dir = dir;
    out.name = name;
    out.fd = fd;
    return true;
}

bool publishTemp(TempFile& t, const char* leaf, bool replace) {
    const int dirFd = t.dir->fd();
    int err = 0;
    if (t.anonymous()) {
        if (!replace) {
            if (!linkAnonymous(t.fd, dirFd, leaf)) {
                err = errno;
                if (err != EEXIST) discardTemp(t);
                errno = err;
                return false;
            }
            if (!closeChecked(t)) {
                err = errno;
                ::unlinkat(dirFd, leaf, 0);
                discardTemp(t);
                errno = err;
                return false;
            }
            t.dir.reset();
            return true;
        }
        // A link never replaces: link under a fresh name, then rename over.
        std::string name;
        if (!underFreshName(name, [&](const char* n) { return linkAnonymous(t.fd, dirFd, n); })) {
            err = errno;
            discardTemp(t);
            errno = err;
            return false;
        }
        t.name = name;
    }
    if (!closeChecked(t) || !renameInto(dirFd, t.name.c_str(), leaf, replace)) {
        err = errno;
        if (err != EEXIST || replace) discardTemp(t);
        errno = err;
        return false;
    }
    t.name.clear();
    t.dir.reset();
    return true;
}

bool createTempLink(const Dir& dir, const std::string& target, TempFile& out, std::string& reason) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string n = tempName();
        if (::symlinkat(target.c_str(), dir->fd(), n.c_str()) == 0) {
            out.dir = dir;
            out.name = n;
            out.fd = -1;
            return true;
        }
        if (errno != EEXIST) {
            reason = "cannot create a symbolic link: " + errnoText(errno);
            return false;
        }
    }
    reason = "cannot create a temporary link";
    return false;
}

void discardTemp(TempFile& t) {
    if (t.fd >= 0) {
        ::close(t.fd);
        t.fd = -1;
    }
    if (t.dir && !t.name.empty()) ::unlinkat(t.dir->fd(), t.name.c_str(), 0);
    t.name.clear();
    t.dir.reset();
}

void withdrawPublished(const Dir& dir, const char* leaf, std::uint64_t size, std::time_t mtime) {
    struct stat st;
    if (!dir || ::fstatat(dir->fd(), leaf, &st, AT_SYMLINK_NOFOLLOW) != 0) return;
    if (S_ISREG(st.st_mode) && st.st_nlink == 1 && static_cast<std::uint64_t>(st.st_size) == size &&
        st.st_mtime == mtime)
        ::unlinkat(dir->fd(), leaf, 0);
}

bool writeAll(int fd, const void* data, std::size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t n = ::write(fd, p, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) {
            errno = ENOSPC;
            return false;
        }
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace uz
