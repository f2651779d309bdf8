// What each extraction reports, on the real engine: UnzipDirectly's result
// and message follow the entries' outcomes; exact names select one entry; a
// damaged ZipCrypto entry is damaged, not a password question; concurrent
// extractions stay whole; packwell's exit status and stderr lines.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <thread>

#include "control/ctlPackwell.h"
#include "support/ScriptedPlatform.h"
#include "support/TempDir.h"
#include "unzip/cUnzip.h"
#include "support/Process.h"
#include "RealArchive.h"

namespace fs = std::filesystem;

namespace {

using pwtest::python;
using pwtest::sh;

void pyZip(const std::string& archive, const std::string& body) { pwtest::pyZip(archive, body, "ZIP_STORED"); }

// Flips one byte of `path` at `offset`.
void damage(const std::string& path, std::size_t offset) {
    std::string bytes = pwtest::readFile(path);
    ASSERT_LT(offset, bytes.size());
    bytes[offset] ^= 0x5A;
    pwtest::writeFile(path, bytes);
}

std::size_t kinds(const pw::OutcomeList& o, pw::Outcome k) { return o.count(k); }

class Outcomes : public pwtest::RealArchiveTest {
protected:
    std::string lastMessage() const { return ui.messages.empty() ? std::string() : ui.messages.back().text; }
    ctlPackwell c;
};

TEST_F(Outcomes, UnzipDirectlyIsFalseAndSaysWhatDidNotComeOut) {
    // Refused as unsafe, beside a good file that still comes out.
    pyZip(archive, "z.writestr('good.txt', 'fine')\nz.writestr('../evil.txt', 'x')\n");
    EXPECT_FALSE(c.UnzipDirectly(archive, out, true));
    EXPECT_EQ(pwtest::readFile(out + "/good.txt"), "fine");
    EXPECT_EQ(kinds(c.UnzipOutcomes(), pw::Outcome::Done), 1u);
    EXPECT_NE(lastMessage().find("../evil.txt (refused as unsafe"), std::string::npos) << lastMessage();

    // Damaged data: the CRC fails; nothing partial is left.
    pyZip(dir / "d.zip", "z.writestr('data.bin', 'A' * 4000)\nz.writestr('ok.txt', 'ok')\n");
    damage(dir / "d.zip", 2000);
    EXPECT_FALSE(c.UnzipDirectly(dir / "d.zip", out));
    EXPECT_FALSE(fs::exists(out + "/data.bin"));
    EXPECT_NE(lastMessage().find("data.bin (damaged"), std::string::npos) << lastMessage();

    // No password given.
    pwtest::writeFile(dir / "secret.txt", "top secret");
    ASSERT_EQ(sh("cd '" + dir.path().string() + "' && zip -q -P right enc.zip secret.txt"), 0);
    ui.passwordAnswers = {{"", true}};
    EXPECT_FALSE(c.UnzipDirectly(dir / "enc.zip", out));
    EXPECT_EQ(lastMessage(), "Unable to extract " + (dir / "enc.zip") + ": secret.txt (no password given)");

    // Truncated archive.
    std::string bytes = pwtest::readFile(archive);
    pwtest::writeFile(dir / "cut.zip", bytes.substr(0, bytes.size() / 2));
    EXPECT_FALSE(c.UnzipDirectly(dir / "cut.zip", out));
    EXPECT_EQ(lastMessage(), "Unable to extract " + (dir / "cut.zip") +
                                 ": damaged: not a zip archive (or it is truncated)");
}

TEST_F(Outcomes, UnzipDirectlyIsTrueForACleanArchiveAndForFilesKeptByTheAnswer) {
    pyZip(archive, "z.writestr('a.txt', 'alpha')\nz.writestr('b.txt', 'beta')\nz.writestr('c.txt', 'gamma')\n");
    EXPECT_TRUE(c.UnzipDirectly(archive, out, true));
    EXPECT_EQ(kinds(c.UnzipOutcomes(), pw::Outcome::Done), 3u);
    EXPECT_TRUE(ui.messages.empty());

    // No for a.txt, then None for the rest: all kept, still a success.
    for (const char* f : {"a.txt", "b.txt", "c.txt"}) pwtest::writeFile(out + "/" + f, "mine");
    ui.overwriteAnswers = {{7, false}, {7, true}};
    EXPECT_TRUE(c.UnzipDirectly(archive, out, true));
    EXPECT_EQ(ui.overwriteQuestions.size(), 2u);
    EXPECT_EQ(kinds(c.UnzipOutcomes(), pw::Outcome::Kept), 3u);
    EXPECT_EQ(pwtest::readFile(out + "/c.txt"), "mine");
    // Overwriting not asked for: kept without a question.
    EXPECT_TRUE(c.UnzipDirectly(archive, out));
    EXPECT_EQ(ui.overwriteQuestions.size(), 2u);
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(Outcomes, AnExactNameSelectsOnlyItsEntryWhateverTheCase) {
    pyZip(archive, "z.writestr('Readme.txt', 'mixed')\nz.writestr('README.TXT', 'upper')\nz.writestr('x.txt', 'x')\n");
    auto u = std::make_shared<cUnzip>();
    u->ZipFile(archive);
    u->Directory();
    ASSERT_EQ(u->FileCount(), 3);
    for (std::int32_t i = 1; i <= 3; ++i) u->FileSelected(i, u->FileName(i) == "Readme.txt");
    u->UnzipFolder(out);
    EXPECT_TRUE(u->Unzip());
    EXPECT_EQ(pwtest::readFile(out + "/Readme.txt"), "mixed");
    EXPECT_FALSE(fs::exists(out + "/README.TXT"));
    EXPECT_EQ(u->Outcomes().entries().size(), 1u);

    // Through the control's selection: the other spelling alone.
    c.UnzipEntries({"README.TXT"});
    EXPECT_TRUE(c.UnzipDirectly(archive, out));
    EXPECT_EQ(pwtest::readFile(out + "/README.TXT"), "upper");
    EXPECT_FALSE(fs::exists(out + "/x.txt"));
    // A path that names no entry: nothing is extracted, the call fails.
    c.UnzipEntries({"nope.txt"});
    EXPECT_FALSE(c.UnzipDirectly(archive, out));
    EXPECT_FALSE(fs::exists(out + "/x.txt"));
    EXPECT_EQ(kinds(c.UnzipOutcomes(), pw::Outcome::NotFound), 1u);
}

TEST_F(Outcomes, ADamagedZipCryptoEntryIsReportedOnceAsDamaged) {
    pwtest::writeFile(dir / "secret.txt", std::string(3000, 'S'));
    ASSERT_EQ(sh("cd '" + dir.path().string() + "' && zip -q -0 -X -P right enc.zip secret.txt"), 0);
    damage(dir / "enc.zip", 1500);  // well inside the stored data
    ui.passwordAnswers = {{"right", false}, {"right", false}, {"right", false}};
    EXPECT_FALSE(c.UnzipDirectly(dir / "enc.zip", out));
    EXPECT_EQ(ui.passwordOwners.size(), 1u);
    ASSERT_EQ(c.UnzipOutcomes().entries().size(), 1u);
    EXPECT_EQ(c.UnzipOutcomes().entries()[0].kind, pw::Outcome::Damaged);
    EXPECT_FALSE(fs::exists(out + "/secret.txt"));
}

// Both runs decode on their worker pools (enough entries and bytes) and
// rename whole files into the one folder.
TEST_F(Outcomes, TwoExtractionsIntoOneFolderAtOnceLeaveWholeFiles) {
    pyZip(archive, "import os\nfor i in range(12): z.writestr('f%d.bin' % i, os.urandom(300000))\n");
    auto reference = std::make_shared<cUnzip>();
    reference->ZipFile(archive);
    reference->UnzipFolder(dir / "ref");
    fs::create_directories(dir / "ref");
    ASSERT_TRUE(reference->Unzip());

    bool ok[2] = {false, false};
    pw::OutcomeList got[2];
    auto run = [&](int k) {
        auto u = std::make_shared<cUnzip>();
        u->ZipFile(archive);
        u->UnzipFolder(out);
        ok[k] = u->Unzip();
        got[k] = u->Outcomes();
    };
    std::thread t0(run, 0), t1(run, 1);
    t0.join();
    t1.join();
    EXPECT_TRUE(ok[0] && ok[1]);
    for (int i = 0; i < 12; ++i) {
        const std::string name = "f" + std::to_string(i) + ".bin";
        EXPECT_EQ(pwtest::readFile(out + "/" + name), pwtest::readFile(dir / "ref/" + name)) << name;
    }
    // Every entry came out of one run at least; the other extracted or kept it.
    EXPECT_EQ(got[0].entries().size() + got[1].entries().size(), 24u);
    EXPECT_GE(got[0].count(pw::Outcome::Done) + got[1].count(pw::Outcome::Done), 12u);
    EXPECT_EQ(got[0].failures() + got[1].failures(), 0u);
    for (auto& e : fs::directory_iterator(out)) EXPECT_NE(e.path().filename().string().rfind(".pwuz-", 0), 0u);
}

struct CliRun {
    int status;
    std::string err;
};

CliRun packwell(const std::string& args, const pwtest::TempDir& dir) {
    std::string cmd = "'" + pwtest::packwellProgram() + "' " + args + " >/dev/null 2>'" +
                      (dir / "stderr.txt") + "' </dev/null";
    int rc = std::system(cmd.c_str());
    return {WIFEXITED(rc) ? WEXITSTATUS(rc) : -1, pwtest::readFile(dir / "stderr.txt")};
}

TEST_F(Outcomes, CommandLineExitStatusAndOneLinePerEntry) {
    pyZip(archive,
          "z.writestr('docs/x.txt', 'x')\nz.writestr('Readme.txt', 'r')\nz.writestr('README.TXT', 'R')\n"
          "z.writestr('../evil.txt', 'e')\n");
    const std::string a = "'" + archive + "' '" + out + "'";

    CliRun r = packwell("unzip " + a + " Readme.txt docs/x.txt", dir);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::exists(out + "/Readme.txt"));
    EXPECT_TRUE(fs::exists(out + "/x.txt"));
    EXPECT_FALSE(fs::exists(out + "/README.TXT"));
    r = packwell("unzip " + a + " docs/x.txt --folder-names", dir);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::exists(out + "/docs/x.txt"));

    r = packwell("unzip " + a + " nope.txt", dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("packwell: nope.txt: not found: no entry of that name\n"), std::string::npos) << r.err;

    r = packwell("unzip " + a + " --folder-names --answer all --prompt", dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("packwell: ../evil.txt: refused as unsafe"), std::string::npos) << r.err;
    // No line for the entries that came out.
    EXPECT_EQ(r.err.find("packwell: docs/x.txt"), std::string::npos) << r.err;

    std::string bytes = pwtest::readFile(archive);
    pwtest::writeFile(dir / "cut.zip", bytes.substr(0, bytes.size() / 2));
    EXPECT_EQ(packwell("list '" + (dir / "cut.zip") + "'", dir).status, 1);
    EXPECT_EQ(packwell("unzip '" + (dir / "cut.zip") + "' '" + out + "'", dir).status, 1);
}

}  // namespace
