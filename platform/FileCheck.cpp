#include "platform/FileCheck.h"

#include <sys/stat.h>

namespace pw {

namespace {
mode_t typeOf(const std::string& path) {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0) return 0;
    return st.st_mode & S_IFMT;
}
}  // namespace

bool isRegularFile(const std::string& path) { return typeOf(path) == S_IFREG; }
bool isFolder(const std::string& path) { return typeOf(path) == S_IFDIR; }
bool isFileOrFolder(const std::string& path) {
    mode_t t = typeOf(path);
    return t == S_IFREG || t == S_IFDIR;
}

}  // namespace pw
