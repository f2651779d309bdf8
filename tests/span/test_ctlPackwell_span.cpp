// The control's split and join operations: input checks and their messages,
// the file chooser they show, results, and the failure trap.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "control/Dispatch.h"
#include "control/ctlPackwell.h"
#include "span/SpanFixture.h"

namespace {

using spantest::SpanTest;
using ::testing::ElementsAre;
using ::testing::StartsWith;
using Answer = pw::ScriptedPlatform::ChooserAnswer;
using namespace std::string_literals;

const char* const kFirstPiece = "You must choose the first file with extension .001";

class ControlSpanTest : public SpanTest {
protected:
    ctlPackwell control;
};

TEST_F(ControlSpanTest, SplitOfAMissingFileSaysSoAndFails) {
    EXPECT_FALSE(control.SPLITfile(at("nothing.zip"), 1));
    EXPECT_THAT(ui.messageTexts(), ElementsAre("Unable to locate " + at("nothing.zip")));
    EXPECT_EQ(ui.messages[0].caption, "PackwellDEMO");
    EXPECT_TRUE(names().empty());
    // A folder is not a file to split.
    std::filesystem::create_directory(at("folder.zip"));
    EXPECT_FALSE(control.SPLITfile(at("folder.zip"), 1));
    EXPECT_EQ(ui.messageTexts().back(), "Unable to locate " + at("folder.zip"));
}

TEST_F(ControlSpanTest, SplitOfASmallFileShowsTheEngineMessageAndSucceeds) {
    make("small.zip", 100);
    EXPECT_TRUE(control.SPLITfile(at("small.zip"), 1));
    EXPECT_THAT(ui.messageTexts(), ElementsAre(spantest::kSmaller));
    EXPECT_THAT(names(), ElementsAre("small.zip"));
}

TEST_F(ControlSpanTest, SplitIntoAFolderAppendsTheSlashToTheCallersVariable) {
    std::filesystem::create_directory(at("testsplit"));
    make("archive.zip", 3000);
    std::string destination = at("testsplit");
    EXPECT_TRUE(control.SPLITfile(at("archive.zip"), 1, destination));
    EXPECT_EQ(destination, at("testsplit") + "/");
    EXPECT_TRUE(pwtest::exists(at("testsplit/archive.003")));
}

TEST_F(ControlSpanTest, FailuresBecomeNumberColonDescription) {
    make("archive.zip", 3000);
    std::string destination = at("nowhere");
    EXPECT_FALSE(control.SPLITfile(at("archive.zip"), 1, destination));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_THAT(ui.messages[0].text, StartsWith("76: Path not found"));
    EXPECT_EQ(ui.messages[0].caption, "PackwellDEMO");

    EXPECT_FALSE(control.SPLITfile(at("archive.zip"), 0));
    EXPECT_THAT(ui.messageTexts().back(), StartsWith("5: Invalid procedure call or argument"));
    EXPECT_FALSE(control.SPLITfile(at("archive.zip"), 2097152));
    EXPECT_EQ(ui.messageTexts().back(), "6: Overflow");
}

TEST_F(ControlSpanTest, FailedSizeCheckIsAFailedSplitWithOrWithoutDialog) {
    make("archive.zip", 3000);
    // The host, running between pieces, adds a byte to a finished piece.
    auto tamper = [&] {
        if (ui.doEventsCount == 2) {
            std::ofstream(at("archive.001"), std::ios::app | std::ios::binary) << 'x';
        }
    };
    ui.onDoEvents = tamper;
    EXPECT_FALSE(control.SPLITfile(at("archive.zip"), 1));
    EXPECT_THAT(ui.messageTexts(), ElementsAre(spantest::kSizeMismatch));
    ui.doEventsCount = 0;
    ui.chooserAnswers.push_back(Answer::choose({at("archive.zip")}));
    EXPECT_FALSE(control.SPLITfile_with_dialog(0, 1));
    EXPECT_EQ(ui.messageTexts().size(), 2u);
}

TEST_F(ControlSpanTest, SplitDialogAsksForAnyFileAndSplitsIt) {
    make("archive.zip", 3000);
    ui.chooserAnswers.push_back(Answer::choose({at("archive.zip")}));
    EXPECT_TRUE(control.SPLITfile_with_dialog(4711, 1));
    ASSERT_EQ(ui.chooserRecords.size(), 1u);
    const pw::OpenFileName& r = ui.chooserRecords[0];
    EXPECT_EQ(r.title, "Choose File to Span");
    EXPECT_EQ(r.filter, "All Files (*.*)\0*.*\0\0"s);
    EXPECT_EQ(r.hwndOwner, 4711);
    EXPECT_EQ(r.flags, pw::OFN_FILEMUSTEXIST);
    EXPECT_EQ(r.nFilterIndex, 1u);
    EXPECT_TRUE(r.initialDir.empty());
    EXPECT_TRUE(r.defExt.empty());
    EXPECT_TRUE(pwtest::exists(at("archive.003")));
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(ControlSpanTest, CancelledDialogsDoNothingAndSayNothing) {
    ui.chooserAnswers.push_back(Answer::cancel());
    EXPECT_FALSE(control.SPLITfile_with_dialog(0, 1));
    ui.chooserAnswers.push_back(Answer::cancel());
    EXPECT_EQ(control.JOINfiles_with_dialog(0), "");
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(ControlSpanTest, JoinWantsTheFirstPiece) {
    make("archive.zip", 3000);
    ASSERT_TRUE(control.SPLITfile(at("archive.zip"), 1));
    EXPECT_EQ(control.JOINfiles(at("archive.002")), "");
    EXPECT_THAT(ui.messageTexts(), ElementsAre(kFirstPiece));
    EXPECT_EQ(control.JOINfiles(at("archive.001.gone")), "");
    EXPECT_EQ(ui.messageTexts().back(), "Unable to locate " + at("archive.001.gone"));

    ui.chooserAnswers.push_back(Answer::choose({at("archive.002")}));
    EXPECT_EQ(control.JOINfiles_with_dialog(0), "");
    EXPECT_EQ(ui.messageTexts().back(), kFirstPiece);
    EXPECT_EQ(ui.chooserRecords.back().filter, "First file (*.001)\0*.001\0\0"s);
    EXPECT_EQ(ui.chooserRecords.back().title, "Choose File to Span");
}

TEST_F(ControlSpanTest, JoinWithAndWithoutDialogGiveTheSameSet) {
    std::filesystem::create_directory(at("out"));
    std::string src = make("archive.zip", 3000);
    std::string destination = at("out");
    ASSERT_TRUE(control.SPLITfile(at("archive.zip"), 1, destination));
    EXPECT_EQ(control.JOINfiles(at("out/archive.001")), "archive.zip");
    EXPECT_EQ(pwtest::readFile(at("out/archive.zip")), src);
    ui.chooserAnswers.push_back(Answer::choose({at("out/archive.001")}));
    EXPECT_EQ(control.JOINfiles_with_dialog(0), "archive_Copy.zip");
    EXPECT_EQ(pwtest::readFile(at("out/archive_Copy.zip")), src);
    EXPECT_THAT(ui.messageTexts(), ElementsAre(spantest::kCopyMessage));
}

TEST_F(ControlSpanTest, JoinFailuresAreTrapped) {
    pwtest::writeFile(at("bad.001"), "zip");
    EXPECT_EQ(control.JOINfiles(at("bad.001")), "");
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_THAT(ui.messages[0].text, StartsWith("62: Input past end of file"));
}

TEST_F(ControlSpanTest, DispatchPassesTheDestinationByReference) {
    std::filesystem::create_directory(at("d"));
    make("archive.zip", 3000);
    std::vector<pw::Variant> args{pw::Variant(at("archive.zip")), pw::Variant(std::int32_t{1}), pw::Variant(at("d"))};
    pw::Variant r = pw::Invoke(control, pw::DISPID_SPLITfile, pw::DispatchKind::Method, args);
    EXPECT_EQ(r, pw::Variant(true));
    EXPECT_EQ(args[2].toString(), at("d") + "/");
    std::vector<pw::Variant> join{pw::Variant(at("d/archive.001"))};
    EXPECT_EQ(pw::Invoke(control, pw::DISPID_JOINfiles, pw::DispatchKind::Method, join), pw::Variant("archive.zip"));
}

}  // namespace
