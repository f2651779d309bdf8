// Which files a run takes: names, wildcards, recursion, hidden names, links,
// junked folder names and folder entries.
#include <algorithm>

#include "EngineFixture.h"

using namespace zetest;

namespace {

class Names : public EngineTest {
protected:
    void SetUp() override {
        write("a.txt", "alpha\n");
        write("b.txt", "bravo\n");
        write("c.log", "charlie\n");
        write("README", "no dot\n");
        write(".hidden.txt", "hidden\n");
        write("sub/d.txt", "delta\n");
        write("sub/deeper/e.txt", "echo\n");
        write(".git/f.txt", "foxtrot\n");
    }
    std::vector<std::string> zipNames(const std::vector<std::string>& names, ZPOPT o, Result* r = nullptr) {
        std::string archive = p("out/t.zip");
        fs::create_directories(tmp.path() / "out");
        fs::remove(archive);
        Result res = runEngine(archive, names, o);
        if (r) *r = res;
        EXPECT_EQ(res.rc, ZE_OK) << res.text;
        auto v = entryNames(archive);
        std::sort(v.begin(), v.end());
        return v;
    }
    using V = std::vector<std::string>;
};

TEST_F(Names, WildcardsMatchInTheGivenFolderOnly) {
    EXPECT_EQ(zipNames({"*.txt"}, opts()), (V{"a.txt", "b.txt"}));
    EXPECT_EQ(zipNames({"?.log", "[ab].txt"}, opts()), (V{"a.txt", "b.txt", "c.log"}));
    EXPECT_EQ(zipNames({"sub/*.txt"}, opts()), (V{"d.txt"}));  // folder names junked
}

TEST_F(Names, StarDotStarAlsoTakesNamesWithoutDot) {
    EXPECT_EQ(zipNames({"*.*"}, opts()), (V{"README", "a.txt", "b.txt", "c.log"}));
}

TEST_F(Names, RecursionTakesEveryFolderButHiddenOnes) {
    ZPOPT o = opts();
    o.fRecurse = 2;
    o.fJunkDir = 0;
    o.fNoDirEntries = 0;
    EXPECT_EQ(zipNames({"*.txt"}, o), (V{"a.txt", "b.txt", "sub/", "sub/d.txt", "sub/deeper/", "sub/deeper/e.txt"}));
    o.fNoDirEntries = 1;
    EXPECT_EQ(zipNames({"*.txt"}, o), (V{"a.txt", "b.txt", "sub/d.txt", "sub/deeper/e.txt"}));
    o.fSystem = 1;
    EXPECT_EQ(zipNames({"*.txt"}, o),
              (V{".git/f.txt", ".hidden.txt", "a.txt", "b.txt", "sub/d.txt", "sub/deeper/e.txt"}));
}

TEST_F(Names, FolderNameWithRecursionTakesItsTree) {
    ZPOPT o = opts();
    o.fRecurse = 2;
    o.fJunkDir = 0;
    o.fNoDirEntries = 0;
    EXPECT_EQ(zipNames({"sub"}, o), (V{"sub/", "sub/d.txt", "sub/deeper/", "sub/deeper/e.txt"}));
}

TEST_F(Names, PlainNamesAndExplicitHiddenFiles) {
    ZPOPT o = opts();
    o.fJunkDir = 0;
    EXPECT_EQ(zipNames({"sub/d.txt", ".hidden.txt", "./a.txt"}, o), (V{".hidden.txt", "a.txt", "sub/d.txt"}));
    // An absolute name is stored without its leading slash.
    std::string abs = p("sub/d.txt");
    auto v = zipNames({abs}, o);
    ASSERT_EQ(v.size(), 1u);
    EXPECT_EQ(v[0], abs.substr(1));
}

TEST_F(Names, JunkedNamesLaterFileReplacesEarlier) {
    write("sub/a.txt", "second alpha\n");
    ZPOPT o = opts();
    o.fRecurse = 2;
    o.fNoDirEntries = 0;  // junking folder names also drops folder entries
    Result r;
    EXPECT_EQ(zipNames({"a.txt"}, o, &r), (V{"a.txt"}));
    EXPECT_EQ(entryData(p("out/t.zip"), "a.txt"), "second alpha\n");
    EXPECT_NE(r.text.find("replaces"), std::string::npos) << r.text;
}

TEST_F(Names, LinksToFilesAreFollowedFolderLoopsAreNot) {
    fs::create_symlink(p("a.txt"), p("sub/link.txt"));
    fs::create_directory_symlink("..", p("sub/up"));
    fs::create_directory_symlink(p("sub/deeper"), p("elsewhere"));
    ZPOPT o = opts();
    o.fRecurse = 2;
    o.fJunkDir = 0;
    Result r;
    auto v = zipNames({"*.txt"}, o, &r);
    EXPECT_EQ(v, (V{"a.txt", "b.txt", "elsewhere/e.txt", "sub/d.txt", "sub/deeper/e.txt", "sub/link.txt"}));
    EXPECT_EQ(entryData(p("out/t.zip"), "sub/link.txt"), "alpha\n");
    EXPECT_NE(r.text.find("loops"), std::string::npos) << r.text;
}

// A link to nothing is found in a folder's listing but cannot be opened:
// the run names it and stores the rest.
TEST_F(Names, ALinkToNothingInAWalkedFolderIsNamedAndTheRestStored) {
    fs::create_symlink(p("nowhere.txt"), p("sub/gone.txt"));
    ZPOPT o = opts();
    o.fRecurse = 2;
    o.fJunkDir = 0;
    fs::create_directories(tmp.path() / "out");
    Result r = runEngine(p("out/t.zip"), {"*.txt"}, o);
    EXPECT_NE(r.rc, ZE_OK);
    EXPECT_NE(r.text.find("could not open for reading: sub/gone.txt"), std::string::npos) << r.text;
    auto v = entryNames(p("out/t.zip"));
    std::sort(v.begin(), v.end());
    EXPECT_EQ(v, (V{"a.txt", "b.txt", "sub/d.txt", "sub/deeper/e.txt"}));
}

TEST_F(Names, ArchiveAndLeftoverTemporaryFilesAreNeverStored) {
    write("keep.zip.note", "a file that only looks similar\n");
    write("t.zip.Ab12Cd", "left behind by an interrupted run\n");
    std::string archive = p("t.zip");
    ZPOPT o = opts();
    ASSERT_EQ(runEngine(archive, {"*.*"}, o).rc, ZE_OK);
    Result again = runEngine(archive, {"*.*"}, o);
    EXPECT_EQ(again.rc, ZE_OK) << again.text;
    auto v = entryNames(archive);
    EXPECT_EQ(std::count(v.begin(), v.end(), "t.zip"), 0);
    EXPECT_EQ(std::count(v.begin(), v.end(), "t.zip.Ab12Cd"), 0);
    EXPECT_EQ(std::count(v.begin(), v.end(), "keep.zip.note"), 1);
    EXPECT_EQ(sh("unzip -tq " + q(archive)).status, 0);
}

TEST_F(Names, NothingMatchedWritesNothing) {
    std::string archive = p("none.zip");
    Result r = runEngine(archive, {"*.xyz", "missing.txt"}, opts());
    EXPECT_EQ(r.rc, ZE_NONE);
    EXPECT_FALSE(fs::exists(archive));
    EXPECT_NE(r.text.find("missing.txt"), std::string::npos) << r.text;
    EXPECT_EQ(runEngine(archive, {}, opts()).rc, ZE_NONE);
}

TEST(Interface, OptionsAreCopiedAndReadBack) {
    std::string root = "/some/root";
    ZPOPT o = defaultOptions();
    o.szRootDir = root.c_str();
    o.fRecurse = 2;
    o.fLevel = 9;
    ASSERT_EQ(ZpSetOptions(&o), 1);
    root.assign(root.size(), 'x');  // the caller's copy goes away after the call
    ZPOPT back{};
    ZpGetOptions(&back);
    EXPECT_STREQ(back.szRootDir, "/some/root");
    EXPECT_EQ(back.Date, nullptr);
    EXPECT_EQ(back.fRecurse, 2);
    EXPECT_EQ(back.fLevel, 9);
    EXPECT_EQ(back.fJunkDir, 1);
}

TEST(Interface, BadArgumentsAreRefused) {
    ZpInit(nullptr);  // no callbacks at all
    ZPOPT o = defaultOptions();
    ZpSetOptions(&o);
    ZIPNAMES list{};
    EXPECT_EQ(ZpArchive(0, "", &list), ZE_PARMS);
    EXPECT_EQ(ZpArchive(1023, "x.zip", &list), ZE_PARMS);
    EXPECT_EQ(ZpArchive(-1, "x.zip", &list), ZE_PARMS);
    EXPECT_EQ(ZpArchive(1, "x.zip", nullptr), ZE_PARMS);
}

}  // namespace
