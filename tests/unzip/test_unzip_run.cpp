// Runs of the unzip object against the scripted stand-in engine: what the
// engine receives (records, name lists, callback table) and how its
// callbacks come back as directory entries, events and results.
#include <gtest/gtest.h>

#include "FakeEngineSupport.h"
#include "errors/Error.h"
#include "platform/OleDate.h"
#include "unzip/cUnzip.h"

namespace {

using pwtest::FakeUnzipEngine;

class UnzipRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        engine().script("");
        u = std::make_shared<cUnzip>();
        u->ZipFile("/some/archive.zip");
    }
    static FakeUnzipEngine& engine() { return FakeUnzipEngine::get(); }
    std::shared_ptr<cUnzip> u;
};

std::string listLine(const std::string& path, unsigned size = 10, unsigned factor = 50) {
    return "list\t5\t" + std::to_string(size) + "\t" + std::to_string(factor) + "\t7\t14\t2001\t9\t30\t32\t" + path +
           "\tDeflated\t0xdeadbeef\t0\n";
}

TEST_F(UnzipRunTest, DirectoryPassesAListingRecordAndAddsEveryFile) {
    engine().script(listLine("docs/a.txt") + listLine("docs/") + listLine("b.txt", 0, 0) + "return\t0\n");
    EXPECT_EQ(u->Directory(), 0);
    const FakeUzCall& c = engine().last();
    EXPECT_EQ(c.dcl.nvflag, 1);
    EXPECT_FALSE(c.zipNull);
    EXPECT_EQ(c.zipFN, "/some/archive.zip");
    EXPECT_FALSE(c.extractNull);  // an empty text, not null
    EXPECT_EQ(c.extractDir, "");
    EXPECT_EQ(c.includeCount, 0);
    EXPECT_EQ(c.excludeCount, 0);
    EXPECT_EQ(c.includeNonNull, 1);
    EXPECT_EQ(c.excludeNonNull, 1);
    EXPECT_EQ(c.include, std::vector<std::string>{""});
    EXPECT_TRUE(c.soundNull);
    EXPECT_TRUE(c.totalsZero);

    ASSERT_EQ(u->FileCount(), 2);
    EXPECT_EQ(u->FileName(1), "a.txt");
    EXPECT_EQ(u->FileDirectory(1), "docs");
    EXPECT_EQ(u->FileName(2), "b.txt");
    EXPECT_EQ(u->FileDirectory(2), "");
    EXPECT_EQ(u->FileCRC(1), static_cast<std::int32_t>(0xdeadbeef));
    EXPECT_DOUBLE_EQ(u->FileDate(1), pw::makeOleDate(2001, 7, 14, 9, 30));
    EXPECT_EQ(u->FilePackedSize(1), 5);
    // The record comes back as the engine left it.
    EXPECT_EQ(u->CommandRecord().flags.fPrivilege, 7);
}

TEST_F(UnzipRunTest, DirectoryTwiceListsEverythingTwiceAndIgnoresTheEnginesCode) {
    engine().script(listLine("a") + listLine("b") + "return\t9\n");
    EXPECT_EQ(u->Directory(), 0);
    EXPECT_EQ(u->Directory(), 0);
    EXPECT_EQ(u->FileCount(), 4);
    EXPECT_EQ(u->FileName(3), "a");
}

TEST_F(UnzipRunTest, SelectionBecomesTheIncludeList) {
    engine().script(listLine("d\\\\sub/one") + listLine("two") + listLine("x/three"));
    u->Directory();
    engine().script("");
    u->UnzipFolder("/dest");
    u->OverwriteExisting(true);

    u->FileSelected(2, false);
    EXPECT_TRUE(u->Unzip());
    const FakeUzCall& c = engine().last();
    EXPECT_EQ(c.dcl.nvflag, 0);
    EXPECT_EQ(c.dcl.noflag, 1);
    EXPECT_EQ(c.extractDir, "/dest");
    EXPECT_EQ(c.includeCount, 2);
    EXPECT_EQ(c.include, (std::vector<std::string>{"d/sub/one", "x/three", ""}));
    EXPECT_EQ(c.includeNonNull, 3);

    for (int i = 1; i <= 3; ++i) u->FileSelected(i, true);
    u->Unzip();
    EXPECT_EQ(engine().last().includeCount, 0);
    EXPECT_EQ(engine().last().include, std::vector<std::string>{""});

    for (int i = 1; i <= 3; ++i) u->FileSelected(i, false);
    u->Unzip();
    EXPECT_EQ(engine().last().includeCount, 0);
}

TEST_F(UnzipRunTest, AnIncludeListOf1023NamesFillsEverySlot) {
    for (int i = 0; i < 1024; ++i) u->AddDirectoryEntry("f" + std::to_string(i), "", 0, 1, 0, false, 0, "");
    u->FileSelected(1024, false);
    u->Unzip();
    const FakeUzCall& c = engine().last();
    EXPECT_EQ(c.includeCount, 1023);
    EXPECT_EQ(c.includeNonNull, 1024);
    EXPECT_EQ(c.include.size(), 1024u);
    EXPECT_EQ(c.include[1022], "f1022");
    EXPECT_EQ(c.include[1023], "");
}

TEST_F(UnzipRunTest, UnzipSucceedsOnSuccessAndWarningsOnly) {
    struct Case {
        int code;
        bool ok;
    } cases[] = {{PK_OK, true}, {PK_WARN, true}, {PK_ERR, false}, {PK_NOZIP, false}, {IZ_BADPWD, false}};
    for (auto c : cases) {
        engine().script("return\t" + std::to_string(c.code) + "\n");
        EXPECT_EQ(u->Unzip(), c.ok) << c.code;
        EXPECT_EQ(u->LastResult(), c.code);
    }
}

TEST_F(UnzipRunTest, PrintAndServiceBecomeEventsAndCancelStopsTheRun) {
    std::vector<std::string> progress, items;
    u->Progress = [&](std::int32_t n, const std::string& s) {
        EXPECT_EQ(n, 1);
        progress.push_back(s);
    };
    u->Cancel = [&](const std::string& s, bool& cancel) {
        items.push_back(s);
        cancel = items.size() == 2;
    };
    engine().script(
        "print\t  inflating: a\\\\b.txt\\0rest\nservice\tone\nprintn\t1\tx\nservice\ttwo\nprint\tnever\nreturn\t0\n");
    EXPECT_FALSE(u->Unzip());
    EXPECT_EQ(u->LastResult(), IZ_CTRLC);
    EXPECT_EQ(progress, std::vector<std::string>{"  inflating: a/b.txt"});
    EXPECT_EQ(items, (std::vector<std::string>{"one", "two"}));
    EXPECT_EQ(engine().last().replies, (std::vector<std::int32_t>{0, 0, 0, 1}));
}

TEST_F(UnzipRunTest, APasswordRefusalHoldsForTheRestOfTheRunOnly) {
    int asked = 0;
    u->PasswordRequest = [&](std::string& p, bool&) {
        ++asked;
        p = asked == 1 ? "" : " pw2 ";
    };
    engine().script("password\npassword\npassword\n");
    u->Unzip();
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(engine().last().replies, (std::vector<std::int32_t>{1, 1, 1}));
    u->Unzip();
    EXPECT_EQ(asked, 4);
    EXPECT_EQ(engine().last().replies, (std::vector<std::int32_t>{0, 0, 0}));
    EXPECT_EQ(engine().last().passwords[0], "pw2");
}

TEST_F(UnzipRunTest, OverwriteQuestionsReachTheHandler) {
    std::vector<std::string> files;
    u->OverWritePrompt = [&](const std::string& f, std::int32_t& r) {
        files.push_back(f);
        r = files.size() == 1 ? 102 : 104;
    };
    u->PromptToOverwrite(true);
    engine().script("replace\t/dest/a.txt\nreplace\t/dest/sub\\\\b.txt\n");
    u->Unzip();
    EXPECT_EQ(engine().last().dcl.PromptToOverwrite, 1);
    EXPECT_EQ(files, (std::vector<std::string>{"/dest/a.txt", "/dest/sub/b.txt"}));
    EXPECT_EQ(engine().last().replies, (std::vector<std::int32_t>{102, 104}));
}

TEST_F(UnzipRunTest, TheObjectIsHeldWhileItsRunLasts) {
    std::weak_ptr<cUnzip> watch = u;
    u->Progress = [&](std::int32_t, const std::string&) {
        u.reset();  // the last outside reference goes away mid-run
        EXPECT_FALSE(watch.expired());
        EXPECT_NE(mUnzip::CurrentObject(), nullptr);
    };
    engine().script("print\thello\nprint\tagain\n");
    auto keep = u;
    u->ZipFile("x.zip");
    keep->Unzip();
    EXPECT_EQ(mUnzip::CurrentObject(), nullptr);
}

TEST_F(UnzipRunTest, TheObjectIsKeptUntilTheNextRunAndLetGoByAFailedOne) {
    std::weak_ptr<cUnzip> first = u;
    u->Unzip();
    u.reset();
    EXPECT_FALSE(first.expired()) << "kept until the next run starts";
    auto second = std::make_shared<cUnzip>();
    second->ZipFile("x.zip");
    second->Unzip();
    EXPECT_TRUE(first.expired());
    std::weak_ptr<cUnzip> watch = second;
    for (int i = 0; i < 1025; ++i) second->AddDirectoryEntry("f" + std::to_string(i), "", 0, 1, 0, false, 0, "");
    second->FileSelected(1, false);  // 1024 names: one too many
    EXPECT_THROW(second->Unzip(), pw::Error);
    second.reset();
    EXPECT_TRUE(watch.expired()) << "a failed run lets its object go";
}

TEST_F(UnzipRunTest, ARunFromAHandlerGivesTheOuterRunItsObjectBack) {
    auto inner = std::make_shared<cUnzip>();
    inner->ZipFile("inner.zip");
    std::vector<std::string> outerLines;
    u->Progress = [&](std::int32_t, const std::string& s) {
        outerLines.push_back(s);
        if (outerLines.size() == 1) {
            engine().script(listLine("inner-entry"));
            inner->Directory();
            engine().script("print\tfirst\nprint\tsecond\n");
        }
    };
    engine().script("print\tfirst\nprint\tsecond\n");
    u->Unzip();
    EXPECT_EQ(inner->FileCount(), 1);
    EXPECT_EQ(outerLines, (std::vector<std::string>{"first", "second"}));
}

TEST_F(UnzipRunTest, GetVersionReportsTheFourthQuadAndPaddedBeta) {
    std::int32_t major = -1, minor = -1, revision = -1, fourth = 42;
    std::string beta;
    u->GetVersion(major, minor, revision, fourth, beta);
    EXPECT_EQ(major, 1);
    EXPECT_EQ(minor, 2);
    EXPECT_EQ(revision, 3);
    EXPECT_EQ(fourth, 42);
    EXPECT_EQ(beta, "beta7     ");
}

}  // namespace
