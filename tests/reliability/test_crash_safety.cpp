// kill -9 at random moments (seeded, so a failure can be replayed) during
// zip, add, delete, join and extract. After each kill: the originals are
// intact, what the run was making is either absent or complete, the only
// other files left are the run's temporaries, and a later run works with
// those temporaries still lying there (they are ignored, not cleaned up).
#include <signal.h>

#include <chrono>
#include <functional>
#include <random>
#include <set>
#include <sstream>

#include "reliability/FaultFixture.h"

using namespace pwtest;
namespace fs = std::filesystem;
using std::chrono::milliseconds;

namespace {

constexpr int kRuns = 20;
constexpr std::uint32_t kSeed = 20240607;

// The temporary names of the writers: the zip engine's <archive>.XXXXXX,
// the join's .<name>.joining-XXXXXXXX and the unzip engine's .pwuz-*.tmp.
bool isTemporary(const std::string& path) {
    const std::string leaf = fs::path(path).filename().string();
    static const std::regex names(R"(.+\.zip\.[A-Za-z0-9]{6}|\..+\.joining-[a-z0-9]{8}|\.pwuz-\d+-\d+\.tmp)");
    return std::regex_match(leaf, names);
}

class CrashSafety : public FaultTest {
protected:
    void SetUp() override {
        fs::create_directories(dir / "tree/sub");
        std::string text;
        for (int i = 0; text.size() < 200 * 1024; ++i) text += "record " + std::to_string(i) + " of the ledger\n";
        writeFile(dir / "tree/ledger.txt", text);
        writeFile(dir / "tree/sub/noise.bin", patternBytes(300 * 1024, 21));
        writeFile(dir / "tree/sub/small.txt", "small");
        writeFile(dir / "photo.raw", patternBytes(1024 * 1024, 22));
    }

    // How long an uninterrupted run takes (the quickest of three, `reset`
    // before each), so the kills spread over all of it.
    milliseconds measure(const std::string& program, const std::vector<std::string>& args,
                         const std::function<void()>& reset = [] {}) {
        milliseconds quickest = milliseconds::max();
        for (int i = 0; i < 3; ++i) {
            reset();
            auto start = std::chrono::steady_clock::now();
            auto r = run(program, args);
            EXPECT_EQ(r.exitCode, 0) << r.err;
            quickest = std::min(quickest, std::chrono::duration_cast<milliseconds>(std::chrono::steady_clock::now() - start));
        }
        return std::max(quickest, milliseconds(5));
    }

    // Runs and kills after a random moment within 1.2 times `length`; true
    // when the kill came before the run ended.
    bool killedRun(const std::string& program, const std::vector<std::string>& args, milliseconds length) {
        std::uniform_int_distribution<long long> when(0, length.count() * 6 / 5);
        RunOptions o;
        o.killAfter = milliseconds(when(rng));
        auto r = run(program, args, o);
        if (r.signal == SIGKILL) return true;
        EXPECT_EQ(r.exitCode, 0) << r.err;
        return false;
    }

    // Entry names of an archive through packwell list; empty when it cannot be read.
    std::set<std::string> entries(const std::string& archive) {
        auto r = runPackwell({"list", archive});
        std::set<std::string> names;
        if (r.exitCode != 0) return names;
        std::istringstream in(r.out);
        std::string line;
        while (std::getline(in, line)) {
            // name, size, packed size, folder, date, ratio
            std::vector<std::string> f;
            std::istringstream fields(line);
            for (std::string v; std::getline(fields, v, '\t');) f.push_back(v);
            if (f.size() < 4) continue;
            names.insert(f[3].empty() ? f[0] : f[3] + "/" + f[0]);
        }
        return names;
    }

    // Every file of the archive extracted with its folders equals its
    // counterpart under `sourceRoot`.
    void expectArchiveHolds(const std::string& archive, const std::set<std::string>& names,
                            const std::string& sourceRoot) {
        const std::string check = dir / "check";
        fs::remove_all(check);
        fs::create_directories(check);
        auto r = runPackwell({"unzip", archive, check, "--folder-names"});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        for (const auto& n : names) {
            std::string source = sourceRoot + "/" + n;
            if (!fs::exists(source)) source = dir / fs::path(n).filename().string();
            EXPECT_EQ(fingerprint(check + "/" + n), fingerprint(source)) << n;
        }
        fs::remove_all(check);
    }

    // New files since `before`: each must be a temporary; returns how many.
    int leftTemporaries(const std::map<std::string, std::string>& before,
                        const std::map<std::string, std::string>& after, const std::set<std::string>& expected) {
        int n = 0;
        for (const auto& name : strayFiles(before, after, [&](const std::string& f) { return expected.count(f) > 0; })) {
            EXPECT_TRUE(isTemporary(name)) << "left behind: " << name;
            ++n;
        }
        return n;
    }

    // The tally's "tried" detail: kills delivered and temporaries left.
    static std::string killNote(int kills, int runsLeavingTemporaries) {
        return " (" + std::to_string(kills) + " killed mid-run; " + std::to_string(runsLeavingTemporaries) +
               " left a temporary file, ignored by the next run)";
    }

    std::mt19937 rng{kSeed};

    using Files = std::map<std::string, std::string>;

    // Kills packwell `args` at random moments, kRuns times: `prepare(i)` sets
    // the scene, the originals stay as they were, `afterKill(after)` judges
    // what the killed run left, files left beside `produced` count as
    // temporaries, and a run to the end then succeeds and passes
    // `afterAgain(i)`.
    void killRuns(const std::string& what, const std::string& promise, const std::vector<std::string>& args,
                  milliseconds length, const std::set<std::string>& produced, const std::function<void(int)>& prepare,
                  const std::function<void(const Files&)>& afterKill, const std::function<void(int)>& afterAgain) {
        Tally t("Crash safety", what, std::to_string(kRuns) + " kill -9 at random moments", promise);
        int kills = 0, leaving = 0;
        for (int i = 0; i < kRuns; ++i) {
            SCOPED_TRACE(i);
            if (prepare) prepare(i);
            t.begin();
            const auto before = snapshot();
            kills += killedRun(packwellProgram(), args, length);
            const auto after = snapshot();
            expectOriginalsKept(before, after);
            afterKill(after);
            leaving += leftTemporaries(before, after, produced) > 0;

            auto again = runPackwell(args);
            EXPECT_EQ(again.exitCode, 0) << again.err;
            afterAgain(i);
            t.end();
        }
        t.note(killNote(kills, leaving));
        EXPECT_GT(kills, 0);
    }

    // Kills `program args` at random moments while it changes the existing
    // `archive` (put back as it was before each run): the archive is then
    // byte-identical or complete with `expected` entries, nothing else
    // changes, and a later run (from the old archive when `againFromOld`)
    // ends with `expected`. `check(i)` adds checks after run i.
    void killWhileChanging(const std::string& what, const std::string& promise, const std::string& program,
                           const std::vector<std::string>& args, const std::string& archive,
                           const std::set<std::string>& expected, bool againFromOld,
                           const std::function<void(int)>& check = {}) {
        const std::string pristine = dir / "pristine.zip.orig";
        fs::copy_file(archive, pristine);
        auto restore = [&] { fs::copy_file(pristine, archive, fs::copy_options::overwrite_existing); };
        const milliseconds length = measure(program, args, restore);
        const std::string name = fs::path(archive).filename().string();
        Tally t("Crash safety", what, std::to_string(kRuns) + " kill -9 at random moments", promise);
        int kills = 0, leaving = 0;
        for (int i = 0; i < kRuns; ++i) {
            SCOPED_TRACE(i);
            restore();
            t.begin();
            const auto before = snapshot();
            kills += killedRun(program, args, length);
            const auto after = snapshot();
            if (after.at(name) != before.at(name)) {
                EXPECT_EQ(entries(archive), expected);
            }
            auto unchanged = before;
            unchanged.erase(name);
            expectOriginalsKept(unchanged, after);
            leaving += leftTemporaries(before, after, {}) > 0;

            if (againFromOld) restore();
            auto again = run(program, args);
            EXPECT_EQ(again.exitCode, 0) << again.err;
            EXPECT_EQ(entries(archive), expected);
            if (check) check(i);
            t.end();
        }
        t.note(killNote(kills, leaving));
        EXPECT_GT(kills, 0);
    }
};

const std::set<std::string> kTree = {"ledger.txt", "sub/noise.bin", "sub/small.txt"};

TEST_F(CrashSafety, ZipKilledLeavesNoArchiveOrACompleteOne) {
    // The archive inside the folder it zips, so the next run meets the
    // temporaries of the killed ones in its scan.
    const std::string archive = dir / "tree/backup.zip";
    const std::vector<std::string> args{"zip-folder", archive, dir / "tree", "*.*", "--keep-folder"};
    const milliseconds length = measure(packwellProgram(), args, [&] { fs::remove(archive); });
    fs::remove(archive);
    killRuns(
        "zip (new archive)", "files zipped intact; archive absent or complete; next run works, stores no temporary",
        args, length, {"tree/backup.zip"}, {},
        [&](const Files&) {
            if (fs::exists(archive)) {
                EXPECT_EQ(entries(archive), kTree);
            }
        },
        [&](int i) {
            EXPECT_EQ(entries(archive), kTree) << "a temporary was stored, or an entry is missing";
            if (i % 5 == 0) expectArchiveHolds(archive, kTree, dir / "tree");
            fs::remove(archive);
        });
}

TEST_F(CrashSafety, AddKilledLeavesTheOldArchiveOrTheNewOne) {
    const std::string archive = dir / "keep.zip";
    ASSERT_EQ(runPackwell({"zip-folder", archive, dir / "tree", "*.*", "--keep-folder"}).exitCode, 0);
    std::set<std::string> grown = kTree;
    grown.insert("photo.raw");
    killWhileChanging("add (existing archive)",
                      "archive byte-identical or complete with the new entry; next run works", packwellProgram(),
                      {"add", archive, dir / "photo.raw"}, archive, grown, false, [&](int i) {
                          if (i % 5 == 0) expectArchiveHolds(archive, grown, dir / "tree");
                      });
}

TEST_F(CrashSafety, DeleteKilledLeavesTheOldArchiveOrTheNewOne) {
    const std::string archive = dir / "keep.zip";
    ASSERT_EQ(runPackwell({"zip-folder", archive, dir / "tree", "*.*", "--keep-folder"}).exitCode, 0);
    ASSERT_EQ(runPackwell({"add", archive, dir / "photo.raw"}).exitCode, 0);
    std::set<std::string> shrunk = kTree;
    shrunk.insert("photo.raw");
    shrunk.erase("ledger.txt");
    killWhileChanging("delete (cZip.Delete)",
                      "archive byte-identical or complete without the entry; next run works", zipDeleteProgram(),
                      {archive, "ledger.txt"}, archive, shrunk, true);
}

TEST_F(CrashSafety, JoinKilledLeavesNoPartialFile) {
    writeFile(dir / "movie.avi", patternBytes(8 * 1024 * 1024, 23));
    const std::string original = fingerprint(dir / "movie.avi");
    fs::create_directories(dir / "pieces");
    ASSERT_EQ(runPackwell({"split", dir / "movie.avi", "1440", dir / "pieces"}).exitCode, 0);
    fs::remove(dir / "movie.avi");
    const std::string joined = dir / "pieces/movie.avi";
    const std::vector<std::string> args{"join", dir / "pieces/movie.001"};
    const milliseconds length = measure(packwellProgram(), args, [&] { fs::remove(joined); });
    fs::remove(joined);
    killRuns(
        "join", "pieces byte-identical; joined file absent or complete; next run works", args, length,
        {"pieces/movie.avi"}, {},
        [&](const Files&) {
            if (fs::exists(joined)) {
                EXPECT_EQ(fingerprint(joined), original) << "a partial joined file";
            }
            fs::remove(joined);
        },
        [&](int) {
            EXPECT_EQ(fingerprint(joined), original);
            fs::remove(joined);
        });
}

TEST_F(CrashSafety, ExtractKilledLeavesOnlyCompleteFiles) {
    const std::string archive = dir / "keep.zip";
    ASSERT_EQ(runPackwell({"zip-folder", archive, dir / "tree", "*.*", "--keep-folder"}).exitCode, 0);
    ASSERT_EQ(runPackwell({"add", archive, dir / "photo.raw"}).exitCode, 0);
    fs::create_directories(dir / "out");
    // Overwriting what the last run extracted: an interrupted replacement
    // must leave the old complete file.
    const std::vector<std::string> args{"unzip", archive, dir / "out", "--folder-names", "--prompt", "--answer", "all"};
    const milliseconds length = measure(packwellProgram(), args);
    std::set<std::string> expected;
    for (const auto& n : kTree) expected.insert("out/" + n);
    expected.insert("out/photo.raw");
    auto sourceOf = [&](const std::string& n) {
        return n == "out/photo.raw" ? dir / "photo.raw" : dir / ("tree/" + n.substr(4));
    };
    killRuns(
        "extract (unzip, overwriting)", "archive byte-identical; every extracted file complete; next run works",
        args, length, expected,
        [&](int i) {
            // Every other try into an empty folder, the others over the last run's files.
            if (i % 2 == 1) {
                for (const auto& n : expected) fs::remove(dir / n);
            }
        },
        [&](const Files& after) {
            for (const auto& n : expected) {
                if (after.count(n)) {
                    EXPECT_EQ(after.at(n), fingerprint(sourceOf(n))) << n << " is incomplete";
                }
            }
        },
        [&](int) {
            for (const auto& n : expected) EXPECT_EQ(fingerprint(dir / n), fingerprint(sourceOf(n))) << n;
        });
}

}  // namespace
