// Updates of one archive take turns: an exclusive flock(2) on the archive
// itself (on its folder while it does not exist yet), held from before the
// archive is read until after the new archive has been renamed into place,
// and taken again when the file locked is no longer the one at the path
// (brixzip1.h says why this design).
#pragma once

#include <string>

namespace brixzip {

class ArchiveLock {
public:
    ArchiveLock() = default;
    ~ArchiveLock() { release(); }
    ArchiveLock(const ArchiveLock&) = delete;
    ArchiveLock& operator=(const ArchiveLock&) = delete;

    // Waits until no other run (thread or process) holds the lock of
    // `archive`. Takes none when there is nothing it may open to lock (an
    // archive or folder it cannot read, a name that is no regular file): the
    // run then fails on its own, or creates the archive without turns.
    void acquire(const std::string& archive);
    void release();

private:
    int fd_ = -1;
};

}  // namespace brixzip
