// screenshots: pictures of the real archive browser window with an archive
// listed, its extract-to dialog and its About box, for the documentation.
// Usage: xvfb-run build/bin/browser_screenshots OUTPUT_FOLDER
#include <QApplication>
#include <QMessageBox>
#include <QPixmap>
#include <QThread>
#include <QTimer>
#include <QTreeView>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "browser/qt/frmExtractTo.h"
#include "browser/qt/lumwFolderBrowse.h"
#include "browser/qt/frmUnzip.h"
#include "browser/qt/frmUnzipList.h"
#include "control/LibrarySettings.h"
#include "control/ctlPackwell.h"
#include "platform/qt/QtPlatform.h"

namespace fs = std::filesystem;

namespace {
void save(QWidget* w, const fs::path& file) {
    QApplication::processEvents();
    QPixmap shot = w->grab();
    if (!shot.save(QString::fromStdString(file.string()))) std::fprintf(stderr, "could not save %s\n", file.c_str());
    else std::printf("%s (%dx%d)\n", file.c_str(), shot.width(), shot.height());
}
}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    const fs::path out = fs::absolute(argv[1]);
    const fs::path scratch = fs::temp_directory_path() / "packwell-screenshots";
    fs::create_directories(scratch / "registry");
    fs::create_directories(scratch / "Extracted" / "reports");
    setenv("PACKWELL_REGISTRY_DIR", (scratch / "registry").c_str(), 1);
    const std::string archive = (scratch / "project.zip").string();
    std::string make = "python3 -c \"import zipfile\n"
                       "with zipfile.ZipFile('" + archive + "','w',zipfile.ZIP_DEFLATED) as z:\n"
                       "  for n in ['README.txt','docs/manual.pdf','docs/notes.doc','src/main.c','src/main.h',"
                       "'images/logo.png','images/photo.jpg','music/theme.mp3','site/index.html','data/table.csv',"
                       "'tools/setup.exe','archive/old.zip']:\n"
                       "    z.writestr(n, n*40)\n\"";
    if (std::system(make.c_str()) != 0) return 1;

    QApplication app(argc, argv);
    pw::qt::ensureQtPlatform();
    ctlPackwell control;
    control.formUnzipCaption("Packwell - Archive Browser");
    control.formExtractCaption("Extract To");
    control.ListZipContent(archive);
    auto* w = static_cast<frmUnzip*>(pw::librarySettings().newestBrowserWindow);
    w->m_cExtractMRU().Add((scratch / "Extracted").string());
    w->lvwZip()->selectionModel()->select(w->listModel().index(1, 0),
                                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
    w->lvwZip()->setFocus();
    save(w, out / "frmUnzip.png");

    QTimer::singleShot(300, [&] {
        for (QWidget* t : QApplication::topLevelWidgets()) {
            if (auto* d = dynamic_cast<frmExtractTo*>(t); d && d->isVisible()) {
                d->BrowseObject()->Settings().SelectedFolder((scratch / "Extracted").string());
                for (int i = 0; i < 20; ++i) {
                    QApplication::processEvents();
                    QThread::msleep(20);
                }
                if (auto* tree = d->BrowseObject() ? d->BrowseObject()->Tree() : nullptr) tree->setFocus();
                QApplication::processEvents();
                save(d, out / "frmExtractTo.png");
                d->close();
            }
        }
    });
    w->cmdExtract_Click();

    QTimer::singleShot(300, [&] {
        if (QWidget* box = QApplication::activeModalWidget()) {
            save(box, out / "frmUnzip-about.png");
            box->close();
        }
    });
    w->mnuHelp_Click(0);
    w->close();
    return 0;
}
