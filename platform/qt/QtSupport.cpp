#include "platform/qt/QtSupport.h"

#include <QApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageReader>
#include <QPixmap>
#include <QPushButton>
#include <QFont>
#include <QScreen>
#include <QWidget>
#include <cerrno>

#include "errors/Error.h"

namespace pw::qt {

WindowHandle handleOf(QWidget* window) {
    if (!window) return 0;
    return static_cast<WindowHandle>(static_cast<std::uint32_t>(window->window()->winId()));
}

QWidget* widgetForHandle(WindowHandle handle) {
    if (handle == 0 || handle == -1) return nullptr;
    const auto tops = QApplication::topLevelWidgets();
    for (QWidget* w : tops) {
        // Only windows that have a native window can carry a handle; asking
        // the others for theirs would create one.
        if (w->testAttribute(Qt::WA_WState_Created) && w->internalWinId() &&
            static_cast<WindowHandle>(static_cast<std::uint32_t>(w->internalWinId())) == handle)
            return w;
    }
    return nullptr;
}

QIcon loadPicture(const std::string& path) {
    QString file = qs(path);
    QFileInfo info(file);
    if (!info.exists()) {
        bool folderThere = QFileInfo(info.absolutePath()).isDir();
        throw Error(folderThere ? kFileNotFound : kPathNotFound, kLibrarySource,
                    (folderThere ? "File not found: " : "Path not found: ") + path);
    }
    if (!info.isReadable()) throw fileError(EACCES, path, kLibrarySource);
    QImageReader reader(file);
    QImage image = reader.read();
    if (image.isNull()) throw Error(kInvalidPicture, kLibrarySource, "Invalid picture: " + path);
    return QIcon(QPixmap::fromImage(image));
}

void applyWindowIcon(QWidget* window, const std::string& path) {
    if (path.empty()) return;
    window->setWindowIcon(loadPicture(path));
}

QFont dialogFont() {
    QFont font("Tahoma");
    font.setPointSizeF(8.25);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption, int x, int y, int w, int h) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setGeometry(x, y, w, h);
    b->setAutoDefault(true);
    return b;
}

void centreOnScreen(QWidget* window) {
    QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    QRect area = screen->geometry();
    QRect frame = window->frameGeometry();
    window->move(area.x() + (area.width() - frame.width()) / 2, area.y() + (area.height() - frame.height()) / 2);
}

}  // namespace pw::qt
