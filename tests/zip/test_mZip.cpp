// The engine run: call order, the name table, the base folder, the text and
// password rules of the callbacks, per-thread state, engine loading.
#include <gtest/gtest.h>

#include <set>
#include <thread>

#include "FakeZip.h"
#include "support/TempDir.h"
#include "zip/cZip.h"
#include "zip/mZip.h"

namespace {

using pwtest::errorNumberOf;
using pwtest::fakeZip;

// Any object offering the run's interface will do.
struct Recorder : mZip::ZipRunObject {
    std::string zipFile = "r.zip", basePath;
    std::vector<std::pair<std::int32_t, std::string>> progress;
    std::vector<std::string> cancels;
    bool cancelAnswer = false;
    std::vector<std::string> passwordAnswers;  // one per request; "!" means cancel
    int passwordRequests = 0;
    bool throwInEvents = false;

    std::string ZipFile() const override { return zipFile; }
    std::string BasePath() const override { return basePath; }
    void RaiseCancel(const std::string& m, bool& c) override {
        cancels.push_back(m);
        if (throwInEvents) throw std::runtime_error("handler failed");
        c = cancelAnswer;
    }
    void RaisePasswordRequest(std::string& p, bool& c) override {
        EXPECT_TRUE(p.empty());
        EXPECT_FALSE(c);
        std::string a = passwordAnswers.at(static_cast<std::size_t>(passwordRequests++));
        if (a == "!") c = true;
        else p = a;
        if (throwInEvents) throw std::runtime_error("handler failed");
    }
    void RaiseProgress(std::int32_t n, const std::string& m) override {
        progress.push_back({n, m});
        if (throwInEvents) throw std::runtime_error("handler failed");
    }
};

class RunZipTest : public pwtest::FakeZipTest {
protected:
    std::shared_ptr<Recorder> obj = std::make_shared<Recorder>();
    ZipOptionRecord rec;
    std::int32_t run(std::vector<std::string> specs = {}) {
        return mZip::RunZip(obj, rec, specs, static_cast<std::int32_t>(specs.size()));
    }
    void print(std::string bytes, std::uint32_t size) {
        fakeZip().script.push_back({FakeZipAction::Print, std::move(bytes), size});
    }
    void service(std::string bytes, std::uint32_t size) {
        fakeZip().script.push_back({FakeZipAction::Service, std::move(bytes), size});
    }
    void password(std::int32_t bufferSize = ZIP_PASSWORD_BUFFER) {
        FakeZipAction a;
        a.kind = FakeZipAction::Password;
        a.bufferSize = bufferSize;
        fakeZip().script.push_back(a);
    }
};

TEST_F(RunZipTest, NameTableWithTwoSpecs) {
    EXPECT_EQ(run({"a.txt", "b"}), 0);
    auto& f = fakeZip();
    EXPECT_EQ(f.count, 2);
    EXPECT_EQ(f.slots[0], std::optional<std::string>("a.txt"));
    EXPECT_EQ(f.slots[1], std::optional<std::string>("b"));
    EXPECT_FALSE(f.slots[2].has_value());
    EXPECT_EQ(f.slots[3], std::optional<std::string>(""));
    for (int i = 4; i < ZIP_NAME_SLOTS; ++i) ASSERT_FALSE(f.slots[i].has_value()) << i;
    EXPECT_EQ(f.archive, std::optional<std::string>("r.zip"));
}

TEST_F(RunZipTest, NameTableWithNoSpecs) {
    run();
    auto& f = fakeZip();
    EXPECT_EQ(f.count, 0);
    EXPECT_FALSE(f.slots[0].has_value());
    EXPECT_EQ(f.slots[1], std::optional<std::string>(""));
}

TEST_F(RunZipTest, LimitIs1022Names) {
    std::vector<std::string> specs(1022, "x");
    specs.back() = "last";
    run(specs);
    EXPECT_EQ(fakeZip().count, 1022);
    EXPECT_EQ(fakeZip().slots[1021], std::optional<std::string>("last"));
    EXPECT_FALSE(fakeZip().slots[1022].has_value());
    EXPECT_EQ(fakeZip().slots[1023], std::optional<std::string>(""));

    fakeZip().reset();
    specs.push_back("one too many");
    EXPECT_EQ(errorNumberOf([&] { run(specs); }), 9);
    EXPECT_EQ(std::count(fakeZip().calls.begin(), fakeZip().calls.end(), "ZpArchive"), 0);
}

TEST_F(RunZipTest, EngineSeesRecordFieldsAndCopiesBackWhatItChanged) {
    rec.fEncrypt = 1;
    rec.fRecurse = 2;
    rec.szRootDir = "  ";
    fakeZip().levelAfterSetOptions = 9;
    run();
    EXPECT_EQ(fakeZip().options.fEncrypt, 1);
    EXPECT_EQ(fakeZip().options.fRecurse, 2);
    EXPECT_EQ(fakeZip().rootDir, std::optional<std::string>("  "));
    EXPECT_EQ(rec.fLevel, 9);
    EXPECT_EQ(rec.szRootDir, std::optional<std::string>("  "));
}

TEST_F(RunZipTest, BasePathBecomesTheCurrentFolderAndStaysSo) {
    pwtest::TempDir dir;
    obj->basePath = dir.path().string();
    run({"*.*"});
    EXPECT_EQ(fakeZip().currentFolder, dir.path().string());
    EXPECT_EQ(std::filesystem::current_path(), dir.path());
}

TEST_F(RunZipTest, BlankBasePathLeavesTheCurrentFolder) {
    auto before = std::filesystem::current_path();
    obj->basePath = "   ";
    run();
    EXPECT_EQ(fakeZip().currentFolder, before.string());
}

TEST_F(RunZipTest, MissingBasePathIsPathNotFoundBeforeTheEngine) {
    pwtest::TempDir dir;
    obj->basePath = dir / "no such folder";
    EXPECT_EQ(errorNumberOf([&] { run({"a"}); }), 76);
    EXPECT_TRUE(fakeZip().calls.empty());
}

TEST_F(RunZipTest, PrintRaisesProgressWithinTheByteRangeOnly) {
    print("x", 1);
    print(std::string(32000, 'y'), 32000);
    print("ab", 2);
    print(std::string(31999, 'z'), 31999);
    print("docs/sub/a.txt", 15);
    run();
    ASSERT_EQ(obj->progress.size(), 3u);
    EXPECT_EQ(obj->progress[0], (std::pair<std::int32_t, std::string>{1, "ab"}));
    EXPECT_EQ(obj->progress[1].second.size(), 31999u);
    // Names keep the platform's own separator.
    EXPECT_EQ(obj->progress[2].second, "docs/sub/a.txt");
    for (const auto& o : fakeZip().outcomes) EXPECT_EQ(o.result, 0);
}

TEST_F(RunZipTest, TextIsCutAtItsFirstNulAndOnlyCountedBytesAreRead) {
    print(std::string("  adding: a\0garbage", 19), 19);
    print("abcdef", 3);
    run();
    ASSERT_EQ(obj->progress.size(), 2u);
    EXPECT_EQ(obj->progress[0].second, "  adding: a");
    EXPECT_EQ(obj->progress[1].second, "abc");
}

TEST_F(RunZipTest, ServiceReturnsOneOnlyWhenTheHandlerCancels) {
    service("a.txt", 6);
    service("x", 1);  // outside the range: no event, go on
    run();
    EXPECT_EQ(obj->cancels, std::vector<std::string>{"a.txt"});
    EXPECT_EQ(fakeZip().outcomes[0].result, 0);
    EXPECT_EQ(fakeZip().outcomes[1].result, 0);

    fakeZip().reset();
    obj->cancelAnswer = true;
    service("b.txt", 6);
    run();
    EXPECT_EQ(fakeZip().outcomes[0].result, 1);
}

TEST_F(RunZipTest, FailingHandlersNeverReachTheEngine) {
    obj->throwInEvents = true;
    obj->passwordAnswers = {"secret"};
    print("line", 5);
    service("item", 5);
    password();
    EXPECT_NO_THROW(run());
    auto& out = fakeZip().outcomes;
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(out[0].result, 0);
    EXPECT_EQ(out[1].result, 0);
    // The handler set the password before it failed; the callback goes on.
    EXPECT_EQ(out[2].result, 0);
    EXPECT_EQ(out[2].passwordBuffer, "secret");
}

TEST_F(RunZipTest, PasswordIsTrimmedAndCopied) {
    obj->passwordAnswers = {"  open sesame  "};
    password();
    run();
    EXPECT_EQ(fakeZip().outcomes[0].result, 0);
    EXPECT_EQ(fakeZip().outcomes[0].passwordBuffer, "open sesame");
}

TEST_F(RunZipTest, BlankPasswordIsRefusedAndLaterRequestsOfTheRunAreNotAsked) {
    obj->passwordAnswers = {"   ", "second run"};
    password();
    password();
    run();
    EXPECT_EQ(obj->passwordRequests, 1);
    EXPECT_EQ(fakeZip().outcomes[0].result, 1);
    EXPECT_EQ(fakeZip().outcomes[1].result, 1);
    // The next run asks again.
    fakeZip().script.pop_back();
    run();
    EXPECT_EQ(obj->passwordRequests, 2);
    EXPECT_EQ(fakeZip().outcomes[0].result, 0);
    EXPECT_EQ(fakeZip().outcomes[0].passwordBuffer, "second run");
}

TEST_F(RunZipTest, CancelledPasswordIsRefusedEvenWithText) {
    obj->passwordAnswers = {"!"};
    password();
    run();
    EXPECT_EQ(fakeZip().outcomes[0].result, 1);
    EXPECT_EQ(fakeZip().outcomes[0].passwordBuffer, "");
}

TEST_F(RunZipTest, LongPasswordIsCutAt254Bytes) {
    obj->passwordAnswers = {std::string(300, 'p')};
    password();
    run();
    EXPECT_EQ(fakeZip().outcomes[0].passwordBuffer, std::string(254, 'p'));
    EXPECT_TRUE(fakeZip().outcomes[0].terminated);
}

TEST_F(RunZipTest, LongPasswordIsNeverCutInsideACharacter) {
    // 127 two-byte characters are 254 bytes; one ASCII letter first makes
    // the 254th byte the first half of a character.
    std::string two = "\xC3\xA9";
    std::string pwd = "a";
    for (int i = 0; i < 200; ++i) pwd += two;
    obj->passwordAnswers = {pwd};
    password();
    run();
    const std::string& got = fakeZip().outcomes[0].passwordBuffer;
    EXPECT_EQ(got.size(), 253u);
    EXPECT_EQ(got, pwd.substr(0, 253));
}

TEST_F(RunZipTest, PasswordHonoursASmallerBuffer) {
    obj->passwordAnswers = {"abcdefghij"};
    password(5);
    run();
    EXPECT_EQ(fakeZip().outcomes[0].passwordBuffer, "abcd");
    EXPECT_TRUE(fakeZip().outcomes[0].terminated);
}

TEST_F(RunZipTest, CommentCallbackGivesTheBufferBackUnchanged) {
    fakeZip().script.push_back({FakeZipAction::Comment, "", 0});
    run();
    EXPECT_TRUE(fakeZip().outcomes[0].commentUnchanged);
}

TEST_F(RunZipTest, EventsReachTheObjectOfTheRunOnThisThread) {
    auto z = std::make_shared<cZip>();
    std::vector<std::string> lines;
    z->Progress = [&](std::int32_t n, const std::string& m) {
        EXPECT_EQ(n, 1);
        lines.push_back(m);
    };
    std::string asked;
    z->PasswordRequest = [&](std::string& p, bool&) { p = "pw"; asked = "yes"; };
    z->Cancel = [&](const std::string&, bool& c) { c = true; };
    print("  adding: a.txt (stored 0%)", 28);
    password();
    service("a.txt", 6);
    print("never", 6);
    z->Zip();
    EXPECT_EQ(lines, std::vector<std::string>{"  adding: a.txt (stored 0%)"});
    EXPECT_EQ(asked, "yes");
    EXPECT_EQ(fakeZip().outcomes.size(), 3u);  // the fake stops after the service's 1
}

TEST_F(RunZipTest, ARunOnAnotherThreadKeepsItsOwnState) {
    obj->passwordAnswers = {"", "main again"};
    password();
    run();  // refused on this thread
    auto other = std::make_shared<Recorder>();
    other->passwordAnswers = {"other"};
    std::thread t([&] {
        ZipOptionRecord r;
        mZip::RunZip(other, r, {}, 0);
    });
    t.join();
    EXPECT_EQ(other->passwordRequests, 1);
    EXPECT_EQ(fakeZip().outcomes[0].passwordBuffer, "other");
}

TEST(EngineLoading, MissingLibraryIs48AndMissingEntryPointIs453) {
    auto z = std::make_shared<cZip>();
    z->AddFileSpec("a");
    mZip::UseEngineLibrary("libbrixzip1-not-there.so");
    EXPECT_EQ(errorNumberOf([&] { z->Zip(); }), 48);
    mZip::UseEngineLibrary("libc.so.6");
    EXPECT_EQ(errorNumberOf([&] { z->Zip(); }), 453);
    mZip::UseEngineLibrary("libbrixzip1.so");
}

TEST(ResultTexts, EveryEngineCodeHasItsOwnTextAndOnlyUnknownOnesFallBack) {
    EXPECT_EQ(mZip::ResultText(0), "");
    const std::string fallback = "zip engine error ";
    std::set<std::string> texts;
    for (int code : {2, 3, 4, 5, 6, 9, 10, 11, 12, 13, 14, 15, 16, 18}) {
        const std::string t = mZip::ResultText(code);
        EXPECT_FALSE(t.empty()) << code;
        EXPECT_NE(t.rfind(fallback, 0), 0u) << code << " falls back to the unknown-code text";
        texts.insert(t);
    }
    EXPECT_EQ(texts.size(), 14u) << "two codes share a text";
    EXPECT_EQ(mZip::ResultText(77), fallback + "77");
}

}  // namespace
