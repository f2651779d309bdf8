// packwell test, delete, list --verbose and the zip and unzip options, as a
// user runs them, on the real engines.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

#include <ctime>
#include <filesystem>
#include <sstream>

#include "support/Process.h"
#include "support/TempDir.h"

namespace {

namespace fs = std::filesystem;

class CliMembers : public ::testing::Test {
protected:
    pwtest::TempDir dir;
    std::string tree = dir / "tree", zip = dir / "a.zip";

    void SetUp() override { fs::create_directories(tree + "/sub"); }

    pwtest::RunResult packwell(const std::vector<std::string>& args) {
        pwtest::RunOptions o;
        o.workingDir = dir.path().string();
        return pwtest::run(pwtest::packwellProgram(), args, o);
    }
    // Zips the tree with folder names; the test stops when that fails.
    void zipTree(const std::vector<std::string>& extra = {}) {
        std::vector<std::string> args{"zip-folder", zip, tree, "*.*", "--keep-folder"};
        args.insert(args.end(), extra.begin(), extra.end());
        pwtest::RunResult r = packwell(args);
        ASSERT_EQ(r.exitCode, 0) << r.err;
    }
    // The archive's entries (folder entries too), as Info-ZIP reads them.
    std::string entries() {
        pwtest::RunResult r = pwtest::run("/bin/sh", {"-c", "unzip -Z1 '" + zip + "' | LC_ALL=C sort"});
        return r.out;
    }
    // Extracts the archive into a new folder and returns that folder.
    std::string extract(const std::string& name, const std::vector<std::string>& extra = {}) {
        std::string out = dir / name;
        fs::create_directories(out);
        std::vector<std::string> args{"unzip", zip, out, "--folder-names"};
        args.insert(args.end(), extra.begin(), extra.end());
        pwtest::RunResult r = packwell(args);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        return out;
    }
    static void setTime(const std::string& path, std::time_t t) {
        struct utimbuf u{t, t};
        ASSERT_EQ(::utime(path.c_str(), &u), 0) << path;
    }
    static bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }
};

TEST_F(CliMembers, TestPassesAGoodArchiveAndNamesEachBadEntry) {
    pwtest::writeFile(tree + "/good.txt", "hello\n");
    pwtest::writeFile(tree + "/sub/bad.bin", pwtest::patternBytes(70000, 3));
    zipTree();
    pwtest::RunResult r = packwell({"test", zip});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");

    // One byte changed in the middle of the archive, inside bad.bin's data.
    std::string bytes = pwtest::readFile(zip);
    bytes[bytes.size() / 2] = static_cast<char>(bytes[bytes.size() / 2] ^ 0x55);
    pwtest::writeFile(zip, bytes);
    r = packwell({"test", zip});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(has(r.err, "\npackwell: sub/bad.bin: damaged")) << r.err;
    EXPECT_FALSE(has(r.err, "good.txt")) << r.err;

    r = packwell({"test", dir / "none.zip"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(has(r.err, "Unable to find " + (dir / "none.zip"))) << r.err;
}

TEST_F(CliMembers, TestOfAnEncryptedArchiveNeedsItsPassword) {
    pwtest::writeFile(tree + "/secret.txt", "secret\n");
    pwtest::writeFile(dir / "pw.txt", "open sesame\n");
    zipTree({"--password-file", dir / "pw.txt"});
    pwtest::RunResult r = packwell({"test", zip});  // no terminal, no password
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(has(r.err, "packwell: secret.txt: ")) << r.err;
    r = packwell({"test", zip, "--password-file", dir / "pw.txt"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    pwtest::writeFile(dir / "wrong.txt", "closed\n");
    EXPECT_EQ(packwell({"test", zip, "--password-file", dir / "wrong.txt"}).exitCode, 1);
}

TEST_F(CliMembers, DeleteRemovesEntriesAndNamesTheMissingOnes) {
    for (const char* n : {"one.txt", "two.txt", "sub/three.txt", "sub/four.log"}) pwtest::writeFile(tree + "/" + n, n);
    zipTree();
    pwtest::RunResult r = packwell({"delete", zip, "one.txt"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(entries(), "sub/four.log\nsub/three.txt\ntwo.txt\n");

    // A specification whose entry an earlier one also named is no miss.
    r = packwell({"delete", zip, "two.txt", "*.txt"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(entries(), "sub/four.log\n");

    pwtest::writeFile(tree + "/one.txt", "again");
    zipTree();
    r = packwell({"delete", zip, "sub/four.log", "nothere.txt"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(has(r.err, "PackwellDEMO: 53: The archive " + zip + " was written, but 1 of the entries named was not "
                           "in it: nothere.txt (not found"))
        << r.err;
    EXPECT_TRUE(has(r.err, "\npackwell: nothere.txt: not found")) << r.err;
    EXPECT_FALSE(has(entries(), "four.log"));  // what was found is still deleted

    r = packwell({"delete", zip, "nothere.txt"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(has(r.err, "packwell: nothere.txt: not found")) << r.err;
    EXPECT_EQ(packwell({"delete", dir / "none.zip", "x"}).exitCode, 1);
    EXPECT_EQ(packwell({"delete", zip}).exitCode, 2);
}

TEST_F(CliMembers, ZipOptionsChangeWhatIsStored) {
    pwtest::writeFile(tree + "/dos.txt", "one\r\ntwo\r\n");
    pwtest::writeFile(tree + "/sub/unix.txt", "one\ntwo\n");
    pwtest::writeFile(tree + "/.hidden", "h");
    zipTree();
    EXPECT_EQ(entries(), "dos.txt\nsub/unix.txt\n");
    std::string out = extract("plain");
    EXPECT_EQ(pwtest::readFile(out + "/dos.txt"), "one\r\ntwo\r\n");

    fs::remove(zip);
    zipTree({"--hidden", "--dir-entries", "--crlf-to-lf"});
    EXPECT_EQ(entries(), ".hidden\ndos.txt\nsub/\nsub/unix.txt\n");
    out = extract("tolf");
    EXPECT_EQ(pwtest::readFile(out + "/dos.txt"), "one\ntwo\n");

    fs::remove(zip);
    zipTree({"--lf-to-crlf"});
    out = extract("tocrlf");
    EXPECT_EQ(pwtest::readFile(out + "/sub/unix.txt"), "one\r\ntwo\r\n");

    pwtest::RunResult r = packwell({"zip", zip, tree + "/dos.txt", "--crlf-to-lf", "--lf-to-crlf"});
    EXPECT_EQ(r.exitCode, 2);
}

TEST_F(CliMembers, UpdateAndFreshenKeepEntriesThatAreNotOlder) {
    const std::time_t then = std::time(nullptr) - 3600;
    pwtest::writeFile(tree + "/kept.txt", "old kept");
    pwtest::writeFile(tree + "/changed.txt", "old changed");
    setTime(tree + "/kept.txt", then);
    setTime(tree + "/changed.txt", then);
    zipTree();
    // kept.txt changes but looks older than its entry; changed.txt is newer.
    pwtest::writeFile(tree + "/kept.txt", "new kept");
    setTime(tree + "/kept.txt", then - 3600);
    pwtest::writeFile(tree + "/changed.txt", "new changed");
    pwtest::writeFile(tree + "/added.txt", "added");
    const std::string original = dir / "original.zip";
    fs::copy_file(zip, original);

    zipTree({"--freshen"});
    EXPECT_EQ(entries(), "changed.txt\nkept.txt\n");
    std::string out = extract("freshened");
    EXPECT_EQ(pwtest::readFile(out + "/changed.txt"), "new changed");
    EXPECT_EQ(pwtest::readFile(out + "/kept.txt"), "old kept");

    fs::copy_file(original, zip, fs::copy_options::overwrite_existing);
    zipTree({"--update"});
    EXPECT_EQ(entries(), "added.txt\nchanged.txt\nkept.txt\n");
    out = extract("updated");
    EXPECT_EQ(pwtest::readFile(out + "/kept.txt"), "old kept");
    EXPECT_EQ(pwtest::readFile(out + "/changed.txt"), "new changed");

    fs::copy_file(original, zip, fs::copy_options::overwrite_existing);
    zipTree();
    EXPECT_EQ(pwtest::readFile(extract("replaced") + "/kept.txt"), "new kept");

    fs::remove(zip);
    pwtest::RunResult r = packwell({"zip-folder", zip, tree, "*.*", "--freshen"});
    EXPECT_EQ(r.exitCode, 1);  // nothing to freshen
}

TEST_F(CliMembers, UnzipOptionsChangeWhatIsWritten) {
    pwtest::writeFile(tree + "/my file.txt", "a\r\nb\rc\n");
    pwtest::writeFile(tree + "/Upper.txt", "upper");
    zipTree();
    std::string out = extract("converted", {"--spaces-to-underscores", "--convert-crlf"});
    EXPECT_EQ(pwtest::listFiles(out), (std::vector<std::string>{"Upper.txt", "my_file.txt"}));
    EXPECT_EQ(pwtest::readFile(out + "/my_file.txt"), "a\nb\nc\n");
    out = extract("asis");
    EXPECT_EQ(pwtest::readFile(out + "/my file.txt"), "a\r\nb\rc\n");

    // An entry named in another letter case, and with --case-sensitive.
    out = extract("folded", {"UPPER.TXT"});
    EXPECT_EQ(pwtest::listFiles(out), std::vector<std::string>{"Upper.txt"});
    pwtest::RunResult r = packwell({"unzip", zip, out, "UPPER.TXT", "--case-sensitive"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(has(r.err, "packwell: UPPER.TXT: not found")) << r.err;

    // --only-newer keeps the file on disk that is newer than its entry and
    // replaces the older one, without asking.
    out = extract("newer");
    const std::time_t now = std::time(nullptr);
    pwtest::writeFile(out + "/Upper.txt", "mine, newer");
    setTime(out + "/Upper.txt", now + 3600);
    pwtest::writeFile(out + "/my file.txt", "mine, older");
    setTime(out + "/my file.txt", now - 24 * 3600);
    r = packwell({"unzip", zip, out, "--only-newer", "--prompt", "--answer", "all"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(pwtest::readFile(out + "/Upper.txt"), "mine, newer");
    EXPECT_EQ(pwtest::readFile(out + "/my file.txt"), "a\r\nb\rc\n");
}

// The columns of one verbose row, split at blanks (names here have none).
std::vector<std::string> fields(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> out;
    for (std::string w; in >> w;) out.push_back(w);
    return out;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) out.push_back(l);
    return out;
}

TEST_F(CliMembers, VerboseListShowsEveryColumnAndTheTotals) {
    pwtest::writeFile(tree + "/hello.txt", "hello");
    pwtest::writeFile(tree + "/sub/zeros.bin", std::string(100000, '\0'));
    pwtest::writeFile(dir / "pw.txt", "pw\n");
    zipTree();
    pwtest::RunResult r = packwell({"add", zip, dir / "pw.txt", "--password-file", dir / "pw.txt"});
    ASSERT_EQ(r.exitCode, 0) << r.err;

    r = packwell({"list", "--verbose", zip});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::vector<std::string> l = lines(r.out);
    ASSERT_EQ(l.size(), 7u) << r.out;
    EXPECT_EQ(fields(l[0]), (std::vector<std::string>{"Length", "Method", "Size", "Cmpr", "Date", "Time", "CRC-32",
                                                      "Enc", "Name"}));
    // Rows in archive order: hello.txt, sub/zeros.bin, pw.txt.
    std::vector<std::string> hello = fields(l[2]), zeros = fields(l[3]), pw = fields(l[4]);
    ASSERT_EQ(hello.size(), 9u) << l[2];
    EXPECT_EQ(hello[0], "5");
    EXPECT_EQ(hello[6], "3610a686");  // CRC-32 of "hello"
    EXPECT_EQ(hello[7], "no");
    EXPECT_EQ(hello[8], "hello.txt");
    ASSERT_EQ(zeros.size(), 9u) << l[3];
    EXPECT_EQ(zeros[0], "100000");
    EXPECT_EQ(zeros[1], "Deflated");
    const long long packed = std::stoll(zeros[2]);
    EXPECT_LT(packed, 1000);
    EXPECT_EQ(zeros[3], "100%");
    EXPECT_EQ(zeros[8], "sub/zeros.bin");
    ASSERT_EQ(pw.size(), 9u) << l[4];
    EXPECT_EQ(pw[7], "yes");
    // Every row's name starts in the same column, the header's "Name" too.
    const std::size_t at = l[0].find("Name");
    EXPECT_EQ(l[2].find("hello.txt"), at);
    EXPECT_EQ(l[3].find("sub/zeros.bin"), at);
    // Totals: size, packed size, the share saved, the number of files.
    std::vector<std::string> totals = fields(l[6]);
    ASSERT_EQ(totals.size(), 5u) << l[6];
    EXPECT_EQ(totals[0], "100008");
    EXPECT_EQ(std::stoll(totals[1]), std::stoll(hello[2]) + packed + std::stoll(pw[2]));
    EXPECT_EQ(totals[3] + " " + totals[4], "3 files");

    EXPECT_EQ(packwell({"list", "--verbose", dir / "none.zip"}).exitCode, 1);
}

}  // namespace
