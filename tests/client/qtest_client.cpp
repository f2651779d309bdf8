// The test client driven headless: every button and menu entry makes the
// control's calls with the sample paths and shows the confirmations, with
// the dialogs and prompts answered by the scripted platform.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QListWidget>
#include <QPushButton>
#include <filesystem>

#include "client/SampleData.h"
#include "client/SamplePaths.h"
#include "client/frmClient.h"
#include "control/ctlPackwell.h"
#include "errors/Error.h"
#include "platform/LibrarySettings.h"
#include "support/Process.h"
#include "support/ScriptedPlatform.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;
using namespace pw::samples;
using Answer = pw::ScriptedPlatform::ChooserAnswer;

namespace {

class TestClient : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "qtest_client";
        static char* argv[] = {name, nullptr};
        if (!QApplication::instance()) new QApplication(argc, argv);
    }

    void SetUp() override {
        std::error_code ec;
        fs::remove_all(testRoot(), ec);
        ASSERT_TRUE(createSampleData([](const std::string&) {}));
        scripted.messages.clear();
        window = std::make_unique<frmClient>();
    }

    std::vector<std::string> confirmations() const {
        std::vector<std::string> texts;
        for (const auto& m : scripted.messages)
            if (m.caption == "prjBRIXpackwell") texts.push_back(m.text);
        return texts;
    }

    pw::ScriptedPlatform scripted;
    pw::ScopedPlatform use{scripted};
    std::unique_ptr<frmClient> window;
};

TEST_F(TestClient, ZipButtonsConfirmWithTheSampleArchive) {
    window->Command2->click();
    window->Command3->click();
    const std::string level2 = sampleFolderToZip() + "/level1/level2/";
    scripted.chooserAnswers.push_back(Answer::choose({level2 + "notes.txt", level2 + "noise.bin"}));
    window->Command1->click();
    const std::string created = sampleArchive() + " successfully created.";
    EXPECT_EQ(confirmations(), (std::vector<std::string>{created, created, created}));
    for (const auto& m : scripted.messages) EXPECT_EQ(m.style, pw::MessageStyle::Plain);
}

TEST_F(TestClient, CancelledDialogsConfirmNothing) {
    scripted.chooserAnswers.push_back(Answer::cancel());
    window->Command1->click();
    scripted.chooserAnswers.push_back(Answer::cancel());
    window->Command4->click();
    scripted.chooserAnswers.push_back(Answer::cancel());
    window->Command11->click();
    EXPECT_TRUE(confirmations().empty());
}

TEST_F(TestClient, AddButtonsConfirmAdded) {
    window->Command5->click();
    scripted.chooserAnswers.push_back(Answer::choose({oneFileToZip()}));
    window->Command4->click();
    EXPECT_EQ(confirmations(), (std::vector<std::string>{"Added successfully.", "Added successfully."}));
    ASSERT_TRUE(window->control().ListFilesFromZip(sampleArchive()));
    bool found = false;
    for (int i = 1; i <= window->control().ListCount(); ++i)
        found |= window->control().getListFiles(i).FileName == "DocZipTest3.doc";
    EXPECT_TRUE(found);
}

TEST_F(TestClient, ListButtonsSetTheWindowSettingsAndOpenTheBrowser) {
    scripted.onOpenArchiveBrowser = [] {};
    window->Command6->click();
    auto& settings = pw::librarySettings();
    EXPECT_EQ(window->control().formUnzipCaption(), "Your caption" + sampleArchive());
    EXPECT_EQ(settings.formExtractCaption, "Your caption");
    EXPECT_EQ(settings.formOverwriteCaption, "overwrite");
    EXPECT_EQ(settings.formPasswordCaption, "Password needed for this zip file");
    EXPECT_EQ(settings.formUnzipIcon, sampleIcon());
    EXPECT_EQ(settings.browserArchivePath, sampleArchive());
    EXPECT_EQ(scripted.browsersOpened, 1);

    window->Command7->click();
    EXPECT_EQ(settings.formUnzipCaption, "Your caption");
    EXPECT_EQ(settings.formOverwriteCaption, "Overwrite ?");
    EXPECT_EQ(settings.formPasswordCaption, "Password");
    EXPECT_EQ(settings.formPasswordIcon, sampleIcon());
    // Set by the first button and left alone by the second.
    EXPECT_EQ(settings.formExtractCaption, "Your caption");
    EXPECT_EQ(settings.browserArchivePath, "");
    EXPECT_EQ(scripted.browsersOpened, 2);
    EXPECT_TRUE(confirmations().empty());
}

TEST_F(TestClient, AFailurePassedOnByTheControlIsShownAndTheWindowStays) {
    // The browser member traps nothing: a window that cannot load reaches us.
    scripted.onOpenArchiveBrowser = [] { throw pw::Error(481, "PackwellDEMO", "Invalid picture"); };
    EXPECT_NO_THROW(window->Command7->click());
    ASSERT_EQ(confirmations(), std::vector<std::string>{"481: Invalid picture"});
    scripted.onOpenArchiveBrowser = nullptr;
    window->Command7->click();
    EXPECT_EQ(scripted.browsersOpened, 2);
}

TEST_F(TestClient, SplitDirectlyShowsTheWaitCursorOnlyAroundTheSplit) {
    window->Command9->click();
    EXPECT_EQ(scripted.pointers, (std::vector<pw::MousePointer>{pw::MousePointer::Wait, pw::MousePointer::Default}));
    EXPECT_EQ(confirmations(), std::vector<std::string>{"Split successful."});
    EXPECT_TRUE(fs::exists(joinFolder() + "/GLOBE.001"));
    EXPECT_TRUE(fs::exists(joinFolder() + "/GLOBE.005"));
}

TEST_F(TestClient, SplitWithDialogAndJoinWithDialog) {
    scripted.chooserAnswers.push_back(Answer::choose({fileToSplit()}));
    window->Command8->click();
    EXPECT_TRUE(scripted.pointers.empty());
    scripted.chooserAnswers.push_back(Answer::choose({joinFolder() + "/GLOBE.001"}));
    window->Command11->click();
    // The join result is the joined file's name without its folder.
    EXPECT_EQ(confirmations(), (std::vector<std::string>{"Split successful.", "GLOBE.AVI successfully joined."}));
    EXPECT_EQ(pwtest::fingerprint(joinFolder() + "/GLOBE.AVI"), pwtest::fingerprint(fileToSplit()));
}

TEST_F(TestClient, JoinDirectlyAndUnzipWithoutDialog) {
    fs::remove(joinedArchive());
    window->Command10->click();
    window->Command12->click();
    EXPECT_EQ(confirmations(), (std::vector<std::string>{"Test_brix.zip successfully joined.",
                                                         sampleArchive() + " extracted successfully."}));
    EXPECT_EQ(pwtest::fingerprint(joinedArchive()), pwtest::fingerprint(sampleArchive()));
    EXPECT_TRUE(fs::exists(extractFolder() + "/DocZipTest2.doc"));
    // The button asks before overwriting: a second run asks about the first
    // file and, with "all", about nothing more.
    scripted.overwriteAnswers.push_back({6, true});
    window->Command12->click();
    EXPECT_EQ(scripted.overwriteQuestions.size(), 1u);
}

TEST_F(TestClient, CustomListingAppendsEveryPress) {
    window->Command13->click();
    const int once = window->List1->count();
    ASSERT_GT(once, 0);
    window->Command13->click();
    ASSERT_EQ(window->List1->count(), 2 * once);
    for (int i = 0; i < once; ++i) EXPECT_EQ(window->List1->item(i)->text(), window->List1->item(i + once)->text());
    for (int i = 0; i < once; ++i) EXPECT_TRUE(window->List1->item(i)->text().endsWith(" %"));
    // Stored noise packs to its full size; an empty file has a ratio of 0.
    EXPECT_FALSE(window->List1->findItems("noise.bin 100 %", Qt::MatchExactly).isEmpty());
    EXPECT_FALSE(window->List1->findItems("empty.txt 0 %", Qt::MatchExactly).isEmpty());
}

TEST_F(TestClient, CustomListingOfAMissingArchiveAddsNoLines) {
    fs::rename(listingArchive(), listingArchive() + ".aside");
    window->Command13->click();
    fs::rename(listingArchive() + ".aside", listingArchive());
    EXPECT_EQ(window->List1->count(), window->control().ListCount());
    EXPECT_TRUE(confirmations().empty());
    EXPECT_FALSE(scripted.messages.empty()) << "the control reports the missing archive itself";
}

TEST_F(TestClient, ZipAndSplitSplitsEvenWhenTheZipIsCancelled) {
    scripted.chooserAnswers.push_back(Answer::cancel());
    window->mnuZipandSplit->trigger();
    EXPECT_EQ(confirmations(), std::vector<std::string>{"Split successful."});
    EXPECT_EQ(scripted.pointers, (std::vector<pw::MousePointer>{pw::MousePointer::Wait, pw::MousePointer::Default}));
    EXPECT_TRUE(fs::exists(splitFolder() + "/Test_brix.001"));
}

TEST_F(TestClient, JoinAndUnzipExtractsEvenWhenTheJoinIsCancelled) {
    window->Command10->click();  // leaves the joined archive in the split folder
    scripted.messages.clear();
    scripted.chooserAnswers.push_back(Answer::cancel());
    scripted.overwriteAnswers.push_back({6, true});
    window->mnu_join_and_unzip->trigger();
    EXPECT_EQ(confirmations(),
              std::vector<std::string>{joinedArchive() + " joined and extracted successfully."});
}

}  // namespace
