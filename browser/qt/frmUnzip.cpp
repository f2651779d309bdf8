#include "browser/qt/frmUnzip.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLocale>
#include <QMimeData>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QResizeEvent>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTreeView>
#include <QUrl>
#include <algorithm>
#include <string_view>
#include <vector>

#include "browser/mFileIcons.h"
#include "browser/qt/frmExtractTo.h"
#include "browser/qt/frmProgress.h"
#include "browser/qt/frmUnzipList.h"
#include "browser/qt/lumwFolderBrowse.h"
#include "dialogs/GCommonDialog.h"
#include "platform/FailureTrap.h"
#include "platform/LibraryLoader.h"
#include "platform/LibrarySettings.h"
#include "platform/OleDate.h"
#include "platform/Platform.h"
#include "platform/qt/QtSupport.h"
#include "unzip/cUnzip.h"

using pw::qt::qs;
using pw::qt::ss;
using pw::qt::twips;

namespace {

// List columns: header widths in pixels as designed.
constexpr int kColumnWidths[frmUnzipListModel::ColumnCount] = {160, 32, 96, 32, 160};

// The busy pointer for as long as the object lives.
struct BusyPointer {
    BusyPointer() { pw::platform().setMousePointer(pw::MousePointer::Wait); }
    ~BusyPointer() { pw::platform().setMousePointer(pw::MousePointer::Default); }
};

}  // namespace

frmUnzip::frmUnzip() : QMainWindow(nullptr) {
    setObjectName("frmUnzip");
    setFont(pw::qt::dialogFont());

    m_client = new QWidget(this);
    m_client->setObjectName("frmUnzipClient");
    setCentralWidget(m_client);

    m_cmdOpen = pw::qt::makeButton(m_client, "cmdOpen", "&Open...", twips(60), twips(60), twips(1155), twips(315));
    m_cmdExtract =
        pw::qt::makeButton(m_client, "cmdExtract", "&Extract...", twips(1260), twips(60), twips(1155), twips(315));
    m_cmdAll = pw::qt::makeButton(m_client, "cmdAll", "&Select All", twips(2460), twips(60), twips(1155), twips(315));
    m_cmdInvert = pw::qt::makeButton(m_client, "cmdInvert", "&Invert", twips(3660), twips(60), twips(1155), twips(315));
    for (QPushButton* b : {m_cmdOpen, m_cmdExtract, m_cmdAll, m_cmdInvert}) b->setAutoDefault(false);
    m_cmdExtract->setEnabled(false);
    m_cmdAll->setEnabled(false);
    m_cmdInvert->setEnabled(false);

    m_lvwZip = new QTreeView(m_client);
    m_lvwZip->setObjectName("lvwZip");
    m_lvwZip->setGeometry(twips(60), twips(420), twips(7575), twips(5235));
    m_lvwZip->setRootIsDecorated(false);
    m_lvwZip->setItemsExpandable(false);
    m_lvwZip->setUniformRowHeights(true);
    m_lvwZip->setAllColumnsShowFocus(true);
    m_lvwZip->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_lvwZip->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_lvwZip->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_lvwZip->setSortingEnabled(false);
    m_lvwZip->setIconSize(QSize(16, 16));
    m_lvwZip->setTextElideMode(Qt::ElideRight);
    m_lvwZip->header()->setStretchLastSection(false);
    m_lvwZip->header()->setSectionsMovable(false);
    // The window sorts on header clicks itself, to give the third click
    // (back to directory order) that the view's own sorting lacks.
    m_lvwZip->header()->setSectionsClickable(true);
    m_lvwZip->header()->setSortIndicatorShown(false);
    connect(m_lvwZip->header(), &QHeaderView::sectionClicked, this, [this](int c) { lvwZip_ColumnClick(c); });
    connect(m_lvwZip, &QAbstractItemView::activated, this, [this](const QModelIndex& i) { lvwZip_Activated(i.row()); });
    m_lvwZip->setDragEnabled(true);
    m_lvwZip->setDragDropMode(QAbstractItemView::DragOnly);
    m_lvwZip->setDefaultDropAction(Qt::CopyAction);
    setAcceptDrops(true);

    m_sbrMain = new QStatusBar(m_client);
    m_sbrMain->setObjectName("sbrMain");
    m_sbrMain->setSizeGripEnabled(true);
    m_sbrPanel = new QLabel(m_sbrMain);
    m_sbrPanel->setObjectName("sbrPanel1");
    m_sbrMain->addWidget(m_sbrPanel, 1);
    m_sbrMain->setGeometry(0, twips(5685), twips(8685), twips(255));

    // Keyboard order: the list, then the buttons left to right.
    setTabOrder(m_lvwZip, m_cmdOpen);
    setTabOrder(m_cmdOpen, m_cmdExtract);
    setTabOrder(m_cmdExtract, m_cmdAll);
    setTabOrder(m_cmdAll, m_cmdInvert);

    // Menus: indexed arrays whose one handler receives the index.
    m_mnuFileTOP = menuBar()->addMenu("&File");
    m_mnuFileTOP->setObjectName("mnuFileTOP");
    const char* fileCaptions[9] = {"&Open...", "Ex&tract...", "-", "", "", "", "", "-", "&Close"};
    for (int i = 0; i < 9; ++i) {
        // A "-" caption makes the item a separator line (a separator with a
        // text would be drawn as a section title showing the dash).
        const bool separator = std::string_view(fileCaptions[i]) == "-";
        auto* a = new QAction(separator ? QString() : QString(fileCaptions[i]), this);
        a->setObjectName(QStringLiteral("mnuFile%1").arg(i));
        a->setSeparator(separator);
        if (i >= 3 && i <= 6) a->setCheckable(true);
        m_mnuFileTOP->addAction(a);
        connect(a, &QAction::triggered, this, [this, i] { mnuFile_Click(i); });
        m_mnuFile[static_cast<std::size_t>(i)] = a;
    }
    m_mnuFile[0]->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    m_mnuFile[1]->setShortcut(QKeySequence(Qt::Key_F5));
    m_mnuFile[1]->setEnabled(false);
    for (int i = 2; i <= 6; ++i) m_mnuFile[static_cast<std::size_t>(i)]->setVisible(false);

    m_mnuEditTOP = menuBar()->addMenu("&Edit");
    m_mnuEditTOP->setObjectName("mnuEditTOP");
    const char* editCaptions[2] = {"&Select All", "&Invert Selection"};
    for (int i = 0; i < 2; ++i) {
        auto* a = new QAction(editCaptions[i], this);
        a->setObjectName(QStringLiteral("mnuEdit%1").arg(i));
        a->setEnabled(false);
        m_mnuEditTOP->addAction(a);
        connect(a, &QAction::triggered, this, [this, i] { mnuEdit_Click(i); });
        m_mnuEdit[static_cast<std::size_t>(i)] = a;
    }
    m_mnuEdit[0]->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_A));

    m_mnuHelpTOP = menuBar()->addMenu("&Help");
    m_mnuHelpTOP->setObjectName("mnuHelpTOP");
    m_mnuHelp[0] = new QAction("&About...", this);
    m_mnuHelp[0]->setObjectName("mnuHelp0");
    m_mnuHelpTOP->addAction(m_mnuHelp[0]);
    connect(m_mnuHelp[0], &QAction::triggered, this, [this] { mnuHelp_Click(0); });

    connect(m_cmdOpen, &QPushButton::clicked, this, [this] { cmdOpen_Click(); });
    connect(m_cmdExtract, &QPushButton::clicked, this, [this] { cmdExtract_Click(); });
    connect(m_cmdAll, &QPushButton::clicked, this, [this] { cmdAll_Click(); });
    connect(m_cmdInvert, &QPushButton::clicked, this, [this] { cmdInvert_Click(); });

    // Client area 8685 x 5940 twips; the menu bar sits above it.
    m_client->installEventFilter(this);
    resize(twips(8685), twips(5940) + menuBar()->sizeHint().height());
}

frmUnzip::~frmUnzip() {
    // The list asks its model for icons from m_ilsIcons16, a member that goes
    // before the child widgets would: the list and its rows go first.
    delete m_lvwZip;
    m_lvwZip = nullptr;
    delete m_model;
    m_model = nullptr;
    auto& settings = pw::librarySettings();
    if (settings.newestBrowserWindow == static_cast<void*>(this)) settings.newestBrowserWindow = nullptr;
    if (m_cUnzip) {
        m_cUnzip->Cancel = nullptr;
        m_cUnzip->OverWritePrompt = nullptr;
        m_cUnzip->PasswordRequest = nullptr;
        m_cUnzip->Progress = nullptr;
    }
}

void frmUnzip::Form_Load() {
    // 1. The list's small icons come from the window's image list.
    m_model = new frmUnzipListModel([this](const QString& key) { return m_ilsIcons16.icon(key); }, this);
    m_model->setDragFiles([this](const std::vector<std::int32_t>& entries) { return DragFiles(entries); });
    m_lvwZip->setModel(m_model);
    // 2. The five columns. A column never ends up narrower than its caption,
    // nor the date column than a date in the user's format.
    QHeaderView* header = m_lvwZip->header();
    header->setSectionResizeMode(QHeaderView::Interactive);
    const QFontMetrics fm(header->font());
    const QFontMetrics rowFm(m_lvwZip->font());
    for (int c = 0; c < frmUnzipListModel::ColumnCount; ++c) {
        int needed = fm.horizontalAdvance(m_model->headerData(c, Qt::Horizontal).toString()) + 16;
        if (c == frmUnzipListModel::ColDate)
            needed = std::max(needed,
                              rowFm.horizontalAdvance(frmUnzipListModel::formatDate(pw::makeOleDate(2000, 12, 28, 23, 58))) + 12);
        header->resizeSection(c, std::max(kColumnWidths[c], needed));
    }
    // 3. The unzip object, the two recent lists and the settings key.
    m_cUnzip = std::make_shared<cUnzip>();
    m_cUnzip->Cancel = [this](const std::string& sMsg, bool& bCancel) { m_cUnzip_Cancel(sMsg, bCancel); };
    m_cUnzip->OverWritePrompt = [this](const std::string& sFIle, std::int32_t& eResponse) {
        m_cUnzip_OverWritePrompt(sFIle, eResponse);
    };
    m_cUnzip->PasswordRequest = [this](std::string& sPassword, bool& bCancel) {
        m_cUnzip_PasswordRequest(sPassword, bCancel);
    };
    m_cUnzip->Progress = [this](std::int32_t lCount, const std::string& sMsg) { m_cUnzip_Progress(lCount, sMsg); };
    m_settings = std::make_unique<BrowserSettings>(*this);
    // 4. Settings from the machine, or from the user when the machine has no complete set.
    m_settings->LoadAtStart();
    // 5., 6. The host's caption (also when empty) and icon.
    const auto& library = pw::librarySettings();
    setWindowTitle(qs(library.formUnzipCaption));
    pw::qt::applyWindowIcon(this, library.formUnzipIcon);
    // 7. The handed-over archive.
    if (!library.browserArchivePath.empty()) OpenZip(library.browserArchivePath);
}

frmUnzip* frmUnzip::OpenNew() {
    auto* w = new frmUnzip();
    w->setAttribute(Qt::WA_DeleteOnClose);
    try {
        w->Form_Load();
    } catch (...) {
        delete w;
        throw;
    }
    pw::librarySettings().newestBrowserWindow = w;
    w->show();
    pw::qt::centreOnScreen(w);
    return w;
}

template <class Body>
void frmUnzip::guarded(Body&& body) {
    try {
        body();
    } catch (...) {
        pw::showFailure(std::current_exception());
    }
}

// --- Settings host ---

bool frmUnzip::UseFolderNames() const { return m_cUnzip && m_cUnzip->UseFolderNames(); }
void frmUnzip::UseFolderNames(bool value) { m_cUnzip->UseFolderNames(value); }
bool frmUnzip::PromptToOverwrite() const { return m_cUnzip && m_cUnzip->PromptToOverwrite(); }
void frmUnzip::PromptToOverwrite(bool value) { m_cUnzip->PromptToOverwrite(value); }
std::int32_t frmUnzip::FileCount() const { return m_cUnzip ? m_cUnzip->FileCount() : 0; }

void frmUnzip::setMenuVisible(int index, bool visible) { mnuFile(index)->setVisible(visible); }
void frmUnzip::setMenuCaption(int index, const std::string& caption) { mnuFile(index)->setText(qs(caption)); }
void frmUnzip::setMenuTag(int index, const std::string& tag) { mnuFile(index)->setData(qs(tag)); }
std::string frmUnzip::menuTag(int index) const { return ss(mnuFile(index)->data().toString()); }
void frmUnzip::setMenuChecked(int index, bool checked) { mnuFile(index)->setChecked(checked); }

// --- Listing ---

void frmUnzip::OpenZip(const std::string& path) {
    BusyPointer busy;
    m_model->clear();
    ++m_nListing;
    m_lvwZip->header()->setSortIndicatorShown(false);
    m_cUnzip->ZipFile(path);
    m_cUnzip->Directory();
    if (m_cUnzip->FileCount() >= 1) {
        m_cFileMRU().Add(path);
        m_settings->ShowMRU();
    }
    EnableControls();

    const std::int32_t count = m_cUnzip->FileCount();
    std::vector<frmUnzipListModel::Row> rows;
    rows.reserve(static_cast<std::size_t>(count));
    // The rows made before a failing entry are shown; the failure goes on up.
    struct Commit {
        frmUnzip* w;
        std::vector<frmUnzipListModel::Row>& rows;
        ~Commit() {
            w->m_model->append(std::move(rows));
            w->FitNumberColumns();
        }
    } commit{this, rows};
    for (std::int32_t i = 1; i <= count; ++i) {
        frmUnzipListModel::Row r;
        r.index = i;
        const std::string name = m_cUnzip->FileName(i);
        r.iconKey = qs(mFileIcons::GetIconKey(name, m_ilsIcons16, "DEFAULT"));
        r.text = qs(name);
        if (m_cUnzip->FileEncrypted(i)) r.text += QLatin1Char('+');
        r.size = static_cast<std::int64_t>(m_cUnzip->FileSize64(i));
        r.date = m_cUnzip->FileDate(i);
        r.packed = static_cast<std::int64_t>(m_cUnzip->FilePackedSize64(i));
        r.folder = qs(m_cUnzip->FileDirectory(i));
        rows.push_back(std::move(r));
    }
    ShowArchiveSummary();
}

void frmUnzip::ShowArchiveSummary() {
    const std::int32_t count = m_cUnzip->FileCount();
    if (count < 1) return;
    std::int64_t total = 0;
    for (const UnzipEntry& e : m_cUnzip->Entries()) total += static_cast<std::int64_t>(e.size);
    const QLocale locale;
    m_sbrPanel->setText(QString("%1 %2, %3 %4")
                            .arg(locale.toString(count), count == 1 ? "file" : "files",
                                 locale.toString(static_cast<qlonglong>(total)), total == 1 ? "byte" : "bytes"));
}

void frmUnzip::FitNumberColumns() {
    // The lowest and highest value of each number column: the longest text is one of them.
    std::int64_t low[2] = {0, 0}, high[2] = {0, 0};
    for (int r = 0; r < m_model->rowCount(); ++r) {
        const frmUnzipListModel::Row& row = m_model->row(r);
        const std::int64_t v[2] = {row.size, row.packed};
        for (int k = 0; k < 2; ++k) {
            low[k] = std::min(low[k], v[k]);
            high[k] = std::max(high[k], v[k]);
        }
    }
    const QFontMetrics fm(m_lvwZip->font());
    QHeaderView* header = m_lvwZip->header();
    const int columns[2] = {frmUnzipListModel::ColSize, frmUnzipListModel::ColPacked};
    for (int k = 0; k < 2; ++k) {
        QString widest = QString::number(high[k]);
        if (QString::number(low[k]).size() > widest.size()) widest = QString::number(low[k]);
        // Every digit as wide as the widest one, so no number is ever cut.
        widest.replace(QRegularExpression("[0-9]"), "8");
        const int needed = fm.horizontalAdvance(widest) + 12;
        if (header->sectionSize(columns[k]) < needed) header->resizeSection(columns[k], needed);
    }
}

void frmUnzip::EnableControls() {
    const bool e = m_cUnzip->FileCount() >= 1;
    m_cmdExtract->setEnabled(e);
    m_mnuFile[1]->setEnabled(e);
    m_cmdAll->setEnabled(e);
    m_mnuEdit[0]->setEnabled(e);
    m_cmdInvert->setEnabled(e);
    m_mnuEdit[1]->setEnabled(e);
}

// --- Commands ---

void frmUnzip::cmdOpen_Click() {
    guarded([&] {
        GCommonDialog dialog;
        std::string fileName, fileTitle;
        bool readOnly = false;
        std::string filter = "Zip Files (*.ZIP)|*.ZIP|All Files (*.*)|*.*";
        std::int32_t filterIndex = 1;
        std::int32_t flags = 0;
        // The browser only reads archives: no "open as read-only" box.
        if (dialog.VBGetOpenFileName(fileName, fileTitle, true, false, readOnly, true, filter, filterIndex, "",
                                     "Choose Zip File to Open", "ZIP", pw::qt::handleOf(this), flags, false,
                                     nullptr))
            OpenZip(fileName);
    });
}

void frmUnzip::cmdAll_Click() {
    if (m_model->rowCount() == 0) return;
    QItemSelection all(m_model->index(0, 0), m_model->index(m_model->rowCount() - 1, m_model->columnCount() - 1));
    m_lvwZip->selectionModel()->select(all, QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

void frmUnzip::cmdInvert_Click() {
    if (m_model->rowCount() == 0) return;
    QItemSelection all(m_model->index(0, 0), m_model->index(m_model->rowCount() - 1, m_model->columnCount() - 1));
    m_lvwZip->selectionModel()->select(all, QItemSelectionModel::Toggle | QItemSelectionModel::Rows);
}

void frmUnzip::cmdExtract_Click() {
    guarded([&] {
        // 1. Each item's selection goes to the entry its key names.
        const int rows = m_model->rowCount();
        std::vector<char> selected(static_cast<std::size_t>(rows), 0);
        for (const QItemSelectionRange& range : m_lvwZip->selectionModel()->selection())
            for (int r = range.top(); r <= range.bottom(); ++r) selected[static_cast<std::size_t>(r)] = 1;
        bool any = false;
        for (int r = 0; r < rows; ++r) {
            const std::int32_t i = m_model->key(r).mid(4).toInt();
            m_cUnzip->FileSelected(i, selected[static_cast<std::size_t>(r)] != 0);
            any = any || selected[static_cast<std::size_t>(r)];
        }
        // 2. Nothing selected: everything.
        if (!any)
            for (std::int32_t i = 1; i <= m_cUnzip->FileCount(); ++i) m_cUnzip->FileSelected(i, true);
        // 3., 4.
        const std::string folder = GetExtractFolder();
        if (folder.empty()) return;
        m_cUnzip->UnzipFolder(folder);
        RunExtraction(true);
    });
}

bool frmUnzip::RunExtraction(bool withProgress) {
    // What the run is asked to write, for the progress window's totals.
    m_tally = RunTally{};
    std::int32_t files = 0;
    std::int64_t bytes = 0;
    for (const UnzipEntry& e : m_cUnzip->Entries()) {
        if (!e.selected) continue;
        ++files;
        bytes += static_cast<std::int64_t>(e.size);
        m_tally.byPath[cUnzip::EntryPath(m_cUnzip->FolderText(e.folder), e.name)] = static_cast<std::int64_t>(e.size);
        m_tally.byName[e.name] = static_cast<std::int64_t>(e.size);
    }
    if (withProgress) {
        m_progress = std::make_unique<frmProgress>(this);
        m_progress->Start(files, bytes);
        m_progress->show();
        pw::qt::centreOnScreen(m_progress.get());
        QApplication::processEvents();
    }
    struct CloseProgress {
        frmUnzip* w;
        ~CloseProgress() { w->m_progress.reset(); }
    } closeProgress{this};
    const bool ok = m_cUnzip->Unzip();
    m_progress.reset();
    ShowUnzipResult(ok);
    return ok;
}

void frmUnzip::ShowUnzipResult(bool succeeded) {
    // Every extraction ends here: what did not come out and why, or how many did.
    if (succeeded)
        m_sbrPanel->setText(qs(UnzipSuccessText(*m_cUnzip)));
    else
        pw::platform().messageBox(UnzipFailureMessage(m_cUnzip->ZipFile(), m_cUnzip->FailureText()),
                                  pw::MessageStyle::Plain, pw::kLibraryTitle);
}

void frmUnzip::lvwZip_ColumnClick(int column) {
    // Up, down, then the archive's own order again.
    if (m_model->sortColumn() != column)
        m_model->sort(column, Qt::AscendingOrder);
    else if (m_model->sortOrder() == Qt::AscendingOrder)
        m_model->sort(column, Qt::DescendingOrder);
    else
        m_model->sort(-1);
    QHeaderView* header = m_lvwZip->header();
    header->setSortIndicatorShown(m_model->sortColumn() >= 0);
    if (m_model->sortColumn() >= 0) header->setSortIndicator(column, m_model->sortOrder());
}

std::string frmUnzip::PrivateFolder() const {
    return m_privateFolder ? ss(m_privateFolder->path()) : std::string();
}

std::vector<std::string> frmUnzip::ExtractToPrivateFolder(const std::vector<std::int32_t>& entries,
                                                          bool withProgress) {
    if (!m_privateFolder) {
        // The runtime folder is the user's own; the temporary folder otherwise.
        QString base = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
        if (base.isEmpty() || !QFileInfo(base).isDir()) base = QDir::tempPath();
        // QTemporaryDir makes the folder with mode 0700: nobody else reads what is opened.
        auto folder = std::make_unique<QTemporaryDir>(base + "/packwell-open-XXXXXX");
        if (!folder->isValid())
            throw pw::Error(pw::kPathFileAccess, "frmUnzip", "Cannot make a private folder in " + ss(base));
        m_privateFolder = std::move(folder);
    }
    // Each archive opened gets its own place, so equal entry paths of two archives never meet.
    const std::string place = ss(m_privateFolder->path()) + "/" + std::to_string(m_nListing);
    std::vector<std::int32_t> wanted;
    for (std::int32_t i : entries) {
        const std::string file = place + "/" + cUnzip::EntryPath(m_cUnzip->FileDirectory(i), m_cUnzip->FileName(i));
        if (!QFileInfo::exists(qs(file))) wanted.push_back(i);
    }
    if (!wanted.empty()) {
        // The user's selection and options are the user's: only borrowed for this run.
        struct Keep {
            cUnzip& u;
            std::vector<bool> selected;
            std::string folder = u.UnzipFolder();
            bool folders = u.UseFolderNames(), prompt = u.PromptToOverwrite(), overwrite = u.OverwriteExisting();
            explicit Keep(cUnzip& z) : u(z) {
                for (std::int32_t i = 1; i <= u.FileCount(); ++i) selected.push_back(u.FileSelected(i));
            }
            ~Keep() {
                for (std::int32_t i = 1; i <= u.FileCount(); ++i) u.FileSelected(i, selected[static_cast<std::size_t>(i - 1)]);
                u.UnzipFolder(folder);
                u.UseFolderNames(folders);
                u.PromptToOverwrite(prompt);
                u.OverwriteExisting(overwrite);
            }
        } keep(*m_cUnzip);
        QDir().mkpath(qs(place));
        for (std::int32_t i = 1; i <= m_cUnzip->FileCount(); ++i) m_cUnzip->FileSelected(i, false);
        for (std::int32_t i : wanted) m_cUnzip->FileSelected(i, true);
        m_cUnzip->UnzipFolder(place);
        m_cUnzip->UseFolderNames(true);
        m_cUnzip->PromptToOverwrite(false);
        m_cUnzip->OverwriteExisting(false);
        RunExtraction(withProgress);
    }
    std::vector<std::string> files;
    for (std::int32_t i : entries) {
        const std::string file = place + "/" + cUnzip::EntryPath(m_cUnzip->FileDirectory(i), m_cUnzip->FileName(i));
        if (QFileInfo(qs(file)).isFile()) files.push_back(file);
    }
    return files;
}

void frmUnzip::lvwZip_Activated(int row) {
    if (row < 0 || row >= m_model->rowCount()) return;
    guarded([&] {
        const std::int32_t i = m_model->row(row).index;
        const std::vector<std::string> files = ExtractToPrivateFolder({i}, true);
        if (files.empty()) return;  // the run's result has told why
        if (!pw::platform().openDocument(files.front()))
            pw::platform().messageBox("No application could be started to open " + files.front() + ".",
                                      pw::MessageStyle::Plain, pw::kLibraryTitle);
    });
}

QList<QUrl> frmUnzip::DragFiles(const std::vector<std::int32_t>& entries) {
    QList<QUrl> urls;
    guarded([&] {
        BusyPointer busy;
        for (const std::string& f : ExtractToPrivateFolder(entries, false)) urls.append(QUrl::fromLocalFile(qs(f)));
    });
    return urls;
}

std::string frmUnzip::DroppedArchive(const QMimeData* data) {
    if (!data || !data->hasUrls()) return {};
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile()) continue;
        const QString path = url.toLocalFile();
        const QFileInfo fi(path);
        if (!fi.isFile()) return {};
        if (fi.suffix().compare("zip", Qt::CaseInsensitive) == 0) return ss(path);
        // A zip archive under another name starts with a local header or an
        // empty archive's end record.
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly)) return {};
        const QByteArray head = f.read(4);
        return head == QByteArray("PK\x03\x04", 4) || head == QByteArray("PK\x05\x06", 4) ? ss(path) : std::string();
    }
    return {};
}

void frmUnzip::dragEnterEvent(QDragEnterEvent* event) {
    // The window's own rows dragged back onto it are not an archive to open.
    if (event->source() != m_lvwZip && !DroppedArchive(event->mimeData()).empty()) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void frmUnzip::dragMoveEvent(QDragMoveEvent* event) {
    if (event->source() != m_lvwZip && !DroppedArchive(event->mimeData()).empty()) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void frmUnzip::dropEvent(QDropEvent* event) {
    const std::string path = event->source() == m_lvwZip ? std::string() : DroppedArchive(event->mimeData());
    if (path.empty()) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    guarded([&] { OpenZip(path); });
}

std::string frmUnzip::GetExtractFolder() {
    auto dialog = std::make_shared<frmExtractTo>(this);
    setEnabled(false);
    // Whatever happens in the dialog, this window is usable again afterwards.
    struct Reenable {
        frmUnzip* w;
        ~Reenable() { w->setEnabled(true); }
    } reenable{this};
    dialog->LoadMRU(m_cExtractMRU());
    dialog->OverwritePrompt(m_cUnzip->PromptToOverwrite());
    dialog->UseFolderNames(m_cUnzip->UseFolderNames());

    auto browse = lumwFolderBrowse::create();
    lumwBrowseSettings& settings = browse->Settings();
    settings.hWndOwner(this);
    // The most recent folder, or the user's home: where the user last put
    // things, never the library's own install folder. It starts selected,
    // so Extract right away goes there.
    std::string start = m_cExtractMRU().Count() > 0 ? m_cExtractMRU().Item(1) : std::string();
    if (start.empty() || !QFileInfo(qs(start)).isDir()) start = ss(QDir::homePath());
    settings.InitialFolder(start);
    settings.SelectedFolder(start);
    settings.FoldersOnly(true);
    settings.RootFolder("");
    std::shared_ptr<ICaptureBF> host = dialog;
    try {
        browse->BrowseForFolderCaptured(host);
    } catch (...) {
        dialog->close();
        throw;
    }

    if (dialog->Cancelled()) return {};
    m_cExtractMRU().Add(dialog->SelectedFolder());
    m_cUnzip->PromptToOverwrite(dialog->OverwritePrompt());
    m_cUnzip->UseFolderNames(dialog->UseFolderNames());
    return dialog->SelectedFolder();
}

void frmUnzip::mnuFile_Click(int Index) {
    switch (Index) {
        case 0: cmdOpen_Click(); break;
        case 1: cmdExtract_Click(); break;
        case 8: close(); break;
        default: guarded([&] { m_settings->RecentEntryClick(Index); }); break;
    }
}

void frmUnzip::mnuEdit_Click(int Index) {
    if (Index == 0) cmdAll_Click();
    if (Index == 1) cmdInvert_Click();
}

std::string frmUnzip::AboutText() {
    return std::string("PackwellDEMO archive browser, version ") + PACKWELL_VERSION +
           "\n\nOpen a zip archive, select the entries you want and extract them into a folder of "
           "your choice.\n\nhttps://packwell.example.org";
}

void frmUnzip::mnuHelp_Click(int Index) {
    if (Index == 0) pw::platform().messageBox(AboutText(), pw::MessageStyle::Plain, pw::kLibraryTitle);
}

// --- Events of the unzip object ---

void frmUnzip::m_cUnzip_Cancel(const std::string& sMsg, bool& bCancel) {
    // Called before each entry of an extraction: the one before it is done.
    if (!m_progress) return;
    if (m_tally.inEntry) {
        ++m_tally.files;
        m_tally.bytes += m_tally.entrySize;
    }
    const std::int64_t* size = nullptr;
    if (auto p = m_tally.byPath.find(sMsg); p != m_tally.byPath.end()) {
        size = &p->second;
    } else {
        const std::size_t slash = sMsg.rfind('/');
        if (auto n = m_tally.byName.find(slash == std::string::npos ? sMsg : sMsg.substr(slash + 1));
            n != m_tally.byName.end())
            size = &n->second;
    }
    // Folders the engine passes on the way are no files of the count.
    m_tally.inEntry = size != nullptr;
    m_tally.entrySize = size ? *size : 0;
    m_progress->ShowEntry(qs(sMsg), m_tally.files, m_tally.bytes);
    m_progress->Pump();
    // Stopping before this entry: the ones written stay, this one is never begun.
    if (m_progress->CancelRequested()) bCancel = true;
}

pw::WindowHandle frmUnzip::promptOwner() {
    return pw::qt::handleOf(m_progress ? static_cast<QWidget*>(m_progress.get()) : this);
}

void frmUnzip::m_cUnzip_OverWritePrompt(const std::string& sFIle, std::int32_t& eResponse) {
    const pw::OverwriteAnswer a = pw::platform().overwritePrompt(OverwriteQuestion(sFIle), promptOwner());
    eResponse = OverwriteResponse(a.response, a.applyToAll);
}

void frmUnzip::m_cUnzip_PasswordRequest(std::string& sPassword, bool& bCancel) {
    const pw::PasswordAnswer a = pw::platform().passwordPrompt(promptOwner());
    if (!a.cancelled)
        sPassword = a.password;
    else
        bCancel = true;
}

void frmUnzip::m_cUnzip_Progress(std::int32_t, const std::string& sMsg) {
    m_sbrPanel->setText(qs(sMsg));
    // The engine runs on this thread, so no paint happens until it returns:
    // paint the message now, at most ten times a second so that an archive
    // of many small entries is not slowed down by the painting.
    if (m_sbrPanel->isVisible() && (!m_sbrPainted.isValid() || m_sbrPainted.elapsed() >= 100)) {
        m_sbrPanel->repaint();
        m_sbrPainted.start();
    }
}

QString frmUnzip::statusText() const { return m_sbrPanel->text(); }

// --- Layout and closing ---

bool frmUnzip::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_client && event->type() == QEvent::Resize) Form_Resize();
    return QMainWindow::eventFilter(watched, event);
}

void frmUnzip::Form_Resize() {
    const int w = m_client->width(), h = m_client->height();
    const int sbrHeight = m_sbrMain->height();
    m_sbrMain->setGeometry(0, h - sbrHeight, w, sbrHeight);
    const int left = m_lvwZip->x(), top = m_lvwZip->y();
    const int width = w - 2 * left;
    const int height = h - top - sbrHeight - 4;
    // Too small (minimised, say): the list keeps its size.
    if (width < 0 || height < 0) return;
    m_lvwZip->setGeometry(left, top, width, height);
}

void frmUnzip::Form_QueryUnload() {
    if (m_settings) m_settings->SaveAtClose();
    // What was opened from the archive goes with the window.
    m_privateFolder.reset();
}

void frmUnzip::closeEvent(QCloseEvent* event) {
    Form_QueryUnload();
    event->accept();
}
