// realrun: the archive browser against a real archive and the real unzip
// engine, driven as a user would: open, select nothing, Extract, choose the
// folder in the extract-to dialog, answer the overwrite prompt. Pictures of
// each step go to OUTPUT_FOLDER; the extracted files are checked.
// Usage: xvfb-run build/bin/browser_realrun OUTPUT_FOLDER
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QMenu>
#include <QScrollBar>
#include <QProcess>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QThread>
#include <QTimer>
#include <QTreeView>
#include <QWidget>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <string>

#include "browser/qt/frmExtractTo.h"
#include "browser/qt/frmOverwrite.h"
#include "browser/qt/frmUnzip.h"
#include "browser/qt/lumwFolderBrowse.h"
#include "control/ctlPackwell.h"
#include "control/qt/QtPlatform.h"
#include "platform/LibrarySettings.h"

namespace fs = std::filesystem;

// Letting the event loop run, saving pictures, finding windows, and the
// scratch folder, sample archive and browser window of the run.
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

using shots::findVisible;
using shots::save;
using shots::settle;

int main(int argc, char** argv) {
    fs::path out;
    if (!shots::outputFolder(argc, argv, out)) return 2;
    fs::create_directories(out);
    const fs::path scratch = shots::scratchFolder("packwell-realrun", {"Extracted"});
    const std::string archive = (scratch / "project.zip").string();
    if (!shots::makeSampleArchive(archive, 4000, ",'a-rather-long-file-name-for-the-first-column.txt'")) return 1;
    // One file already there: the overwrite prompt must ask about it.
    std::ofstream(scratch / "Extracted" / "README.txt") << "old";

    QApplication app(argc, argv);
    ctlPackwell control;
    control.formOverwriteCaption("Overwrite?");
    frmUnzip* w = shots::openBrowser(control, archive);
    if (!w) return 1;
    settle();
    save(w, out / "1-opened.png");
    std::printf("status after open: [%s]\n", w->statusText().toStdString().c_str());

    int prompts = 0;
    QTimer::singleShot(300, [&] {
        auto* d = findVisible<frmExtractTo>();
        if (!d) { std::fprintf(stderr, "no extract-to dialog\n"); return; }
        d->BrowseObject()->Settings().SelectedFolder((scratch / "Extracted").string());
        settle(75);
        if (QTreeView* tree = d->BrowseObject()->Tree()) {
            QModelIndex cur = tree->currentIndex();
            std::printf("tree current [%s] expanded-parent %d rect y %d scroll %d/%d\n",
                        cur.data().toString().toStdString().c_str(), tree->isExpanded(cur.parent()),
                        tree->visualRect(cur).y(), tree->verticalScrollBar()->value(),
                        tree->verticalScrollBar()->maximum());
        }
        d->findChild<QCheckBox*>("chkOverwritePrompt")->setChecked(true);
        d->findChild<QCheckBox*>("chkUseFolderNames")->setChecked(false);
        save(d, out / "2-extractto.png");
        // The overwrite prompt comes up from inside the extraction.
        std::function<void()> answer = [&] {
            auto* o = findVisible<frmOverwrite>();
            if (!o) {
                if (prompts < 5) QTimer::singleShot(200, answer);
                return;
            }
            ++prompts;
            save(o, out / "3-overwrite.png");
            save(w, out / "3-browser-during.png");
            std::printf("status during extraction: [%s]\n", w->statusText().toStdString().c_str());
            o->cmdYes->click();
        };
        QTimer::singleShot(300, answer);
        d->cmdExtract_Click();
    });
    w->cmdExtract_Click();
    settle();
    save(w, out / "4-after.png");
    std::printf("status after extraction: [%s]\n", w->statusText().toStdString().c_str());
    int files = 0;
    for (auto& e : fs::directory_iterator(scratch / "Extracted")) files += e.is_regular_file();
    std::printf("prompts %d, files extracted %d, README size %ju\n", prompts, files,
                static_cast<std::uintmax_t>(fs::file_size(scratch / "Extracted" / "README.txt")));

    // The File menu with the recent archive.
    if (auto* menu = w->findChild<QMenu*>("mnuFileTOP")) {
        menu->popup(w->mapToGlobal(QPoint(0, 20)));
        settle();
        save(menu, out / "5-filemenu.png");
        menu->hide();
    }

    // A long extraction without prompts: the screen is captured from outside
    // while the engine runs, to see the status bar move.
    const std::string big = (scratch / "big.zip").string();
    std::string makeBig = "python3 -c \"import zipfile, os\n"
                          "with zipfile.ZipFile('" + big + "','w',zipfile.ZIP_DEFLATED) as z:\n"
                          "  for i in range(3000):\n"
                          "    z.writestr('data/part%04d.bin' % i, os.urandom(20000))\n\"";
    if (std::system(makeBig.c_str()) != 0) return 1;
    w->OpenZip(big);
    settle();
    fs::create_directories(scratch / "Big");
    const std::string live = (out / "6-live.xwd").string();
    QProcess::startDetached("sh", {"-c", QString::fromStdString("sleep 0.6; xwd -root -silent -out '" + live + "'")});
    QTimer::singleShot(300, [&] {
        auto* d = findVisible<frmExtractTo>();
        if (!d) return;
        d->ICaptureBF_SelectionChanged((scratch / "Big").string());
        d->findChild<QCheckBox*>("chkOverwritePrompt")->setChecked(false);
        d->cmdExtract_Click();
    });
    QElapsedTimer t;
    t.start();
    w->cmdExtract_Click();
    std::printf("big extraction took %lld ms\n", static_cast<long long>(t.elapsed()));
    settle(100);
    w->close();
    return 0;
}
