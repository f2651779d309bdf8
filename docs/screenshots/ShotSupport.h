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
#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <string>

#include "browser/qt/frmUnzip.h"
#include "control/LibrarySettings.h"
#include "control/ctlPackwell.h"
#include "platform/qt/QtPlatform.h"

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

// A fresh scratch folder below the temporary folder with the given
// subfolders, its registry folder made the process's registry.
inline std::filesystem::path scratchFolder(const char* name, std::initializer_list<const char*> subfolders) {
    const std::filesystem::path scratch = std::filesystem::temp_directory_path() / name;
    std::filesystem::remove_all(scratch);
    std::filesystem::create_directories(scratch / "registry");
    for (const char* sub : subfolders) std::filesystem::create_directories(scratch / sub);
    setenv("PACKWELL_REGISTRY_DIR", (scratch / "registry").c_str(), 1);
    return scratch;
}

// The sample project archive the pictures show (each entry its name
// `repeats` times), with `moreNames` (Python list items) after the usual ones.
inline bool makeSampleArchive(const std::string& archive, int repeats, const std::string& moreNames = "") {
    const std::string make = "python3 -c \"import zipfile\n"
                             "with zipfile.ZipFile('" + archive + "','w',zipfile.ZIP_DEFLATED) as z:\n"
                             "  for n in ['README.txt','docs/manual.pdf','docs/notes.doc','src/main.c','src/main.h',"
                             "'images/logo.png','images/photo.jpg','music/theme.mp3','site/index.html','data/table.csv',"
                             "'tools/setup.exe','archive/old.zip'" + moreNames + "]:\n"
                             "    z.writestr(n, n*" + std::to_string(repeats) + ")\n\"";
    return std::system(make.c_str()) == 0;
}

// Opens `archive` in the browser window through the control, with the
// pictures' captions; the window, or nullptr.
inline frmUnzip* openBrowser(ctlPackwell& control, const std::string& archive) {
    pw::qt::ensureQtPlatform();
    control.formUnzipCaption("Packwell - Archive Browser");
    control.formExtractCaption("Extract To");
    control.ListZipContent(archive);
    return static_cast<frmUnzip*>(pw::librarySettings().newestBrowserWindow);
}

}  // namespace shots
