// frmUnzip: the archive browser window. It lists the entries of one zip
// archive with an icon per file type, opens other archives (by dialog or
// from the recent archives of its File menu), selects entries and extracts
// the selection (or everything) into a folder chosen in the extract-to
// dialog, answering the unzip object's overwrite and password questions on
// the way, with a progress window that can stop the run. Entries open with
// the desktop's application for their type, and drag out to a file manager,
// through a private folder of the window; an archive dropped on the window
// opens. It remembers its recent lists and options in the registry.
#pragma once

#include <QElapsedTimer>
#include <QMainWindow>
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "browser/BrowserSettings.h"
#include "browser/qt/FileIconList.h"
#include "platform/Platform.h"

class QAction;
class QMimeData;
class QTemporaryDir;
class QUrl;
class frmProgress;
class QLabel;
class QMenu;
class QPushButton;
class QStatusBar;
class QTreeView;
class cUnzip;
class frmUnzipListModel;

class frmUnzip : public QMainWindow, public BrowserSettingsHost {
public:
    // Builds the window as designed; Form_Load makes it ready.
    frmUnzip();
    ~frmUnzip() override;

    // The load steps: list setup, objects, settings, caption, icon and the
    // handed-over archive. A failure (a window icon that cannot be loaded, an
    // archive whose listing fails) is raised to the caller.
    void Form_Load();

    // Opens a new browser window on the library-wide archive path, modeless
    // and without owner, and makes it the newest browser window. Raises what
    // loading raises (the window is then gone).
    static frmUnzip* OpenNew();

    // --- What the settings need (BrowserSettingsHost) ---
    bool UseFolderNames() const override;
    void UseFolderNames(bool value) override;
    bool PromptToOverwrite() const override;
    void PromptToOverwrite(bool value) override;
    std::int32_t FileCount() const override;
    void setMenuVisible(int index, bool visible) override;
    void setMenuCaption(int index, const std::string& caption) override;
    void setMenuTag(int index, const std::string& tag) override;
    std::string menuTag(int index) const override;
    void setMenuChecked(int index, bool checked) override;

    // Empties the list and lists the archive at `path`.
    void OpenZip(const std::string& path) override;

    // Handlers (public so hosts and tests can drive the window as a user would).
    void cmdOpen_Click();
    void cmdExtract_Click();
    void cmdAll_Click();
    void cmdInvert_Click();
    void mnuFile_Click(int Index);
    void mnuEdit_Click(int Index);
    void mnuHelp_Click(int Index);
    // A click on a column header: sorted up, then down, then directory order.
    void lvwZip_ColumnClick(int column);
    // Double-click or Enter on a row: the entry opens with the desktop's
    // application for its type, from the private folder.
    void lvwZip_Activated(int row);

    // Runs Unzip of the selected entries into UnzipFolder, with the progress
    // window when asked; then shows the result.
    // Unzip's result.
    bool RunExtraction(bool withProgress);
    // Extracts entries (1-based indexes) into the window's private folder,
    // each at its path in the archive, and gives the files that are there
    // afterwards. Entries already there are not extracted again.
    std::vector<std::string> ExtractToPrivateFolder(const std::vector<std::int32_t>& entries, bool withProgress);
    // The window's private folder (mode 0700), made on first use and removed
    // when the window closes; "" while there is none.
    std::string PrivateFolder() const;
    // The archive a drag carries: its first local file when that is a zip
    // archive (by name or by its first bytes); "" otherwise.
    static std::string DroppedArchive(const QMimeData* data);

    // --- Inspection ---
    const std::shared_ptr<cUnzip>& unzipObject() const { return m_cUnzip; }
    cMRU& m_cExtractMRU() { return m_settings->ExtractMRU(); }
    cMRU& m_cFileMRU() { return m_settings->FileMRU(); }
    const std::string& m_sRegKey() const { return m_settings->RegKey(); }
    pw::qt::FileIconList& ilsIcons16() { return m_ilsIcons16; }
    frmUnzipListModel& listModel() { return *m_model; }
    QTreeView* lvwZip() const { return m_lvwZip; }
    QAction* mnuFile(int index) const { return m_mnuFile.at(static_cast<std::size_t>(index)); }
    QAction* mnuEdit(int index) const { return m_mnuEdit.at(static_cast<std::size_t>(index)); }
    QAction* mnuHelp(int index) const { return m_mnuHelp.at(static_cast<std::size_t>(index)); }
    QString statusText() const;
    // The progress window while an extraction runs (nullptr otherwise).
    frmProgress* progressWindow() const { return m_progress.get(); }
    // The text of the About box.
    static std::string AboutText();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void EnableControls();
    // Widens the Size and Packed columns to their widest number (never narrows).
    void FitNumberColumns();
    std::string GetExtractFolder();
    // Tells the user what the finished extraction did.
    void ShowUnzipResult(bool succeeded);
    // The status bar after an archive opened: its file count and total size.
    void ShowArchiveSummary();
    QList<QUrl> DragFiles(const std::vector<std::int32_t>& entries);
    void Form_Resize();
    void Form_QueryUnload();
    // Runs a command; a failure is shown to the user and ends only the command.
    template <class Body>
    void guarded(Body&& body);

    // The prompts of a run stand above its progress window.
    pw::WindowHandle promptOwner();
    void m_cUnzip_Cancel(const std::string& sMsg, bool& bCancel);
    void m_cUnzip_OverWritePrompt(const std::string& sFIle, std::int32_t& eResponse);
    void m_cUnzip_PasswordRequest(std::string& sPassword, bool& bCancel);
    void m_cUnzip_Progress(std::int32_t lCount, const std::string& sMsg);

    std::shared_ptr<cUnzip> m_cUnzip;
    std::unique_ptr<BrowserSettings> m_settings;  // m_cExtractMRU, m_cFileMRU, m_sRegKey
    pw::qt::FileIconList m_ilsIcons16{"DEFAULT"};

    QWidget* m_client = nullptr;
    QPushButton* m_cmdOpen = nullptr;
    QPushButton* m_cmdExtract = nullptr;
    QPushButton* m_cmdAll = nullptr;
    QPushButton* m_cmdInvert = nullptr;
    QTreeView* m_lvwZip = nullptr;
    frmUnzipListModel* m_model = nullptr;
    QStatusBar* m_sbrMain = nullptr;
    QLabel* m_sbrPanel = nullptr;
    QElapsedTimer m_sbrPainted;  // since the status text was last painted during a run
    QMenu* m_mnuFileTOP = nullptr;
    QMenu* m_mnuEditTOP = nullptr;
    QMenu* m_mnuHelpTOP = nullptr;
    std::array<QAction*, 9> m_mnuFile{};
    std::array<QAction*, 2> m_mnuEdit{};
    std::array<QAction*, 1> m_mnuHelp{};

    std::unique_ptr<frmProgress> m_progress;
    // What the running extraction has done, learnt from the engine's
    // per-entry service calls: sizes of the asked entries by path (and by
    // name, for runs without folder names), the entry being written.
    struct RunTally {
        std::unordered_map<std::string, std::int64_t> byPath, byName;
        std::int32_t files = 0;
        std::int64_t bytes = 0;
        bool inEntry = false;
        std::int64_t entrySize = 0;
    } m_tally;
    std::unique_ptr<QTemporaryDir> m_privateFolder;
    int m_nListing = 0;  // numbers each archive opened, for its own place in the private folder
};
