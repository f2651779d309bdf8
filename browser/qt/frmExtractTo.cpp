#include "browser/qt/frmExtractTo.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFontDatabase>
#include <QFrame>
#include <QIcon>
#include <QLabel>
#include <QAbstractItemView>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QWindow>
#include <cerrno>
#include <filesystem>
#include <sys/stat.h>

#include "browser/qt/lumwFolderBrowse.h"
#include "errors/Error.h"
#include "platform/LibrarySettings.h"
#include "platform/Platform.h"
#include "platform/qt/QtSupport.h"

namespace {

// The folder field: while it is not being edited, a path too long for it is
// shown with its middle elided, so its start and its last folder both show.
// Only the painting changes; the text itself stays the whole path.
class ElidingLineEdit : public QLineEdit {
public:
    using QLineEdit::QLineEdit;

protected:
    void paintEvent(QPaintEvent* event) override {
        const QRect area = contentsRect().adjusted(3, 0, -3, 0);
        if (hasFocus() || fontMetrics().horizontalAdvance(text()) <= area.width()) {
            QLineEdit::paintEvent(event);
            return;
        }
        QPainter painter(this);
        painter.fillRect(rect(), palette().brush(isEnabled() ? QPalette::Base : QPalette::Window));
        painter.setPen(palette().color(isEnabled() ? QPalette::Text : QPalette::PlaceholderText));
        painter.drawText(area, Qt::AlignVCenter | Qt::AlignLeft,
                         fontMetrics().elidedText(text(), Qt::ElideMiddle, area.width()));
    }
};

using pw::qt::loadPicture;
using pw::qt::qs;
using pw::qt::twipRect;
using pw::qt::twips;

}  // namespace

frmExtractTo::frmExtractTo(QWidget* opener) : QDialog(nullptr), m_opener(opener) {
    setObjectName("frmExtractTo");
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint);
    QFont font(QStringLiteral("Tahoma"));
    font.setPointSizeF(8.25);
    setFont(font);
    setFixedSize(twips(7245), twips(3930));

    lblExtractTo = new QLabel(tr("Extract To:"), this);
    lblExtractTo->setObjectName("lblExtractTo");
    lblExtractTo->setGeometry(twipRect(120, 60, 2415, 195));

    cboExtractTo = new QComboBox(this);
    cboExtractTo->setObjectName("cboExtractTo");
    cboExtractTo->setEditable(true);
    cboExtractTo->setLineEdit(new ElidingLineEdit(cboExtractTo));
    cboExtractTo->setInsertPolicy(QComboBox::NoInsert);
    cboExtractTo->setGeometry(twipRect(60, 300, 2115, 315));
    // Long folders in the list keep their start and their last folder.
    cboExtractTo->view()->setTextElideMode(Qt::ElideMiddle);
    cboExtractTo->view()->setMinimumWidth(twips(4800));

    cmdPick = new QPushButton(this);
    cmdPick->setObjectName("cmdPick");
    cmdPick->setGeometry(twipRect(2220, 300, 315, 315));
    if (QFontDatabase::families().contains(QStringLiteral("Marlett"))) {
        QFont marlett(QStringLiteral("Marlett"));
        marlett.setPointSize(9);
        cmdPick->setFont(marlett);
        cmdPick->setText(QStringLiteral("4"));
    } else {
        // Without the symbol font, the same right-pointing arrow as a character.
        cmdPick->setText(QString::fromUtf8("\u25B6"));
    }
    cmdPick->setToolTip(tr("Show this folder"));

    chkUseFolderNames = new QCheckBox(tr("&Use Folder Names"), this);
    chkUseFolderNames->setObjectName("chkUseFolderNames");
    chkUseFolderNames->setGeometry(twipRect(60, 780, 2475, 255));

    chkOverwritePrompt = new QCheckBox(tr("&Overwrite Prompt"), this);
    chkOverwritePrompt->setObjectName("chkOverwritePrompt");
    chkOverwritePrompt->setGeometry(twipRect(60, 1020, 2475, 255));

    lblFolder = new QLabel(tr("Folder/Dirs"), this);
    lblFolder->setObjectName("lblFolder");
    lblFolder->setGeometry(twipRect(2640, 60, 2895, 195));

    picCapture = new QFrame(this);
    picCapture->setObjectName("picCapture");
    picCapture->setFrameShape(QFrame::Box);
    picCapture->setGeometry(twipRect(2640, 300, 3255, 3555));

    cmdExtract = new QPushButton(tr("&Extract"), this);
    cmdExtract->setObjectName("cmdExtract");
    cmdExtract->setGeometry(twipRect(6000, 60, 1215, 375));

    cmdCancel = new QPushButton(tr("Cancel"), this);
    cmdCancel->setObjectName("cmdCancel");
    cmdCancel->setGeometry(twipRect(6000, 480, 1215, 375));

    cmdNewFolder = new QPushButton(tr("&New Folder..."), this);
    cmdNewFolder->setObjectName("cmdNewFolder");
    cmdNewFolder->setGeometry(twipRect(6000, 3480, 1215, 375));

    // Enter in the folder field jumps the tree there instead of pressing a button.
    for (QPushButton* b : {cmdPick, cmdExtract, cmdCancel, cmdNewFolder}) {
        b->setAutoDefault(false);
        b->setDefault(false);
    }

    // Keyboard order follows the layout: folder field, arrow, options, tree, buttons.
    setTabOrder(cboExtractTo, cmdPick);
    setTabOrder(cmdPick, chkUseFolderNames);
    setTabOrder(chkUseFolderNames, chkOverwritePrompt);
    setTabOrder(chkOverwritePrompt, cmdExtract);
    setTabOrder(cmdExtract, cmdCancel);
    setTabOrder(cmdCancel, cmdNewFolder);

    connect(cmdExtract, &QPushButton::clicked, this, [this] { cmdExtract_Click(); });
    connect(cmdCancel, &QPushButton::clicked, this, [this] { cmdCancel_Click(); });
    connect(cmdPick, &QPushButton::clicked, this, [this] { cmdPick_Click(); });
    connect(cmdNewFolder, &QPushButton::clicked, this, [this] { cmdNewFolder_Click(); });
    connect(cboExtractTo->lineEdit(), &QLineEdit::returnPressed, this, [this] { cmdPick_Click(); });
    connect(cboExtractTo->lineEdit(), &QLineEdit::textEdited, this, [this] { m_bTyped = true; });
    connect(cboExtractTo, &QComboBox::editTextChanged, this, [this] { showWholePaths(); });
    connect(chkUseFolderNames, &QCheckBox::toggled, this, [this](bool on) { m_bUseFolderNames = on; });
    connect(chkOverwritePrompt, &QCheckBox::toggled, this, [this](bool on) { m_bOverwritePrompt = on; });
}

frmExtractTo::~frmExtractTo() {
    if (m_browse) m_browse->EndCapture();
}

void frmExtractTo::Form_Load() {
    const auto& settings = pw::librarySettings();
    setWindowTitle(qs(settings.formExtractCaption));
    if (!settings.formExtractIcon.empty()) setWindowIcon(loadPicture(settings.formExtractIcon));
    cboExtractTo->clear();
    for (const auto& folder : m_asMRU) {
        cboExtractTo->addItem(qs(folder));
        cboExtractTo->setItemData(cboExtractTo->count() - 1, qs(folder), Qt::ToolTipRole);
    }
    cboExtractTo->setEditText(QStringLiteral("Combo1"));
    m_bTyped = false;
    chkUseFolderNames->setChecked(m_bUseFolderNames);
    chkOverwritePrompt->setChecked(m_bOverwritePrompt);
    m_bLoaded = true;
}

void frmExtractTo::ICaptureBF_CaptureBrowseForFolder(std::shared_ptr<lumwFolderBrowse> browse) {
    m_browse = std::move(browse);
}

QWidget* frmExtractTo::ICaptureBF_CapturehWnd() {
    Form_Load();
    // Owned by the browser window that asked (not merely the newest one), so
    // it stays above that window and goes back to it.
    if (m_opener) {
        winId();
        if (QWindow* own = windowHandle()) {
            if (QWidget* top = m_opener->window(); top && top->windowHandle())
                own->setTransientParent(top->windowHandle());
        }
        QRect o = m_opener->window()->frameGeometry();
        move(o.center() - rect().center());
    }
    show();
    raise();
    activateWindow();
    picCapture->setFrameShape(QFrame::NoFrame);
    return picCapture;
}

void frmExtractTo::ICaptureBF_SelectionChanged(const std::string& sPath) {
    QString text = qs(sPath);
    cboExtractTo->setEditText(text);
    cboExtractTo->lineEdit()->setCursorPosition(static_cast<int>(text.size()));
    m_sSelectedFolder = sPath;
    m_bTyped = false;
}

void frmExtractTo::showWholePaths() { cboExtractTo->setToolTip(cboExtractTo->currentText()); }

void frmExtractTo::ICaptureBF_Unload() { closeDialog(); }

void frmExtractTo::cmdExtract_Click() {
    // A folder typed and not yet applied is the one the user means.
    if (m_bTyped && !applyTypedFolder()) return;
    if (m_sSelectedFolder.empty()) {
        pw::platform().messageBox("Choose a folder to extract to.");
        return;
    }
    // Chosen, then removed meanwhile: as a typed folder that does not exist.
    if (!std::filesystem::is_directory(m_sSelectedFolder) && !offerToCreate(m_sSelectedFolder)) return;
    m_bCancelled = false;
    closeDialog();
}

bool frmExtractTo::offerToCreate(const std::string& path) {
    if (!pw::platform().askYesNo("The folder " + path + " does not exist. Do you want to create it?")) return false;
    std::error_code ec;
    std::filesystem::create_directories(path, ec);
    if (ec || !std::filesystem::is_directory(path)) {
        const pw::Error e = pw::fileError(ec ? ec.value() : ENOTDIR, path, "frmExtractTo");
        pw::platform().messageBox("An error occurred: " + e.description(), pw::MessageStyle::Exclamation);
        return false;
    }
    return true;
}

bool frmExtractTo::applyTypedFolder() {
    const std::string typed = cboExtractTo->currentText().trimmed().toStdString();
    if (typed.empty()) return false;
    // A bare name is taken inside the folder selected in the tree.
    std::filesystem::path folder(typed);
    if (folder.is_relative() && !m_sSelectedFolder.empty()) folder = std::filesystem::path(m_sSelectedFolder) / folder;
    std::string path = folder.lexically_normal().string();
    if (path.size() > 1 && path.back() == '/') path.pop_back();
    if (!std::filesystem::is_directory(path) && !offerToCreate(path)) return false;
    if (m_browse) m_browse->Settings().SelectedFolder(path);
    // The tree reports the selection; without a tree the folder is taken as it is.
    if (m_sSelectedFolder != path) ICaptureBF_SelectionChanged(path);
    m_bTyped = false;
    return true;
}

void frmExtractTo::cmdCancel_Click() { closeDialog(); }

void frmExtractTo::cmdPick_Click() {
    if (!m_browse) return;
    // The field's text before any selection names no folder.
    if (!m_bTyped && cboExtractTo->currentText() == QStringLiteral("Combo1") && cboExtractTo->findText("Combo1") < 0)
        return;
    applyTypedFolder();
}

void frmExtractTo::cmdNewFolder_Click() {
    // No title of its own: the input box shows the library's title.
    std::string answer = pw::platform().inputBox("Please enter the folder name.", "", m_sSelectedFolder);
    if (answer.empty()) return;
    // A bare name is made inside the folder selected in the tree, never in
    // whatever folder the program happens to run in.
    std::filesystem::path folder(answer);
    if (folder.is_relative() && !m_sSelectedFolder.empty()) folder = std::filesystem::path(m_sSelectedFolder) / folder;
    std::string path = folder.lexically_normal().string();
    if (path.size() > 1 && path.back() == '/') path.pop_back();
    if (::mkdir(path.c_str(), 0777) != 0) {
        pw::Error e = pw::fileError(errno, path, pw::errorSource("frmExtractTo"));
        if (errno == EEXIST) e = pw::Error(pw::kPathFileAccess, pw::errorSource("frmExtractTo"), "A file or folder named " + path + " already exists");
        pw::platform().messageBox("An error occurred: " + e.description(), pw::MessageStyle::Exclamation);
        return;
    }
    if (m_browse) m_browse->FolderCreated(path);
}

void frmExtractTo::closeDialog() {
    giveBackToOpener();
    close();
}

void frmExtractTo::giveBackToOpener() {
    if (!m_opener) return;
    QWidget* top = m_opener->window();
    top->setEnabled(true);
    top->activateWindow();
    top->raise();
}

void frmExtractTo::Form_Unload() {
    if (m_browse) {
        auto browse = std::move(m_browse);
        m_browse.reset();
        browse->EndCapture();
    }
    giveBackToOpener();
}

void frmExtractTo::closeEvent(QCloseEvent* event) {
    Form_Unload();
    event->accept();
}

void frmExtractTo::reject() { close(); }
