// File-type icons for the names shown in the archive browser. Archive entries
// do not exist on disk, so the shell is asked about a short-lived probe file
// with the same extension; the answer is cached in the caller's image list,
// one image per extension, keyed by the upper-case extension with its dot.
//
// No Qt here: the shell is reached through pw::platform().shellFileInfo and
// the image list through the small ImageList interface below (the desktop
// layer implements it with real icons, browser/qt/FileIconList.h).
#pragma once

#include <map>
#include <memory>
#include <string>

namespace mFileIcons {

// A picture object that owns one shell icon. The "handle" of a shell icon is
// its icon name as the platform gives it (an icon theme name, or a resource
// path starting with ":" for the icons shipped with the library).
struct Picture {
    std::string iconName;
    int size = 16;  // 16 or 32 pixels
};
using PicturePtr = std::shared_ptr<const Picture>;

// The image list that caches the icons: images by key, each with a tag.
class ImageList {
public:
    virtual ~ImageList() = default;
    // Whether an image with this key exists; a lookup may also fail (throw),
    // which callers count as not found.
    virtual bool HasKey(const std::string& key) const = 0;
    // Adds `picture` under `key`; throws when the list refuses it (no
    // picture, or one it cannot show).
    virtual void Add(const std::string& key, const PicturePtr& picture) = 0;
    // Sets the tag of the image with this key.
    virtual void SetTag(const std::string& key, const std::string& tag) = 0;
};

// An image list that only remembers keys, pictures and tags (hosts without
// a screen, and tests).
class MemoryImageList : public ImageList {
public:
    struct Entry {
        PicturePtr picture;
        std::string tag;
    };
    bool HasKey(const std::string& key) const override { return entries.count(key) != 0; }
    void Add(const std::string& key, const PicturePtr& picture) override;
    void SetTag(const std::string& key, const std::string& tag) override;

    std::map<std::string, Entry> entries;
};

// The key of the image to show for `fileName`: its upper-case extension with
// the dot (cached in `images` on first use), or `defaultKey` for names
// without an extension, .EXE names, and whenever the shell gives no icon.
std::string GetIconKey(const std::string& fileName, ImageList& images, const std::string& defaultKey);

// The shell's icon for the file at `path`: size 2 asks for the large
// (32 x 32) icon, anything else for the small one. nullptr: none.
PicturePtr GetIcon(const std::string& path, int size);

// A picture that owns the icon; nullptr for an empty handle.
PicturePtr IconToPicture(const std::string& iconHandle);

// The shell's type name for the file at `path`; "" when it gives none.
std::string GetFileTypeName(const std::string& path);

// Deletes the file, ignoring every error. Never follows a symbolic link: a
// link at `path` is removed, not its target.
void KillFileQuietly(const std::string& path);

// The system's temporary folder, with a trailing "/": $TMPDIR when set,
// otherwise /tmp. Raises 76 when that is not an existing folder.
std::string GetTempDir();

// The folder the probe files are made in: a folder of this user's alone
// (mode 0700) under the temporary folder, created when missing. Raises when
// it cannot be made, or when what is there is a link, not a folder, someone
// else's, or open to others.
std::string GetProbeDir();

}  // namespace mFileIcons
