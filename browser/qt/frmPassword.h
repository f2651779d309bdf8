// The password prompt: asks for the password of an encrypted entry. One
// instance per question: ShowModal, then read Cancelled and Password.
#pragma once

#include <QDialog>
#include <string>

class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

class frmPassword : public QDialog {
    Q_OBJECT
public:
    explicit frmPassword(QWidget* owner = nullptr);

    // The trimmed password; empty until OK succeeds.
    std::string Password() const { return m_sPassword; }
    bool Cancelled() const { return m_bCancelled; }

    // Loads the window (title and icon from the library-wide settings; an
    // icon that cannot be loaded raises) and shows it modally, centred.
    void ShowModal();
    void Form_Load();

    QLabel* lblPassword;
    QLineEdit* txtPassword;
    QLabel* lblInfo;
    QFrame* fraSep;
    QPushButton* cmdOK;
    QPushButton* cmdCancel;

private:
    void cmdOK_Click();

    std::string m_sPassword;
    bool m_bCancelled = true;
    bool m_bLoaded = false;
};
