#include "browser/qt/frmProgress.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>

#include "platform/qt/QtSupport.h"

using pw::qt::twips;

namespace {
// The bar counts in thousandths, so byte totals beyond an int still fit.
constexpr int kBarSteps = 1000;
}  // namespace

frmProgress::frmProgress(QWidget* owner) : QDialog(owner, pw::qt::kFixedDialogFlags) {
    setObjectName("frmProgress");
    setWindowTitle("Extracting");
    setFont(pw::qt::dialogFont());
    setWindowModality(Qt::WindowModal);
    setFixedSize(twips(5700), twips(1860));

    lblEntry = new QLabel(this);
    lblEntry->setObjectName("lblEntry");
    lblEntry->setTextFormat(Qt::PlainText);
    lblEntry->setGeometry(twips(240), twips(180), twips(5220), twips(255));

    prgBytes = new QProgressBar(this);
    prgBytes->setObjectName("prgBytes");
    prgBytes->setRange(0, kBarSteps);
    prgBytes->setTextVisible(false);
    prgBytes->setGeometry(twips(240), twips(540), twips(5220), twips(255));

    lblCount = new QLabel(this);
    lblCount->setObjectName("lblCount");
    lblCount->setTextFormat(Qt::PlainText);
    lblCount->setGeometry(twips(240), twips(900), twips(5220), twips(255));

    cmdCancel = pw::qt::makeButton(this, "cmdCancel", "Cancel", twips(4245), twips(1320), twips(1215), twips(375));
    connect(cmdCancel, &QPushButton::clicked, this, [this] { cmdCancel_Click(); });
}

void frmProgress::Start(std::int32_t totalFiles, std::int64_t totalBytes) {
    m_lTotalFiles = totalFiles;
    m_lTotalBytes = totalBytes;
    m_bCancel = false;
    cmdCancel->setEnabled(true);
    ShowEntry(QString(), 0, 0);
}

void frmProgress::ShowEntry(const QString& entry, std::int32_t filesDone, std::int64_t bytesDone) {
    m_sEntry = entry;
    // A long path keeps its start and its file name; the whole of it is the tooltip.
    lblEntry->setText(lblEntry->fontMetrics().elidedText(entry, Qt::ElideMiddle, lblEntry->width()));
    lblEntry->setToolTip(entry);
    showCount(filesDone, bytesDone);
}

void frmProgress::showCount(std::int32_t filesDone, std::int64_t bytesDone) {
    const QLocale locale;
    lblCount->setText(QString("%1 of %2 files, %3 of %4 bytes")
                          .arg(locale.toString(filesDone), locale.toString(m_lTotalFiles),
                               locale.toString(static_cast<qlonglong>(bytesDone)),
                               locale.toString(static_cast<qlonglong>(m_lTotalBytes))));
    const int step = m_lTotalBytes > 0 ? static_cast<int>(bytesDone * kBarSteps / m_lTotalBytes)
                     : m_lTotalFiles > 0 ? filesDone * kBarSteps / m_lTotalFiles
                                         : 0;
    prgBytes->setValue(std::min(step, kBarSteps));
}

void frmProgress::Pump() {
    if (m_pumped.isValid() && m_pumped.elapsed() < 40) return;
    m_pumped.start();
    QApplication::processEvents(QEventLoop::AllEvents);
}

void frmProgress::cmdCancel_Click() {
    m_bCancel = true;
    cmdCancel->setEnabled(false);
    lblCount->setText(lblCount->text() + " - stopping after this entry");
}

void frmProgress::closeEvent(QCloseEvent* event) {
    // The close box asks for the same as Cancel; the window goes when the run has stopped.
    if (isVisible() && !m_bCancel) cmdCancel_Click();
    event->ignore();
}

void frmProgress::reject() {
    if (!m_bCancel) cmdCancel_Click();
}
