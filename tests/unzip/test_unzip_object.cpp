// The unzip object and the engine callbacks' decoding, without an engine:
// the callbacks are driven directly, bracketed as a run brackets them.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <limits>

#include "errors/Error.h"
#include "platform/OleDate.h"
#include "unzip/cUnzip.h"
#include "support/Errors.h"

namespace {

using pwtest::errorOf;

// Sends one listing line to `u` through the engine's listing callback.
struct Lister {
    explicit Lister(cUnzip& u) { mUnzip::BeginCallbacks(u); }
    ~Lister() { mUnzip::EndCallbacks(); }
    void line(const char* path, std::uint32_t size = 100, std::uint32_t factor = 40, std::uint32_t month = 1,
              std::uint32_t day = 1, std::uint32_t year = 2001, std::uint32_t hour = 0, std::uint32_t minute = 0,
              const char* method = "Deflated", std::uint32_t crc = 0x1234abcd, char enc = 0) {
        mUnzip::UnzipListingCallback(77, size, factor, month, day, year, hour, minute, ' ', path, method, crc, enc);
    }
};

TEST(UnzipOptions, EveryOptionReadsBackAndWritesItsRecordField) {
    auto u = std::make_shared<cUnzip>();
    const DCL& r = u->CommandRecord().flags;
    EXPECT_FALSE(u->ExtractOnlyNewer() || u->SpaceToUnderScore() || u->PromptToOverwrite() || u->TestZip() ||
                 u->UseFolderNames() || u->OverwriteExisting() || u->ConvertCRToCRLF() ||
                 u->CaseSensitiveFileNames());
    EXPECT_EQ(u->MessageLevel(), 0);
    EXPECT_EQ(u->ZipFile(), "");
    EXPECT_EQ(u->UnzipFolder(), "");

    u->ExtractOnlyNewer(true);
    u->SpaceToUnderScore(true);
    u->PromptToOverwrite(true);
    u->TestZip(true);
    u->UseFolderNames(true);
    u->OverwriteExisting(true);
    u->ConvertCRToCRLF(true);
    u->CaseSensitiveFileNames(true);
    u->MessageLevel(7);
    EXPECT_EQ(r.ExtractOnlyNewer, 1);
    EXPECT_EQ(r.SpaceToUnderscore, 1);
    EXPECT_EQ(r.PromptToOverwrite, 1);
    EXPECT_EQ(r.ntflag, 1);
    EXPECT_EQ(r.ndflag, 1);
    EXPECT_EQ(r.noflag, 1);
    EXPECT_EQ(r.naflag, 1);
    EXPECT_EQ(r.C_flag, 1);
    EXPECT_EQ(r.fQuiet, 7);
    EXPECT_EQ(u->MessageLevel(), 7);
    // Fields without an option stay 0.
    EXPECT_EQ(r.ncflag + r.nvflag + r.nfflag + r.nzflag + r.nZIflag + r.fPrivilege, 0);

    u->UseFolderNames(false);
    EXPECT_EQ(r.ndflag, 0);
    EXPECT_FALSE(u->UseFolderNames());
    EXPECT_TRUE(u->OverwriteExisting());
}

TEST(UnzipDirectory, FolderEntriesAreDroppedAndNamesSplitAtTheLastSeparator) {
    auto u = std::make_shared<cUnzip>();
    {
        Lister l(*u);
        l.line("docs/readme.txt");
        l.line("a.txt");
        l.line("docs/");
        l.line("deep/er/x.bin");
        l.line("win\\style\\y.txt");
    }
    ASSERT_EQ(u->FileCount(), 4);
    EXPECT_EQ(u->FileName(1), "readme.txt");
    EXPECT_EQ(u->FileDirectory(1), "docs");
    EXPECT_EQ(u->FileName(2), "a.txt");
    EXPECT_EQ(u->FileDirectory(2), "");
    EXPECT_EQ(u->FileDirectory(3), "deep/er");
    EXPECT_EQ(u->FileName(4), "y.txt");
    EXPECT_EQ(u->FileDirectory(4), "win/style");
    for (int i = 1; i <= 4; ++i) EXPECT_TRUE(u->FileSelected(i));
}

// Entry names may be as long as the format allows (65,535 bytes); a long
// path keeps its full folder, so the entry can still be picked by its path.
TEST(UnzipDirectory, LongPathsAreReadWhole) {
    std::string folder;
    while (folder.size() < 6000) folder += (folder.empty() ? "" : "/") + std::string(100, 'd');
    std::string path = folder + "/leaf.txt";
    auto u = std::make_shared<cUnzip>();
    {
        Lister l(*u);
        l.line(path.c_str());
    }
    ASSERT_EQ(u->FileCount(), 1);
    EXPECT_EQ(u->FileName(1), "leaf.txt");
    EXPECT_EQ(cUnzip::EntryPath(u->FileDirectory(1), u->FileName(1)), path);
}

TEST(UnzipDirectory, AddDirectoryEntryIgnoresEmptyAndNulNames) {
    cUnzip u;
    u.AddDirectoryEntry("", "f", 0, 1, 0, false, 0, "");
    u.AddDirectoryEntry(std::string(1, '\0'), "f", 0, 1, 0, false, 0, "");
    EXPECT_EQ(u.FileCount(), 0);
    u.AddDirectoryEntry("n", "f", 5.5, 10, 0xfedcba98u, true, 33, "BZip2");
    ASSERT_EQ(u.FileCount(), 1);
    EXPECT_EQ(u.FileCRC(1), static_cast<std::int32_t>(0xfedcba98u));
    EXPECT_TRUE(u.FileEncrypted(1));
    EXPECT_EQ(u.FileCompressionMethod(1), "BZip2");
    EXPECT_DOUBLE_EQ(u.FileDate(1), 5.5);
}

TEST(UnzipDirectory, ListingValuesDecode) {
    auto u = std::make_shared<cUnzip>();
    {
        Lister l(*u);
        l.line("a", 1000, 45, 7, 14, 2001, 9, 30);
        l.line("b", 1, 0x7fffffff);                    // low 16 bits 0xFFFF: ratio -1
        l.line("c", 1, 0x10032);                       // low 16 bits 50
        l.line("d", 1, 0, 1, 1, 99);                   // two-digit years
        l.line("e", 1, 0, 1, 1, 5);
        l.line("f", 1, 0, 1, 1, 2038);                 // four-digit years as they are
        l.line("g", 1, 0, 13, 1, 2100);                // month 13 carries into the next year
        l.line("h", 1, 0, 2, 28, 2001, 24, 60);        // hour and minute carry
        l.line("i", 1, 0, 0x10007, 0x1000e, 0x107d1);  // only the low 16 bits count
        l.line("j", 1, 0, 1, 1, 2001, 0, 0, "", 0, 0x40);
        l.line("k", 1, 0, 1, 1, 2001, 0, 0, "Stored", 0, static_cast<char>(0xbf));
        l.line("l", 0xfffffff0u);                      // past the signed range
    }
    ASSERT_EQ(u->FileCount(), 12);
    EXPECT_DOUBLE_EQ(u->FileDate(1), pw::makeOleDate(2001, 7, 14, 9, 30, 0));
    EXPECT_EQ(u->FileSize(1), 1000);
    EXPECT_EQ(u->FileCompressionRatio(1), 45);
    EXPECT_EQ(u->FileCompressionRatio(2), -1);
    EXPECT_EQ(u->FileCompressionRatio(3), 50);
    EXPECT_EQ(pw::splitOleDate(u->FileDate(4)).year, 1999);
    EXPECT_EQ(pw::splitOleDate(u->FileDate(5)).year, 2005);
    EXPECT_EQ(pw::splitOleDate(u->FileDate(6)).year, 2038);
    auto g = pw::splitOleDate(u->FileDate(7));
    EXPECT_EQ(g.year, 2101);
    EXPECT_EQ(g.month, 1);
    auto h = pw::splitOleDate(u->FileDate(8));
    EXPECT_EQ(h.month, 3);
    EXPECT_EQ(h.day, 1);
    EXPECT_EQ(h.hour, 1);
    EXPECT_EQ(h.minute, 0);
    EXPECT_DOUBLE_EQ(u->FileDate(9), pw::makeOleDate(2001, 7, 14));
    EXPECT_EQ(u->FileCompressionMethod(10), "");
    EXPECT_TRUE(u->FileEncrypted(10));
    EXPECT_FALSE(u->FileEncrypted(11));
    EXPECT_EQ(u->FileSize(12), std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(u->FileCRC(1), 0x1234abcd);
}

TEST(UnzipDirectory, TrueSizesPairWithTheLineThatFollowsThem) {
    auto u = std::make_shared<cUnzip>();
    {
        Lister l(*u);
        UZLISTING64 big{sizeof(UZLISTING64), 4400000000u, 5000000000u, "big", 1};
        mUnzip::UnzipListing64Callback(nullptr, &big);
        l.line("big", 0xffffffffu, 88);
        l.line("after", 1000, 45);  // no true sizes given: the line's own
        UZLISTING64 tooShort{4, 1, 2, "x", 0};
        mUnzip::UnzipListing64Callback(nullptr, &tooShort);
        l.line("x", 1000, 45);
    }
    ASSERT_EQ(u->FileCount(), 3);
    EXPECT_EQ(u->FileSize(1), std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(u->FileSize64(1), 5000000000u);
    EXPECT_EQ(u->FilePackedSize64(1), 4400000000u);
    EXPECT_EQ(u->FileSize64(2), 1000u);
    EXPECT_EQ(u->FilePackedSize64(2), 450u);
    EXPECT_EQ(u->FileSize64(3), 1000u);
    EXPECT_EQ(errorOf([&] { u->FileSize64(4); }).number(), 9);
}

// Entries share their folder and method texts; each must still read its own,
// however the folders alternate, and a new archive starts with none.
TEST(UnzipDirectory, SharedFolderAndMethodTextsStayEachEntrysOwn) {
    cUnzip u;
    const char* folders[] = {"a", "b/c", "", "a", "", "b/c", "d"};
    const char* methods[] = {"Deflated", "Stored", "Deflated", "BZip2", "", "Stored", "Deflated"};
    for (int i = 0; i < 7; ++i) u.AddDirectoryEntry("n" + std::to_string(i), folders[i], 0, 1, 0, false, 0, methods[i]);
    ASSERT_EQ(u.FileCount(), 7);
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(u.FileDirectory(i + 1), folders[i]) << i;
        EXPECT_EQ(u.FileCompressionMethod(i + 1), methods[i]) << i;
    }
    u.ZipFile("other.zip");
    u.AddDirectoryEntry("m", "", 0, 1, 0, false, 0, "Stored");
    EXPECT_EQ(u.FileDirectory(1), "");
    EXPECT_EQ(u.FolderText(u.Entries()[0].folder), "");
}

TEST(UnzipDirectory, SettingZipFileAlwaysEmptiesIt) {
    auto u = std::make_shared<cUnzip>();
    u->ZipFile("x.zip");
    {
        Lister l(*u);
        l.line("a");
        l.line("b");
    }
    EXPECT_EQ(u->FileCount(), 2);
    u->ZipFile("x.zip");
    EXPECT_EQ(u->FileCount(), 0);
    EXPECT_EQ(errorOf([&] { u->FileName(1); }).number(), pw::kSubscriptOutOfRange);
    {
        Lister l(*u);
        l.line("c");
    }
    EXPECT_EQ(u->FileName(1), "c");
}

TEST(UnzipDirectory, IndexesOutsideTheDirectoryFailWithError9) {
    cUnzip u;
    EXPECT_EQ(errorOf([&] { u.FileSize(1); }).number(), 9);
    u.AddDirectoryEntry("a", "", 0, 1, 0, false, 0, "");
    for (int bad : {0, -1, 2}) {
        EXPECT_EQ(errorOf([&] { u.FileName(bad); }).number(), 9);
        EXPECT_EQ(errorOf([&] { u.FileSelected(bad, false); }).number(), 9);
        EXPECT_EQ(errorOf([&] { u.FilePackedSize(bad); }).number(), 9);
    }
    EXPECT_TRUE(u.FileSelected(1));
}

TEST(UnzipDirectory, PackedSizeNeedsOnlyTheResultToFit) {
    cUnzip u;
    u.AddDirectoryEntry("a", "", 0, 1000, 0, false, 45, "");
    u.AddDirectoryEntry("b", "", 0, 50000000, 0, false, 60, "");
    u.AddDirectoryEntry("c", "", 0, std::numeric_limits<std::int32_t>::max(), 0, false, 100, "");
    u.AddDirectoryEntry("d", "", 0, std::numeric_limits<std::int32_t>::max(), 0, false, 101, "");
    u.AddDirectoryEntry("e", "", 0, 999, 0, false, -1, "");
    EXPECT_EQ(u.FilePackedSize(1), 450);
    EXPECT_EQ(u.FilePackedSize(2), 30000000);
    EXPECT_EQ(u.FilePackedSize(3), std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(errorOf([&] { u.FilePackedSize(4); }).number(), pw::kOverflow);
    EXPECT_EQ(u.FilePackedSize(5), -9);  // truncated toward zero
}

TEST(UnzipEntryPath, JoinsWithSlashesAndLeavesTopLevelNamesAlone) {
    EXPECT_EQ(cUnzip::EntryPath("docs\\sub", "a.txt"), "docs/sub/a.txt");
    EXPECT_EQ(cUnzip::EntryPath("docs/sub", "a.txt"), "docs/sub/a.txt");
    EXPECT_EQ(cUnzip::EntryPath("", "a.txt"), "a.txt");
    EXPECT_EQ(cUnzip::EntryPath(std::string(1, '\0'), "a\\b"), "a\\b");
}

TEST(UnzipRun, EmptyZipFileReturnsFalseWithoutARun) {
    auto u = std::make_shared<cUnzip>();
    int events = 0;
    u->Progress = [&](std::int32_t, const std::string&) { ++events; };
    u->AddDirectoryEntry("a", "", 0, 1, 0, false, 0, "");
    EXPECT_FALSE(u->Unzip());
    EXPECT_EQ(events, 0);
}

TEST(UnzipRun, TooManyIncludeNamesFailWithError9FromTheRun) {
    auto u = std::make_shared<cUnzip>();
    u->ZipFile("x.zip");
    for (int i = 0; i < 1025; ++i) u->AddDirectoryEntry("f" + std::to_string(i), "d", 0, 1, 0, false, 0, "");
    u->FileSelected(1, false);  // 1024 names left: one too many
    pw::Error e = errorOf([&] { u->Unzip(); });
    EXPECT_EQ(e.number(), pw::kSubscriptOutOfRange);
    EXPECT_EQ(e.source(), "PackwellDEMO.VAZeded");
    EXPECT_EQ(mUnzip::CurrentObject(), nullptr);
    EXPECT_EQ(u->FileCount(), 1025);
}

// --- The callbacks' text rules ---

TEST(UnzipCallbacks, EngineTextIsCutAtNulAndBoundedBySize) {
    EXPECT_EQ(mUnzip::EngineText("abc\0def", 7), std::optional<std::string>("abc"));
    EXPECT_EQ(mUnzip::EngineText("dir\\sub/x", 9), std::optional<std::string>("dir/sub/x"));
    EXPECT_EQ(mUnzip::EngineText("ab", 1), std::nullopt);
    EXPECT_EQ(mUnzip::EngineText("ab", 0), std::nullopt);
    EXPECT_EQ(mUnzip::EngineText(nullptr, 5), std::nullopt);
    std::string big(32000, 'x');
    EXPECT_EQ(mUnzip::EngineText(big.c_str(), 32000), std::nullopt);
    EXPECT_EQ(mUnzip::EngineText(big.c_str(), 31999)->size(), 31999u);
    // Only the byte count is read, even when the text goes on.
    EXPECT_EQ(mUnzip::EngineText("abcdef", 3), std::optional<std::string>("abc"));
}

class CallbackTest : public ::testing::Test {
protected:
    void SetUp() override {
        u = std::make_shared<cUnzip>();
        mUnzip::BeginCallbacks(*u);
    }
    void TearDown() override { mUnzip::EndCallbacks(); }
    std::shared_ptr<cUnzip> u;
};

TEST_F(CallbackTest, PrintRaisesProgressWithCountOne) {
    std::vector<std::pair<int, std::string>> got;
    u->Progress = [&](std::int32_t n, const std::string& s) { got.emplace_back(n, s); };
    EXPECT_EQ(mUnzip::UnzipPrintCallback("  inflating: a/b.txt\0junk", 25), 0);
    EXPECT_EQ(mUnzip::UnzipPrintCallback("x", 1), 0);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].first, 1);
    EXPECT_EQ(got[0].second, "  inflating: a/b.txt");
}

TEST_F(CallbackTest, AFailingHandlerNeverReachesTheEngine) {
    u->Progress = [](std::int32_t, const std::string&) { throw std::runtime_error("boom"); };
    u->OverWritePrompt = [](const std::string&, std::int32_t& r) {
        r = 102;
        throw pw::Error(5);
    };
    u->Cancel = [](const std::string&, bool& c) {
        c = true;
        throw std::runtime_error("x");
    };
    char name[] = "a.txt";
    EXPECT_EQ(mUnzip::UnzipPrintCallback("hello", 5), 0);
    EXPECT_EQ(mUnzip::UnzipReplaceCallback(name), 102);
    EXPECT_EQ(mUnzip::UnzipServiceCallback("item", 4), 1);
}

TEST_F(CallbackTest, ServiceStopsOnlyWhenTheHandlerSaysSo) {
    std::vector<std::string> items;
    u->Cancel = [&](const std::string& s, bool& c) {
        items.push_back(s);
        EXPECT_FALSE(c);
        c = s == "stop";
    };
    EXPECT_EQ(mUnzip::UnzipServiceCallback("go", 2), 0);
    EXPECT_EQ(mUnzip::UnzipServiceCallback("stop", 4), 1);
    EXPECT_EQ(mUnzip::UnzipServiceCallback("stop", 1), 0);  // outside the range: no event
    EXPECT_EQ(items, (std::vector<std::string>{"go", "stop"}));
}

TEST_F(CallbackTest, ReplaceReturnsTheHandlersCodeOr100) {
    char name[] = "out\\dir/a.txt";
    EXPECT_EQ(mUnzip::UnzipReplaceCallback(name), 100);  // no handler
    std::string seen;
    std::int32_t start = 0;
    u->OverWritePrompt = [&](const std::string& f, std::int32_t& r) {
        seen = f;
        start = r;
    };
    EXPECT_EQ(mUnzip::UnzipReplaceCallback(name), 100);  // handler sets nothing
    EXPECT_EQ(seen, "out/dir/a.txt");
    EXPECT_EQ(start, 100);
    u->OverWritePrompt = [](const std::string&, std::int32_t& r) { r = 12345; };
    EXPECT_EQ(mUnzip::UnzipReplaceCallback(name), 12345);  // passed on unchecked
}

TEST_F(CallbackTest, PasswordIsTrimmedCopiedAndARefusalHoldsForTheRun) {
    std::vector<std::string> answers = {"  secret  ", "   ", "never asked"};
    std::size_t asked = 0;
    u->PasswordRequest = [&](std::string& p, bool& c) {
        EXPECT_EQ(p, "");
        EXPECT_FALSE(c);
        p = answers[asked++];
    };
    char buf[256];
    std::memset(buf, 'Z', sizeof buf);
    EXPECT_EQ(mUnzip::UnzipPasswordCallback(buf, 256, "prompt", "entry"), 0);
    EXPECT_STREQ(buf, "secret");
    EXPECT_EQ(mUnzip::UnzipPasswordCallback(buf, 256, "", ""), 1);  // blanks only: refused
    EXPECT_EQ(mUnzip::UnzipPasswordCallback(buf, 256, "", ""), 1);  // no further question
    EXPECT_EQ(asked, 2u);

    // A new run asks again.
    mUnzip::BeginCallbacks(*u);
    EXPECT_EQ(mUnzip::UnzipPasswordCallback(buf, 256, "", ""), 0);
    EXPECT_EQ(asked, 3u);
}

TEST_F(CallbackTest, PasswordCancelAndLengthLimits) {
    u->PasswordRequest = [](std::string& p, bool& c) {
        p = "given";
        c = true;
    };
    char buf[256] = {};
    EXPECT_EQ(mUnzip::UnzipPasswordCallback(buf, 256, "", ""), 1);
    EXPECT_EQ(buf[0], '\0');

    mUnzip::BeginCallbacks(*u);
    u->PasswordRequest = [](std::string& p, bool&) { p = std::string(300, 'p'); };
    std::memset(buf, 0, sizeof buf);
    EXPECT_EQ(mUnzip::UnzipPasswordCallback(buf, 256, "", ""), 0);
    EXPECT_EQ(std::string(buf), std::string(254, 'p'));

    // A multi-byte password is never cut inside a character; a small buffer
    // is honoured.
    u->PasswordRequest = [](std::string& p, bool&) { p = "\xC3\xA9\xC3\xA9\xC3\xA9"; };  // ééé
    char small[6];
    std::memset(small, 'Z', sizeof small);
    EXPECT_EQ(mUnzip::UnzipPasswordCallback(small, 6, "", ""), 0);
    EXPECT_STREQ(small, "\xC3\xA9\xC3\xA9");
}

TEST(UnzipCallbacksOutsideARun, DoNothingHarmful) {
    mUnzip::EndCallbacks();
    char name[] = "a";
    char buf[256] = {};
    EXPECT_EQ(mUnzip::UnzipPrintCallback("hello", 5), 0);
    EXPECT_EQ(mUnzip::UnzipReplaceCallback(name), 100);
    EXPECT_EQ(mUnzip::UnzipPasswordCallback(buf, 256, "", ""), 1);
    mUnzip::UnzipListingCallback(0, 0, 0, 0, 0, 0, 0, 0, 0, nullptr, nullptr, 0, 0);
}

}  // namespace
