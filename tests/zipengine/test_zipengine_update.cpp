// How a run changes an existing archive: in-place update, update, freshen,
// delete, and the original staying byte-identical when a run fails or stops.
#include <algorithm>

#include "EngineFixture.h"

using namespace zetest;

namespace {

class Update : public EngineTest {
protected:
    void SetUp() override {
        write("a.txt", "alpha 1\n");
        write("b.txt", "bravo 1\n");
        setMtime(p("a.txt"), 1600000001);
        setMtime(p("b.txt"), 1600000001);
        archive = p("t.zip");
        Result r = runEngine(archive, {"a.txt", "b.txt"}, opts());
        ASSERT_EQ(r.rc, ZE_OK) << r.text;
    }
    std::vector<std::string> sortedNames() {
        auto v = entryNames(archive);
        std::sort(v.begin(), v.end());
        return v;
    }
    std::string archive;
    using V = std::vector<std::string>;
};

TEST_F(Update, ExistingArchiveIsUpdatedInPlace) {
    write("a.txt", "alpha 2\n");
    write("c.txt", "charlie\n");
    Result r = runEngine(archive, {"a.txt", "c.txt"}, opts());
    ASSERT_EQ(r.rc, ZE_OK) << r.text;
    EXPECT_EQ(sortedNames(), (V{"a.txt", "b.txt", "c.txt"}));
    EXPECT_EQ(entryData(archive, "a.txt"), "alpha 2\n");
    EXPECT_EQ(entryData(archive, "b.txt"), "bravo 1\n");
    EXPECT_NE(r.text.find("  updating: a.txt"), std::string::npos) << r.text;
    EXPECT_NE(r.text.find("  adding: c.txt"), std::string::npos) << r.text;
    EXPECT_EQ(sh("unzip -tq " + q(archive)).status, 0);
}

TEST_F(Update, UpdateReplacesOnlyByNewerFilesAndAddsNewOnes) {
    write("a.txt", "alpha 2\n");
    write("b.txt", "bravo 2\n");
    setMtime(p("a.txt"), 1600000101);  // newer
    setMtime(p("b.txt"), 1600000001);  // same second as stored
    write("c.txt", "charlie\n");
    ZPOPT o = opts();
    o.fUpdate = 1;
    ASSERT_EQ(runEngine(archive, {"*.txt"}, o).rc, ZE_OK);
    EXPECT_EQ(entryData(archive, "a.txt"), "alpha 2\n");
    EXPECT_EQ(entryData(archive, "b.txt"), "bravo 1\n");
    EXPECT_EQ(entryData(archive, "c.txt"), "charlie\n");
}

TEST_F(Update, FreshenReplacesOlderEntriesAndAddsNothing) {
    write("a.txt", "alpha 2\n");
    setMtime(p("a.txt"), 1600000101);
    write("c.txt", "charlie\n");
    ZPOPT o = opts();
    o.fFreshen = 1;
    ASSERT_EQ(runEngine(archive, {"*.txt"}, o).rc, ZE_OK);
    EXPECT_EQ(sortedNames(), (V{"a.txt", "b.txt"}));
    EXPECT_EQ(entryData(archive, "a.txt"), "alpha 2\n");
    // Nothing newer: the archive is left as it is.
    std::string before = pwtest::readFile(archive);
    EXPECT_EQ(runEngine(archive, {"*.txt"}, o).rc, ZE_OK);
    EXPECT_EQ(pwtest::readFile(archive), before);
    EXPECT_EQ(runEngine(p("missing.zip"), {"*.txt"}, o).rc, ZE_NAME);
    EXPECT_FALSE(fs::exists(p("missing.zip")));
}

TEST_F(Update, DeleteRemovesMatchingEntriesOnly) {
    write("c.log", "charlie\n");
    ASSERT_EQ(runEngine(archive, {"c.log"}, opts()).rc, ZE_OK);
    ZPOPT o = opts();
    o.fDeleteEntries = 1;
    Result r = runEngine(archive, {"*.txt"}, o);
    ASSERT_EQ(r.rc, ZE_OK) << r.text;
    EXPECT_EQ(sortedNames(), (V{"c.log"}));
    EXPECT_NE(r.text.find("  deleting: a.txt"), std::string::npos) << r.text;
    EXPECT_TRUE(fs::exists(p("a.txt")));  // only the entry goes

    std::string before = pwtest::readFile(archive);
    EXPECT_EQ(runEngine(archive, {"nothing*"}, o).rc, ZE_NONE);
    EXPECT_EQ(pwtest::readFile(archive), before);
}

TEST_F(Update, DeletingEveryEntryLeavesAValidEmptyArchive) {
    ZPOPT o = opts();
    o.fDeleteEntries = 1;
    ASSERT_EQ(runEngine(archive, {"*.*"}, o).rc, ZE_OK);
    ASSERT_TRUE(fs::exists(archive));
    EXPECT_TRUE(entryNames(archive).empty());
    EXPECT_EQ(fs::file_size(archive), 22u);  // just the end record
    EXPECT_EQ(sh("7z t " + q(archive)).status, 0);
    EXPECT_EQ(folderNames(tmp.path()), (V{"a.txt", "b.txt", "t.zip"}));
}

TEST_F(Update, StoppedRunLeavesTheArchiveAndNoTemporaryFile) {
    for (int i = 0; i < 20; ++i) write("more/f" + std::to_string(i) + ".txt", std::string(5000, 'x'));
    std::string before = pwtest::readFile(archive);
    auto filesBefore = folderNames(tmp.path());
    Calls calls;
    calls.stopAtService = 5;
    ZPOPT o = opts();
    o.fRecurse = 2;
    Result r = runEngine(archive, {"*.txt"}, o, calls);
    EXPECT_EQ(r.rc, ZE_ABORT) << r.text;
    EXPECT_EQ(calls.services.size(), 5u);
    EXPECT_EQ(pwtest::readFile(archive), before);
    EXPECT_EQ(folderNames(tmp.path()), filesBefore);

    Calls del;
    del.stopAtService = 1;
    o.fDeleteEntries = 1;
    EXPECT_EQ(runEngine(archive, {"a.txt"}, o, del).rc, ZE_ABORT);
    EXPECT_EQ(pwtest::readFile(archive), before);
}

TEST_F(Update, DamagedArchiveIsNotTouched) {
    std::string junk = "this is not a zip file at all, but it is long enough to look for one";
    pwtest::writeFile(archive, junk);
    Result r = runEngine(archive, {"a.txt"}, opts());
    EXPECT_EQ(r.rc, ZE_FORM) << r.text;
    EXPECT_EQ(pwtest::readFile(archive), junk);
}

TEST_F(Update, ReadOnlyFolderLeavesTheArchive) {
    std::string before = pwtest::readFile(archive);
    write("a.txt", "alpha 2\n");
    // Even root cannot write into an immutable folder.
    if (sh("chattr +i " + q(tmp.path().string())).status != 0) GTEST_SKIP() << "chattr not available";
    Result r = runEngine(archive, {"a.txt"}, opts());
    auto after = folderNames(tmp.path());
    sh("chattr -i " + q(tmp.path().string()));
    EXPECT_TRUE(r.rc == ZE_CREAT || r.rc == ZE_TEMP || r.rc == ZE_WRITE) << r.rc << r.text;
    EXPECT_EQ(pwtest::readFile(archive), before);
    EXPECT_EQ(after, (V{"a.txt", "b.txt", "t.zip"}));
}

TEST_F(Update, LeftoverTemporaryFileDoesNotDisturbTheNextRun) {
    write("t.zip.Qw12Er", "partial archive of a crashed run");
    write("a.txt", "alpha 2\n");
    ASSERT_EQ(runEngine(archive, {"*.*"}, opts()).rc, ZE_OK);
    EXPECT_EQ(entryData(archive, "a.txt"), "alpha 2\n");
    EXPECT_EQ(pwtest::readFile(p("t.zip.Qw12Er")), "partial archive of a crashed run");
}

TEST_F(Update, RefusedPasswordWritesNothingAndIsAskedOnce) {
    std::string before = pwtest::readFile(archive);
    write("c.txt", "charlie\n");
    ZPOPT o = opts();
    o.fEncrypt = 1;
    Calls calls;
    calls.refusePassword = true;
    Result r = runEngine(archive, {"a.txt", "c.txt"}, o, calls);
    EXPECT_EQ(r.rc, ZE_ABORT);
    EXPECT_EQ(calls.passwordCalls, 1);
    EXPECT_NE(r.text.find("password"), std::string::npos) << r.text;
    EXPECT_EQ(pwtest::readFile(archive), before);

    Calls empty;
    empty.password = "";
    EXPECT_EQ(runEngine(archive, {"c.txt"}, o, empty).rc, ZE_ABORT);
    EXPECT_EQ(pwtest::readFile(archive), before);
}

TEST_F(Update, ArchiveKeepsItsPermissions) {
    fs::permissions(archive, fs::perms(0640));
    write("a.txt", "alpha 2\n");
    ASSERT_EQ(runEngine(archive, {"a.txt"}, opts()).rc, ZE_OK);
    EXPECT_EQ(static_cast<int>(fs::status(archive).permissions() & fs::perms::mask), 0640);
}

}  // namespace
