#include "browser/qt/frmOverwrite.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QScreen>
#include <algorithm>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

#include "platform/LibrarySettings.h"
#include "platform/qt/QtSupport.h"

using pw::qt::qs;
using pw::qt::twips;

frmOverwrite::frmOverwrite(QWidget* owner) : QDialog(owner, pw::qt::kFixedDialogFlags) {
    setObjectName("frmOverwrite");
    setWindowTitle("File already exists");
    setFont(pw::qt::dialogFont());
    setFixedSize(twips(4695), twips(2265));

    lblCaption = new QLabel(this);
    lblCaption->setObjectName("lblCaption");
    lblCaption->setWordWrap(true);
    lblCaption->setTextFormat(Qt::PlainText);
    lblCaption->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblCaption->setGeometry(twips(300), twips(240), twips(3915), twips(795));

    cmdYes = pw::qt::makeButton(this, "cmdYes", "&Yes", twips(300), twips(1260), twips(1095), twips(315));
    cmdNo = pw::qt::makeButton(this, "cmdNo", "&No", twips(1800), twips(1260), twips(1095), twips(315));
    cmdCancel = pw::qt::makeButton(this, "cmdCancel", "Cancel", twips(3420), twips(1260), twips(1095), twips(315));
    cmdNo->setDefault(true);

    chkAllFiles = new QCheckBox("&Apply to all files", this);
    chkAllFiles->setObjectName("chkAllFiles");
    chkAllFiles->setGeometry(twips(360), twips(1800), twips(2175), twips(255));

    for (QWidget* w : std::initializer_list<QWidget*>{cmdYes, cmdNo, cmdCancel, chkAllFiles})
        w->setProperty("designedAt", w->geometry());

    setTabOrder(cmdYes, cmdNo);
    setTabOrder(cmdNo, cmdCancel);
    setTabOrder(cmdCancel, chkAllFiles);

    connect(cmdYes, &QPushButton::clicked, this, [this] { cmdYes_Click(); });
    connect(cmdNo, &QPushButton::clicked, this, [this] { cmdNo_Click(); });
    connect(cmdCancel, &QPushButton::clicked, this, [this] { cmdCancel_Click(); });
}

void frmOverwrite::TheCaption(const std::string& sCaption) {
    m_sCaption = sCaption;
    if (m_bLoaded) showCaption();
}

void frmOverwrite::showCaption() {
    // A path has no blanks to wrap at: a zero-width space after each "/"
    // lets it break between folders instead of running out of the label.
    QString text = qs(m_sCaption);
    text.replace(QLatin1Char('/'), QStringLiteral("/\u200B"));
    lblCaption->setText(text);

    // The designed size, widened (up to two thirds of the screen) and then
    // heightened until the whole question shows; the controls below move down.
    const QRect label(twips(300), twips(240), twips(3915), twips(795));
    const QSize designed(twips(4695), twips(2265));
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    const int widest = screen ? screen->availableGeometry().width() * 2 / 3 : designed.width();
    const QFontMetrics fm(lblCaption->font());
    auto needed = [&](int w) { return fm.boundingRect(QRect(0, 0, w, 1 << 20), Qt::TextWordWrap | Qt::AlignLeft, text); };
    // Wider while the lines do not fit the label's height, or a folder name
    // too long for one line runs past its edge.
    int width = label.width();
    while ((needed(width).height() > label.height() || needed(width).width() > width) &&
           designed.width() + (width + 20 - label.width()) <= widest)
        width += 20;
    const int extra = std::max(0, needed(width).height() - label.height());
    lblCaption->setGeometry(label.x(), label.y(), width, label.height() + extra);
    for (QWidget* w : std::initializer_list<QWidget*>{cmdYes, cmdNo, cmdCancel, chkAllFiles}) {
        const QRect designedAt = w->property("designedAt").toRect();
        w->move(designedAt.x(), designedAt.y() + extra);
    }
    setFixedSize(designed.width() + width - label.width(), designed.height() + extra);
}

void frmOverwrite::Form_Load() {
    if (m_bLoaded) return;
    m_lResponse = 2;
    showCaption();
    const auto& settings = pw::librarySettings();
    setWindowTitle(settings.formOverwriteCaption.empty() ? QString("Overwrite ?") : qs(settings.formOverwriteCaption));
    pw::qt::applyWindowIcon(this, settings.formOverwriteIcon);
    m_bLoaded = true;
}

void frmOverwrite::ShowModal() {
    Form_Load();
    cmdYes->setFocus();
    exec();
}

bool frmOverwrite::event(QEvent* e) {
    // Centred again on every activation, also after the user moved it.
    if (e->type() == QEvent::WindowActivate) pw::qt::centreOnScreen(this);
    return QDialog::event(e);
}

void frmOverwrite::keyPressEvent(QKeyEvent* e) {
    // Esc is the Cancel button, with its apply-to-all rule.
    if (e->key() == Qt::Key_Escape && e->modifiers() == Qt::NoModifier) {
        cmdCancel->click();
        return;
    }
    QDialog::keyPressEvent(e);
}

void frmOverwrite::closeEvent(QCloseEvent* e) {
    // The close box answers nothing: response 2, apply-to-all false.
    if (!m_bAnswered) m_bApplyToAll = false;
    QDialog::closeEvent(e);
}

void frmOverwrite::cmdYes_Click() {
    m_lResponse = 6;
    m_bApplyToAll = chkAllFiles->isChecked();
    m_bAnswered = true;
    accept();
}

void frmOverwrite::cmdNo_Click() {
    m_lResponse = 7;
    m_bApplyToAll = chkAllFiles->isChecked();
    m_bAnswered = true;
    accept();
}

void frmOverwrite::cmdCancel_Click() {
    m_bApplyToAll = true;
    m_bAnswered = true;
    reject();
}
