// Writing below the extract folder without ever following a symbolic link:
// every folder is opened component by component with O_NOFOLLOW, files are
// written without a name (O_TMPFILE) and linked under their name once they
// checked out; where the file system cannot, under a temporary name that is
// renamed at the end.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <ctime>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace uz {

// An open folder below (or at) the extract folder; closed with its last holder.
class DirHandle {
public:
    explicit DirHandle(int fd, bool created = false, bool exactNames = false)
        : fd_(fd), created_(created), exactNames_(exactNames) {}
    ~DirHandle();
    DirHandle(const DirHandle&) = delete;
    DirHandle& operator=(const DirHandle&) = delete;
    int fd() const { return fd_; }
    // Made by this run: whatever is in it, the run put there.
    bool created() const { return created_; }
    // Names that differ (ignoring ASCII case) always name different files
    // here: a file system known to compare names byte for byte, and no
    // case folding on this folder. Unknown file systems (FAT, NTFS, network
    // and FUSE mounts) count as folding.
    bool exactNames() const { return exactNames_; }
    // Set once a file without a name could not be made here (file system
    // without O_TMPFILE), so the next files go the named way at once.
    std::atomic<bool> noTmpfile{false};

private:
    int fd_;
    bool created_;
    bool exactNames_;
};
using Dir = std::shared_ptr<DirHandle>;

class FolderTree {
public:
    // Opens (creating it when missing) the extract folder. Empty → current folder.
    bool openRoot(const std::string& path, std::string& reason);
    // The folder `parts` below the root, created when `create` (mode 0777 & ~umask,
    // as mkdir does). Fails when a component is a symbolic link or not a folder.
    Dir open(const std::vector<std::string>& parts, bool create, std::string& reason);
    const Dir& root() const { return root_; }

private:
    Dir root_;
    std::map<std::string, Dir> cache_;
};

// A file being written in `dir`, without a name (`name` empty, `fd` open)
// or under a temporary name.
struct TempFile {
    Dir dir;
    std::string name;  // temporary name in dir; empty for a file without one
    int fd = -1;
    bool anonymous() const { return fd >= 0 && name.empty(); }
};

// A new file in `dir` with permission bits `mode` (set exactly, whatever the
// umask). Without a name where the file system can; `fd` stays open.
bool createTemp(const Dir& dir, mode_t mode, TempFile& out, std::string& reason);
// Gives the finished file the name `leaf` in its folder and closes it. With
// `replace` false an existing `leaf` is never touched: false with errno
// EEXIST, and `t` is still there to publish with `replace`. False with errno
// set otherwise; the file is then gone, as after discardTemp.
bool publishTemp(TempFile& t, const char* leaf, bool replace);
// Removes the temporary (after a failure), closing it when still open.
void discardTemp(TempFile& t);
// Takes back a file published as `leaf` in `dir` that the run then did not
// settle: removed only while `leaf` is still that file (a regular file of
// that size and modification time, with no other link).
void withdrawPublished(const Dir& dir, const char* leaf, std::uint64_t size, std::time_t mtime);
// A symbolic link under a temporary name.
bool createTempLink(const Dir& dir, const std::string& target, TempFile& out, std::string& reason);

// The process's umask, read once (reading it means setting it).
mode_t currentUmask();

// Writes all bytes; false with errno set on failure.
bool writeAll(int fd, const void* data, std::size_t size);

std::string errnoText(int err);

}  // namespace uz
