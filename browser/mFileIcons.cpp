#include "browser/mFileIcons.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string_view>

#include "errors/Error.h"
#include "platform/Platform.h"
#include "platform/Text.h"

namespace mFileIcons {

namespace {

const std::string kSource = pw::errorSource("mFileIcons");

// The extension of a file name, dot included, upper case; "" without one.
// A dot before the last "/" belongs to a folder, not to the name.
std::string upperExtension(const std::string& fileName) {
    std::size_t dot = fileName.rfind('.');
    if (dot == std::string::npos) return {};
    std::size_t slash = fileName.rfind('/');
    if (slash != std::string::npos && slash > dot) return {};
    return pw::toUpper(std::string_view(fileName).substr(dot));
}

// Creates the probe file with its four bytes. Exclusive creation without
// following links: whatever is at the name already makes this fail rather
// than be written through.
void createProbeFile(const std::string& path) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) throw pw::fileError(errno, path, kSource);
    static const char content[4] = {'T', 'E', 'M', 'P'};
    ssize_t n = ::write(fd, content, sizeof content);
    int writeErrno = errno;
    if (::close(fd) != 0 && n == static_cast<ssize_t>(sizeof content)) throw pw::fileError(errno, path, kSource);
    if (n != static_cast<ssize_t>(sizeof content)) throw pw::fileError(n < 0 ? writeErrno : ENOSPC, path, kSource);
}

}  // namespace

void MemoryImageList::Add(const std::string& key, const PicturePtr& picture) {
    if (!picture) pw::raise(pw::kTypeMismatch, kSource, "No picture to add");
    if (entries.count(key)) pw::raise(pw::kInvalidProcedureCall, kSource, "Key is not unique in collection");
    entries[key].picture = picture;
}

void MemoryImageList::SetTag(const std::string& key, const std::string& tag) {
    auto it = entries.find(key);
    if (it == entries.end()) pw::raise(pw::kInvalidProcedureCall, kSource, "Element not found");
    it->second.tag = tag;
}

std::string GetIconKey(const std::string& fileName, ImageList& images, const std::string& defaultKey) {
    std::string ext = upperExtension(fileName);
    if (ext.empty() || ext == ".EXE") return defaultKey;

    try {
        if (images.HasKey(ext)) return ext;
    } catch (...) {
        // A failing lookup counts as not found.
    }

    std::string probe;
    try {
        probe = GetProbeDir() + "VBUZTEMP" + ext;
        KillFileQuietly(probe);
        createProbeFile(probe);
        PicturePtr picture = GetIcon(probe, 1);
        images.Add(ext, picture);
        images.SetTag(ext, GetFileTypeName(probe));
        KillFileQuietly(probe);
        return ext;
    } catch (...) {
        if (!probe.empty()) KillFileQuietly(probe);
        return defaultKey;
    }
}

PicturePtr GetIcon(const std::string& path, int size) {
    pw::ShellFileInfo info;
    try {
        info = pw::platform().shellFileInfo(path);
    } catch (...) {
        return nullptr;
    }
    auto picture = IconToPicture(info.iconName);
    if (!picture) return nullptr;
    auto sized = std::make_shared<Picture>(*picture);
    sized->size = size == 2 ? 32 : 16;
    return sized;
}

PicturePtr IconToPicture(const std::string& iconHandle) {
    if (iconHandle.empty()) return nullptr;
    auto picture = std::make_shared<Picture>();
    picture->iconName = iconHandle;
    return picture;
}

std::string GetFileTypeName(const std::string& path) {
    try {
        return pw::cutAtNul(pw::platform().shellFileInfo(path).typeName);
    } catch (...) {
        return {};
    }
}

void KillFileQuietly(const std::string& path) {
    // unlink removes a link itself, never what it points to.
    (void)::unlink(path.c_str());
}

std::string GetTempDir() {
    const char* env = std::getenv("TMPDIR");
    std::string dir = env && *env ? env : "/tmp";
    struct stat st {};
    if (::stat(dir.c_str(), &st) != 0) throw pw::fileError(errno, dir, kSource);
    if (!S_ISDIR(st.st_mode)) throw pw::fileError(ENOTDIR, dir, kSource);
    if (dir.back() != '/') dir += '/';
    return dir;
}

std::string GetProbeDir() {
    std::string dir = GetTempDir() + "packwell-icons-" + std::to_string(::getuid());
    if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) throw pw::fileError(errno, dir, kSource);
    // Whatever is there now must be our own private folder; another user
    // may have made the name first (a link, or a folder open to others).
    struct stat st {};
    if (::lstat(dir.c_str(), &st) != 0) throw pw::fileError(errno, dir, kSource);
    if (!S_ISDIR(st.st_mode) || st.st_uid != ::getuid() || (st.st_mode & 077) != 0)
        throw pw::Error(pw::kPermissionDenied, kSource, "The folder " + dir + " is not private to this user");
    return dir + "/";
}

}  // namespace mFileIcons
