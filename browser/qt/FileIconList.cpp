#include "browser/qt/FileIconList.h"

#include "errors/Error.h"
#include "platform/qt/QtSupport.h"

namespace pw::qt {

FileIconList::FileIconList(const QString& defaultKey) : defaultKey_(defaultKey) {
    QIcon fallback = QIcon::fromTheme("text-x-generic", QIcon(":/packwell/filetypes/unknown.png"));
    icons_.insert(defaultKey_, fallback);
}

bool FileIconList::HasKey(const std::string& key) const { return icons_.contains(qs(key)); }

QIcon FileIconList::iconFor(const mFileIcons::Picture& picture) {
    QString name = qs(picture.iconName);
    if (name.isEmpty()) return {};
    QIcon icon = name.startsWith(':') ? QIcon(name) : QIcon::fromTheme(name);
    if (icon.isNull() || icon.pixmap(picture.size, picture.size).isNull()) return {};
    return icon;
}

void FileIconList::Add(const std::string& key, const mFileIcons::PicturePtr& picture) {
    if (!picture) raise(kInvalidPicture, pw::errorSource("ImageList"), "Invalid picture");
    QString k = qs(key);
    if (icons_.contains(k)) raise(kKeyNotUnique, pw::errorSource("ImageList"), "Key is not unique in collection");
    QIcon icon = iconFor(*picture);
    if (icon.isNull()) raise(kInvalidPicture, pw::errorSource("ImageList"), "Invalid picture");
    icons_.insert(k, icon);
}

void FileIconList::SetTag(const std::string& key, const std::string& tag) {
    QString k = qs(key);
    if (!icons_.contains(k)) raise(kElementNotFound, pw::errorSource("ImageList"), "Element not found");
    tags_.insert(k, qs(tag));
}

QString FileIconList::keyFor(const QString& fileName) {
    return qs(mFileIcons::GetIconKey(ss(fileName), *this, ss(defaultKey_)));
}

QIcon FileIconList::icon(const QString& key) const { return icons_.value(key, icons_.value(defaultKey_)); }

QString FileIconList::tag(const QString& key) const { return tags_.value(key); }

}  // namespace pw::qt
