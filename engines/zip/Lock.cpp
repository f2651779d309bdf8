#include "Lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace brixzip {

int ArchiveLock::acquire(const std::string& archive) {
    release();
    const std::string path = archive + kLockSuffix;
    for (;;) {
        // No links followed and nothing that could block: a FIFO planted
        // under the lock's name is refused, not waited on.
        int fd = ::open(path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0666);
        if (fd < 0) return errno;
        struct stat held {};
        if (::fstat(fd, &held) != 0 || !S_ISREG(held.st_mode)) {
            int err = S_ISREG(held.st_mode) ? errno : EINVAL;
            ::close(fd);
            return err;
        }
        int rc;
        do rc = ::flock(fd, LOCK_EX);
        while (rc != 0 && errno == EINTR);
        if (rc != 0) {
            int err = errno;
            ::close(fd);
            return err;
        }
        // The run before us removes the lock file as it lets go; a lock on
        // a removed file protects nothing, so take the one at the path now.
        struct stat now {};
        if (::stat(path.c_str(), &now) == 0 && now.st_dev == held.st_dev && now.st_ino == held.st_ino) {
            fd_ = fd;
            path_ = path;
            return 0;
        }
        ::close(fd);
    }
}

void ArchiveLock::release() {
    if (fd_ < 0) return;
    ::unlink(path_.c_str());
    ::close(fd_);
    fd_ = -1;
}

}  // namespace brixzip
