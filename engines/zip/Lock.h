// Updates of one archive take turns: an exclusive lock on a lock file beside
// the archive, held from before the archive is read until after the new
// archive has been renamed into place (brixzip1.h says why this design).
#pragma once

#include <string>

namespace brixzip {

// The lock file of an archive is the archive's name with this appended.
inline constexpr const char* kLockSuffix = ".lock";

class ArchiveLock {
public:
    ArchiveLock() = default;
    ~ArchiveLock() { release(); }
    ArchiveLock(const ArchiveLock&) = delete;
    ArchiveLock& operator=(const ArchiveLock&) = delete;

    // Waits until no other run (thread or process) holds the lock of
    // `archive`. Returns 0, or the errno when the lock file cannot be made.
    int acquire(const std::string& archive);
    // Removes the lock file while still holding it, then lets it go.
    void release();

private:
    int fd_ = -1;
    std::string path_;
};

}  // namespace brixzip
