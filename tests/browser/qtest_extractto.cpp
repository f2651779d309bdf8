// The extract-to dialog driven through the folder-browser component, as the
// browser window drives it: callbacks in order, the recent list, the arrow
// button, a new folder, Extract, Cancel and the close box.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QAbstractItemView>
#include <QComboBox>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <filesystem>
#include <functional>

#include "browser/qt/frmExtractTo.h"
#include "browser/qt/lumwFolderBrowse.h"
#include "errors/Error.h"
#include "platform/LibrarySettings.h"
#include "support/ScriptedPlatform.h"
#include "support/TempDir.h"
#include "support/Errors.h"
#include "support/QtApp.h"

namespace fs = std::filesystem;

namespace {

QApplication& app() { return pwtest::qtApp(); }

// Runs `step` once the dialog is up (inside the browse's own loop).
void whenShown(std::function<void()> step) {
    QTimer::singleShot(0, [step = std::move(step)] { step(); });
}

template <class T>
T* child(QWidget* w, const char* name) {
    T* c = w->findChild<T*>(name);
    EXPECT_NE(c, nullptr) << name;
    return c;
}

// A host that records the component's calls and draws the tree in a plain widget.
class RecordingHost : public ICaptureBF {
public:
    std::vector<std::string> calls;
    std::shared_ptr<lumwFolderBrowse> browse;
    QWidget window;
    void ICaptureBF_CaptureBrowseForFolder(std::shared_ptr<lumwFolderBrowse> b) override {
        calls.push_back("CaptureBrowseForFolder");
        browse = std::move(b);
    }
    QWidget* ICaptureBF_CapturehWnd() override {
        calls.push_back("CapturehWnd");
        window.resize(300, 300);
        window.show();
        return &window;
    }
    void ICaptureBF_SelectionChanged(const std::string& sPath) override { calls.push_back("SelectionChanged " + sPath); }
    void ICaptureBF_Unload() override { calls.push_back("Unload"); }
};

class ExtractToTest : public ::testing::Test {
protected:
    void SetUp() override {
        app();
        pw::librarySettings() = pw::LibrarySettings{};
        fs::create_directories(tmp.path() / "one" / "inner");
        fs::create_directories(tmp.path() / "two");
        opener.setObjectName("opener");
        opener.resize(400, 300);
        opener.show();
    }

    // Runs the browse as the browser window does; `step` acts on the dialog.
    std::shared_ptr<frmExtractTo> run(std::function<void(frmExtractTo&)> step, const std::string& initial = "") {
        auto dlg = std::make_shared<frmExtractTo>(&opener);
        opener.setEnabled(false);
        dlg->LoadRecentFolders(recent);
        dlg->OverwritePrompt(overwritePrompt);
        dlg->UseFolderNames(useFolderNames);
        browse = lumwFolderBrowse::create();
        browse->Settings().hWndOwner(&opener);
        browse->Settings().InitialFolder(initial.empty() ? tmp.path().string() : initial);
        browse->Settings().FoldersOnly(true);
        browse->Settings().RootFolder("");
        whenShown([&, d = dlg.get()] { step(*d); });
        std::shared_ptr<ICaptureBF> host = dlg;
        browse->BrowseForFolderCaptured(host);
        EXPECT_EQ(host.get(), dlg.get());
        return dlg;
    }

    int appReady_ = (app(), 0);  // before any widget member
    pwtest::TempDir tmp;
    QMainWindow opener;
    std::shared_ptr<lumwFolderBrowse> browse;
    std::vector<std::string> recent;
    bool overwritePrompt = false, useFolderNames = false;
    pw::ScriptedPlatform scripted;
    pw::ScopedPlatform usePlatform{scripted};
};

std::string folder(const pwtest::TempDir& t, const char* name) { return (t.path() / name).string(); }

TEST_F(ExtractToTest, ComponentCallsItsHostInOrderAndEndsOnEscape) {
    auto host = std::make_shared<RecordingHost>();
    auto b = lumwFolderBrowse::create();
    b->Settings().InitialFolder(tmp.path().string());
    b->Settings().FoldersOnly(true);
    const std::string target = folder(tmp, "two");
    whenShown([&] {
        b->Settings().SelectedFolder(target);
        QTest::keyClick(b->Tree(), Qt::Key_Escape);
    });
    std::shared_ptr<ICaptureBF> h = host;
    b->BrowseForFolderCaptured(h);
    ASSERT_EQ(host->calls.size(), 4u);
    EXPECT_EQ(host->calls[0], "CaptureBrowseForFolder");
    EXPECT_EQ(host->calls[1], "CapturehWnd");
    EXPECT_EQ(host->calls[2], "SelectionChanged " + target);
    EXPECT_EQ(host->calls[3], "Unload");
    EXPECT_EQ(host->browse, b);
    EXPECT_FALSE(b->Browsing());
    EXPECT_EQ(b->Tree(), nullptr);  // the tree left the host's window
    EXPECT_TRUE(host->window.findChildren<QTreeView*>().isEmpty());
}

TEST_F(ExtractToTest, ArrowKeepsTheChosenFolderInViewWhileTheTreeLoads) {
    // Many folders sort in around the chosen one after it was first shown.
    for (int i = 0; i < 80; ++i) fs::create_directories(tmp.path() / "many" / ("f" + std::to_string(i)));
    const std::string target = (tmp.path() / "many" / "f7").string();
    bool inView = false;
    auto dlg = run([&](frmExtractTo& d) {
        child<QComboBox>(&d, "cboExtractTo")->setEditText(QString::fromStdString(target));
        child<QPushButton>(&d, "cmdPick")->click();
        QTreeView* tree = browse->Tree();
        ASSERT_NE(tree, nullptr);
        auto visible = [&] {
            const QRect r = tree->visualRect(tree->currentIndex());
            return tree->currentIndex().data().toString() == "f7" && r.isValid() &&
                   tree->viewport()->rect().contains(r.center());
        };
        // Let the folders load and sort; the chosen one must stay in view.
        QTest::qWait(300);
        (void)QTest::qWaitFor(visible, 3000);
        inView = visible();
        child<QPushButton>(&d, "cmdExtract")->click();
    }, "/");
    EXPECT_TRUE(inView);
    EXPECT_EQ(dlg->SelectedFolder(), target);
}

TEST_F(ExtractToTest, StartsWithRecentFoldersComboTextAndOptions) {
    recent = {"/recent/a", "/recent/b"};
    overwritePrompt = true;
    pw::librarySettings().formExtractCaption = "Pick a folder";
    bool sawOpenerDisabled = false;
    auto dlg = run([&](frmExtractTo& d) {
        EXPECT_TRUE(d.isVisible());
        EXPECT_EQ(d.windowTitle(), "Pick a folder");
        auto* cbo = child<QComboBox>(&d, "cboExtractTo");
        ASSERT_EQ(cbo->count(), 2);
        EXPECT_EQ(cbo->itemText(0), "/recent/a");
        EXPECT_EQ(cbo->itemText(1), "/recent/b");
        EXPECT_EQ(cbo->currentText(), "Combo1");
        EXPECT_TRUE(child<QCheckBox>(&d, "chkOverwritePrompt")->isChecked());
        EXPECT_FALSE(child<QCheckBox>(&d, "chkUseFolderNames")->isChecked());
        EXPECT_EQ(child<QFrame>(&d, "picCapture")->frameShape(), QFrame::NoFrame);
        EXPECT_NE(child<QFrame>(&d, "picCapture")->findChild<QTreeView*>(), nullptr);
        sawOpenerDisabled = !opener.isEnabled();
        child<QPushButton>(&d, "cmdCancel")->click();
    });
    EXPECT_TRUE(sawOpenerDisabled);
    EXPECT_TRUE(dlg->Cancelled());
    EXPECT_EQ(dlg->SelectedFolder(), "");
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_TRUE(opener.isEnabled());
    EXPECT_EQ(dlg->BrowseObject(), nullptr);  // released at unload
    EXPECT_FALSE(browse->Browsing());
}

TEST_F(ExtractToTest, ExtractBeforeAnySelectionAsksForAFolderAndStaysOpen) {
    bool stayedOpen = false;
    auto dlg = run([&](frmExtractTo& d) {
        child<QPushButton>(&d, "cmdExtract")->click();
        stayedOpen = d.isVisible();
        child<QPushButton>(&d, "cmdCancel")->click();
    });
    EXPECT_EQ(scripted.messageTexts(), std::vector<std::string>{"Choose a folder to extract to."});
    EXPECT_TRUE(stayedOpen);
    EXPECT_TRUE(dlg->Cancelled());
    EXPECT_EQ(dlg->SelectedFolder(), "");
}

TEST_F(ExtractToTest, ATypedFolderThatIsMissingIsMadeOnYesOnly) {
    const std::string refused = folder(tmp, "no") + "/thanks", wanted = folder(tmp, "new") + "/place";
    scripted.yesNoAnswers = {false, true};
    bool openAfterNo = false;
    auto dlg = run([&](frmExtractTo& d) {
        auto* edit = child<QComboBox>(&d, "cboExtractTo")->lineEdit();
        edit->clear();
        QTest::keyClicks(edit, QString::fromStdString(refused));
        child<QPushButton>(&d, "cmdExtract")->click();
        openAfterNo = d.isVisible();
        edit->clear();
        QTest::keyClicks(edit, QString::fromStdString(wanted));
        child<QPushButton>(&d, "cmdExtract")->click();
    });
    ASSERT_EQ(scripted.yesNoQuestions.size(), 2u);
    EXPECT_NE(scripted.yesNoQuestions[1].find(wanted), std::string::npos);
    EXPECT_TRUE(openAfterNo);
    EXPECT_FALSE(fs::exists(refused));
    EXPECT_TRUE(fs::is_directory(wanted));
    EXPECT_FALSE(dlg->Cancelled());
    EXPECT_EQ(dlg->SelectedFolder(), wanted);
}

TEST_F(ExtractToTest, LongRecentFoldersAreElidedInTheMiddleWithTheWholePathAsTooltip) {
    const std::string longPath = "/" + std::string(40, 'a') + "/" + std::string(40, 'b') + "/end";
    recent = {longPath};
    run([&](frmExtractTo& d) {
        auto* cbo = child<QComboBox>(&d, "cboExtractTo");
        EXPECT_EQ(cbo->view()->textElideMode(), Qt::ElideMiddle);
        EXPECT_EQ(cbo->itemData(0, Qt::ToolTipRole).toString().toStdString(), longPath);
        cbo->setCurrentIndex(0);
        EXPECT_EQ(cbo->toolTip().toStdString(), longPath);
        child<QPushButton>(&d, "cmdCancel")->click();
    });
}

TEST_F(ExtractToTest, TreeSelectionIsTheResultAndFillsTheCombo) {
    const std::string target = folder(tmp, "one");
    auto dlg = run([&](frmExtractTo& d) {
        auto* tree = browse->Tree();
        auto* model = qobject_cast<QFileSystemModel*>(tree->model());
        tree->selectionModel()->setCurrentIndex(model->index(QString::fromStdString(target)),
                                                QItemSelectionModel::ClearAndSelect);
        auto* cbo = child<QComboBox>(&d, "cboExtractTo");
        EXPECT_EQ(cbo->currentText().toStdString(), target);
        EXPECT_EQ(cbo->lineEdit()->cursorPosition(), static_cast<int>(target.size()));
        child<QPushButton>(&d, "cmdExtract")->click();
    });
    EXPECT_FALSE(dlg->Cancelled());
    EXPECT_EQ(dlg->SelectedFolder(), target);
}

TEST_F(ExtractToTest, RecentFolderCountsOnlyOnceTheArrowAppliesIt) {
    const std::string a = folder(tmp, "one"), b = folder(tmp, "two");
    recent = {b};
    auto dlg = run([&](frmExtractTo& d) {
        auto* cbo = child<QComboBox>(&d, "cboExtractTo");
        cbo->setEditText(QString::fromStdString(a));
        child<QPushButton>(&d, "cmdPick")->click();
        EXPECT_EQ(d.SelectedFolder(), a);
        // Chosen in the list but not applied: the tree's selection stays the result.
        cbo->setCurrentIndex(0);
        EXPECT_EQ(cbo->currentText().toStdString(), b);
        child<QPushButton>(&d, "cmdExtract")->click();
    });
    EXPECT_EQ(dlg->SelectedFolder(), a);
}

TEST_F(ExtractToTest, CheckBoxesSetTheOptions) {
    useFolderNames = true;
    auto dlg = run([&](frmExtractTo& d) {
        d.ICaptureBF_SelectionChanged(folder(tmp, "one"));
        child<QCheckBox>(&d, "chkUseFolderNames")->click();
        child<QCheckBox>(&d, "chkOverwritePrompt")->click();
        child<QPushButton>(&d, "cmdExtract")->click();
    });
    EXPECT_FALSE(dlg->UseFolderNames());
    EXPECT_TRUE(dlg->OverwritePrompt());
}

TEST_F(ExtractToTest, NewFolderIsMadeAndSelected) {
    const std::string made = folder(tmp, "one") + "/fresh";
    pw::librarySettings().formExtractCaption = "Extract To";
    scripted.inputAnswers.push_back("fresh");
    auto dlg = run([&](frmExtractTo& d) {
        d.ICaptureBF_SelectionChanged(folder(tmp, "one"));
        child<QPushButton>(&d, "cmdNewFolder")->click();
        child<QPushButton>(&d, "cmdExtract")->click();
    });
    // The question suggests the selected folder, under the library's title
    // (not the dialog's caption).
    ASSERT_EQ(scripted.inputBoxes.size(), 1u);
    EXPECT_EQ(scripted.inputBoxes[0].prompt, "Please enter the folder name.");
    EXPECT_EQ(scripted.inputBoxes[0].title, "");
    EXPECT_EQ(scripted.inputBoxes[0].defaultText, folder(tmp, "one"));
    EXPECT_TRUE(fs::is_directory(made));
    EXPECT_EQ(dlg->SelectedFolder(), made);
    EXPECT_TRUE(scripted.messages.empty());
}

TEST_F(ExtractToTest, NewFolderFailureIsReportedAndTreeUntouched) {
    scripted.inputAnswers.push_back(folder(tmp, "missing") + "/deeper");
    scripted.inputAnswers.push_back("");  // the second time the user cancels
    auto dlg = run([&](frmExtractTo& d) {
        d.ICaptureBF_SelectionChanged(folder(tmp, "two"));
        child<QPushButton>(&d, "cmdNewFolder")->click();
        child<QPushButton>(&d, "cmdNewFolder")->click();
        child<QPushButton>(&d, "cmdCancel")->click();
    });
    ASSERT_EQ(scripted.messages.size(), 1u);
    EXPECT_EQ(scripted.messages[0].text.rfind("An error occurred: ", 0), 0u);
    EXPECT_EQ(scripted.messages[0].style, pw::MessageStyle::Exclamation);
    EXPECT_EQ(dlg->SelectedFolder(), folder(tmp, "two"));
    EXPECT_FALSE(fs::exists(folder(tmp, "missing")));
}

TEST_F(ExtractToTest, CloseBoxLeavesCancelledAndGivesTheOpenerBack) {
    auto dlg = run([&](frmExtractTo& d) {
        d.ICaptureBF_SelectionChanged(folder(tmp, "one"));
        d.close();
    });
    EXPECT_TRUE(dlg->Cancelled());
    EXPECT_EQ(dlg->SelectedFolder(), folder(tmp, "one"));
    EXPECT_TRUE(opener.isEnabled());
}

TEST_F(ExtractToTest, ComponentEndClosesTheDialog) {
    auto dlg = run([&](frmExtractTo&) { QTest::keyClick(browse->Tree(), Qt::Key_Escape); });
    EXPECT_TRUE(dlg->Cancelled());
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_TRUE(opener.isEnabled());
}

// The number of the error that showing the dialog with `icon` raises (0:
// none); the browse component is left not browsing.
int showingErrorWithIcon(QWidget& opener, const std::string& icon) {
    pw::librarySettings().formExtractIcon = icon;
    auto dlg = std::make_shared<frmExtractTo>(&opener);
    auto b = lumwFolderBrowse::create();
    std::shared_ptr<ICaptureBF> host = dlg;
    const int n = pwtest::errorNumberOf([&] { b->BrowseForFolderCaptured(host); });
    EXPECT_FALSE(b->Browsing());
    return n;
}

TEST_F(ExtractToTest, IconThatIsNoPictureFailsTheShowing) {
    EXPECT_EQ(showingErrorWithIcon(opener, folder(tmp, "none.ico")), 53);
    // The same numbers as every other window's icon.
    EXPECT_EQ(showingErrorWithIcon(opener, (tmp.path() / "no-folder" / "x.ico").string()), pw::kPathNotFound);
}


}  // namespace
