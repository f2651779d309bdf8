// The browser's 16 x 16 image list of file-type icons: the cache behind
// mFileIcons::GetIconKey, with real icons from the icon theme (or the ones
// shipped with the library) and each type's name as the image's tag.
#pragma once

#include <QHash>
#include <QIcon>
#include <QString>

#include "browser/mFileIcons.h"

namespace pw::qt {

class FileIconList : public mFileIcons::ImageList {
public:
    // Starts with one image, the default for names without a known type,
    // under `defaultKey`.
    explicit FileIconList(const QString& defaultKey = "DEFAULT");

    bool HasKey(const std::string& key) const override;
    void Add(const std::string& key, const mFileIcons::PicturePtr& picture) override;
    void SetTag(const std::string& key, const std::string& tag) override;

    // The key of the image for `fileName` (GetIconKey with this list).
    QString keyFor(const QString& fileName);
    // The image and tag under `key`; the default image for unknown keys.
    QIcon icon(const QString& key) const;
    QString tag(const QString& key) const;
    int count() const { return static_cast<int>(icons_.size()); }

    // The icon a picture stands for: a theme icon by name, or a shipped one
    // by its resource path. Null when there is none.
    static QIcon iconFor(const mFileIcons::Picture& picture);

private:
    QString defaultKey_;
    QHash<QString, QIcon> icons_;
    QHash<QString, QString> tags_;
};

}  // namespace pw::qt
