// Takes the screenshot of the test client for the docs: the real window on
// the X server, after "CUSTOM LISTING:" has filled the list once.
//   client_screenshot OUT_FOLDER   (run under xvfb-run with a window manager)
#include <QApplication>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include "client/SampleData.h"
#include "client/frmClient.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    pw::samples::createSampleData([](const std::string&) {});
    frmClient window;
    window.show();
    window.Command13->click();
    QTimer::singleShot(1500, [&] {
        const QRect r = window.frameGeometry();
        QGuiApplication::primaryScreen()->grabWindow(0, r.x(), r.y(), r.width(), r.height())
            .save(out + "/prjBRIXpackwell.png");
        app.quit();
    });
    return app.exec();
}
