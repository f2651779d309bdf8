#include "UzDisk.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
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

bool FolderTree::openRoot(const std::string& path, std::string& reason) {
    std::string p = path.empty() ? std::string(".") : path;
    std::error_code ec;
    std::filesystem::create_directories(p, ec);
    int fd = ::open(p.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        reason = "cannot open the extract folder " + p + ": " + errnoText(errno);
        return false;
    }
    root_ = std::make_shared<DirHandle>(fd);
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
    int fd = ::openat(parent->fd(), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT && create) {
        if (::mkdirat(parent->fd(), name.c_str(), 0777) != 0 && errno != EEXIST) {
            reason = "cannot create folder " + key + ": " + errnoText(errno);
            return nullptr;
        }
        fd = ::openat(parent->fd(), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
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
    Dir d = std::make_shared<DirHandle>(fd);
    cache_[key] = d;
    return d;
}

namespace {
std::string tempName() {
    static std::atomic<unsigned> counter{0};
    char buf[64];
    std::snprintf(buf, sizeof buf, ".pwuz-%d-%u.tmp", static_cast<int>(::getpid()), counter.fetch_add(1));
    return buf;
}
}  // namespace

bool createTemp(const Dir& dir, TempFile& out, std::string& reason) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string n = tempName();
        int fd = ::openat(dir->fd(), n.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0) {
            out.dir = dir;
            out.name = n;
            out.fd = fd;
            return true;
        }
        if (errno != EEXIST) {
            reason = "cannot create a file: " + errnoText(errno);
            return false;
        }
    }
    reason = "cannot create a temporary file";
    return false;
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
