// Takes screenshots of the desktop layer's windows as a real X server shows
// them (frames included), for docs/screenshots/. Not a test: run it with
// docs/screenshots/take.sh under Xvfb and a window manager.
#include <QApplication>
#include <QDir>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QTreeView>
#include <QTimer>
#include <QVBoxLayout>
#include <functional>

#include "browser/qt/frmOverwrite.h"
#include "browser/qt/frmPassword.h"
#include "control/LibrarySettings.h"
#include "control/qt/ctlPackwellWidget.h"
#include "dialogs/qt/QtFileChooser.h"
#include "platform/qt/QtPlatform.h"

namespace {

QString outDir;

// Grabs the window with its frame from the screen after the window manager
// had time to frame it, saves it, then runs `then`.
void grabLater(QWidget* w, const QString& name, std::function<void()> then) {
    QTimer::singleShot(1200, [w, name, then] {
        // twm does not publish its frame sizes, so Qt's frame geometry is the
        // client area; take a margin that holds twm's title bar and border.
        QRect r = w->geometry().adjusted(-6, -32, 6, 6);
        QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0, r.x(), r.y(), r.width(), r.height());
        shot.save(outDir + "/" + name + ".png");
        then();
    });
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    outDir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();

    {
        frmOverwrite frm;
        frm.TheCaption("Do you want to overwrite the existing copy of /home/user/Documents/quarterly report.txt?");
        grabLater(&frm, "frmOverwrite", [&] { frm.cmdCancel->click(); });
        frm.ShowModal();
    }
    {
        pw::librarySettings().formPasswordCaption = "Enter Password";
        frmPassword frm;
        grabLater(&frm, "frmPassword", [&] { frm.reject(); });
        QTimer::singleShot(300, [&] { frm.txtPassword->setText("secret"); });
        frm.ShowModal();
    }
    {
        QString dir = outDir + "/chooser-sample";
        QDir().mkpath(dir);
        for (const char* n : {"holiday photos.zip", "invoices 2024.ZIP", "notes.txt", "setup.exe"}) {
            QFile f(dir + "/" + n);
            f.open(QIODevice::WriteOnly);
            f.write("x");
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
            // Wide enough columns and side bar that no text is cut.
            QTimer::singleShot(600, [&d] {
                if (auto* tree = d.findChild<QTreeView*>("treeView"))
                    for (int c = 0; c < 4; ++c) tree->resizeColumnToContents(c);
                if (auto* split = d.findChild<QSplitter*>("splitter")) split->setSizes({150, 700});
            });
            grabLater(&d, "FileChooser", [&d] { d.reject(); });
            d.exec();
            return d.answer();
        });
        pw::platform().getOpenFileName(ofn);
        pw::qt::setChooserDriver(nullptr);
        QDir(dir).removeRecursively();
    }
    {
        QWidget host;
        host.setWindowTitle("Host window with ctlPackwell");
        auto* column = new QVBoxLayout(&host);
        auto* row = new QHBoxLayout;
        auto* face = new pw::qt::ctlPackwellWidget;
        row->addWidget(face);
        row->addStretch();
        column->addLayout(row);
        auto* note = new QLabel;
        column->addWidget(note);
        column->addStretch();
        host.resize(360, 200);
        host.show();
        face->resize(300, 150);  // the host asks for more; the face keeps its picture's size
        note->setText(QString("The face is %1 x %2 pixels.").arg(face->width()).arg(face->height()));
        QEventLoop loop;
        grabLater(&host, "ctlPackwell-face", [&] { loop.quit(); });
        loop.exec();
    }
    return 0;
}
