// frmUnzip: the archive browser window. It lists the entries of one zip
// archive with an icon per file type, opens other archives (by dialog or
// from the recent archives of its File menu), selects entries and extracts
// the selection (or everything) into a folder chosen in the extract-to
// dialog, answering the unzip object's overwrite and password questions on
// the way. It remembers its recent lists and options in the registry.
#pragma once

#include <QElapsedTimer>
#include <QMainWindow>
#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "browser/BrowserSettings.h"
#include "browser/qt/FileIconList.h"

class QAction;
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
    // Plugs OpenNew into the desktop layer's openArchiveBrowser.
    static void RegisterFactory();

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
    // The text of the About box.
    static std::string AboutText();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void EnableControls();
    // Widens the Size and Packed columns to their widest number (never narrows).
    void FitNumberColumns();
    std::string GetExtractFolder();
    void Form_Resize();
    void Form_QueryUnload();
    // Runs a command; a failure is shown to the user and ends only the command.
    template <class Body>
    void guarded(Body&& body);

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
};
