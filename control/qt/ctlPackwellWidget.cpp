#include "control/qt/ctlPackwellWidget.h"

#include <QLabel>
#include <QPixmap>

#include "control/qt/QtPlatform.h"

namespace pw::qt {

ctlPackwellWidget::ctlPackwellWidget(QWidget* parent) : QWidget(parent) {
    setObjectName("ctlPackwell");
    // A host that places the control gets the desktop's prompts and choosers.
    ensureQtPlatform();

    Image1 = new QLabel(this);
    Image1->setObjectName("Image1");
    QPixmap picture(":/packwell/face.bmp");
    Image1->setPixmap(picture);
    Image1->setGeometry(0, 0, control_.pictureWidth(), control_.pictureHeight());
    // The face takes no input of its own.
    setFocusPolicy(Qt::NoFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);

    control_.setResizer([this](int width, int height) {
        Image1->move(0, 0);
        resize(this->width(), height);
        resize(width, height);
    });
    resize(control_.pictureWidth(), control_.pictureHeight());
}

ctlPackwellWidget::~ctlPackwellWidget() { control_.setResizer(nullptr); }

QSize ctlPackwellWidget::sizeHint() const { return {control_.pictureWidth(), control_.pictureHeight()}; }

void ctlPackwellWidget::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    control_.UserControl_Resize();
}

}  // namespace pw::qt
