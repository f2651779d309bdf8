// Takes the documentation's pictures of the real windows as an X server with
// a window manager shows them (title bars included): the archive browser with
// an archive open, its extract-to dialog, its progress window in the middle of
// an extraction, its About box, both prompts, the file chooser, the control's
// face, the test client, and the result after an extraction (a failure
// report and the count of a good one). Not a test: docs/screenshots/
// take.sh runs it under Xvfb and twm.
//   packwell_screenshots OUTDIR
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QThread>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

#include "browser/qt/frmExtractTo.h"
#include "browser/qt/frmOverwrite.h"
#include "browser/qt/frmPassword.h"
#include "browser/qt/frmProgress.h"
#include "browser/qt/frmUnzip.h"
#include "browser/qt/frmUnzipList.h"
#include "browser/qt/lumwFolderBrowse.h"
#include "client/SampleData.h"
#include "client/frmClient.h"
#include "platform/LibrarySettings.h"
#include "control/ctlPackwell.h"
#include "control/qt/ctlPackwellWidget.h"
#include "dialogs/qt/QtFileChooser.h"
#include "control/qt/QtPlatform.h"
#include "unzip/cUnzip.h"

namespace fs = std::filesystem;

namespace {

QString outDir;
int failures = 0;

// Lets the window manager frame and the windows paint.
void settle(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(10);
    }
}

// Saves the window with its frame as the screen shows it. twm does not tell
// its frame sizes, so Qt's frame geometry is the client area: a margin holds
// twm's title bar and border.
void grab(QWidget* w, const QString& name) {
    settle(1200);
    const QRect r = w->geometry().adjusted(-3, -29, 3, 3);
    const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0, r.x(), r.y(), r.width(), r.height());
    const QString file = outDir + "/" + name + ".png";
    if (shot.isNull() || !shot.save(file)) {
        std::fprintf(stderr, "could not save %s\n", qPrintable(file));
        ++failures;
    } else {
        std::printf("%s (%dx%d)\n", qPrintable(file), shot.width(), shot.height());
    }
}

// Runs `step` on the modal window once it is up.
void whenModal(std::function<void(QWidget*)> step) {
    QTimer::singleShot(100, [step = std::move(step)] {
        QWidget* w = QApplication::activeModalWidget();
        for (int i = 0; !w && i < 50; ++i) {
            settle(100);
            w = QApplication::activeModalWidget();
        }
        if (!w) {
            std::fprintf(stderr, "no modal window came up\n");
            ++failures;
            return;
        }
        step(w);
    });
}

void makeSampleArchive(const std::string& archive) {
    const std::string py = fs::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3";
    const std::string make = py + " -c \"import zipfile, random\n"
                                  "random.seed(7)\n"
                                  "with zipfile.ZipFile('" + archive + "','w',zipfile.ZIP_DEFLATED) as z:\n"
                                  "  for n in ['README.txt','docs/manual.pdf','docs/notes.doc','src/main.c','src/main.h',"
                                  "'images/logo.png','images/photo.jpg','music/theme.mp3','site/index.html',"
                                  "'data/table.csv','tools/setup.exe','archive/old.zip']:\n"
                                  "    z.writestr(n, bytes(random.getrandbits(8) for _ in range(random.randint(20000, 90000))))\n\"";
    if (std::system(make.c_str()) != 0) {
        std::fprintf(stderr, "could not make the sample archive\n");
        std::exit(1);
    }
}

void prompts() {
    {
        frmOverwrite frm;
        frm.TheCaption("Do you want to overwrite the existing copy of "
                       "/home/user/Documents/Projects/2024/quarterly reports/final/quarterly report.txt?");
        whenModal([&](QWidget*) {
            grab(&frm, "frmOverwrite");
            frm.cmdCancel->click();
        });
        frm.ShowModal();
    }
    {
        pw::librarySettings().formPasswordCaption = "Enter Password";
        frmPassword frm;
        whenModal([&](QWidget*) {
            frm.txtPassword->setText("secret");
            grab(&frm, "frmPassword");
            frm.reject();
        });
        frm.ShowModal();
    }
}

void fileChooser() {
    const QString dir = outDir + "/chooser-sample";
    QDir().mkpath(dir);
    for (const char* n : {"holiday photos.zip", "invoices 2024.ZIP", "notes.txt", "setup.exe"}) {
        QFile f(dir + "/" + n);
        if (f.open(QIODevice::WriteOnly)) f.write("x");
    }
    pw::OpenFileName ofn;
    using namespace std::string_literals;
    ofn.filter = "Zip Files (*.ZIP)\0*.ZIP\0All Files (*.*)\0*.*\0\0"s;
    ofn.nFilterIndex = 1;
    ofn.nMaxFile = 260;
    ofn.file = std::string(260, '\0');
    ofn.title = "Choose Zip File to Open";
    ofn.defExt = "ZIP";
    ofn.initialDir = dir.toStdString();
    ofn.flags = pw::OFN_FILEMUSTEXIST | pw::OFN_HIDEREADONLY;
    pw::qt::setChooserDriver([](pw::qt::FileChooserDialog& d) {
        d.resize(860, 460);
        QTimer::singleShot(100, [&d] {
            settle(500);
            // Wide enough columns and side bar that no text is cut.
            if (auto* tree = d.findChild<QTreeView*>("treeView"))
                for (int c = 0; c < 4; ++c) tree->resizeColumnToContents(c);
            if (auto* split = d.findChild<QSplitter*>("splitter")) split->setSizes({150, 700});
            grab(&d, "FileChooser");
            d.reject();
        });
        d.exec();
        return d.answer();
    });
    pw::platform().getOpenFileName(ofn);
    pw::qt::setChooserDriver(nullptr);
    QDir(dir).removeRecursively();
}

void face() {
    QWidget host;
    host.setWindowTitle("Host window with ctlPackwell");
    auto* column = new QVBoxLayout(&host);
    auto* row = new QHBoxLayout;
    auto* control = new pw::qt::ctlPackwellWidget;
    row->addWidget(control);
    row->addStretch();
    column->addLayout(row);
    auto* note = new QLabel;
    column->addWidget(note);
    column->addStretch();
    host.resize(360, 200);
    host.show();
    control->resize(300, 150);  // the host asks for more; the face keeps its picture's size
    note->setText(QString("The face is %1 x %2 pixels.").arg(control->width()).arg(control->height()));
    grab(&host, "ctlPackwell-face");
}

void client() {
    pw::samples::createSampleData([](const std::string&) {});
    frmClient window;
    window.show();
    window.Command13->click();  // "CUSTOM LISTING:" fills the list
    grab(&window, "prjBRIXpackwell");
}

// The result after an extraction: the message naming the entries that did not
// come out (two hostile names, one damaged entry), and the status bar after a
// good extraction.
void results(ctlPackwell& control, const fs::path& scratch) {
    const std::string bad = (scratch / "mixed.zip").string();
    const std::string py = fs::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3";
    const std::string make = py + " -c \"import zipfile\n"
                                  "with zipfile.ZipFile('" + bad + "','w') as z:\n"
                                  "  z.writestr('README.txt', 'read me')\n"
                                  "  z.writestr('../evil.txt', 'x')\n"
                                  "  z.writestr('/etc/cron.d/evil', 'x')\n"
                                  "  z.writestr('data/table.csv', 'A' * 4000)\n"
                                  "b = bytearray(open('" + bad + "','rb').read()); i = b.find(b'A' * 4000) + 2000; b[i] ^= 0x5A\n"
                                  "open('" + bad + "','wb').write(b)\n\"";
    if (std::system(make.c_str()) != 0) {
        ++failures;
        return;
    }
    control.ListZipContent(bad);
    auto* w = static_cast<frmUnzip*>(pw::librarySettings().newestBrowserWindow);
    auto extractAll = [&](const fs::path& folder) {
        fs::create_directories(folder);
        for (std::int32_t i = 1; i <= w->unzipObject()->FileCount(); ++i) w->unzipObject()->FileSelected(i, true);
        w->unzipObject()->UseFolderNames(true);
        w->unzipObject()->PromptToOverwrite(false);
        w->unzipObject()->UnzipFolder(folder.string());
        w->RunExtraction(true);
    };
    // The message comes once the run is over and its progress window gone.
    std::function<void()> look = [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            grab(box, "frmUnzip-failure");
            box->accept();
        } else {
            QTimer::singleShot(100, look);
        }
    };
    QTimer::singleShot(100, look);
    extractAll(scratch / "Bad");
    w->OpenZip((scratch / "project.zip").string());
    extractAll(scratch / "Good");
    grab(w, "frmUnzip-extracted");
    w->close();
}

void browser(const fs::path& scratch) {
    const std::string archive = (scratch / "project.zip").string();
    makeSampleArchive(archive);
    const fs::path extracted = scratch / "Extracted";
    fs::create_directories(extracted / "reports");

    ctlPackwell control;
    control.formUnzipCaption("Packwell - Archive Browser");
    control.formExtractCaption("Extract To");
    control.formOverwriteCaption("File already exists");
    control.ListZipContent(archive);
    auto* w = static_cast<frmUnzip*>(pw::librarySettings().newestBrowserWindow);
    w->m_cExtractMRU().Add(extracted.string());
    w->lvwZip()->selectionModel()->select(w->listModel().index(1, 0),
                                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
    w->lvwZip()->setFocus();
    grab(w, "frmUnzip");

    // The extract-to dialog as it opens: the recent folder selected in the tree.
    QTimer::singleShot(100, [&] {
        settle(300);
        for (QWidget* t : QApplication::topLevelWidgets()) {
            auto* d = dynamic_cast<frmExtractTo*>(t);
            if (!d || !d->isVisible()) continue;
            if (auto* tree = d->BrowseObject() ? d->BrowseObject()->Tree() : nullptr) tree->setFocus();
            grab(d, "frmExtractTo");
            d->findChild<QPushButton*>("cmdCancel")->click();
        }
    });
    w->cmdExtract_Click();

    // The progress window half-way through extracting everything.
    for (std::int32_t i = 1; i <= w->unzipObject()->FileCount(); ++i) w->unzipObject()->FileSelected(i, true);
    w->unzipObject()->UseFolderNames(true);
    w->unzipObject()->PromptToOverwrite(false);
    w->unzipObject()->UnzipFolder(extracted.string());
    auto cancelEvent = w->unzipObject()->Cancel;
    int entries = 0;
    w->unzipObject()->Cancel = [&](const std::string& sMsg, bool& bCancel) {
        cancelEvent(sMsg, bCancel);
        if (++entries == 7 && w->progressWindow()) grab(w->progressWindow(), "frmProgress");
    };
    w->RunExtraction(true);
    w->unzipObject()->Cancel = cancelEvent;

    whenModal([&](QWidget* box) {
        grab(box, "frmUnzip-about");
        box->close();
    });
    w->mnuHelp_Click(0);
    w->close();

    results(control, scratch);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUTDIR\n", argv[0]);
        return 2;
    }
    outDir = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    const fs::path scratch = fs::temp_directory_path() / ("packwell-screenshots-" + std::to_string(::getpid()));
    fs::create_directories(scratch / "registry");
    setenv("PACKWELL_REGISTRY_DIR", (scratch / "registry").c_str(), 1);
    // The sample data of the test client live under this root, not in the user's home.
    setenv("PACKWELL_TEST_ROOT", (scratch / "root").c_str(), 1);

    QApplication app(argc, argv);
    pw::qt::ensureQtPlatform();
    prompts();
    fileChooser();
    face();
    client();
    browser(scratch);
    std::error_code ec;
    fs::remove_all(scratch, ec);
    return failures == 0 ? 0 : 1;
}
