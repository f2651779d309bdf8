// prjBRIXpackwell: the test client. One window, one control.
#include <QApplication>
#include <QIcon>
#include <QPainter>
#include <QPixmap>

#include "client/frmClient.h"

namespace {

// The program's own icon: a zip-and-scissors glyph drawn at start-up, so the
// program carries no picture files of its own.
QIcon programIcon() {
    QIcon icon;
    for (int size : {16, 32, 48, 64}) {
        QPixmap pm(size, size);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        const qreal u = size / 16.0;
        p.setBrush(QColor(0xF2, 0xC1, 0x4E));
        p.setPen(QPen(QColor(0x6B, 0x4A, 0x12), u * 0.8));
        p.drawRoundedRect(QRectF(2 * u, 1 * u, 12 * u, 14 * u), 1.5 * u, 1.5 * u);
        p.setPen(QPen(QColor(0x40, 0x40, 0x40), u));
        for (int i = 0; i < 5; ++i) {
            const qreal y = (3 + 2 * i) * u;
            p.drawLine(QPointF(7 * u, y), QPointF(9 * u, y));
        }
        p.setBrush(QColor(0x40, 0x40, 0x40));
        p.drawRect(QRectF(6.5 * u, 12 * u, 3 * u, 2 * u));
        icon.addPixmap(pm);
    }
    return icon;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("prjBRIXpackwell"));
    QApplication::setWindowIcon(programIcon());
    frmClient window;
    window.setWindowIcon(programIcon());
    window.show();
    return app.exec();
}
