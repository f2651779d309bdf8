// The control's face: the widget a host places on its window. It owns one
// ctlPackwell, shows the control's picture and always takes exactly the
// picture's size, whatever size the host gives it.
#pragma once

#include <QWidget>

#include "platform/Export.h"
#include "control/ctlPackwell.h"

class QLabel;

namespace pw::qt {

class PACKWELL_API ctlPackwellWidget : public QWidget {
    Q_OBJECT
public:
    explicit ctlPackwellWidget(QWidget* parent = nullptr);
    ~ctlPackwellWidget() override;

    ctlPackwell& control() { return control_; }
    const ctlPackwell& control() const { return control_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

    QLabel* Image1;

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    ctlPackwell control_;
};

}  // namespace pw::qt
