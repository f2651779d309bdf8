// The control's listing and direct extraction, against the scripted
// stand-in engine, with questions answered by the scripted platform; and the
// packwell list / unzip commands on top of them.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <functional>

#include "FakeEngineSupport.h"
#include "control/Dispatch.h"
#include "control/ctlPackwell.h"
#include "errors/Error.h"
#include "platform/OleDate.h"
#include "support/ScriptedPlatform.h"
#include "support/TempDir.h"
#include "unzip/cUnzip.h"
#include "support/Errors.h"
#include "support/Process.h"

namespace {

using pwtest::FakeUnzipEngine;

std::string listLine(const std::string& path, unsigned size = 1000, unsigned factor = 40, unsigned minute = 30) {
    return "list\t5\t" + std::to_string(size) + "\t" + std::to_string(factor) + "\t7\t14\t2001\t9\t" +
           std::to_string(minute) + "\t32\t" + path + "\tDeflated\t0x1\t0\n";
}

using pwtest::errorNumberOf;

class ControlUnzipTest : public ::testing::Test {
protected:
    void SetUp() override {
        engine().script("");
        archive = dir / "a.zip";
        pwtest::writeFile(archive, "not read by the stand-in");
        std::filesystem::create_directories(dir / "out");
        out = dir / "out";
    }
    static FakeUnzipEngine& engine() { return FakeUnzipEngine::get(); }
    pwtest::TempDir dir;
    std::string archive, out;
    pw::ScriptedPlatform ui;
    pw::ScopedPlatform scope{ui};
    ctlPackwell c;
};

TEST_F(ControlUnzipTest, ListingFillsTheTableInArchiveOrder) {
    engine().script(listLine("z.txt", 1000, 45) + listLine("docs/") + listLine("docs/b.txt", 0, 0) +
                    listLine("c.bin", 50000000, 60));
    EXPECT_TRUE(c.ListFilesFromZip(archive));
    ASSERT_EQ(c.ListCount(), 3);
    ctlListing r1 = c.getListFiles(1);
    EXPECT_EQ(r1.FileName, "z.txt");
    EXPECT_EQ(r1.FileSize, 1000);
    EXPECT_EQ(r1.FilePackedSize, 450);
    EXPECT_EQ(r1.FileDirectory, "");
    EXPECT_EQ(r1.FileCompressionRatio, 45);
    EXPECT_DOUBLE_EQ(r1.FileDate, pw::makeOleDate(2001, 7, 14, 9, 30, 0));
    EXPECT_EQ(pw::splitOleDate(r1.FileDate).second, 0);
    EXPECT_EQ(c.getListFiles(2).FileDirectory, "docs");
    EXPECT_EQ(c.getListFiles(3).FilePackedSize, 30000000);  // needs a 64-bit product
    EXPECT_EQ(errorNumberOf([&] { c.getListFiles(0); }), 9);
    EXPECT_EQ(errorNumberOf([&] { c.getListFiles(4); }), 9);
    EXPECT_EQ(c.getListFileSize64(3), 50000000u);
    EXPECT_EQ(c.getListFilePackedSize64(1), 450u);
    EXPECT_EQ(errorNumberOf([&] { c.getListFilePackedSize64(0); }), 9);
    EXPECT_EQ(errorNumberOf([&] { c.getListFileSize64(4); }), 9);
    EXPECT_EQ(c.getListFileMethod(1), "Deflated");
    EXPECT_EQ(c.getListFileCRC(3), 1u);
    EXPECT_FALSE(c.getListFileEncrypted(2));
    EXPECT_EQ(errorNumberOf([&] { c.getListFileMethod(0); }), 9);
    EXPECT_EQ(errorNumberOf([&] { c.getListFileCRC(4); }), 9);
    EXPECT_EQ(errorNumberOf([&] { c.getListFileEncrypted(4); }), 9);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(engine().last().zipFN, archive);
}

TEST_F(ControlUnzipTest, AnEmptyArchiveEmptiesAnEarlierTable) {
    engine().script(listLine("1") + listLine("2") + listLine("3") + listLine("4") + listLine("5"));
    ASSERT_TRUE(c.ListFilesFromZip(archive));
    ASSERT_EQ(c.ListCount(), 5);
    engine().script(listLine("only/a/folder/"));
    EXPECT_FALSE(c.ListFilesFromZip(archive));
    EXPECT_EQ(c.ListCount(), 0);
    EXPECT_EQ(errorNumberOf([&] { c.getListFiles(1); }), 9);
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(ControlUnzipTest, AMissingArchiveKeepsTheEarlierTable) {
    engine().script(listLine("a") + listLine("b"));
    ASSERT_TRUE(c.ListFilesFromZip(archive));
    int calls = engine().calls();
    EXPECT_FALSE(c.ListFilesFromZip(dir / "missing.zip"));
    EXPECT_EQ(ui.messageTexts(), std::vector<std::string>{"Unable to locate " + (dir / "missing.zip")});
    EXPECT_EQ(ui.messages[0].caption, "PackwellDEMO");
    EXPECT_EQ(engine().calls(), calls);
    EXPECT_EQ(c.ListCount(), 2);
    EXPECT_EQ(c.getListFiles(2).FileName, "b");
    // A folder is not an archive either.
    EXPECT_FALSE(c.ListFilesFromZip(out));
    EXPECT_EQ(c.ListCount(), 2);
}

TEST_F(ControlUnzipTest, AnUnreadableArchiveListsNothingAndSaysWhy) {
    engine().script("print\terror: not a zip archive\noutcome\t5\t" + archive + "\t0\tnot a zip archive\nreturn\t9\n");
    EXPECT_FALSE(c.ListFilesFromZip(archive));
    EXPECT_EQ(c.ListCount(), 0);
    EXPECT_EQ(ui.messageTexts(), std::vector<std::string>{"Unable to read " + archive + ": damaged: not a zip archive"});
}

TEST_F(ControlUnzipTest, AnOverflowingEntryFailsTheCallAndKeepsTheTable) {
    engine().script(listLine("a"));
    ASSERT_TRUE(c.ListFilesFromZip(archive));
    engine().script(listLine("big", 0x7fffffff, 200));
    EXPECT_EQ(errorNumberOf([&] { c.ListFilesFromZip(archive); }), pw::kOverflow);
    EXPECT_EQ(c.ListCount(), 1);
    EXPECT_EQ(c.getListFiles(1).FileName, "a");
}

TEST_F(ControlUnzipTest, ListingByDispatchIdentifier) {
    engine().script(listLine("x/y.txt"));
    std::vector<pw::Variant> args{pw::Variant(archive)};
    EXPECT_TRUE(pw::Invoke(c, pw::DISPID_ListFilesFromZip, pw::DispatchKind::Method, args).toBool());
    std::vector<pw::Variant> one{pw::Variant(std::int32_t{1})};
    EXPECT_EQ(pw::Invoke(c, pw::DISPID_getListFiles, pw::DispatchKind::PropertyGet, one).toListing().FileName,
              "y.txt");
}

TEST_F(ControlUnzipTest, UnzipDirectlyChecksItsPathsFirst) {
    int calls = engine().calls();
    EXPECT_FALSE(c.UnzipDirectly(dir / "missing.zip", out, true));
    EXPECT_FALSE(c.UnzipDirectly(archive, dir / "nowhere", true));
    EXPECT_EQ(ui.messageTexts(), (std::vector<std::string>{"Unable to find " + (dir / "missing.zip"),
                                                           "Unable to find folder: " + (dir / "nowhere")}));
    EXPECT_EQ(engine().calls(), calls);
    EXPECT_EQ(c.unzipObject(), nullptr);
}

TEST_F(ControlUnzipTest, UnzipDirectlyExtractsEverythingAndMapsTheOverwriteAnswers) {
    engine().script("replace\ta\nreplace\tb\nreplace\tc\nreplace\td\nreplace\te\nreturn\t1\n");
    ui.overwriteAnswers = {{6, true}, {6, false}, {7, true}, {7, false}, {2, false}};
    EXPECT_TRUE(c.UnzipDirectly(archive, out, true));
    const FakeUzCall& call = engine().last();
    EXPECT_EQ(call.replies, (std::vector<std::int32_t>{103, 102, 104, 100, 104}));
    EXPECT_EQ(ui.overwriteQuestions.size(), 5u);
    EXPECT_EQ(ui.overwriteQuestions[0], "Do you want to overwrite the existing copy of a?");
    EXPECT_EQ(call.includeCount, 0);
    EXPECT_EQ(call.dcl.PromptToOverwrite, 1);
    EXPECT_EQ(call.dcl.nvflag, 0);
    EXPECT_EQ(call.dcl.noflag + call.dcl.ndflag + call.dcl.ExtractOnlyNewer + call.dcl.ntflag, 0);
    EXPECT_EQ(call.zipFN, archive);
    EXPECT_EQ(call.extractDir, out);
    ASSERT_NE(c.unzipObject(), nullptr);
    EXPECT_TRUE(ui.messages.empty());

    // Overwrite left out: no question is allowed.
    engine().script("");
    EXPECT_TRUE(c.UnzipDirectly(archive, out));
    EXPECT_EQ(engine().last().dcl.PromptToOverwrite, 0);
}

TEST_F(ControlUnzipTest, UnzipDirectlyAsksForPasswords) {
    engine().script("password\n");
    ui.passwordAnswers = {{"secret", false}};
    EXPECT_TRUE(c.UnzipDirectly(archive, out));
    EXPECT_EQ(engine().last().passwords, std::vector<std::string>{"secret"});
}

// The entries' outcomes decide, not the result code: a run with warnings
// only fails when a warning was a refusal.
TEST_F(ControlUnzipTest, AFailedExtractionReturnsFalseAndNamesTheEntries) {
    engine().script("outcome\t0\ta.txt\noutcome\t5\tb.txt\t0\tbad CRC\noutcome\t0\tc.txt\nreturn\t2\n");
    EXPECT_FALSE(c.UnzipDirectly(archive, out));
    EXPECT_EQ(ui.messageTexts(), std::vector<std::string>{"Unable to extract " + archive + ": b.txt (damaged: bad CRC)"});
    EXPECT_EQ(c.UnzipOutcomes().entries().size(), 3u);

    engine().script("outcome\t1\tkept.txt\nreturn\t1\n");
    EXPECT_TRUE(c.UnzipDirectly(archive, out));
    engine().script("outcome\t1\tkept.txt\noutcome\t2\t../x\noutcome\t3\ts1\noutcome\t3\ts2\nreturn\t1\n");
    EXPECT_FALSE(c.UnzipDirectly(archive, out));
    EXPECT_EQ(ui.messageTexts().back(),
              "Unable to extract " + archive +
                  ": 3 entries did not come out: ../x (refused as unsafe), s1 (no password given), s2 (no password given)");
    EXPECT_EQ(c.unzipObject()->Outcomes().failures(), 3u);
}

// --- The command line ---

struct CliRun {
    int status;
    std::string out, err;
};

CliRun packwell(const std::string& args, const std::string& script, const pwtest::TempDir& dir) {
    std::string scriptFile = dir / "script.txt";
    pwtest::writeFile(scriptFile, script);
    std::string cmd = "FAKE_UZ_SCRIPT_FILE='" + scriptFile + "' FAKE_UZ_LOG_FILE='" + (dir / "log.txt") +
                      "' PACKWELL_ENGINE_DIR='" + FakeUnzipEngine::folder() + "' '" +
                      pwtest::packwellProgram() + "' " + args + " >'" +
                      (dir / "stdout.txt") + "' 2>'" + (dir / "stderr.txt") + "' </dev/null";
    int rc = std::system(cmd.c_str());
    return {WIFEXITED(rc) ? WEXITSTATUS(rc) : -1, pwtest::readFile(dir / "stdout.txt"),
            pwtest::readFile(dir / "stderr.txt")};
}

TEST_F(ControlUnzipTest, CommandListPrintsOneTabSeparatedLinePerFile) {
    CliRun r = packwell("list '" + archive + "'", listLine("docs/a.txt", 10, 50) + listLine("b.txt", 0, 0, 5), dir);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "a.txt\t10\t5\tdocs\t2001-07-14 09:30\t50\nb.txt\t0\t0\t\t2001-07-14 09:05\t0\n");

    r = packwell("list '" + archive + "'", "", dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    r = packwell("list '" + (dir / "none.zip") + "'", "", dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Unable to locate"), std::string::npos);
    r = packwell("list", "", dir);
    EXPECT_EQ(r.status, 2);
}

TEST_F(ControlUnzipTest, CommandUnzipTakesAnswersFromTheCommandLine) {
    std::string script = "replace\ta\nreplace\tb\n";
    CliRun r = packwell("unzip '" + archive + "' '" + out + "' --prompt --answer all", script, dir);
    EXPECT_EQ(r.status, 0) << r.err;
    std::string log = pwtest::readFile(dir / "log.txt");
    EXPECT_NE(log.find("prompt=1"), std::string::npos);
    EXPECT_NE(log.find("folders=0"), std::string::npos);
    EXPECT_NE(log.find("replies: 103 103"), std::string::npos) << log;

    // Without a terminal and without an answer: keep every existing file.
    std::filesystem::remove(dir / "log.txt");
    r = packwell("unzip '" + archive + "' '" + out + "' --overwrite", script, dir);
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(pwtest::readFile(dir / "log.txt").find("replies: 104 104"), std::string::npos);

    r = packwell("unzip '" + archive + "' '" + out + "' --answer maybe", script, dir);
    EXPECT_EQ(r.status, 2);
}

TEST_F(ControlUnzipTest, CommandUnzipWithFolderNamesAndAPasswordFile) {
    pwtest::writeFile(dir / "pw.txt", "  s3cret \nsecond line\n");
    CliRun r = packwell("unzip '" + archive + "' '" + out + "' --folder-names --password-file '" + (dir / "pw.txt") + "'",
                     "password\n", dir);
    EXPECT_EQ(r.status, 0) << r.err;
    std::string log = pwtest::readFile(dir / "log.txt");
    EXPECT_NE(log.find("folders=1"), std::string::npos);
    EXPECT_NE(log.find("prompt=0"), std::string::npos);
    EXPECT_NE(log.find("passwords: [s3cret]"), std::string::npos) << log;
    EXPECT_NE(log.find("extract: " + out), std::string::npos);

    r = packwell("unzip '" + archive + "' '" + (dir / "nowhere") + "' --folder-names", "", dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Unable to find folder: "), std::string::npos);
}

TEST_F(ControlUnzipTest, CommandUnzipFailsWhenAnEntryIsRefusedButNotWhenOneIsKept) {
    // The message lines say nothing about the outcome; the outcomes do.
    CliRun r = packwell("unzip '" + archive + "' '" + out + "'",
                        "print\t  error: a.txt failed\noutcome\t1\ta.txt\t0\tfile exists, kept\nreturn\t1\n", dir);
    EXPECT_EQ(r.status, 0) << r.err;
    r = packwell("unzip '" + archive + "' '" + out + "' --folder-names",
                 "print\t  inflating: ok\noutcome\t2\t../evil\t0\tleaves the folder\noutcome\t7\tw.txt\t28\tNo space "
                 "left on device\nreturn\t1\n",
                 dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("\npackwell: ../evil: refused as unsafe: leaves the folder\n"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("\npackwell: w.txt: could not be written: No space left on device\n"), std::string::npos);
    r = packwell("unzip '" + archive + "' '" + out + "'", "outcome\t5\t" + archive + "\t0\tnot a zip\nreturn\t9\n", dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Unable to extract"), std::string::npos);
}

}  // namespace
