// frmClient: the test client's only window. Every button and menu entry calls
// the control's members by dispatch identifier, with the sample paths, and
// confirms what the control reports as done.
#pragma once

#include <QMainWindow>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/Variant.h"

class QGroupBox;
class QListWidget;
class QPushButton;
class QAction;
class ctlPackwell;
namespace pw::qt {
class ctlPackwellWidget;
}

class frmClient : public QMainWindow {
    Q_OBJECT

public:
    explicit frmClient(QWidget* parent = nullptr);
    ~frmClient() override;

    ctlPackwell& control();

    // The controls, named as the window shows them.
    QGroupBox *Frame1, *Frame2, *Frame3, *Frame4;
    QPushButton *Command1, *Command2, *Command3, *Command4, *Command5, *Command6, *Command7;
    QPushButton *Command8, *Command9, *Command10, *Command11, *Command12, *Command13;
    QListWidget* List1;
    pw::qt::ctlPackwellWidget* ctlPackwell1;
    QAction *mnuZipandSplit, *mnu_join_and_unzip;

    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void Command5_Click();
    void Command6_Click();
    void Command7_Click();
    void Command8_Click();
    void Command9_Click();
    void Command10_Click();
    void Command11_Click();
    void Command12_Click();
    void Command13_Click();
    void mnuZipandSplit_Click();
    void mnu_join_and_unzip_Click();

private:
    std::int32_t hWnd() const;
    pw::Variant call(std::int32_t dispId, std::vector<pw::Variant> args = {});
    pw::Variant get(std::int32_t dispId, std::vector<pw::Variant> args = {});
    void put(std::int32_t dispId, const std::string& value);
    void confirm(const std::string& text);
};
