#include "ZpLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace brixzip {

namespace {

std::string folderOf(const std::string& path) {
    std::size_t p = path.rfind('/');
    if (p == std::string::npos) return ".";
    return p == 0 ? "/" : path.substr(0, p);
}

bool sameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

}  // namespace

void ArchiveLock::acquire(const std::string& archive) {
    release();
    for (;;) {
        struct stat seen {};
        const bool exists = ::stat(archive.c_str(), &seen) == 0;
        if (!exists && errno != ENOENT) return;
        if (exists && !S_ISREG(seen.st_mode)) return;
        // Never blocks on open: O_NONBLOCK, and only a regular file or a folder.
        const std::string target = exists ? archive : folderOf(archive);
        int fd = ::open(target.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | (exists ? 0 : O_DIRECTORY));
        if (fd < 0) {
            if (errno == ENOENT) continue;  // replaced or removed since we looked
            return;
        }
        struct stat held {};
        int rc = ::fstat(fd, &held);
        if (rc == 0 && exists && !sameFile(held, seen)) rc = -1;  // replaced between stat and open
        if (rc == 0) {
            do rc = ::flock(fd, LOCK_EX);
            while (rc != 0 && errno == EINTR);
            if (rc != 0) {
                ::close(fd);
                return;
            }
            // The run before us may have renamed a new archive over the one
            // we waited on (or created it while we waited on the folder):
            // a lock on what is no longer at the path protects nothing.
            struct stat now {};
            const bool nowExists = ::stat(archive.c_str(), &now) == 0;
            if (exists ? (nowExists && sameFile(now, held)) : !nowExists) {
                fd_ = fd;
                return;
            }
        }
        ::close(fd);
    }
}

void ArchiveLock::release() {
    if (fd_ < 0) return;
    ::close(fd_);
    fd_ = -1;
}

}  // namespace brixzip
