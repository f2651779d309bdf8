// The control's zip operations over the scripted platform and the fake
// engine: their checks and messages, what they hand the engine, results.
#include <gtest/gtest.h>

#include "FakeZip.h"
#include "control/Dispatch.h"
#include "control/ctlPackwell.h"
#include "support/ScriptedPlatform.h"
#include "support/TempDir.h"
#include "zip/cZip.h"

namespace {

using Answer = pw::ScriptedPlatform::ChooserAnswer;
using pwtest::fakeZip;
using Texts = std::vector<std::string>;

class ZipOperations : public pwtest::FakeZipTest {
protected:
    pw::ScriptedPlatform platform;
    pw::ScopedPlatform scope{platform};
    pwtest::TempDir dir;
    ctlPackwell control;
    std::string src, zip;

    void SetUp() override {
        FakeZipTest::SetUp();
        src = dir / "a.txt";
        zip = dir / "out.zip";
        pwtest::writeFile(src, "hello");
    }
    std::vector<std::string> names() const {
        std::vector<std::string> out;
        for (int i = 0; i < fakeZip().count; ++i) out.push_back(fakeZip().slots[i].value_or("(null)"));
        return out;
    }
};

TEST_F(ZipOperations, ZipOneFileHandsTheFileAndTheOptionsOver) {
    EXPECT_TRUE(control.zipONEfile(src, zip, true));
    EXPECT_TRUE(platform.messages.empty());
    EXPECT_EQ(names(), Texts{src});
    EXPECT_EQ(fakeZip().archive, std::optional<std::string>(zip));
    EXPECT_EQ(fakeZip().options.fJunkDir, 0);
    EXPECT_EQ(fakeZip().options.fRecurse, 0);
    EXPECT_EQ(fakeZip().options.fEncrypt, 0);
    EXPECT_EQ(fakeZip().options.fGrow, 0);
    ASSERT_TRUE(control.zipObject());
    EXPECT_TRUE(control.zipObject()->StoreFolderNames());
}

TEST_F(ZipOperations, ZipOneFileWithoutKeepFolderJunksNames) {
    EXPECT_TRUE(control.zipONEfile(src, zip, false));
    EXPECT_EQ(fakeZip().options.fJunkDir, 1);
}

TEST_F(ZipOperations, ZipOneFileWithMissingSourceShowsItsPath) {
    std::string missing = dir / "missing.txt";
    EXPECT_FALSE(control.zipONEfile(missing, zip, false));
    EXPECT_EQ(platform.messageTexts(), Texts{"Unable to find " + missing});
    EXPECT_EQ(platform.messages[0].caption, "PackwellDEMO");
    EXPECT_TRUE(fakeZip().calls.empty());
    EXPECT_FALSE(control.zipObject());
}

TEST_F(ZipOperations, AFolderIsNotAFileToZip) {
    EXPECT_FALSE(control.zipONEfile(dir.path().string(), zip, false));
    EXPECT_EQ(platform.messageTexts(), Texts{"Unable to find " + dir.path().string()});
}

TEST_F(ZipOperations, ZipFolderPassesThePatternWithBasePathAndRecursion) {
    EXPECT_TRUE(control.zipFolder(zip, dir.path().string(), "*.*", true));
    EXPECT_EQ(names(), Texts{"*.*"});
    EXPECT_EQ(fakeZip().rootDir, std::optional<std::string>(dir.path().string()));
    EXPECT_EQ(fakeZip().currentFolder, dir.path().string());
    EXPECT_EQ(fakeZip().options.fRecurse, 2);
    EXPECT_EQ(fakeZip().options.fJunkDir, 0);
    EXPECT_TRUE(control.zipObject()->RecurseSubDirs());
}

TEST_F(ZipOperations, ZipFolderWithMissingFolderKeepsTheNewUnusedObject) {
    std::string missing = dir / "nope";
    EXPECT_FALSE(control.zipFolder(zip, missing, "*.*", true));
    EXPECT_EQ(platform.messageTexts(), Texts{"Unable to find " + missing});
    ASSERT_TRUE(control.zipObject());
    EXPECT_EQ(control.zipObject()->FileSpecCount(), 0);
    EXPECT_TRUE(fakeZip().calls.empty());
}

TEST_F(ZipOperations, AddFileToZipChecksTheArchiveFirst) {
    std::string missingZip = dir / "none.zip", missingFile = dir / "none.txt";
    EXPECT_FALSE(control.addFileToZip(missingFile, missingZip, false));
    EXPECT_EQ(platform.messageTexts(), Texts{"Unable to find " + missingZip});
    pwtest::writeFile(zip, "PK");
    EXPECT_FALSE(control.addFileToZip(missingFile, zip, false));
    EXPECT_EQ(platform.messageTexts().back(), "Unable to find " + missingFile);
    EXPECT_TRUE(control.addFileToZip(src, zip, false));
    EXPECT_EQ(names(), Texts{src});
}

TEST_F(ZipOperations, DialogSelectionIsAddedInTheChoosersOrder) {
    std::string b = dir / "b.txt", c = dir / "c.txt";
    platform.chooserAnswers.push_back(Answer::choose({c, src, b}));
    EXPECT_TRUE(control.zipFiles_with_dialog(zip, 77, true));
    EXPECT_EQ(names(), (Texts{c, src, b}));
    ASSERT_EQ(platform.chooserRecords.size(), 1u);
    const auto& r = platform.chooserRecords[0];
    EXPECT_EQ(r.title, "Choose files to zip");
    EXPECT_EQ(r.flags, 528900u);
    EXPECT_EQ(r.hwndOwner, 77);
    EXPECT_EQ(r.initialDir, "/");
    EXPECT_EQ(r.filter, std::string("All (*.*)\0 *.*\0\0", 16));
}

TEST_F(ZipOperations, CancelledDialogGivesFalseWithoutMessageAndANewObject) {
    control.zipONEfile(src, zip, false);
    auto before = control.zipObject();
    platform.chooserAnswers.push_back(Answer::cancel());
    EXPECT_FALSE(control.zipFiles_with_dialog(zip, 0, false));
    EXPECT_TRUE(platform.messages.empty());
    ASSERT_TRUE(control.zipObject());
    EXPECT_NE(control.zipObject(), before);
    EXPECT_EQ(control.zipObject()->FileSpecCount(), 0);
}

TEST_F(ZipOperations, FailedDialogGivesFalse) {
    platform.chooserAnswers.push_back(Answer::fail(pw::CDERR_INITIALIZATION));
    EXPECT_FALSE(control.zipFiles_with_dialog(zip, 0, false));
    EXPECT_TRUE(fakeZip().calls.empty());
}

TEST_F(ZipOperations, AddFilesWithDialogOnMissingArchiveShowsNoDialog) {
    std::string missing = dir / "none.zip";
    EXPECT_FALSE(control.addFilesToZip_with_dialog(missing, 0, false));
    EXPECT_EQ(platform.messageTexts(), Texts{"Unable to find " + missing});
    EXPECT_TRUE(platform.chooserRecords.empty());
}

TEST_F(ZipOperations, AddFilesWithDialogZipsIntoTheExistingArchive) {
    pwtest::writeFile(zip, "PK");
    platform.chooserAnswers.push_back(Answer::choose({src}));
    EXPECT_TRUE(control.addFilesToZip_with_dialog(zip, 0, false));
    EXPECT_EQ(names(), Texts{src});
}

TEST_F(ZipOperations, EngineFailureIsShownAndReadsFalse) {
    fakeZip().result = ZE_CREAT;
    fakeZip().script.push_back({FakeZipAction::Print, "zip error: could not create out.zip", 36});
    EXPECT_FALSE(control.zipONEfile(src, zip, false));
    ASSERT_EQ(platform.messages.size(), 1u);
    const std::string& text = platform.messages[0].text;
    EXPECT_EQ(text.rfind("75: ", 0), 0u) << text;
    EXPECT_NE(text.find(zip), std::string::npos) << text;
    EXPECT_NE(text.find("could not create out.zip"), std::string::npos) << text;
}

// The result is the run's: the archive written with everything asked for.
// A file left out is named, with the number of its errno, and the archive
// is said to be written without it.
TEST_F(ZipOperations, ResultsFollowTheEntriesOutcomes) {
    auto outcomes = [](std::vector<FakeZipEntryOutcome> list, std::int32_t result) {
        fakeZip().entryOutcomes = std::move(list);
        fakeZip().result = result;
    };
    outcomes({{BRIX_DONE, 0, "a.txt", ""}, {BRIX_KEPT, 0, "old.txt", ""}}, ZE_OK);
    EXPECT_TRUE(control.zipONEfile(src, zip, false));
    EXPECT_EQ(control.zipObject()->Outcomes().count(pw::Outcome::Done), 1u);
    EXPECT_EQ(control.zipObject()->Outcomes().count(pw::Outcome::Kept), 1u);

    struct Case {
        std::vector<FakeZipEntryOutcome> list;
        std::int32_t result;
        std::string expected;
    };
    const std::vector<Case> cases{
        {{{BRIX_DONE, 0, "a.txt", ""}, {BRIX_READ_FAILED, EACCES, "b.txt", "Permission denied"}}, ZE_OPEN,
         "70: The archive " + zip + " was written without 1 of the named files: b.txt (could not be read: Permission denied)"},
        {{{BRIX_NOT_FOUND, ENOENT, "c.txt", "No such file or directory"}}, ZE_OPEN,
         "53: The archive " + zip + " was written without 1 of the named files: c.txt (not found: No such file or directory)"},
        {{{BRIX_WRITE_FAILED, ENOSPC, zip, "No space left on device"}}, ZE_WRITE,
         "61: The archive " + zip + " was not written: error writing the archive (zip engine result 14): " + zip +
             " (could not be written: No space left on device)"},
    };
    for (const Case& c : cases) {
        platform.messages.clear();
        outcomes(c.list, c.result);
        EXPECT_FALSE(control.zipONEfile(src, zip, false));
        EXPECT_EQ(platform.messageTexts(), Texts{c.expected});
    }
}

// Encryption is the host's choice; the password given up front answers the
// engine, and a blank one is a refusal that leaves the operation False.
TEST_F(ZipOperations, EncryptionAndAPasswordGivenUpFront) {
    fakeZip().script.push_back({FakeZipAction::Password});
    control.zipEncryption(ctlPackwell::ZipEncryption::Traditional);
    control.zipPassword("s3cret");
    EXPECT_TRUE(control.zipONEfile(src, zip, false));
    EXPECT_EQ(fakeZip().options.fEncrypt, 1);
    EXPECT_EQ(fakeZip().options.fEncryption, 1);
    ASSERT_EQ(fakeZip().outcomes.size(), 1u);
    EXPECT_EQ(fakeZip().outcomes[0].passwordBuffer, "s3cret");

    control.zipPassword("   ");
    fakeZip().result = ZE_ABORT;
    EXPECT_FALSE(control.zipONEfile(src, zip, false));
    EXPECT_EQ(fakeZip().outcomes[0].result, 1);
    EXPECT_TRUE(platform.passwordOwners.empty());
}

TEST_F(ZipOperations, EngineLoadFailureIsTrapped) {
    mZip::UseEngineLibrary("libbrixzip1-absent.so");
    EXPECT_FALSE(control.zipONEfile(src, zip, false));
    mZip::UseEngineLibrary("libbrixzip1.so");
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0].text.rfind("48: ", 0), 0u);
}

TEST_F(ZipOperations, EngineLinesReachTheHostsProgress) {
    fakeZip().script.push_back({FakeZipAction::Print, "  adding: a.txt (stored 0%)", 28});
    EXPECT_TRUE(control.zipONEfile(src, zip, false));
    ASSERT_EQ(platform.progressReports.size(), 1u);
    EXPECT_EQ(platform.progressReports[0].task, "  adding: a.txt (stored 0%)");
}

TEST_F(ZipOperations, DispatchReachesTheOperations) {
    std::vector<pw::Variant> args{pw::Variant(src), pw::Variant(zip), pw::Variant(false)};
    pw::Variant r = pw::Invoke(control, pw::DISPID_zipONEfile, pw::DispatchKind::Method, args);
    EXPECT_EQ(r, pw::Variant(true));
    EXPECT_EQ(names(), Texts{src});
    std::vector<pw::Variant> folderArgs{pw::Variant(zip), pw::Variant(dir.path().string()), pw::Variant("*.txt"),
                                        pw::Variant(true)};
    EXPECT_EQ(pw::Invoke(control, pw::DISPID_zipFolder, pw::DispatchKind::Method, folderArgs), pw::Variant(true));
    EXPECT_EQ(names(), Texts{"*.txt"});
}

}  // namespace
