// The overwrite prompt: asks whether an existing file may be overwritten.
// One instance per question: set TheCaption, ShowModal, read Response and
// ApplyToAll.
#pragma once

#include <QDialog>
#include <string>

class QCheckBox;
class QLabel;
class QPushButton;

class frmOverwrite : public QDialog {
    Q_OBJECT
public:
    explicit frmOverwrite(QWidget* owner = nullptr);

    void TheCaption(const std::string& sCaption);
    // 6 Yes, 7 No, 2 Cancel or closed.
    int Response() const { return m_lResponse; }
    bool ApplyToAll() const { return m_bApplyToAll; }

    // Loads the window (title and icon from the library-wide settings; an
    // icon that cannot be loaded raises) and shows it modally.
    void ShowModal();
    // The load steps alone (ShowModal runs them before showing).
    void Form_Load();

    QLabel* lblCaption;
    QPushButton* cmdYes;
    QPushButton* cmdNo;
    QPushButton* cmdCancel;
    QCheckBox* chkAllFiles;

protected:
    bool event(QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

private:
    // Shows the question, growing the window so all of it can be read.
    void showCaption();
    void cmdYes_Click();
    void cmdNo_Click();
    void cmdCancel_Click();

    std::string m_sCaption;
    int m_lResponse = 2;
    bool m_bApplyToAll = false;
    bool m_bLoaded = false;
    bool m_bAnswered = false;
};
