// The file chooser behind the dialog classes: how it is set up from the
// record, and what it writes back for single and multiple selections. The
// user is scripted, except in one smoke test of the real dialog.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>

#include "control/qt/QtPlatform.h"
#include "dialogs/qt/QtFileChooser.h"
#include "platform/Text.h"
#include "platform/qt/QtSupport.h"
#include "support/TempDir.h"
#include "support/QtApp.h"

namespace {

using namespace std::string_literals;
using pw::qt::ChooserAnswer;
using pw::qt::FileChooserDialog;

pw::OpenFileName openRecord() {
    pw::OpenFileName ofn;
    ofn.filter = "Zip Files (*.ZIP)\0*.ZIP\0All Files (*.*)\0*.*\0\0"s;
    ofn.nFilterIndex = 1;
    ofn.file = std::string(260, '\0');
    ofn.nMaxFile = 260;
    ofn.fileTitle = std::string(260, '\0');
    ofn.nMaxFileTitle = 260;
    ofn.title = "Choose Zip File to Open";
    ofn.defExt = "ZIP";
    ofn.flags = pw::OFN_FILEMUSTEXIST;
    return ofn;
}

class Chooser : public ::testing::Test {
protected:
    void SetUp() override { pwtest::qtApp(); }
    void TearDown() override { pw::qt::setChooserDriver(nullptr); }

    // Answers the next chooser with `answer` after `check` saw the dialog.
    void script(ChooserAnswer answer, std::function<void(FileChooserDialog&)> check = {}) {
        pw::qt::setChooserDriver([answer, check](FileChooserDialog& d) {
            if (check) check(d);
            return answer;
        });
    }
    static ChooserAnswer chose(QStringList files, int filter = 1) {
        ChooserAnswer a;
        a.accepted = true;
        a.files = std::move(files);
        a.filterIndex = filter;
        return a;
    }

    pw::qt::QtPlatform& qt = pw::qt::qtPlatform();
    pwtest::TempDir tmp;
};

TEST_F(Chooser, OpenDialogIsSetUpFromTheRecord) {
    auto ofn = openRecord();
    ofn.nFilterIndex = 2;
    ofn.initialDir = tmp.path().string();
    bool checked = false;
    script(ChooserAnswer{}, [&](FileChooserDialog& d) {
        checked = true;
        EXPECT_EQ(d.windowTitle(), "Choose Zip File to Open");
        EXPECT_TRUE(d.testOption(QFileDialog::DontUseNativeDialog));
        EXPECT_EQ(d.acceptMode(), QFileDialog::AcceptOpen);
        EXPECT_EQ(d.fileMode(), QFileDialog::ExistingFile);
        EXPECT_EQ(d.nameFilters(), QStringList({"Zip Files (*.ZIP) (*.ZIP)", "All Files (*.*) (*)"}));
        EXPECT_EQ(d.answer().filterIndex, 2);
        EXPECT_EQ(d.directory().absolutePath(), QString::fromStdString(tmp.path().string()));
        EXPECT_EQ(d.defaultSuffix(), "ZIP");
        // Without OFN_HIDEREADONLY the classic chooser shows its read-only box.
        ASSERT_NE(d.readOnlyBox(), nullptr);
        EXPECT_FALSE(d.readOnlyBox()->isChecked());
        EXPECT_EQ(d.parentWidget(), nullptr);
        EXPECT_TRUE(d.windowModality() != Qt::NonModal);
    });
    EXPECT_EQ(qt.getOpenFileName(ofn), 0);
    EXPECT_TRUE(checked);
    EXPECT_EQ(qt.commDlgExtendedError(), 0u);
}

TEST_F(Chooser, SingleSelectionFillsPathTitleOffsetsAndFilterIndex) {
    auto ofn = openRecord();
    std::string path = tmp.path().string() + "/sub dir/Ré sumé.zip";
    script(chose({QString::fromStdString(path)}, 2));
    ASSERT_EQ(qt.getOpenFileName(ofn), 1);
    EXPECT_EQ(pw::cutAtNul(ofn.file), path);
    EXPECT_EQ(pw::charCount(ofn.file), 260u) << "the buffer stays padded to its size";
    EXPECT_EQ(pw::cutAtNul(ofn.fileTitle), "Ré sumé.zip");
    EXPECT_EQ(ofn.nFilterIndex, 2u);
    std::size_t folderChars = pw::charCount(tmp.path().string() + "/sub dir/");
    EXPECT_EQ(ofn.nFileOffset, folderChars);
    EXPECT_EQ(ofn.nFileExtension, folderChars + pw::charCount("Ré sumé."));
}

TEST_F(Chooser, MultiSelectionGivesFolderAndNulSeparatedNames) {
    auto ofn = openRecord();
    ofn.flags = pw::OFN_EXPLORER | pw::OFN_FILEMUSTEXIST | pw::OFN_ALLOWMULTISELECT | pw::OFN_HIDEREADONLY;
    ofn.file = std::string(1024, '\0');
    ofn.nMaxFile = 1024;
    std::string dir = tmp.path().string();
    script(chose({QString::fromStdString(dir + "/a.txt"), QString::fromStdString(dir + "/b c.txt"),
                  QString::fromStdString(dir + "/d")}),
           [](FileChooserDialog& d) { EXPECT_EQ(d.fileMode(), QFileDialog::ExistingFiles); });
    ASSERT_EQ(qt.getOpenFileName(ofn), 1);
    std::string expected = dir + "\0a.txt\0b c.txt\0d\0\0"s;
    EXPECT_EQ(ofn.file.substr(0, expected.size()), expected);
    EXPECT_EQ(ofn.nFileOffset, pw::charCount(dir) + 1);
    EXPECT_EQ(ofn.nFileExtension, 0u);
    EXPECT_EQ(pw::cutAtNul(ofn.fileTitle), "");
}

TEST_F(Chooser, MultiSelectionOfOneFileGivesItsFullPath) {
    auto ofn = openRecord();
    ofn.flags |= pw::OFN_ALLOWMULTISELECT | pw::OFN_EXPLORER;
    std::string path = tmp.path().string() + "/only.txt";
    script(chose({QString::fromStdString(path)}));
    ASSERT_EQ(qt.getOpenFileName(ofn), 1);
    EXPECT_EQ(pw::cutAtNul(ofn.file), path);
    EXPECT_NE(ofn.nFileExtension, 0u);
}

TEST_F(Chooser, AnswerLongerThanTheBufferFailsWithBufferTooSmall) {
    auto ofn = openRecord();
    ofn.file = std::string(20, '\0');
    ofn.nMaxFile = 20;
    script(chose({"/a/rather/long/folder/name/file.zip"}));
    EXPECT_EQ(qt.getOpenFileName(ofn), 2);
    EXPECT_EQ(qt.commDlgExtendedError(), pw::FNERR_BUFFERTOOSMALL);
    EXPECT_EQ(ofn.file, std::string(20, '\0')) << "nothing written on failure";
}

TEST_F(Chooser, SaveDialogPromptsAndDefaults) {
    pw::OpenFileName ofn;
    ofn.file = std::string(260, '\0');
    ofn.nMaxFile = 260;
    ofn.flags = pw::OFN_OVERWRITEPROMPT | pw::OFN_HIDEREADONLY | pw::OFN_PATHMUSTEXIST;
    script(chose({"/x/y.zip"}), [](FileChooserDialog& d) {
        EXPECT_EQ(d.windowTitle(), "Save As");
        EXPECT_EQ(d.acceptMode(), QFileDialog::AcceptSave);
        EXPECT_EQ(d.fileMode(), QFileDialog::AnyFile);
        EXPECT_FALSE(d.testOption(QFileDialog::DontConfirmOverwrite));
        EXPECT_TRUE(d.setup().pathMustExist);
    });
    EXPECT_EQ(qt.getSaveFileName(ofn), 1);
    EXPECT_EQ(pw::cutAtNul(ofn.file), "/x/y.zip");

    ofn.flags = pw::OFN_HIDEREADONLY;
    script(ChooserAnswer{}, [](FileChooserDialog& d) { EXPECT_TRUE(d.testOption(QFileDialog::DontConfirmOverwrite)); });
    EXPECT_EQ(qt.getSaveFileName(ofn), 0);
}

TEST_F(Chooser, ReadOnlyBoxShowsTheFlagAndReturnsItsState) {
    auto ofn = openRecord();
    ofn.flags = pw::OFN_FILEMUSTEXIST | pw::OFN_READONLY;
    script(chose({"/x/a.zip"}), [](FileChooserDialog& d) {
        ASSERT_NE(d.readOnlyBox(), nullptr);
        EXPECT_TRUE(d.readOnlyBox()->isChecked());
    });
    pw::qt::setChooserDriver([](FileChooserDialog& d) {
        EXPECT_TRUE(d.readOnlyBox()->isChecked());
        d.readOnlyBox()->setChecked(false);
        ChooserAnswer a = d.answer();
        a.accepted = true;
        a.files = {"/x/a.zip"};
        return a;
    });
    ASSERT_EQ(qt.getOpenFileName(ofn), 1);
    EXPECT_FALSE(ofn.flags & pw::OFN_READONLY);

    ofn.flags = pw::OFN_FILEMUSTEXIST;
    pw::qt::setChooserDriver([](FileChooserDialog& d) {
        d.readOnlyBox()->setChecked(true);
        ChooserAnswer a = d.answer();
        a.accepted = true;
        a.files = {"/x/a.zip"};
        return a;
    });
    ASSERT_EQ(qt.getOpenFileName(ofn), 1);
    EXPECT_TRUE(ofn.flags & pw::OFN_READONLY);
}

TEST_F(Chooser, OwnerWindowFromItsHandle) {
    QWidget host;
    host.setWindowTitle("host");
    host.show();
    auto ofn = openRecord();
    ofn.hwndOwner = pw::qt::handleOf(&host);
    ASSERT_NE(ofn.hwndOwner, 0);
    QWidget* parent = nullptr;
    script(ChooserAnswer{}, [&](FileChooserDialog& d) { parent = d.parentWidget(); });
    qt.getOpenFileName(ofn);
    EXPECT_EQ(parent, &host);

    ofn.hwndOwner = -1;
    script(ChooserAnswer{}, [&](FileChooserDialog& d) { parent = d.parentWidget(); });
    qt.getOpenFileName(ofn);
    EXPECT_EQ(parent, nullptr);
}

TEST_F(Chooser, FilterPatternsAsQtUnderstandsThem) {
    EXPECT_EQ(pw::qt::nameFilterFor("All (*.*)", " *.*"), "All (*.*) (*)");
    EXPECT_EQ(pw::qt::nameFilterFor("Pictures", "*.png;*.JPG"), "Pictures (*.png *.JPG)");
    EXPECT_EQ(pw::qt::nameFilterFor("First file (*.001)", "*.001"), "First file (*.001) (*.001)");
    pw::OpenFileName ofn;
    ofn.nFilterIndex = 7;  // out of range: the first filter
    ofn.filter = "A\0*.a\0B\0*.b\0\0"s;
    auto setup = pw::qt::chooserSetup(ofn, false);
    EXPECT_EQ(setup.nameFilters.size(), 2);
    EXPECT_EQ(setup.initialFilter, 0);
    ofn.filter.clear();
    EXPECT_TRUE(pw::qt::chooserSetup(ofn, false).nameFilters.isEmpty());
}

// The real dialog, answered by typing a name into it.
TEST_F(Chooser, SmokeRealDialogChoosesATypedFile) {
    pwtest::writeFile(tmp / "a.zip", "x");
    pwtest::writeFile(tmp / "b.ZIP", "y");
    auto ofn = openRecord();
    ofn.initialDir = tmp.path().string();
    bool sawDialog = false;
    pwtest::whenModal([&](QWidget* w) {
        auto* d = qobject_cast<FileChooserDialog*>(w);
        ASSERT_NE(d, nullptr);
        sawDialog = true;
        auto* edit = d->findChild<QLineEdit*>("fileNameEdit");
        ASSERT_NE(edit, nullptr);
        edit->setText("b.ZIP");
        // The second filter, chosen by the user in the type box.
        auto* types = d->findChild<QComboBox*>("fileTypeCombo");
        ASSERT_NE(types, nullptr);
        types->setCurrentIndex(1);
        d->accept();
    });
    ASSERT_EQ(qt.getOpenFileName(ofn), 1);
    EXPECT_TRUE(sawDialog);
    EXPECT_EQ(pw::cutAtNul(ofn.file), tmp / "b.ZIP");
    EXPECT_EQ(pw::cutAtNul(ofn.fileTitle), "b.ZIP");
    EXPECT_EQ(ofn.nFilterIndex, 2u);
}

}  // namespace
