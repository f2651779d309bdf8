// The property-style chooser over the scripted platform: what it hands the
// chooser, and how it reads single and multiple selections back.
#include <gtest/gtest.h>

#include "dialogs/CFileDialog.h"
#include "support/ScriptedPlatform.h"

namespace {

using Answer = pw::ScriptedPlatform::ChooserAnswer;
using List = std::vector<std::string>;

class CFileDialogTest : public ::testing::Test {
protected:
    pw::ScriptedPlatform platform;
    pw::ScopedPlatform scope{platform};

    // The control's files-to-zip chooser.
    static void multiSetup(CFileDialog& d) {
        d.DialogMode(1);
        d.Path("/");
        d.Flags(528900);
        d.hwndOwner(42);
        d.Mask("All (*.*)| *.*");
        d.Title("Choose files to zip");
    }
};

TEST_F(CFileDialogTest, DialogModeSetsTheDefaultFlags) {
    CFileDialog d;
    d.DialogMode(1);
    EXPECT_EQ(d.Flags(), 530444);
    d.DialogMode(2);
    EXPECT_EQ(d.Flags(), 534542);
    d.DialogMode(7);
    EXPECT_EQ(d.Flags(), 0);
    EXPECT_EQ(d.DialogMode(), 7);
}

TEST_F(CFileDialogTest, MultiSelectionRecordAsTheChooserSeesIt) {
    platform.chooserAnswers.push_back(Answer::cancel());
    CFileDialog d;
    multiSetup(d);
    d.FileName();
    ASSERT_EQ(platform.chooserRecords.size(), 1u);
    const pw::OpenFileName& r = platform.chooserRecords[0];
    EXPECT_EQ(r.hwndOwner, 42);
    EXPECT_EQ(r.flags, 528900u);
    EXPECT_EQ(r.filter, std::string("All (*.*)\0 *.*\0\0", 16));
    EXPECT_EQ(r.nMaxFile, 1024u);
    EXPECT_EQ(r.file, std::string(1024, '\0'));
    EXPECT_EQ(r.nMaxFileTitle, 260u);
    EXPECT_EQ(r.nMaxCustFilter, 60u);
    EXPECT_EQ(r.customFilter, std::string(60, '\0'));
    EXPECT_EQ(r.initialDir, "/");
    EXPECT_EQ(r.title, "Choose files to zip");
}

TEST_F(CFileDialogTest, EmptyMaskOffersAllFiles) {
    platform.chooserAnswers.push_back(Answer::cancel());
    CFileDialog d;
    d.DialogMode(1);
    d.FileName();
    EXPECT_EQ(platform.chooserRecords[0].filter, std::string("All Files (*.*)\0*.*\0\0", 21));
    EXPECT_EQ(platform.chooserRecords[0].nMaxFile, 260u);
}

TEST_F(CFileDialogTest, ThreeFilesGiveThreeFullPathsInOrder) {
    platform.chooserAnswers.push_back(Answer::choose({"/data/in/b.txt", "/data/in/a.txt", "/data/in/c d.bin"}));
    CFileDialog d;
    multiSetup(d);
    auto v = d.FileName();
    ASSERT_TRUE(std::holds_alternative<List>(v));
    EXPECT_EQ(std::get<List>(v), (List{"/data/in/b.txt", "/data/in/a.txt", "/data/in/c d.bin"}));
    EXPECT_EQ(d.Path(), "/data/in");
    EXPECT_EQ(d.FileTitle(), "");
}

TEST_F(CFileDialogTest, FilesInTheRootGetNoSecondSeparator) {
    platform.chooserAnswers.push_back(Answer::choose({"/a.txt", "/b.txt"}));
    CFileDialog d;
    multiSetup(d);
    EXPECT_EQ(std::get<List>(d.FileName()), (List{"/a.txt", "/b.txt"}));
}

TEST_F(CFileDialogTest, NonAsciiNamesSurviveTheOffsets) {
    platform.chooserAnswers.push_back(Answer::choose({"/dätä/ünï/é1.txt", "/dätä/ünï/ß"}));
    CFileDialog d;
    multiSetup(d);
    EXPECT_EQ(std::get<List>(d.FileName()), (List{"/dätä/ünï/é1.txt", "/dätä/ünï/ß"}));
}

TEST_F(CFileDialogTest, OneFileUnderMultiSelectionIsAListOfOne) {
    platform.chooserAnswers.push_back(Answer::choose({"/data/in/only.txt"}));
    CFileDialog d;
    multiSetup(d);
    EXPECT_EQ(std::get<List>(d.FileName()), List{"/data/in/only.txt"});
}

TEST_F(CFileDialogTest, OneFileWithoutExtensionUnderMultiSelectionIsItsFullPath) {
    platform.chooserAnswers.push_back(Answer::choose({"/data/in/README"}));
    platform.chooserAnswers.push_back(Answer::choose({"/Makefile"}));
    CFileDialog d;
    multiSetup(d);
    EXPECT_EQ(std::get<List>(d.FileName()), List{"/data/in/README"});
    CFileDialog e;
    multiSetup(e);
    EXPECT_EQ(std::get<List>(e.FileName()), List{"/Makefile"});
}

TEST_F(CFileDialogTest, SingleSelectionFillsPathTitleAndExtension) {
    platform.chooserAnswers.push_back(Answer::choose({"/data/in/report.final.pdf"}, 2));
    CFileDialog d;
    d.DialogMode(1);
    d.Mask("Docs|*.pdf|All|*.*");
    auto v = d.FileName();
    ASSERT_TRUE(std::holds_alternative<std::string>(v));
    EXPECT_EQ(std::get<std::string>(v), "/data/in/report.final.pdf");
    EXPECT_EQ(d.Path(), "/data/in/");
    EXPECT_EQ(d.FileTitle(), "report.final.pdf");
    EXPECT_EQ(d.Extension(), "pdf");
    EXPECT_EQ(d.DefaultFilterIndex(), 2);
    EXPECT_EQ(d.FileOffset(), 9);
    EXPECT_EQ(d.Mask(), std::string("Docs\0*.pdf\0All\0*.*\0\0", 20));
}

TEST_F(CFileDialogTest, SingleSelectionWithoutExtensionHasNoExtension) {
    platform.chooserAnswers.push_back(Answer::choose({"/data/README"}));
    CFileDialog d;
    d.DialogMode(2);
    EXPECT_EQ(std::get<std::string>(d.FileName()), "/data/README");
    EXPECT_EQ(d.Extension(), "");
}

TEST_F(CFileDialogTest, CancelReadsEmptyAndClearsTheRecord) {
    platform.chooserAnswers.push_back(Answer::cancel());
    CFileDialog d;
    multiSetup(d);
    EXPECT_EQ(std::get<std::string>(d.FileName()), "");
    EXPECT_EQ(d.LastError(), 0);
    EXPECT_EQ(d.Flags(), 0);
    EXPECT_EQ(d.Title(), "");
    EXPECT_EQ(d.Mask(), "");
    EXPECT_EQ(d.Path(), "");
    EXPECT_EQ(d.hwndOwner(), 0);
    EXPECT_EQ(d.DialogMode(), 1);
}

TEST_F(CFileDialogTest, FailureRecordsTheExtendedError) {
    platform.chooserAnswers.push_back(Answer::fail(pw::CDERR_INITIALIZATION));
    CFileDialog d;
    multiSetup(d);
    EXPECT_EQ(std::get<std::string>(d.FileName()), "");
    EXPECT_EQ(d.LastError(), static_cast<std::int32_t>(pw::CDERR_INITIALIZATION));
}

TEST_F(CFileDialogTest, NoModeAsksNothingAndFails) {
    CFileDialog d;
    d.Title("x");
    EXPECT_EQ(std::get<std::string>(d.FileName()), "");
    EXPECT_TRUE(platform.chooserRecords.empty());
}

TEST_F(CFileDialogTest, TooLongFileNameFailsWithoutAskingOrClearing) {
    CFileDialog d;
    d.DialogMode(1);
    d.Title("keep me");
    d.FileName(std::string(261, 'x'));
    EXPECT_EQ(std::get<std::string>(d.FileName()), "");
    EXPECT_TRUE(platform.chooserRecords.empty());
    EXPECT_EQ(d.Title(), "keep me");
}

TEST_F(CFileDialogTest, WritingAListToFileNameIsIgnored) {
    CFileDialog d;
    d.FileName(std::string("/start.txt"));
    d.FileName(List{"/x", "/y"});
    EXPECT_EQ(d.Record().file, "/start.txt");
}

TEST_F(CFileDialogTest, CustomFilterIsThePatternAfterTheEmptyDescription) {
    platform.chooserAnswers.push_back(Answer::choose({"/a.txt"}));
    CFileDialog d;
    d.DialogMode(1);
    d.FileName();
    EXPECT_EQ(d.CustomFilter(), "");
}

TEST_F(CFileDialogTest, GetFileTitleIsTheName) {
    CFileDialog d;
    EXPECT_EQ(d.GetFileTitle("/a/b/c.txt"), "c.txt");
    EXPECT_EQ(d.GetFileTitle("c.txt"), "c.txt");
}

// A chooser that leaves an exact buffer and offsets in the record, as a
// misbehaving chooser might (found by fuzz/fuzz_cfiledialog).
class RawChooser : public pw::ScriptedPlatform {
public:
    std::string buffer;
    std::uint16_t fileOffset = 0, extensionOffset = 0;
    int getOpenFileName(pw::OpenFileName& ofn) override {
        ofn.file = buffer;
        ofn.file.resize(ofn.nMaxFile, '\0');
        ofn.nFileOffset = fileOffset;
        ofn.nFileExtension = extensionOffset;
        return 1;
    }
};

TEST(CFileDialogRawBuffer, NameOffsetPastTheFolderGivesPathsWithoutNul) {
    RawChooser chooser;
    chooser.buffer = std::string("me/user\0at\0\x16\0\0", 14);
    chooser.fileOffset = 11;
    pw::ScopedPlatform scope(chooser);
    CFileDialog d;
    d.DialogMode(1);
    d.Flags(d.Flags() | pw::OFN_ALLOWMULTISELECT);
    auto list = std::get<List>(d.FileName());
    ASSERT_FALSE(list.empty());
    for (const std::string& p : list) {
        EXPECT_EQ(p.find('\0'), std::string::npos);
        EXPECT_EQ(p.rfind("me/user/", 0), 0u) << p;
    }
    EXPECT_EQ(d.Path(), "me/user");
}

TEST(CFileDialogRawBuffer, OldStyleListEndsAtItsNul) {
    RawChooser chooser;
    chooser.buffer = std::string("/home e\0\0\0\0\0\0\0a.txt b.txt\0\0", 22);
    chooser.fileOffset = 11;
    pw::ScopedPlatform scope(chooser);
    CFileDialog d;
    d.DialogMode(1);
    d.Flags((d.Flags() | pw::OFN_ALLOWMULTISELECT) & ~static_cast<std::int32_t>(pw::OFN_EXPLORER));
    // Nothing names a file before the NUL: no selection, not names with NULs.
    EXPECT_EQ(std::get<std::string>(d.FileName()), "");

    chooser.buffer = std::string("/home\0a.txt b.txt\0\0", 20);
    chooser.fileOffset = 6;
    CFileDialog d2;
    d2.DialogMode(1);
    d2.Flags((d2.Flags() | pw::OFN_ALLOWMULTISELECT) & ~static_cast<std::int32_t>(pw::OFN_EXPLORER));
    EXPECT_EQ(std::get<List>(d2.FileName()), (List{"/home/a.txt", "/home/b.txt"}));
}

}  // namespace
