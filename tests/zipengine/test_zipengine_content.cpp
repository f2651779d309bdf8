// What goes into the entries: valid archives for the standard tools, exact
// bytes, stored versus deflated, levels, times, permissions, UTF-8 names,
// line-end conversion, encryption and the messages of a run.
#include <sys/stat.h>

#include <algorithm>

#include "EngineFixture.h"

using namespace zetest;

namespace {

class Content : public EngineTest {
protected:
    void SetUp() override {
        std::string text;
        for (int i = 0; i < 2000; ++i) text += "line " + std::to_string(i) + " of a plain text file\n";
        write("docs/a.txt", text);
        write("docs/empty.txt", "");
        write("docs/one.bin", "x");
        write("data/random.bin", pwtest::patternBytes(300000, 7));
        write("data/nested/deep/z.txt", "zulu\n");
        write("docs/caf\xc3\xa9 \xe2\x82\xac.txt", "utf-8 name\n");
        archive = p("out.zip");
    }
    ZPOPT treeOpts() {
        ZPOPT o = opts();
        o.fRecurse = 2;
        o.fJunkDir = 0;
        o.fNoDirEntries = 0;
        return o;
    }
    std::string archive;
};

TEST_F(Content, ArchivePassesStandardToolsAndExtractsByteIdentical) {
    Result r = runEngine(archive, {"docs", "data"}, treeOpts());
    ASSERT_EQ(r.rc, ZE_OK) << r.text;
    EXPECT_EQ(sh("unzip -tq " + q(archive)).status, 0);
    EXPECT_EQ(sh("7z t " + q(archive)).status, 0);
    // Python's reader too, and the UTF-8 flag (bit 11) and Unix origin of a non-ASCII name.
    Shell py = sh("python3 -c 'import sys,zipfile\n"
                  "z = zipfile.ZipFile(sys.argv[1])\n"
                  "print(\"bad:\", z.testzip())\n"
                  "for i in z.infolist():\n"
                  "  print(i.filename, i.flag_bits & 0x800, i.create_system)' " + q(archive));
    EXPECT_NE(py.out.find("bad: None"), std::string::npos) << py.out;
    EXPECT_NE(py.out.find("docs/caf\xc3\xa9 \xe2\x82\xac.txt 2048 3"), std::string::npos) << py.out;
    std::string out = p("x");
    ASSERT_EQ(sh("unzip -q " + q(archive) + " -d " + q(out)).status, 0);
    auto original = treeFiles(tmp.path() / "docs");
    EXPECT_EQ(treeFiles(fs::path(out) / "docs"), original);
    EXPECT_EQ(treeFiles(fs::path(out) / "data"), treeFiles(tmp.path() / "data"));
}

TEST_F(Content, EntriesAreStoredWhenDeflateDoesNotHelp) {
    ASSERT_EQ(runEngine(archive, {"docs", "data"}, treeOpts()).rc, ZE_OK);
    EXPECT_EQ(entryStat(archive, "data/random.bin").comp_method, ZIP_CM_STORE);
    EXPECT_EQ(entryStat(archive, "docs/empty.txt").comp_method, ZIP_CM_STORE);
    EXPECT_EQ(entryStat(archive, "docs/one.bin").comp_method, ZIP_CM_STORE);
    zip_stat_t a = entryStat(archive, "docs/a.txt");
    EXPECT_EQ(a.comp_method, ZIP_CM_DEFLATE);
    EXPECT_LT(a.comp_size * 4, a.size);
    EXPECT_EQ(entryStat(archive, "docs/").comp_method, ZIP_CM_STORE);
}

// A file that starts like a compressed format is stored only when its
// first block does not shrink; one that merely starts so is deflated.
TEST_F(Content, CompressedFormatsAreStoredOnlyWhenTheyDoNotShrink) {
    std::string packed = "\x1f\x8b" + pwtest::patternBytes(300000, 3);
    std::string text = "\x1f\x8b";
    while (text.size() < 300000) text += "not really gzip, only its first two bytes\n";
    write("gz/packed.gz", packed);
    write("gz/text.gz", text);
    write("gz/small.gz", text.substr(0, 9000));
    ASSERT_EQ(runEngine(archive, {"gz"}, treeOpts()).rc, ZE_OK);
    EXPECT_EQ(entryStat(archive, "gz/packed.gz").comp_method, ZIP_CM_STORE);
    for (const char* name : {"gz/text.gz", "gz/small.gz"}) {
        zip_stat_t t = entryStat(archive, name);
        EXPECT_EQ(t.comp_method, ZIP_CM_DEFLATE) << name;
        EXPECT_LT(t.comp_size * 4, t.size) << name;
    }
    EXPECT_EQ(entryData(archive, "gz/packed.gz"), packed);
    EXPECT_EQ(entryData(archive, "gz/text.gz"), text);
}

TEST_F(Content, LevelZeroMeansSixAndOtherLevelsAreHonoured) {
    auto sizeAt = [&](char level) {
        ZPOPT o = opts();
        o.fLevel = level;
        fs::remove(archive);
        EXPECT_EQ(runEngine(archive, {"docs/a.txt"}, o).rc, ZE_OK);
        return entryStat(archive, "a.txt").comp_size;
    };
    EXPECT_EQ(sizeAt(0), sizeAt(6));
    EXPECT_EQ(sizeAt('6'), sizeAt(6));
    EXPECT_GT(sizeAt(1), sizeAt(9));
}

TEST_F(Content, TimesAndPermissionsAreKept) {
    fs::permissions(p("docs/a.txt"), fs::perms(0751));
    setMtime(p("docs/a.txt"), 1600000001);  // an odd second
    ASSERT_EQ(runEngine(archive, {"docs"}, treeOpts()).rc, ZE_OK);
    std::string out = p("x");
    ASSERT_EQ(sh("unzip -q " + q(archive) + " -d " + q(out)).status, 0);
    struct stat sb;
    ASSERT_EQ(::stat((out + "/docs/a.txt").c_str(), &sb), 0);
    EXPECT_EQ(sb.st_mtime, 1600000001);
    EXPECT_EQ(sb.st_mode & 07777, 0751u);
}

TEST_F(Content, LineEndsAreConvertedInTextFilesOnly) {
    write("t/dos.txt", "one\r\ntwo\r\nlone\rcr\r\n");
    write("t/unix.txt", "one\ntwo\r\nthree\n");
    std::string bin("bin\r\n\0\r\n", 9);
    write("t/bin.dat", bin);
    ZPOPT o = opts();
    o.fCRLF_LF = 1;
    ASSERT_EQ(runEngine(archive, {"t/*"}, o).rc, ZE_OK);
    EXPECT_EQ(entryData(archive, "dos.txt"), "one\ntwo\nlone\rcr\n");
    EXPECT_EQ(entryData(archive, "bin.dat"), bin);
    fs::remove(archive);
    o.fCRLF_LF = 0;
    o.fLF_CRLF = 1;
    ASSERT_EQ(runEngine(archive, {"t/*"}, o).rc, ZE_OK);
    EXPECT_EQ(entryData(archive, "unix.txt"), "one\r\ntwo\r\nthree\r\n");
    EXPECT_EQ(entryData(archive, "bin.dat"), bin);
    EXPECT_EQ(sh("unzip -tq " + q(archive)).status, 0);
}

TEST_F(Content, AesEncryptedArchiveOpensOnlyWithItsPassword) {
    ZPOPT o = treeOpts();
    o.fEncrypt = 1;
    Calls calls;
    ASSERT_EQ(runEngine(archive, {"docs", "data"}, o, calls).rc, ZE_OK);
    EXPECT_EQ(calls.passwordCalls, 1);
    EXPECT_EQ(sh("7z t -psecret " + q(archive)).status, 0);
    EXPECT_NE(sh("7z t -pwrong " + q(archive)).status, 0);
    Shell method = sh("7z l -slt " + q(archive) + " | grep -c 'Method = AES-256'");
    EXPECT_NE(method.out.substr(0, 1), "0") << method.out;
    std::string out = p("x");
    fs::create_directories(out);
    EXPECT_EQ(sh("cd " + q(out) + " && bsdtar --passphrase secret -xf " + q(archive)).status, 0);
    EXPECT_EQ(treeFiles(fs::path(out) / "data"), treeFiles(tmp.path() / "data"));
    EXPECT_EQ(entryData(archive, "docs/a.txt", "secret"), pwtest::readFile(p("docs/a.txt")));
}

TEST_F(Content, TraditionalEncryptionOnRequest) {
    ZPOPT o = treeOpts();
    o.fEncrypt = 1;
    o.fEncryption = 1;
    ASSERT_EQ(runEngine(archive, {"docs", "data"}, o).rc, ZE_OK);
    EXPECT_EQ(sh("unzip -tq -P secret " + q(archive)).status, 0);
    EXPECT_NE(sh("unzip -tq -P wrong " + q(archive)).status, 0);
    EXPECT_EQ(sh("7z t -psecret " + q(archive)).status, 0);
    EXPECT_EQ(entryStat(archive, "docs/a.txt").encryption_method, ZIP_EM_TRAD_PKWARE);
}

TEST_F(Content, LargeFilesAreStreamed) {
    ::setenv("BRIXZIP_STREAM_ABOVE", "1000000", 1);
    std::string big;
    for (int i = 0; big.size() < (3u << 20); ++i) big += "record " + std::to_string(static_cast<long long>(i) * 7919 % 100003) + "\n";
    write("big/big.txt", big);
    ZPOPT o = opts();
    o.fLF_CRLF = 1;
    Result r = runEngine(archive, {"big/big.txt", "docs/a.txt"}, o);
    ASSERT_EQ(r.rc, ZE_OK) << r.text;
    EXPECT_EQ(sh("unzip -tq " + q(archive)).status, 0);
    std::string back = entryData(archive, "big.txt");
    EXPECT_EQ(back.size(), big.size() + std::count(big.begin(), big.end(), '\n'));
    EXPECT_EQ(back.substr(0, 12), "record 0\r\nre");
    EXPECT_NE(r.text.find("  adding: big.txt (deflated "), std::string::npos) << r.text;
    ::unsetenv("BRIXZIP_STREAM_ABOVE");
}

TEST_F(Content, MessagesAndServiceCalls) {
    Calls calls;
    Result r = runEngine(archive, {"docs/a.txt", "docs/empty.txt"}, opts(), calls);
    ASSERT_EQ(r.rc, ZE_OK);
    EXPECT_EQ(calls.services, (std::vector<std::string>{"a.txt", "empty.txt"}));
    ASSERT_GE(calls.lines.size(), 3u);
    EXPECT_EQ(calls.lines[0].substr(0, 26), "  adding: a.txt (deflated ");
    EXPECT_EQ(calls.lines[1], "  adding: empty.txt (stored 0%)");
    EXPECT_NE(calls.lines.back().find("total bytes="), std::string::npos);
    for (auto& l : calls.lines) EXPECT_EQ(l.find('\0'), std::string::npos);

    ZPOPT quiet = opts();
    quiet.fQuiet = 1;
    fs::remove(archive);
    Calls q;
    ASSERT_EQ(runEngine(archive, {"docs/a.txt"}, quiet, q).rc, ZE_OK);
    EXPECT_TRUE(q.lines.empty());
}

// Identical files are deflated once; files of one size and CRC but other
// bytes keep their own ("plumless" and "buckeroo" have the same CRC-32, and
// so do any two texts that differ only by them).
TEST_F(Content, IdenticalFilesAndFilesSharingSizeAndCrcKeepTheirBytes) {
    std::string text;
    for (int i = 0; i < 500; ++i) text += "row " + std::to_string(i) + " of a file with copies\n";
    ZPOPT o = opts();
    o.fJunkDir = 0;
    std::vector<std::string> names;
    for (int i = 0; i < 40; ++i) {
        names.push_back("copies/" + std::to_string(i) + ".txt");
        write(names.back(), text + (i % 3 ? "plumless" : "buckeroo") + text);
    }
    ASSERT_EQ(runEngine(archive, names, o).rc, ZE_OK);
    for (const std::string& n : names) EXPECT_EQ(entryData(archive, n), pwtest::readFile(p(n))) << n;
    EXPECT_EQ(sh("unzip -tq " + q(archive)).status, 0);
}

// Several megabytes of entries, one of them larger than the writer gathers
// at once: headers finished after their data has gone out, and entries that
// span the points where the gathered bytes are written.
TEST_F(Content, ManyFilesComeOutInOrderWithTheirBytes) {
    ZPOPT o = opts();
    o.fJunkDir = 0;
    std::vector<std::string> names;
    for (int i = 0; i < 300; ++i) {
        std::string n = "many/f" + std::to_string(i) + ".dat";
        std::size_t rawSize = i == 150 ? (5u << 19) : static_cast<std::size_t>(i) * 37;
        write(n, pwtest::patternBytes(rawSize, static_cast<std::uint32_t>(i)) +
                     std::string(static_cast<std::size_t>(i) * 50, 'a'));
        names.push_back(n);
    }
    ASSERT_EQ(runEngine(archive, names, o).rc, ZE_OK);
    EXPECT_EQ(entryNames(archive), names);
    EXPECT_GT(fs::file_size(archive), 4u << 20);
    for (int i = 0; i < 300; i += 25) EXPECT_EQ(entryData(archive, names[i]), pwtest::readFile(p(names[i])));
    EXPECT_EQ(sh("unzip -tq " + q(archive)).status, 0);
}

}  // namespace
