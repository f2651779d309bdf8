#include "browser/qt/frmPassword.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "platform/LibrarySettings.h"
#include "platform/Platform.h"
#include "platform/Text.h"
#include "platform/qt/QtSupport.h"

using pw::qt::qs;
using pw::qt::twips;

frmPassword::frmPassword(QWidget* owner) : QDialog(owner, pw::qt::kFixedDialogFlags) {
    setObjectName("frmPassword");
    setWindowTitle("Enter Password");
    setFont(pw::qt::dialogFont());
    setFixedSize(twips(4410), twips(2505));

    lblPassword = new QLabel("Password:", this);
    lblPassword->setObjectName("lblPassword");
    lblPassword->setGeometry(twips(420), twips(180), twips(3615), twips(255));

    txtPassword = new QLineEdit(this);
    txtPassword->setObjectName("txtPassword");
    txtPassword->setEchoMode(QLineEdit::Password);
    // One "*" for every character typed.
    txtPassword->setStyleSheet("lineedit-password-character: 42");
    txtPassword->setGeometry(twips(420), twips(420), twips(3675), twips(315));

    lblInfo = new QLabel(
        "Note: the password will be applied to files you subsequently extract from this archive, and will be "
        "automatically created when the archive is closed.",
        this);
    lblInfo->setObjectName("lblInfo");
    lblInfo->setWordWrap(true);
    lblInfo->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblInfo->setGeometry(twips(420), twips(960), twips(3675), twips(795));

    fraSep = new QFrame(this);
    fraSep->setObjectName("fraSep");
    fraSep->setFrameShape(QFrame::HLine);
    fraSep->setFrameShadow(QFrame::Sunken);
    fraSep->setGeometry(twips(-840), twips(1920), twips(5595), twips(120));

    cmdOK = pw::qt::makeButton(this, "cmdOK", "OK", twips(2160), twips(2100), twips(1095), twips(375));
    cmdCancel = pw::qt::makeButton(this, "cmdCancel", "Cancel", twips(3300), twips(2100), twips(1095), twips(375));
    cmdOK->setDefault(true);

    setTabOrder(txtPassword, cmdOK);
    setTabOrder(cmdOK, cmdCancel);

    connect(cmdOK, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
    // Cancel, Esc and the close box all leave the window cancelled.
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void frmPassword::Form_Load() {
    if (m_bLoaded) return;
    m_bCancelled = true;
    const auto& settings = pw::librarySettings();
    setWindowTitle(qs(settings.formPasswordCaption));
    pw::qt::applyWindowIcon(this, settings.formPasswordIcon);
    m_bLoaded = true;
}

void frmPassword::ShowModal() {
    Form_Load();
    pw::qt::centreOnScreen(this);
    txtPassword->setFocus();
    exec();
}

void frmPassword::cmdOK_Click() {
    std::string password = pw::trimBlanks(pw::qt::ss(txtPassword->text()));
    if (password.empty()) {
        pw::platform().messageBox("Please enter a password.", pw::MessageStyle::Information, pw::kLibraryTitle);
        txtPassword->setFocus();
        return;
    }
    m_sPassword = password;
    m_bCancelled = false;
    accept();
}
