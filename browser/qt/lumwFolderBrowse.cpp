#include "browser/qt/lumwFolderBrowse.h"

#include "platform/qt/QtSupport.h"

#include <QDir>
#include <functional>
#include <QEventLoop>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QKeyEvent>
#include <QTreeView>
#include <QVBoxLayout>

#include "errors/Error.h"

namespace {

// Escape in the tree ends the browse from the component's side.
class EscapeFilter : public QObject {
public:
    explicit EscapeFilter(std::function<void()> onEscape, QObject* parent)
        : QObject(parent), onEscape_(std::move(onEscape)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
            onEscape_();
            return true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> onEscape_;
};

using pw::qt::qs;

}  // namespace

void lumwBrowseSettings::FoldersOnly(bool b) {
    m_bFoldersOnly = b;
    m_owner->applyFilter();
}

void lumwBrowseSettings::SelectedFolder(const std::string& s) {
    m_sSelectedFolder = s;
    if (m_owner->m_bBrowsing) m_owner->showFolder(s, true);
}

std::shared_ptr<lumwFolderBrowse> lumwFolderBrowse::create() {
    return std::shared_ptr<lumwFolderBrowse>(new lumwFolderBrowse());
}

lumwFolderBrowse::lumwFolderBrowse() = default;

lumwFolderBrowse::~lumwFolderBrowse() {
    m_context.reset();
    delete m_tree.data();
}

void lumwFolderBrowse::applyFilter() {
    if (!m_model) return;
    QDir::Filters f = QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives;
    if (!m_settings.m_bFoldersOnly) f |= QDir::Files;
    m_model->setFilter(f);
}

bool lumwFolderBrowse::showFolder(const std::string& path, bool select) {
    if (!m_tree || !m_model || path.empty()) return false;
    QString clean = QDir::cleanPath(qs(path));
    if (!QFileInfo(clean).isDir()) return false;
    QModelIndex idx = m_model->index(clean);
    if (!idx.isValid()) return false;
    for (QModelIndex p = idx.parent(); p.isValid(); p = p.parent()) m_tree->expand(p);
    m_tree->scrollTo(idx, QAbstractItemView::PositionAtCenter);
    // The folders load in the background: scroll again once they are there.
    m_sPendingScroll = clean;
    if (select) {
        m_tree->selectionModel()->setCurrentIndex(idx, QItemSelectionModel::ClearAndSelect);
    } else {
        m_tree->selectionModel()->setCurrentIndex(idx, QItemSelectionModel::NoUpdate);
    }
    return true;
}

void lumwFolderBrowse::BrowseForFolderCaptured(std::shared_ptr<ICaptureBF>& host) {
    if (!host) pw::raise(pw::kInvalidProcedureCall, pw::errorSource("lumwFolderBrowse"), "No host for the folder browser");
    if (m_bBrowsing) pw::raise(pw::kInvalidProcedureCall, pw::errorSource("lumwFolderBrowse"), "A browse is already running");
    // Keeps this object alive for the whole run, whatever the host releases.
    auto self = shared_from_this();
    m_host = host.get();
    m_bBrowsing = true;
    m_bEnded = false;
    m_context = std::make_unique<QObject>();
    m_loop = std::make_unique<QEventLoop>();

    struct Cleanup {
        lumwFolderBrowse* b;
        ~Cleanup() {
            b->m_context.reset();
            delete b->m_tree.data();
            b->m_host = nullptr;
            b->m_bBrowsing = false;
            b->m_loop.reset();
        }
    } cleanup{this};

    host->ICaptureBF_CaptureBrowseForFolder(self);
    if (m_bEnded) return;
    QWidget* window = host->ICaptureBF_CapturehWnd();
    if (m_bEnded) return;
    if (!window) {
        finish(true);
        return;
    }

    auto* tree = new QTreeView(window);
    tree->setObjectName("lumwFolderTree");
    auto* model = new QFileSystemModel(tree);
    model->setReadOnly(true);
    m_tree = tree;
    m_model = model;
    applyFilter();
    QString root = m_settings.m_sRootFolder.empty() ? QStringLiteral("/") : QDir::cleanPath(qs(m_settings.m_sRootFolder));
    model->setRootPath(root);
    tree->setModel(model);
    tree->setRootIndex(model->index(root));
    for (int c = 1; c < model->columnCount(); ++c) tree->hideColumn(c);
    tree->header()->hide();
    tree->setSelectionMode(QAbstractItemView::SingleSelection);
    tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tree->setUniformRowHeights(true);

    if (!window->layout()) {
        auto* layout = new QVBoxLayout(window);
        layout->setContentsMargins(0, 0, 0, 0);
    }
    window->layout()->addWidget(tree);
    tree->show();
    tree->installEventFilter(new EscapeFilter([this] { finish(true); }, m_context.get()));

    QObject::connect(tree->selectionModel(), &QItemSelectionModel::selectionChanged, m_context.get(),
                     [this](const QItemSelection& selected, const QItemSelection&) {
                         if (m_bEnded || !m_host || !m_model || selected.indexes().isEmpty()) return;
                         QModelIndex idx = selected.indexes().first();
                         if (!m_model->isDir(idx)) return;
                         // Another folder chosen: stop keeping the requested one in view.
                         if (m_model->filePath(idx) != m_sPendingScroll) m_sPendingScroll.clear();
                         m_host->ICaptureBF_SelectionChanged(m_model->filePath(idx).toStdString());
                     });
    QObject::connect(model, &QFileSystemModel::directoryLoaded, m_context.get(), [this](const QString& dir) {
        if (m_sPendingScroll.isEmpty() || !m_tree || !m_model) return;
        // The folders above the shown one load in any order, and each one
        // that arrives moves the rows below it: scroll again for every one of
        // them, not only for the last.
        const QString prefix = dir.endsWith(QLatin1Char('/')) ? dir : dir + QLatin1Char('/');
        if (!m_sPendingScroll.startsWith(prefix)) return;
        QModelIndex idx = m_model->index(m_sPendingScroll);
        if (idx.isValid()) m_tree->scrollTo(idx, QAbstractItemView::PositionAtCenter);
    });
    // The model sorts a loaded folder a moment later, which moves the rows again.
    QObject::connect(model, &QAbstractItemModel::layoutChanged, m_context.get(), [this] {
        if (m_sPendingScroll.isEmpty() || !m_tree || !m_model) return;
        QModelIndex idx = m_model->index(m_sPendingScroll);
        if (idx.isValid()) m_tree->scrollTo(idx, QAbstractItemView::PositionAtCenter);
    });
    // A host window that goes away ends the browse; the host is going away
    // too, so it is not called any more.
    QObject::connect(window, &QObject::destroyed, m_context.get(), [this] { finish(false); });

    // The starting folder is shown but not chosen: nothing is reported until
    // the user (or a request) selects a folder.
    showFolder(m_settings.m_sInitialFolder, false);
    // A folder the opener asked to have selected is chosen from the start
    // (and reported like any other selection).
    if (!m_settings.m_sSelectedFolder.empty()) showFolder(m_settings.m_sSelectedFolder, true);
    tree->setFocus();

    if (!m_bEnded) m_loop->exec();
}

void lumwFolderBrowse::finish(bool reportUnload) {
    if (!m_bBrowsing || m_bEnded) return;
    m_bEnded = true;
    if (m_loop) m_loop->quit();
    if (reportUnload && m_host) m_host->ICaptureBF_Unload();
}

void lumwFolderBrowse::EndCapture() { finish(false); }

void lumwFolderBrowse::FolderCreated(const std::string& sPath) {
    if (!m_bBrowsing || m_bEnded) return;
    showFolder(sPath, true);
}
