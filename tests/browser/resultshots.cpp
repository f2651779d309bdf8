// resultshots: pictures of what the archive browser shows after an
// extraction, on the real unzip engine: the message naming the entries that
// did not come out, and the status bar after a good extraction.
// Usage: docs/screenshots/take.sh build/bin/browser_resultshots
#include <QApplication>
#include <QCheckBox>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPixmap>
#include <QScreen>
#include <QThread>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "browser/qt/frmExtractTo.h"
#include "browser/qt/frmUnzip.h"
#include "control/LibrarySettings.h"
#include "control/ctlPackwell.h"
#include "platform/qt/QtPlatform.h"

namespace fs = std::filesystem;

namespace {
void settle(int rounds = 10) {
    for (int i = 0; i < rounds; ++i) {
        QApplication::processEvents();
        QThread::msleep(20);
    }
}
void saveScreen(const fs::path& file) {
    settle(5);
    QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0);
    shot.save(QString::fromStdString(file.string()));
    std::printf("%s\n", file.c_str());
}
template <class T>
T* findVisible() {
    for (QWidget* t : QApplication::topLevelWidgets())
        if (auto* d = dynamic_cast<T*>(t); d && d->isVisible()) return d;
    return nullptr;
}
// Extracts everything into `folder` through the extract-to dialog; `during`
// runs while the result message (if any) is up.
void extractAll(frmUnzip* w, const fs::path& folder, std::function<void()> whenMessage) {
    QTimer::singleShot(300, [=] {
        auto* d = findVisible<frmExtractTo>();
        if (!d) return;
        d->ICaptureBF_SelectionChanged(folder.string());
        d->findChild<QCheckBox*>("chkOverwritePrompt")->setChecked(false);
        d->findChild<QCheckBox*>("chkUseFolderNames")->setChecked(true);
        std::function<void()> look;
        look = [=, &look] {
            if (auto* m = findVisible<QMessageBox>()) {
                whenMessage();
                m->accept();
            }
        };
        QTimer::singleShot(600, look);
        d->cmdExtract_Click();
    });
    w->cmdExtract_Click();
    settle();
}
}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    const fs::path out = fs::absolute(argv[1]);
    const fs::path scratch = fs::temp_directory_path() / "packwell-resultshots";
    fs::remove_all(scratch);
    fs::create_directories(scratch / "registry");
    fs::create_directories(scratch / "Bad");
    fs::create_directories(scratch / "Good");
    setenv("PACKWELL_REGISTRY_DIR", (scratch / "registry").c_str(), 1);
    const std::string bad = (scratch / "mixed.zip").string(), good = (scratch / "project.zip").string();
    // Two hostile names and one entry whose stored data is then damaged.
    std::string make = "python3 -c \"import zipfile\n"
                       "with zipfile.ZipFile('" + bad + "','w') as z:\n"
                       "  z.writestr('README.txt', 'read me')\n"
                       "  z.writestr('../evil.txt', 'x')\n"
                       "  z.writestr('/etc/cron.d/evil', 'x')\n"
                       "  z.writestr('data/table.csv', 'A' * 4000)\n"
                       "with zipfile.ZipFile('" + good + "','w',zipfile.ZIP_DEFLATED) as z:\n"
                       "  for n in ['README.txt','docs/manual.pdf','docs/notes.doc','src/main.c','src/main.h',"
                       "'images/logo.png']:\n"
                       "    z.writestr(n, n*4000)\n"
                       "b = bytearray(open('" + bad + "','rb').read()); i = b.find(b'A' * 4000) + 2000; b[i] ^= 0x5A\n"
                       "open('" + bad + "','wb').write(b)\n\"";
    if (std::system(make.c_str()) != 0) return 1;

    QApplication app(argc, argv);
    pw::qt::ensureQtPlatform();
    ctlPackwell control;
    control.formUnzipCaption("Packwell - Archive Browser");
    control.formExtractCaption("Extract To");
    control.ListZipContent(bad);
    auto* w = static_cast<frmUnzip*>(pw::librarySettings().newestBrowserWindow);
    if (!w) return 1;
    settle();
    bool shown = false;
    extractAll(w, scratch / "Bad", [&] {
        shown = true;
        saveScreen(out / "frmUnzip-failure.png");
    });
    std::printf("failure message shown: %d\n", shown);

    w->OpenZip(good);
    settle();
    extractAll(w, scratch / "Good", [] { std::printf("unexpected message\n"); });
    w->grab().save(QString::fromStdString((out / "frmUnzip-extracted.png").string()));
    std::printf("status after extraction: [%s]\n", w->statusText().toStdString().c_str());
    w->close();
    return 0;
}
