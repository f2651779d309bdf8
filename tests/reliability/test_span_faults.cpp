// Split and join under a failing disk: the failure is reported, the source or
// the pieces are untouched, and nothing half-written is left behind.
#include <regex>

#include "reliability/FaultFixture.h"

using namespace pwtest;

namespace {

class SpanFaults : public FaultTest {
protected:
    void SetUp() override {
        writeFile(dir / "movie.avi", patternBytes(3 * 1024 * 1024 + 17, 5));
        std::filesystem::create_directories(dir / "pieces");
    }
    static bool isPiece(const std::string& name) {
        return std::regex_match(name, std::regex(R"(pieces/movie\.\d{3})"));
    }
};

TEST_F(SpanFaults, SplitOnAFullDiskReportsAndKeepsTheSource) {
    Tally t("Fault injection", "split", "writes refused after 0 B, 100 B, 700 KiB, 2 MiB",
            "failure reported; source byte-identical; only pieces, no other file");
    for (long long budget : {0LL, 100LL, 700LL * 1024, 2LL * 1024 * 1024}) {
        SCOPED_TRACE(budget);
        t.begin();
        const auto [before, after] = failingRun(
            [&] { return runWithWriteBudget({"split", dir / "movie.avi", "720", dir / "pieces"}, budget); });
        EXPECT_TRUE(strayFiles(before, after, isPiece).empty());
        t.end();
        std::filesystem::remove_all(dir / "pieces");
        std::filesystem::create_directories(dir / "pieces");
    }
}

TEST_F(SpanFaults, JoinOnAFullDiskLeavesNoPartialFile) {
    ASSERT_EQ(runPackwell({"split", dir / "movie.avi", "720", dir / "pieces"}).exitCode, 0);
    const std::string original = fingerprint(dir / "movie.avi");
    std::filesystem::remove(dir / "movie.avi");
    Tally t("Fault injection", "join", "writes refused after 0 B, 1000 B, 1 MiB, 3 MiB",
            "failure reported; pieces byte-identical, no partial or temporary file; a later run works");
    for (long long budget : {0LL, 1000LL, 1024LL * 1024, 3LL * 1024 * 1024}) {
        SCOPED_TRACE(budget);
        t.begin();
        const auto [before, after] =
            failingRun([&] { return runWithWriteBudget({"join", dir / "pieces/movie.001"}, budget); });
        EXPECT_EQ(after.size(), before.size()) << "a partial or temporary file was left";
        t.end();
    }
    auto ok = runPackwell({"join", dir / "pieces/movie.001"});
    EXPECT_EQ(ok.exitCode, 0) << ok.err;
    EXPECT_EQ(fingerprint(dir / "pieces/movie.avi"), original) << "a later run works";
}

TEST_F(SpanFaults, JoinWhoseRenameFailsLeavesNoTemporaryFile) {
    ASSERT_EQ(runPackwell({"split", dir / "movie.avi", "720", dir / "pieces"}).exitCode, 0);
    Tally t("Fault injection", "join", "every rename refused (EIO)",
            "failure reported; pieces byte-identical, no temporary file");
    t.begin();
    const auto [before, after] = failingRun([&] { return runWithRenameFailing({"join", dir / "pieces/movie.001"}); });
    EXPECT_EQ(after.size(), before.size());
    t.end();
}

}  // namespace
