// What the screenshot tools share: letting the event loop run, saving a
// window or the whole screen as a picture, finding a visible window, and the
// output folder named on the command line.
#pragma once

#include <QApplication>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QThread>
#include <QWidget>
#include <cstdio>
#include <filesystem>

namespace shots {

// Runs pending events `rounds` times, 20 ms apart.
inline void settle(int rounds = 10) {
    for (int i = 0; i < rounds; ++i) {
        QApplication::processEvents();
        QThread::msleep(20);
    }
}

// Saves the window's own drawing (no frame) and says where it went.
inline void save(QWidget* w, const std::filesystem::path& file) {
    settle(3);
    const QPixmap shot = w->grab();
    if (!shot.save(QString::fromStdString(file.string()))) std::fprintf(stderr, "could not save %s\n", file.c_str());
    else std::printf("%s (%dx%d)\n", file.c_str(), shot.width(), shot.height());
}

// Saves what the screen shows.
inline void saveScreen(const std::filesystem::path& file) {
    settle(5);
    QGuiApplication::primaryScreen()->grabWindow(0).save(QString::fromStdString(file.string()));
    std::printf("%s\n", file.c_str());
}

// The first visible top-level window of type T, or nullptr.
template <class T>
T* findVisible() {
    for (QWidget* t : QApplication::topLevelWidgets())
        if (auto* d = dynamic_cast<T*>(t); d && d->isVisible()) return d;
    return nullptr;
}

// The output folder (first argument, made absolute); false after printing
// the usage when there is none.
inline bool outputFolder(int argc, char** argv, std::filesystem::path& out) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
        return false;
    }
    out = std::filesystem::absolute(argv[1]);
    return true;
}

}  // namespace shots
