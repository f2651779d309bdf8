// The overwrite and password prompts: answers for each button, Esc and the
// close box; titles and icons from the library-wide settings; the password
// refusal; layout, keyboard order and centring.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>

#include "browser/qt/frmOverwrite.h"
#include "browser/qt/frmPassword.h"
#include "control/qt/QtPlatform.h"
#include "errors/Error.h"
#include "platform/LibrarySettings.h"
#include "support/ScriptedPlatform.h"
#include "support/TempDir.h"
#include "support/QtApp.h"

namespace {

using pwtest::whenModal;

// The next control that Tab moves to.
QWidget* nextTabStop(QWidget* w) {
    for (QWidget* n = w->nextInFocusChain(); n && n != w; n = n->nextInFocusChain())
        if ((n->focusPolicy() & Qt::TabFocus) && n->isEnabled() && n->window() == w->window()) return n;
    return nullptr;
}

class Prompts : public ::testing::Test {
protected:
    void SetUp() override {
        pwtest::qtApp();
        pw::librarySettings() = pw::LibrarySettings{};
    }
    void TearDown() override { pw::librarySettings() = pw::LibrarySettings{}; }

    // Shows an overwrite prompt, lets `act` answer it, returns the result.
    pw::OverwriteAnswer overwrite(const std::function<void(frmOverwrite&)>& act) {
        frmOverwrite frm;
        frm.TheCaption("Do you want to overwrite the existing copy of /tmp/a.txt?");
        whenModal([&](QWidget*) { act(frm); });
        frm.ShowModal();
        return {frm.Response(), frm.ApplyToAll()};
    }

    pwtest::TempDir tmp;
};

TEST_F(Prompts, OverwriteYesAndNoTakeTheCheckBox) {
    auto a = overwrite([](frmOverwrite& f) { f.chkAllFiles->setChecked(true); f.cmdYes->click(); });
    EXPECT_EQ(a.response, 6);
    EXPECT_TRUE(a.applyToAll);
    a = overwrite([](frmOverwrite& f) { f.cmdYes->click(); });
    EXPECT_EQ(a.response, 6);
    EXPECT_FALSE(a.applyToAll);
    a = overwrite([](frmOverwrite& f) { f.chkAllFiles->setChecked(true); f.cmdNo->click(); });
    EXPECT_EQ(a.response, 7);
    EXPECT_TRUE(a.applyToAll);
    a = overwrite([](frmOverwrite& f) { f.cmdNo->click(); });
    EXPECT_EQ(a.response, 7);
    EXPECT_FALSE(a.applyToAll);
}

TEST_F(Prompts, OverwriteCancelAndEscApplyToAllButTheCloseBoxDoesNot) {
    auto a = overwrite([](frmOverwrite& f) { f.cmdCancel->click(); });
    EXPECT_EQ(a.response, 2);
    EXPECT_TRUE(a.applyToAll);
    a = overwrite([](frmOverwrite& f) { QTest::keyClick(f.focusWidget() ? f.focusWidget() : &f, Qt::Key_Escape); });
    EXPECT_EQ(a.response, 2);
    EXPECT_TRUE(a.applyToAll);
    a = overwrite([](frmOverwrite& f) { f.chkAllFiles->setChecked(true); f.close(); });
    EXPECT_EQ(a.response, 2);
    EXPECT_FALSE(a.applyToAll);
}

TEST_F(Prompts, OverwriteKeyboardFocusOrderAndDefaults) {
    frmOverwrite frm;
    frm.TheCaption("question");
    QWidget* focusAtOpen = nullptr;
    bool noIsDefault = false;
    int enterResponse = 0;
    whenModal([&](QWidget*) {
        focusAtOpen = frm.focusWidget();
        // Away from the buttons, Enter is the default button: No.
        frm.chkAllFiles->setFocus();
        noIsDefault = frm.cmdNo->isDefault();
        QTest::keyClick(frm.chkAllFiles, Qt::Key_Return);
        enterResponse = frm.Response();
    });
    frm.ShowModal();
    EXPECT_EQ(focusAtOpen, frm.cmdYes);
    EXPECT_TRUE(noIsDefault);
    EXPECT_EQ(enterResponse, 7);
    EXPECT_EQ(nextTabStop(frm.cmdYes), frm.cmdNo);
    EXPECT_EQ(nextTabStop(frm.cmdNo), frm.cmdCancel);
    EXPECT_EQ(nextTabStop(frm.cmdCancel), frm.chkAllFiles);
    EXPECT_EQ(nextTabStop(frm.chkAllFiles), frm.cmdYes);
    EXPECT_EQ(frm.lblCaption->text(), "question");
}

TEST_F(Prompts, OverwriteLayoutInPixels) {
    frmOverwrite frm;
    EXPECT_EQ(frm.size(), QSize(313, 151));
    EXPECT_EQ(frm.lblCaption->geometry(), QRect(20, 16, 261, 53));
    EXPECT_EQ(frm.cmdYes->geometry(), QRect(20, 84, 73, 21));
    EXPECT_EQ(frm.cmdNo->geometry(), QRect(120, 84, 73, 21));
    EXPECT_EQ(frm.cmdCancel->geometry(), QRect(228, 84, 73, 21));
    EXPECT_EQ(frm.chkAllFiles->geometry(), QRect(24, 120, 145, 17));
    EXPECT_EQ(frm.cmdYes->text(), "&Yes");
    EXPECT_EQ(frm.cmdNo->text(), "&No");
    EXPECT_EQ(frm.cmdCancel->text(), "Cancel");
    EXPECT_EQ(frm.chkAllFiles->text(), "&Apply to all files");
    EXPECT_FALSE(frm.chkAllFiles->isChecked());
    EXPECT_FALSE(frm.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(frm.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(frm.Response(), 2);
    EXPECT_FALSE(frm.ApplyToAll());
}

TEST_F(Prompts, OverwriteGrowsToShowALongPathUpToTwoThirdsOfTheScreen) {
    frmOverwrite frm;
    frm.TheCaption("Do you want to overwrite the existing copy of /home/user/" + std::string(60, 'd') + "/" +
                   std::string(60, 'e') + "/" + std::string(60, 'f') + "/report.txt?");
    whenModal([&](QWidget*) { frm.cmdCancel->click(); });
    frm.ShowModal();
    const int widest = frm.screen()->availableGeometry().width() * 2 / 3;
    EXPECT_GT(frm.width(), 313);
    EXPECT_LE(frm.width(), widest);
    // All of the wrapped question fits its label, and the buttons sit below it.
    const QRect label = frm.lblCaption->geometry();
    const QRect needed = frm.lblCaption->fontMetrics().boundingRect(QRect(0, 0, label.width(), 1 << 20), Qt::TextWordWrap,
                                                                   frm.lblCaption->text());
    EXPECT_LE(needed.height(), label.height());
    EXPECT_LE(needed.width(), label.width());
    EXPECT_GT(frm.cmdYes->y(), label.bottom());
    EXPECT_LT(frm.chkAllFiles->geometry().bottom(), frm.height());
}

TEST_F(Prompts, OverwriteTitleFromSettingsOrDefault) {
    frmOverwrite a;
    a.Form_Load();
    EXPECT_EQ(a.windowTitle(), "Overwrite ?");
    pw::librarySettings().formOverwriteCaption = "Replace it?";
    frmOverwrite b;
    b.Form_Load();
    EXPECT_EQ(b.windowTitle(), "Replace it?");
}

TEST_F(Prompts, IconFromSettingsAndUnloadableIconIsAnError) {
    QImage image(16, 16, QImage::Format_RGB32);
    image.fill(Qt::red);
    std::string png = tmp / "icon.png";
    ASSERT_TRUE(image.save(QString::fromStdString(png)));
    pw::librarySettings().formOverwriteIcon = png;
    frmOverwrite good;
    good.Form_Load();
    EXPECT_FALSE(good.windowIcon().isNull());
    EXPECT_EQ(good.windowIcon().pixmap(16, 16).toImage().pixelColor(8, 8), QColor(Qt::red));

    pw::librarySettings().formOverwriteIcon = tmp / "missing.png";
    frmOverwrite missing;
    try {
        missing.ShowModal();
        ADD_FAILURE() << "a missing icon must fail the showing";
    } catch (const pw::Error& e) {
        EXPECT_EQ(e.number(), 53);
    }
    EXPECT_FALSE(missing.isVisible());

    std::string notPicture = tmp / "notes.txt";
    pwtest::writeFile(notPicture, "not a picture");
    pw::librarySettings().formPasswordIcon = notPicture;
    frmPassword bad;
    try {
        bad.ShowModal();
        ADD_FAILURE() << "a file that is no picture must fail the showing";
    } catch (const pw::Error& e) {
        EXPECT_EQ(e.number(), 481);
    }
}

TEST_F(Prompts, OverwriteCentresItselfOnEveryActivation) {
    frmOverwrite frm;
    frm.Form_Load();
    frm.show();
    QRect screen = frm.screen()->geometry();
    frm.move(3, 4);
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(&frm, &activate);
    QRect frame = frm.frameGeometry();
    EXPECT_EQ(frame.x(), screen.x() + (screen.width() - frame.width()) / 2);
    EXPECT_EQ(frame.y(), screen.y() + (screen.height() - frame.height()) / 2);
    EXPECT_EQ(frm.size(), QSize(313, 151));
    frm.hide();
}

TEST_F(Prompts, PasswordIsTrimmed) {
    frmPassword frm;
    whenModal([&](QWidget*) {
        QTest::keyClicks(frm.txtPassword, "  se cret  ");
        QTest::keyClick(frm.txtPassword, Qt::Key_Return);  // OK is the default button
    });
    frm.ShowModal();
    EXPECT_FALSE(frm.Cancelled());
    EXPECT_EQ(frm.Password(), "se cret");
}

TEST_F(Prompts, BlankPasswordIsRefusedAndTheWindowStaysOpen) {
    pw::ScriptedPlatform scripted;
    pw::ScopedPlatform scope(scripted);
    frmPassword frm;
    bool stillOpen = false;
    bool focusBack = false;
    whenModal([&](QWidget*) {
        frm.txtPassword->setText("   ");
        frm.cmdCancel->setFocus();
        frm.cmdOK->click();
        stillOpen = frm.isVisible();
        focusBack = frm.focusWidget() == frm.txtPassword;
        frm.cmdCancel->click();
    });
    frm.ShowModal();
    ASSERT_EQ(scripted.messages.size(), 1u);
    EXPECT_EQ(scripted.messages[0].text, "Please enter a password.");
    EXPECT_EQ(scripted.messages[0].style, pw::MessageStyle::Information);
    EXPECT_EQ(scripted.messages[0].caption, "PackwellDEMO");
    EXPECT_TRUE(stillOpen);
    EXPECT_TRUE(focusBack);
    EXPECT_TRUE(frm.Cancelled());
    EXPECT_EQ(frm.Password(), "");
}

TEST_F(Prompts, PasswordCancelEscAndCloseBoxLeaveItCancelled) {
    for (int way = 0; way < 3; ++way) {
        frmPassword frm;
        whenModal([&](QWidget*) {
            frm.txtPassword->setText("secret");
            if (way == 0) frm.cmdCancel->click();
            if (way == 1) QTest::keyClick(frm.txtPassword, Qt::Key_Escape);
            if (way == 2) frm.close();
        });
        frm.ShowModal();
        EXPECT_TRUE(frm.Cancelled()) << way;
        EXPECT_EQ(frm.Password(), "") << way;
    }
}

TEST_F(Prompts, PasswordWindowLayoutTitleAndOrder) {
    frmPassword frm;
    frm.Form_Load();
    EXPECT_EQ(frm.windowTitle(), "");  // an empty caption leaves the title blank
    EXPECT_EQ(frm.size(), QSize(294, 167));
    EXPECT_EQ(frm.txtPassword->geometry(), QRect(28, 28, 245, 21));
    EXPECT_EQ(frm.cmdOK->geometry(), QRect(144, 140, 73, 25));
    EXPECT_EQ(frm.cmdCancel->geometry(), QRect(220, 140, 73, 25));
    EXPECT_EQ(frm.txtPassword->echoMode(), QLineEdit::Password);
    EXPECT_TRUE(frm.cmdOK->isDefault());
    EXPECT_EQ(nextTabStop(frm.txtPassword), frm.cmdOK);
    EXPECT_EQ(nextTabStop(frm.cmdOK), frm.cmdCancel);
    EXPECT_EQ(nextTabStop(frm.cmdCancel), frm.txtPassword);
    EXPECT_EQ(frm.lblPassword->text(), "Password:");
    EXPECT_TRUE(frm.lblInfo->text().startsWith("Note: the password will be applied"));

    pw::librarySettings().formPasswordCaption = "Secret needed";
    frmPassword titled;
    titled.Form_Load();
    EXPECT_EQ(titled.windowTitle(), "Secret needed");
}

TEST_F(Prompts, QtPlatformOpensThePromptsWithTheQuestion) {
    pw::qt::QtPlatform& qt = pw::qt::qtPlatform();
    whenModal([](QWidget* w) {
        auto* frm = qobject_cast<frmOverwrite*>(w);
        ASSERT_NE(frm, nullptr);
        EXPECT_EQ(frm->lblCaption->text(), "Overwrite b.txt?");
        frm->chkAllFiles->setChecked(true);
        frm->cmdNo->click();
    });
    auto a = qt.overwritePrompt("Overwrite b.txt?", 0);
    EXPECT_EQ(a.response, 7);
    EXPECT_TRUE(a.applyToAll);

    whenModal([](QWidget* w) {
        auto* frm = qobject_cast<frmPassword*>(w);
        ASSERT_NE(frm, nullptr);
        frm->txtPassword->setText(" pw ");
        frm->cmdOK->click();
    });
    auto p = qt.passwordPrompt(-1);
    EXPECT_FALSE(p.cancelled);
    EXPECT_EQ(p.password, "pw");
}

}  // namespace
