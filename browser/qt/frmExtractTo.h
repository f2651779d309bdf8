// frmExtractTo: the extract-to dialog. It asks for the destination folder of
// an extraction and the two extraction options. It hosts the folder-browser
// component's tree in picCapture and learns the chosen folder through the
// component's ICaptureBF callbacks. The dialog object outlives its window:
// the opener reads Cancelled, SelectedFolder and the options after the
// browse has returned.
#pragma once

#include <QDialog>
#include <QPointer>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "browser/qt/ICaptureBF.h"
#include "platform/Variant.h"

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QPushButton;

namespace pw::detail {
inline std::string mruText(const std::string& s) { return s; }
inline std::string mruText(const pw::Variant& v) { return v.toString(); }
}  // namespace pw::detail

class frmExtractTo : public QDialog, public ICaptureBF {
public:
    // `opener` is the browser window that asks; it is enabled and focused
    // again when the dialog closes.
    explicit frmExtractTo(QWidget* opener);
    ~frmExtractTo() override;

    // Copies the recent folders (1 = most recent) of a recent list.
    template <class MRU>
    void LoadMRU(const MRU& cTheMRU) {
        std::vector<std::string> items;
        for (std::int32_t n = 1; n <= cTheMRU.Count(); ++n) items.push_back(pw::detail::mruText(cTheMRU.Item(n)));
        LoadRecentFolders(std::move(items));
    }
    void LoadRecentFolders(std::vector<std::string> items) { m_asMRU = std::move(items); }
    const std::vector<std::string>& RecentFolders() const { return m_asMRU; }

    bool OverwritePrompt() const { return m_bOverwritePrompt; }
    void OverwritePrompt(bool b) { m_bOverwritePrompt = b; }
    bool UseFolderNames() const { return m_bUseFolderNames; }
    void UseFolderNames(bool b) { m_bUseFolderNames = b; }
    bool Cancelled() const { return m_bCancelled; }
    std::string SelectedFolder() const { return m_sSelectedFolder; }

    // The component's callbacks.
    void ICaptureBF_CaptureBrowseForFolder(std::shared_ptr<lumwFolderBrowse> browse) override;
    QWidget* ICaptureBF_CapturehWnd() override;
    void ICaptureBF_SelectionChanged(const std::string& sPath) override;
    void ICaptureBF_Unload() override;

    // The browse object while the dialog is up (nullptr after unloading).
    const std::shared_ptr<lumwFolderBrowse>& BrowseObject() const { return m_browse; }

    void cmdExtract_Click();
    void cmdCancel_Click();
    void cmdPick_Click();
    void cmdNewFolder_Click();

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void Form_Load();
    void Form_Unload();
    void closeDialog();
    // Makes the typed folder the tree's selection; a folder that does not
    // exist is made first if the user agrees. False: nothing was applied.
    bool applyTypedFolder();
    // Asks whether to make the missing folder `path`, and makes it on Yes.
    bool offerToCreate(const std::string& path);
    // Tooltips of the recent folders and of the field, which may be too
    // narrow for a long path.
    void showWholePaths();
    void giveBackToOpener();

    QPointer<QWidget> m_opener;
    std::shared_ptr<lumwFolderBrowse> m_browse;
    bool m_bCancelled = true;
    std::string m_sSelectedFolder;
    bool m_bOverwritePrompt = false;
    bool m_bUseFolderNames = false;
    std::vector<std::string> m_asMRU;
    bool m_bLoaded = false;
    bool m_bTyped = false;  // the field holds text typed since the tree last reported

    QLabel* lblExtractTo;
    QComboBox* cboExtractTo;
    QPushButton* cmdPick;
    QCheckBox* chkUseFolderNames;
    QCheckBox* chkOverwritePrompt;
    QLabel* lblFolder;
    QFrame* picCapture;
    QPushButton* cmdExtract;
    QPushButton* cmdCancel;
    QPushButton* cmdNewFolder;
};
