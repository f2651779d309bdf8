// The Qt platform as the library installs it, its message and input boxes,
// the shell's file types with real icons, picture loading, and the
// control's face with its fixed size.
#include <gtest/gtest.h>

#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <filesystem>

#include "browser/qt/FileIconList.h"
#include "control/qt/QtPlatform.h"
#include "control/qt/ctlPackwellWidget.h"
#include "errors/Error.h"
#include "platform/qt/QtSupport.h"
#include "support/Process.h"
#include "support/QtApp.h"
#include "support/ScriptedPlatform.h"
#include "support/TempDir.h"

namespace {

class Desktop : public ::testing::Test {
protected:
    void SetUp() override { pwtest::qtApp(); }
    pwtest::TempDir tmp;
};

TEST_F(Desktop, TheApplicationInstallsTheQtPlatformUnlessAnotherIsInstalled) {
    EXPECT_EQ(&pw::platform(), &pw::qt::qtPlatform());
    pw::ScriptedPlatform scripted;
    pw::ScopedPlatform scope(scripted);
    EXPECT_FALSE(pw::qt::ensureQtPlatform());
    EXPECT_EQ(&pw::platform(), &scripted);
    pw::qt::ctlPackwellWidget face;  // a face does not push the host's platform aside
    EXPECT_EQ(&pw::platform(), &scripted);
}

TEST_F(Desktop, MessageBoxHasOkOnlyNoIconAndShowsTextAsItIs) {
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::Critical;
    int buttons = 0;
    Qt::TextFormat format = Qt::RichText;
    pwtest::whenModal([&](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        ASSERT_NE(box, nullptr);
        title = box->windowTitle();
        text = box->text();
        icon = box->icon();
        buttons = static_cast<int>(box->buttons().size());
        format = box->textFormat();
        box->button(QMessageBox::Ok)->click();
    });
    EXPECT_EQ(pw::qt::qtPlatform().messageBox("53: File <b>x</b> not found", pw::MessageStyle::Plain, "PackwellDEMO"), 1);
    EXPECT_EQ(title, "PackwellDEMO");
    EXPECT_EQ(text, "53: File <b>x</b> not found");
    EXPECT_EQ(icon, QMessageBox::NoIcon);
    EXPECT_EQ(buttons, 1);
    EXPECT_EQ(format, Qt::PlainText);

    pwtest::whenModal([&](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        ASSERT_NE(box, nullptr);
        icon = box->icon();
        box->button(QMessageBox::Ok)->click();
    });
    pw::qt::qtPlatform().messageBox("Please enter a password.", pw::MessageStyle::Information, "PackwellDEMO");
    EXPECT_EQ(icon, QMessageBox::Information);
}

TEST_F(Desktop, InputBoxGivesTheTextOrEmptyWhenCancelled) {
    pwtest::whenModal([](QWidget* w) {
        auto* d = qobject_cast<QInputDialog*>(w);
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(d->textValue(), "default");
        d->setTextValue("typed");
        d->accept();
    });
    EXPECT_EQ(pw::qt::qtPlatform().inputBox("Name?", "Title", "default"), "typed");
    pwtest::whenModal([](QWidget* w) { qobject_cast<QDialog*>(w)->reject(); });
    EXPECT_EQ(pw::qt::qtPlatform().inputBox("Name?", "Title", "default"), "");
}

TEST_F(Desktop, ArchiveBrowserOpensThroughTheRegisteredFactory) {
    auto previous = pw::qt::setArchiveBrowserFactory(nullptr);
    try {
        pw::qt::qtPlatform().openArchiveBrowser();
        ADD_FAILURE() << "no browser window registered";
    } catch (const pw::Error& e) {
        EXPECT_EQ(e.number(), 5);
    }
    int opened = 0;
    pw::qt::setArchiveBrowserFactory([&] { ++opened; });
    pw::qt::qtPlatform().openArchiveBrowser();
    EXPECT_EQ(opened, 1);
    pw::qt::setArchiveBrowserFactory(previous);
}

TEST_F(Desktop, ShellNamesFileTypesAndGivesIconsThatLoad) {
    auto text = pw::qt::qtPlatform().shellFileInfo("/nowhere/VBUZTEMP.TXT");
    EXPECT_FALSE(text.typeName.empty());
    EXPECT_NE(text.typeName, "TXT File");
    ASSERT_FALSE(text.iconName.empty());
    EXPECT_FALSE(pw::qt::FileIconList::iconFor({text.iconName, 16}).isNull());

    auto odd = pw::qt::qtPlatform().shellFileInfo("/nowhere/VBUZTEMP.QQZX");
    EXPECT_EQ(odd.typeName, "QQZX File");
    EXPECT_FALSE(pw::qt::FileIconList::iconFor({odd.iconName, 16}).isNull());
}

TEST_F(Desktop, IconListCachesRealIconsPerExtension) {
    ::setenv("TMPDIR", tmp.path().c_str(), 1);
    pw::qt::FileIconList list;
    EXPECT_EQ(list.count(), 1);  // the default image
    EXPECT_EQ(list.keyFor("a.txt"), ".TXT");
    EXPECT_EQ(list.keyFor("B.TXT"), ".TXT");
    EXPECT_EQ(list.keyFor("photo.png"), ".PNG");
    EXPECT_EQ(list.keyFor("README"), "DEFAULT");
    EXPECT_EQ(list.count(), 3);
    EXPECT_FALSE(list.icon(".TXT").isNull());
    EXPECT_FALSE(list.tag(".PNG").isEmpty());
    EXPECT_FALSE(list.icon("NOT-THERE").isNull()) << "unknown keys show the default image";
    for (const auto& e : std::filesystem::recursive_directory_iterator(tmp.path()))
        EXPECT_NE(e.path().filename().string().rfind("VBUZTEMP", 0), 0u) << e.path();
    ::unsetenv("TMPDIR");
}

TEST_F(Desktop, LoadPictureErrors) {
    EXPECT_TRUE(pw::qt::loadPicture(pwtest::sourceDir() + "/control/qt/resources/face.bmp")
                    .availableSizes()
                    .size() > 0);
    auto numberOf = [](const std::string& p) {
        try {
            pw::qt::loadPicture(p);
        } catch (const pw::Error& e) {
            return e.number();
        }
        return 0;
    };
    EXPECT_EQ(numberOf(tmp / "missing.ico"), 53);
    EXPECT_EQ(numberOf(tmp / "no-folder/missing.ico"), 76);
    pwtest::writeFile(tmp / "text.ico", "hello");
    EXPECT_EQ(numberOf(tmp / "text.ico"), 481);
}

TEST_F(Desktop, FaceKeepsThePictureSizeWhateverTheHostGivesIt) {
    QWidget host;
    auto* layout = new QHBoxLayout(&host);
    auto* face = new pw::qt::ctlPackwellWidget;
    layout->addWidget(face);
    host.resize(400, 300);
    host.show();
    EXPECT_EQ(face->size(), QSize(66, 62));
    face->resize(200, 100);
    EXPECT_EQ(face->size(), QSize(66, 62));
    face->setGeometry(5, 5, 10, 10);
    EXPECT_EQ(face->size(), QSize(66, 62));
    EXPECT_EQ(face->Image1->pos(), QPoint(0, 0));
    EXPECT_EQ(face->Image1->pixmap().size(), QSize(66, 62));
    EXPECT_EQ(face->Image1->pixmap().depth() >= 24, true);

    // A size given before the face shows is corrected when it shows.
    pw::qt::ctlPackwellWidget early;
    early.resize(10, 500);
    early.show();
    EXPECT_EQ(early.size(), QSize(66, 62));
}

}  // namespace
