// Zip, add, delete and extract under a failing disk: writes refused after a
// byte budget, renames refused, and a small real tmpfs where this machine
// lets us mount one. Each time the failure is reported, the archive or the
// files already there are byte-identical, and no temporary file is left.
#include <sys/mount.h>

#include <cerrno>
#include <cstring>
#include <functional>

#include "reliability/FaultFixture.h"

using namespace pwtest;
namespace fs = std::filesystem;

namespace {

// Budgets from "nothing at all" to "most of the archive".
const std::vector<long long> kBudgets = {0, 100, 4096, 64 * 1024, 400 * 1024};

std::string budgetsText() { return "writes refused after 0 B, 100 B, 4 KiB, 64 KiB, 400 KiB"; }

bool isUnzipTemporary(const std::string& name) {
    return fs::path(name).filename().string().rfind(".pwuz-", 0) == 0;
}

class ZipFaults : public FaultTest {
protected:
    void SetUp() override {
        fs::create_directories(dir / "tree/sub");
        writeFile(dir / "tree/notes.txt", textBytes(300 * 1024));
        writeFile(dir / "tree/sub/data.bin", patternBytes(500 * 1024, 3));
        writeFile(dir / "tree/sub/empty.txt", "");
        writeFile(dir / "big.bin", patternBytes(1200 * 1024, 9));
        ASSERT_EQ(runPackwell({"zip-folder", dir / "keep.zip", dir / "tree", "*.*", "--keep-folder"}).exitCode, 0);
        fs::create_directories(dir / "out");
    }

    static std::string textBytes(std::size_t size) {
        std::string s;
        for (int i = 0; s.size() < size; ++i) s += "line " + std::to_string(i) + " of the notes\n";
        s.resize(size);
        return s;
    }

    // No file appeared at all.
    // Runs packwell `args` under each budget: a numbered failure each time,
    // and nothing new left behind.
    void expectCleanFailures(const std::string& what, const std::string& promise,
                             const std::vector<std::string>& args) {
        Tally t("Fault injection", what, budgetsText(), promise);
        for (long long budget : kBudgets) {
            SCOPED_TRACE(budget);
            t.begin();
            const auto before = snapshot();
            expectNumberedFailure(runWithWriteBudget(args, budget));
            expectNothingNew(before);
            t.end();
        }
    }

    void expectNothingNew(const std::map<std::string, std::string>& before) {
        const auto after = snapshot();
        expectOriginalsKept(before, after);
        auto stray = strayFiles(before, after, [](const std::string&) { return false; });
        EXPECT_TRUE(stray.empty()) << ::testing::PrintToString(stray);
    }

    // What an interrupted extraction may leave in out/: complete files of
    // the archive (each equal to its source in tree/), never a temporary.
    void expectOnlyCompleteExtractions(const std::map<std::string, std::string>& before, bool folderNames) {
        const auto after = snapshot();
        expectOriginalsKept(before, after);
        for (const auto& name : strayFiles(before, after, [](const std::string&) { return false; })) {
            EXPECT_FALSE(isUnzipTemporary(name)) << "temporary file left: " << name;
            ASSERT_EQ(name.rfind("out/", 0), 0u) << "written outside the folder: " << name;
            std::string rel = name.substr(4);
            std::string source = folderNames ? rel : (rel == "notes.txt" ? rel : "sub/" + rel);
            EXPECT_EQ(after.at(name), fingerprint(dir / ("tree/" + source))) << name << " is incomplete";
        }
    }
};

TEST_F(ZipFaults, NewArchiveOnAFullDiskIsNotCreated) {
    expectCleanFailures("zip (new archive)", "failure reported; no archive, no temporary file",
                        {"zip", dir / "new.zip", dir / "big.bin"});
    auto ok = runPackwell({"zip", dir / "new.zip", dir / "big.bin"});
    EXPECT_EQ(ok.exitCode, 0) << ok.err;
}

TEST_F(ZipFaults, AddOnAFullDiskKeepsTheArchive) {
    expectCleanFailures("add (existing archive)", "failure reported; archive byte-identical, no temporary file",
                        {"add", dir / "keep.zip", dir / "big.bin"});
}

TEST_F(ZipFaults, DeleteOnAFullDiskKeepsTheArchive) {
    Tally t("Fault injection", "delete (cZip.Delete)", budgetsText() + "; one entry, and every entry (0 B)",
            "failure reported; archive byte-identical, no temporary file");
    for (long long budget : kBudgets) {
        for (bool everything : {false, true}) {
            // An emptied archive is 22 bytes: larger budgets let it through.
            if (everything && budget >= 22) continue;
            SCOPED_TRACE(std::to_string(budget) + (everything ? " every entry" : " one entry"));
            t.begin();
            const auto before = snapshot();
            // What stays (data.bin, half a megabyte of noise) must be rewritten.
            std::vector<std::string> args{dir / "keep.zip", "notes.txt"};
            if (everything) args.insert(args.end(), {"sub/data.bin", "sub/empty.txt"});
            auto r = runWithWriteBudget(zipDeleteProgram(), args, budget);
            expectNumberedFailure(r);
            expectNothingNew(before);
            t.end();
        }
    }
    auto ok = run(zipDeleteProgram(), {dir / "keep.zip", "notes.txt"});
    EXPECT_EQ(ok.exitCode, 0) << ok.err;
}

TEST_F(ZipFaults, ExtractOnAFullDiskLeavesOnlyCompleteFiles) {
    Tally t("Fault injection", "extract (unzip)", budgetsText() + "; flat and with folders",
            "failure reported; archive byte-identical; only complete files, no temporary file");
    for (long long budget : kBudgets) {
        for (bool folderNames : {false, true}) {
            SCOPED_TRACE(std::to_string(budget) + (folderNames ? " folders" : " flat"));
            t.begin();
            const auto before = snapshot();
            std::vector<std::string> args{"unzip", dir / "keep.zip", dir / "out"};
            if (folderNames) args.push_back("--folder-names");
            auto r = runWithWriteBudget(args, budget);
            EXPECT_EQ(r.exitCode, 1) << r.err;
            EXPECT_NE(r.err.find("PackwellDEMO: Unable to extract " + (dir / "keep.zip") + ": "), std::string::npos)
                << r.err;
            expectOnlyCompleteExtractions(before, folderNames);
            t.end();
            fs::remove_all(dir / "out");
            fs::create_directories(dir / "out");
        }
    }
}

TEST_F(ZipFaults, ExtractOverExistingFilesOnAFullDiskKeepsThem) {
    Tally t("Fault injection", "extract over existing files", "writes refused after 0 B and 64 KiB, overwrite all",
            "failure reported; existing files byte-identical, no temporary file");
    writeFile(dir / "out/notes.txt", "my own notes");
    writeFile(dir / "out/data.bin", "my own data");
    for (long long budget : {0LL, 64LL * 1024}) {
        SCOPED_TRACE(budget);
        t.begin();
        const auto before = snapshot();
        auto r = runWithWriteBudget({"unzip", dir / "keep.zip", dir / "out", "--prompt", "--answer", "all"}, budget);
        EXPECT_EQ(r.exitCode, 1) << r.err;
        EXPECT_NE(r.err.find("PackwellDEMO: "), std::string::npos) << r.err;
        const auto after = snapshot();
        expectOriginalsKept(before, after);
        for (const auto& n : strayFiles(before, after, [](const std::string&) { return false; }))
            EXPECT_FALSE(isUnzipTemporary(n)) << n;
        t.end();
    }
}

TEST_F(ZipFaults, FailingRenameLeavesEverythingAsItWas) {
    Tally t("Fault injection", "zip, add, delete, extract", "every rename and link refused (EIO)",
            "failure reported; archive and existing files byte-identical, no temporary file");
    writeFile(dir / "out/notes.txt", "my own notes");
    // Large enough to be decoded on worker threads, whose files take free
    // names where they were decoded.
    fs::create_directories(dir / "many");
    for (int i = 0; i < 6; ++i) writeFile(dir / ("many/f" + std::to_string(i)), patternBytes(300 * 1024, i));
    ASSERT_EQ(runPackwell({"zip-folder", dir / "many.zip", dir / "many", "*.*", "--keep-folder"}).exitCode, 0);
    fs::create_directories(dir / "fresh");
    const std::vector<std::pair<std::string, std::vector<std::string>>> runs = {
        {packwellProgram(), {"zip", dir / "new.zip", dir / "big.bin"}},
        {packwellProgram(), {"add", dir / "keep.zip", dir / "big.bin"}},
        {zipDeleteProgram(), {dir / "keep.zip", "notes.txt"}},
        {zipDeleteProgram(), {dir / "keep.zip", "notes.txt", "sub/data.bin", "sub/empty.txt"}},
        {packwellProgram(), {"unzip", dir / "keep.zip", dir / "out", "--prompt", "--answer", "all"}},
        {packwellProgram(), {"unzip", dir / "many.zip", dir / "fresh", "--folder-names"}},
    };
    for (const auto& [program, args] : runs) {
        SCOPED_TRACE(::testing::PrintToString(args));
        t.begin();
        const auto before = snapshot();
        auto r = runWithRenameFailing(program, args);
        EXPECT_EQ(r.exitCode, 1) << r.err;
        EXPECT_NE(r.err.find("PackwellDEMO: "), std::string::npos) << r.err;
        if (program == zipDeleteProgram() || args[0] != "unzip") {
            expectNumberedFailure(r);
        }
        expectNothingNew(before);
        t.end();
    }
}

// A real, small file system: the failures come from the kernel, not from
// the preloaded library. Needs the right to mount (root in a container);
// skipped otherwise.
class FullTmpfs : public ZipFaults {
protected:
    void SetUp() override {
        ZipFaults::SetUp();
        if (HasFatalFailure()) return;
        mnt = dir / "small";
        fs::create_directories(mnt);
        if (::mount("tmpfs", mnt.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, "size=1m") != 0)
            GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(errno);
        mounted = true;
    }
    void TearDown() override {
        if (mounted) ::umount2(mnt.c_str(), MNT_DETACH);
    }
    std::map<std::string, std::string> smallSnapshot() const {
        std::map<std::string, std::string> files;
        for (const auto& f : listFiles(mnt)) files[f] = fingerprint(mnt + "/" + f);
        return files;
    }
    void expectSmallUnchanged(const std::map<std::string, std::string>& before) {
        EXPECT_EQ(smallSnapshot(), before);
    }
    std::string mnt;
    bool mounted = false;
};

TEST_F(FullTmpfs, EveryWriterReportsTheFullDiskAndKeepsTheOriginals) {
    Tally t("Fault injection", "zip, add, delete, join, extract, split",
            "1 MiB tmpfs (kernel ENOSPC), one run each",
            "failure reported (61 disk full for zip, add, delete, join, split); originals byte-identical; "
            "no temporary file (split keeps the pieces it finished)");
    // An archive that fits once but not twice, so any rewrite runs out.
    writeFile(dir / "half.bin", patternBytes(560 * 1024, 11));
    ASSERT_EQ(runPackwell({"zip", dir / "small.zip", dir / "half.bin"}).exitCode, 0);
    ASSERT_EQ(runPackwell({"add", dir / "small.zip", dir / "tree/sub/empty.txt"}).exitCode, 0);
    fs::copy_file(dir / "small.zip", mnt + "/small.zip");
    auto noneAllowed = [](const std::string&) { return false; };
    auto step = [&](const std::string& what, const std::string& program, const std::vector<std::string>& args,
                    bool numbered, const std::function<bool(const std::string&)>& allowed) {
        SCOPED_TRACE(what);
        t.begin();
        const auto before = smallSnapshot();
        auto r = run(program, args);
        EXPECT_EQ(r.exitCode, 1) << r.err;
        if (numbered) {
            expectNumberedFailure(r);
            EXPECT_NE(r.err.find("PackwellDEMO: 61: "), std::string::npos) << r.err;
        } else {
            EXPECT_NE(r.err.find("PackwellDEMO: "), std::string::npos) << r.err;
        }
        const auto after = smallSnapshot();
        expectOriginalsKept(before, after);
        for (const auto& [name, print] : after) {
            EXPECT_TRUE(before.count(name) || allowed(name)) << what << " left " << name;
        }
        t.end();
        for (const auto& [name, print] : after)
            if (!before.count(name)) fs::remove(mnt + "/" + name);
    };
    step("zip", packwellProgram(), {"zip", mnt + "/new.zip", dir / "big.bin"}, true, noneAllowed);
    step("add", packwellProgram(), {"add", mnt + "/small.zip", dir / "tree/notes.txt"}, true, noneAllowed);
    step("delete", zipDeleteProgram(), {mnt + "/small.zip", "empty.txt"}, true, noneAllowed);
    fs::create_directories(mnt + "/out");
    step("extract", packwellProgram(), {"unzip", dir / "keep.zip", mnt + "/out"}, false, [&](const std::string& n) {
        // Entries finished before the disk filled up stay, complete.
        if (isUnzipTemporary(n)) return false;
        std::string leaf = fs::path(n).filename().string();
        std::string source = dir / (leaf == "notes.txt" ? "tree/notes.txt" : "tree/sub/" + leaf);
        return fingerprint(mnt + "/" + n) == fingerprint(source);
    });
    fs::create_directories(mnt + "/pieces");
    step("split", packwellProgram(), {"split", dir / "big.bin", "300", mnt + "/pieces"}, true,
         [](const std::string& n) { return std::regex_match(n, std::regex(R"(pieces/big\.\d{3})")); });

    // Pieces that fit, and no room for the joined file beside them.
    fs::remove(mnt + "/small.zip");
    fs::remove_all(mnt + "/pieces");
    fs::create_directories(mnt + "/pieces");
    writeFile(dir / "movie.avi", patternBytes(600 * 1024, 12));
    ASSERT_EQ(runPackwell({"split", dir / "movie.avi", "200", mnt + "/pieces"}).exitCode, 0);
    step("join", packwellProgram(), {"join", mnt + "/pieces/movie.001"}, true, noneAllowed);
}

}  // namespace
