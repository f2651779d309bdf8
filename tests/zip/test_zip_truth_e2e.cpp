// What the zip operations report is what happened, with the real engines:
// concurrent updates of one archive all arrive, a file left out is named,
// non-regular files are refused without blocking, and objects a host kept
// outlive the control safely.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <set>
#include <thread>

#include "brixzip1.h"
#include "control/ctlPackwell.h"
#include "support/ScriptedPlatform.h"
#include "support/Process.h"
#include "support/TempDir.h"
#include "unzip/cUnzip.h"
#include "zip/cZip.h"

namespace {

namespace fs = std::filesystem;
using Texts = std::vector<std::string>;

// The entry names, sorted, as Info-ZIP's zipinfo reads them.
Texts entryNames(const std::string& archive) {
    pwtest::RunResult r = pwtest::run("/usr/bin/unzip", {"-Z1", archive});
    if (r.exitCode != 0) return {"(unreadable) " + r.err};
    Texts names;
    std::size_t start = 0;
    while (start < r.out.size()) {
        std::size_t end = r.out.find('\n', start);
        if (end == std::string::npos) end = r.out.size();
        names.push_back(r.out.substr(start, end - start));
        start = end + 1;
    }
    std::sort(names.begin(), names.end());
    return names;
}

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Long enough for any command that does not block, short of forever.
const auto kHangLimit = std::chrono::milliseconds(3000);

class ZipTruth : public ::testing::Test {
protected:
    pwtest::TempDir dir;
    std::string zip = dir / "out.zip";
};

TEST_F(ZipTruth, EightProcessesAddingToOneArchiveAllArrive) {
    pwtest::writeFile(dir / "f0.txt", "0");
    ASSERT_EQ(pwtest::run(pwtest::packwellProgram(), {"zip", zip, dir / "f0.txt"}).exitCode, 0);
    std::vector<std::thread> adders;
    std::vector<pwtest::RunResult> results(8);
    for (int i = 1; i <= 8; ++i) {
        std::string file = dir / ("f" + std::to_string(i) + ".txt");
        pwtest::writeFile(file, std::to_string(i));
        adders.emplace_back([&, i, file] { results[i - 1] = pwtest::run(pwtest::packwellProgram(), {"add", zip, file}); });
    }
    for (auto& t : adders) t.join();
    for (const auto& r : results) EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(entryNames(zip), (Texts{"f0.txt", "f1.txt", "f2.txt", "f3.txt", "f4.txt", "f5.txt", "f6.txt", "f7.txt",
                                      "f8.txt"}));
}

TEST_F(ZipTruth, TwoThreadsUpdatingOneArchiveBothArrive) {
    pwtest::writeFile(dir / "a.txt", std::string(200000, 'a'));
    pwtest::writeFile(dir / "b.txt", std::string(200000, 'b'));
    auto zipOne = [&](const std::string& file) {
        cZip z;
        z.ZipFile(zip);
        z.AddFileSpec(file);
        z.Zip();
        return z.Succeeded();
    };
    bool okA = false, okB = false;
    std::thread a([&] { okA = zipOne(dir / "a.txt"); });
    std::thread b([&] { okB = zipOne(dir / "b.txt"); });
    a.join();
    b.join();
    EXPECT_TRUE(okA && okB);
    EXPECT_EQ(entryNames(zip), (Texts{"a.txt", "b.txt"}));
}

// Each entry's fate, as the engine reports it: added, kept by the update
// rule, a name that matched nothing (with its errno).
TEST_F(ZipTruth, TheRunReportsEachEntry) {
    pwtest::writeFile(dir / "a.txt", "a");
    cZip z;
    z.ZipFile(zip);
    z.BasePath(dir.path().string());
    z.AddFileSpec("a.txt");
    z.AddFileSpec("missing.txt");
    z.Zip();
    EXPECT_FALSE(z.Succeeded());
    EXPECT_EQ(z.LastResult(), ZE_OPEN);
    ASSERT_EQ(z.Outcomes().entries().size(), 2u);
    EXPECT_EQ(z.Outcomes().entries()[0].name, "missing.txt");
    EXPECT_EQ(z.Outcomes().entries()[0].kind, pw::Outcome::NotFound);
    EXPECT_EQ(z.Outcomes().entries()[0].sysError, ENOENT);
    EXPECT_EQ(z.Outcomes().entries()[1].kind, pw::Outcome::Done);
    EXPECT_EQ(z.RunError().number(), 53);
    EXPECT_TRUE(has(z.RunError().description(), "was written without 1 of the named files: missing.txt"));

    z.ClearFileSpecs();
    z.AddFileSpec("a.txt");
    z.UpdateOnlyIfNewer(true);
    z.Zip();
    EXPECT_TRUE(z.Succeeded());
    EXPECT_EQ(z.Outcomes().count(pw::Outcome::Kept), 1u);
}

// Run as an unprivileged user when the tests run as root: root reads
// everything.
TEST_F(ZipTruth, FolderWithAnUnreadableFileIsFalseAndNamesIt) {
    std::vector<std::string> asUser;
    if (::geteuid() == 0) {
        if (pwtest::run("/usr/bin/setpriv", {"--reuid=nobody", "--regid=nogroup", "--clear-groups", "true"}).exitCode != 0)
            GTEST_SKIP() << "running as root and setpriv cannot drop to nobody";
        asUser = {"--reuid=nobody", "--regid=nogroup", "--clear-groups"};
        fs::permissions(dir.path(), fs::perms::all);
    }
    fs::create_directory(dir / "tree");
    fs::permissions(dir / "tree", fs::perms::all);
    pwtest::writeFile(dir / "tree/readable.txt", "r");
    pwtest::writeFile(dir / "tree/secret.txt", "s");
    fs::permissions(dir / "tree/readable.txt", fs::perms::owner_all | fs::perms::others_read | fs::perms::group_read);
    fs::permissions(dir / "tree/secret.txt", fs::perms::none);
    std::vector<std::string> args = asUser;
    std::string program = pwtest::packwellProgram();
    if (!asUser.empty()) args.push_back(program), program = "/usr/bin/setpriv";
    for (const char* a : {"zip-folder", "ARCHIVE", "TREE", "*.*"}) args.push_back(a);
    args[args.size() - 3] = zip;
    args[args.size() - 2] = dir / "tree";
    pwtest::RunResult r = pwtest::run(program, args);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(has(r.err, "PackwellDEMO: 70: The archive " + zip + " was written without 1 of the named files: "
                           "secret.txt (could not be read: Permission denied)\n")) << r.err;
    EXPECT_TRUE(has(r.err, "packwell: secret.txt: could not be read: Permission denied\n")) << r.err;
    EXPECT_FALSE(has(r.err, "not written")) << r.err;
    EXPECT_EQ(entryNames(zip), Texts{"readable.txt"});
}

TEST_F(ZipTruth, AFifoIsRefusedByEveryCommandWithoutBlocking) {
    const std::string fifo = dir / "pipe.001", file = dir / "a.txt";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    pwtest::writeFile(file, "a");
    ASSERT_EQ(pwtest::run(pwtest::packwellProgram(), {"zip", zip, file}).exitCode, 0);
    const std::vector<std::pair<Texts, std::string>> commands{
        {{"split", fifo, "1"}, "Unable to locate " + fifo},
        {{"join", fifo}, "Unable to locate " + fifo},
        {{"zip", dir / "new.zip", fifo}, "Unable to find " + fifo},
        {{"add", zip, fifo}, "Unable to find " + fifo},
        {{"add", fifo, file}, "Unable to find " + fifo},
        {{"list", fifo}, "Unable to locate " + fifo},
        {{"unzip", fifo, dir.path().string()}, "Unable to find " + fifo},
        {{"browse", fifo}, "Unable to locate " + fifo},
        // The engine's own check: a FIFO as the archive to write.
        {{"zip", fifo, file}, "not a regular file"},
    };
    pwtest::RunOptions limit;
    limit.killAfter = kHangLimit;
    for (const auto& [args, message] : commands) {
        pwtest::RunResult r = pwtest::run(pwtest::packwellProgram(), args, limit);
        EXPECT_EQ(r.signal, 0) << args[0] << " blocked on the FIFO";
        EXPECT_EQ(r.exitCode, 1) << args[0];
        EXPECT_TRUE(has(r.err, message)) << args[0] << ": " << r.err;
    }
}

// Two joins of one set at once: each result names a whole file of its own.
TEST_F(ZipTruth, TwoJoinsOfOneSetEachGetAWholeFile) {
    const std::string source = dir / "data.bin";
    pwtest::writeFile(source, pwtest::patternBytes(300000, 3));
    fs::create_directory(dir / "pieces");
    ASSERT_EQ(pwtest::run(pwtest::packwellProgram(), {"split", source, "64", dir / "pieces"}).exitCode, 0);
    for (int round = 0; round < 3; ++round) {
        fs::remove(dir / "pieces/data.bin");
        fs::remove(dir / "pieces/data_Copy.bin");
        pwtest::RunResult r1, r2;
        std::thread a([&] { r1 = pwtest::run(pwtest::packwellProgram(), {"join", dir / "pieces/data.001"}); });
        std::thread b([&] { r2 = pwtest::run(pwtest::packwellProgram(), {"join", dir / "pieces/data.001"}); });
        a.join();
        b.join();
        ASSERT_EQ(r1.exitCode, 0) << r1.err;
        ASSERT_EQ(r2.exitCode, 0) << r2.err;
        EXPECT_EQ((std::set<std::string>{r1.out, r2.out}), (std::set<std::string>{"data.bin\n", "data_Copy.bin\n"}));
        EXPECT_EQ(pwtest::readFile(dir / "pieces/data.bin"), pwtest::readFile(source));
        EXPECT_EQ(pwtest::readFile(dir / "pieces/data_Copy.bin"), pwtest::readFile(source));
    }
}

// A host that keeps the objects the control handed out and destroys the
// control: their events no longer lead into it (AddressSanitizer watches).
TEST_F(ZipTruth, ObjectsAHostKeptOutliveTheControl) {
    pw::ScriptedPlatform platform;
    pw::ScopedPlatform scope(platform);
    pwtest::writeFile(dir / "a.txt", "a");
    fs::create_directory(dir / "out");
    auto control = std::make_unique<ctlPackwell>();
    ASSERT_TRUE(control->zipONEfile(dir / "a.txt", dir / "plain.zip", false));
    ASSERT_TRUE(control->UnzipDirectly(dir / "plain.zip", dir / "out", true));
    control->zipEncryption(ctlPackwell::ZipEncryption::Aes256);
    control->zipPassword("s3cret");
    ASSERT_TRUE(control->zipONEfile(dir / "a.txt", zip, false)) << testing::PrintToString(platform.messageTexts());
    std::shared_ptr<cZip> z = control->zipObject();
    std::shared_ptr<cUnzip> u = control->unzipObject();
    control.reset();

    EXPECT_FALSE(z->Progress || z->PasswordRequest || z->Cancel);
    EXPECT_FALSE(u->OverWritePrompt || u->PasswordRequest);
    z->Zip();  // asks for a password: nobody answers now
    EXPECT_FALSE(z->Succeeded());
    EXPECT_EQ(z->LastResult(), ZE_ABORT);
    u->Unzip();  // the extracted file is there: the question goes unanswered, the file kept
    EXPECT_EQ(pwtest::readFile(dir / "out/a.txt"), "a");
}

}  // namespace
