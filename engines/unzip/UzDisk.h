// Writing below the extract folder without ever following a symbolic link:
// every folder is opened component by component with O_NOFOLLOW, files are
// created under a temporary name in their folder and renamed at the end.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace uz {

// An open folder below (or at) the extract folder; closed with its last holder.
class DirHandle {
public:
    explicit DirHandle(int fd) : fd_(fd) {}
    ~DirHandle();
    DirHandle(const DirHandle&) = delete;
    DirHandle& operator=(const DirHandle&) = delete;
    int fd() const { return fd_; }

private:
    int fd_;
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

// A file being written under a temporary name in `dir`.
struct TempFile {
    Dir dir;
    std::string name;  // temporary name in dir
    int fd = -1;
};

bool createTemp(const Dir& dir, TempFile& out, std::string& reason);
// Removes the temporary name (after a failure), closing it when still open.
void discardTemp(TempFile& t);
// A symbolic link under a temporary name.
bool createTempLink(const Dir& dir, const std::string& target, TempFile& out, std::string& reason);

// Writes all bytes; false with errno set on failure.
bool writeAll(int fd, const void* data, std::size_t size);

std::string errnoText(int err);

}  // namespace uz
