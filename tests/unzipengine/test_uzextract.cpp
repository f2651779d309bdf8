// Extraction: selection, folders, overwrite rules, options, passwords, callbacks.
#include "EngineHarness.h"

#include <sys/resource.h>

#include <chrono>
#include <map>

using namespace uztest;

namespace {

class UzExtract : public ScratchTest {
protected:
    std::string zipOf() const { return d() + "/t.zip"; }

    // t.zip: a.txt, docs/readme.txt, docs/Sub/C.TXT, docs/ (folder), "my file.txt".
    void makeTree() {
        std::filesystem::create_directories(d() + "/src/docs/Sub");
        pwtest::writeFile(d() + "/src/a.txt", "alpha\n");
        pwtest::writeFile(d() + "/src/docs/readme.txt", "readme\n");
        pwtest::writeFile(d() + "/src/docs/Sub/C.TXT", std::string(20000, 'c'));
        pwtest::writeFile(d() + "/src/my file.txt", "spaces\n");
        sh(d() + "/src", "zip -q -r ../t.zip a.txt docs 'my file.txt'");
    }
};

TEST_F(UzExtract, WholeArchiveWithFolderNamesAndInfoZipLines) {
    makeTree();
    Harness h;
    h.dcl.ndflag = 1;
    ASSERT_EQ(h.extract(zipOf(), out()), PK_OK) << h.allPrints();
    EXPECT_EQ(pwtest::readFile(o("a.txt")), "alpha\n");
    EXPECT_EQ(pwtest::readFile(o("docs/readme.txt")), "readme\n");
    EXPECT_EQ(pwtest::readFile(o("docs/Sub/C.TXT")), std::string(20000, 'c'));
    EXPECT_TRUE(h.printed(" extracting: a.txt")) << h.allPrints();
    EXPECT_TRUE(h.printed("  inflating: docs/Sub/C.TXT")) << h.allPrints();
    EXPECT_TRUE(h.printed("   creating: docs/")) << h.allPrints();
    EXPECT_EQ(h.services.size(), 6u);  // every item, folders included
    EXPECT_TRUE(leftovers(out()).empty());
}

TEST_F(UzExtract, WithoutFolderNamesEveryFileLandsInTheFolder) {
    makeTree();
    Harness h;
    ASSERT_EQ(h.extract(zipOf(), out()), PK_OK) << h.allPrints();
    EXPECT_TRUE(isFile(o("readme.txt")));
    EXPECT_TRUE(isFile(o("C.TXT")));
    EXPECT_FALSE(std::filesystem::exists(o("docs")));
}

TEST_F(UzExtract, IncludeListNamesAndWildcardsMatchCaseInsensitivelyUnlessFlagged) {
    makeTree();
    {
        Harness h;
        h.dcl.ndflag = 1;
        h.include = {"DOCS/readme.TXT", "*/sub/*.txt"};
        ASSERT_EQ(h.extract(zipOf(), out()), PK_OK) << h.allPrints();
        EXPECT_TRUE(isFile(o("docs/readme.txt")));
        EXPECT_TRUE(isFile(o("docs/Sub/C.TXT")));
        EXPECT_FALSE(std::filesystem::exists(o("a.txt")));
    }
    std::filesystem::remove_all(out());
    {
        Harness h;
        h.dcl.ndflag = 1;
        h.dcl.C_flag = 1;
        h.include = {"DOCS/readme.TXT", "docs/Sub/C.TXT", "?.txt"};
        EXPECT_EQ(h.extract(zipOf(), out()), PK_WARN);  // one name matched nothing
        EXPECT_TRUE(h.printed("DOCS/readme.TXT"));
        EXPECT_FALSE(std::filesystem::exists(o("docs/readme.txt")));
        EXPECT_TRUE(isFile(o("docs/Sub/C.TXT")));
        EXPECT_TRUE(isFile(o("a.txt")));
    }
    Harness none;
    none.include = {"nothing*"};
    EXPECT_EQ(none.extract(zipOf(), out()), PK_FIND);
}

TEST_F(UzExtract, ExistingFilesAreKeptAndReportedUnlessOverwriteAll) {
    makeTree();
    std::filesystem::create_directories(out());
    pwtest::writeFile(o("a.txt"), "mine");
    Harness keep;
    EXPECT_EQ(keep.extract(zipOf(), out()), PK_WARN);
    EXPECT_EQ(pwtest::readFile(o("a.txt")), "mine");
    EXPECT_TRUE(keep.printed("a.txt")) << keep.allPrints();
    EXPECT_TRUE(keep.replaceAsked.empty());
    Harness all;
    all.dcl.noflag = 1;
    EXPECT_EQ(all.extract(zipOf(), out()), PK_OK);
    EXPECT_EQ(pwtest::readFile(o("a.txt")), "alpha\n");
    EXPECT_TRUE(all.replaceAsked.empty());
    EXPECT_TRUE(leftovers(out()).empty());
}

// A folder the run made itself holds nothing but the run's files, yet a
// name the archive has twice must meet the first copy there.
TEST_F(UzExtract, ANameTwiceInANewFolderIsKeptOrReplacedAsAsked) {
    // Big enough to be decoded on several threads: the later of two
    // entries of one name (or of one name but for ASCII case) must never
    // take the name first.
    py(d(), R"(
import warnings
warnings.simplefilter('ignore')
z = zipfile.ZipFile('t.zip', 'w')
z.writestr('new/twice.txt', 'first')
z.writestr('new/twice.txt', 'second')
for i in range(40):
    z.writestr('new/d%d.txt' % i, 'first')
    z.writestr('new/D%d.txt' % i if i % 2 else 'new/d%d.txt' % i, 'second')
z.writestr('fill.bin', b'x' * 1500000)
z.close()
)");
    Harness keep;
    keep.dcl.ndflag = 1;
    EXPECT_EQ(keep.extract(zipOf(), out()), PK_WARN) << keep.allPrints();
    EXPECT_EQ(pwtest::readFile(o("new/twice.txt")), "first");
    ASSERT_EQ(keep.outcomes.size(), 83u);
    EXPECT_EQ(keep.outcomes[1].second, BRIX_KEPT);
    for (int i = 0; i < 40; i += 2) {
        EXPECT_EQ(pwtest::readFile(o("new/d" + std::to_string(i) + ".txt")), "first") << i;
        EXPECT_EQ(keep.outcomes[3 + 2 * i].second, BRIX_KEPT) << i;
    }
    std::filesystem::remove_all(out());
    Harness all;
    all.dcl.ndflag = 1;
    all.dcl.noflag = 1;
    EXPECT_EQ(all.extract(zipOf(), out()), PK_OK) << all.allPrints();
    EXPECT_EQ(pwtest::readFile(o("new/twice.txt")), "second");
    for (int i = 0; i < 40; i += 2) EXPECT_EQ(pwtest::readFile(o("new/d" + std::to_string(i) + ".txt")), "second") << i;
    EXPECT_TRUE(leftovers(out()).empty());
}

TEST_F(UzExtract, ReplaceCallbackAnswersNoYesAllNone) {
    makeTree();
    auto reset = [&] {
        std::filesystem::remove_all(out());
        std::filesystem::create_directories(out());
        for (auto n : {"a.txt", "readme.txt", "C.TXT", "my file.txt"}) pwtest::writeFile(o(n), "old");
    };
    auto run = [&](std::deque<int32_t> replies, Harness& h) {
        reset();
        h.dcl.PromptToOverwrite = 1;
        h.replies = std::move(replies);
        return h.extract(zipOf(), out());
    };
    {  // 102 yes, then 100 no (the default), then 102, then nothing set
        Harness h;
        run({102, 100, 102}, h);
        ASSERT_EQ(h.replaceAsked.size(), 4u);
        EXPECT_EQ(h.replaceAsked[0], out() + "/a.txt");
        EXPECT_EQ(pwtest::readFile(o("a.txt")), "alpha\n");
        EXPECT_EQ(pwtest::readFile(o("readme.txt")), "old");
        EXPECT_EQ(pwtest::readFile(o("C.TXT")), std::string(20000, 'c'));
        EXPECT_EQ(pwtest::readFile(o("my file.txt")), "old");
    }
    {  // 103 all: asked once, everything replaced
        Harness h;
        EXPECT_EQ(run({103}, h), PK_OK);
        EXPECT_EQ(h.replaceAsked.size(), 1u);
        EXPECT_EQ(pwtest::readFile(o("my file.txt")), "spaces\n");
    }
    {  // 100 then 104 none: asked twice, nothing replaced
        Harness h;
        EXPECT_EQ(run({100, 104}, h), PK_WARN);
        EXPECT_EQ(h.replaceAsked.size(), 2u);
        for (auto n : {"a.txt", "readme.txt", "C.TXT", "my file.txt"}) EXPECT_EQ(pwtest::readFile(o(n)), "old") << n;
    }
    EXPECT_TRUE(leftovers(out()).empty());
}

TEST_F(UzExtract, OnlyNewerSpacesTestFlagAndLineEnds) {
    py(d(), R"(
z = zipfile.ZipFile('t.zip', 'w', zipfile.ZIP_DEFLATED)
z.writestr(zipfile.ZipInfo('dos text.txt', (2010, 1, 1, 0, 0, 0)), b'one\r\ntwo\r\nthree\rfour')
z.writestr(zipfile.ZipInfo('bin.dat', (2010, 1, 1, 0, 0, 0)), b'\x00\x01\r\n\x02')
z.close()
)");
    {  // spaces to underscores, line ends for text only
        Harness h;
        h.dcl.SpaceToUnderscore = 1;
        h.dcl.naflag = 1;
        ASSERT_EQ(h.extract(zipOf(), out()), PK_OK) << h.allPrints();
        EXPECT_EQ(pwtest::readFile(o("dos_text.txt")), "one\ntwo\nthree\nfour");
        EXPECT_EQ(pwtest::readFile(o("bin.dat")), std::string("\x00\x01\r\n\x02", 5));
    }
    {  // only newer: the disk copy (now) is newer than 2010, so it stays
        pwtest::writeFile(o("bin.dat"), "disk");
        Harness h;
        h.dcl.ExtractOnlyNewer = 1;
        h.dcl.noflag = 1;
        EXPECT_EQ(h.extract(zipOf(), out()), PK_OK) << h.allPrints();
        EXPECT_EQ(pwtest::readFile(o("bin.dat")), "disk");
        EXPECT_TRUE(isFile(o("dos text.txt")));
        // An older disk copy is replaced.
        std::filesystem::last_write_time(o("bin.dat"), std::filesystem::file_time_type::clock::now() - std::chrono::hours(24 * 365 * 20));
        Harness h2;
        h2.dcl.ExtractOnlyNewer = 1;
        h2.dcl.noflag = 1;
        EXPECT_EQ(h2.extract(zipOf(), out()), PK_OK);
        EXPECT_EQ(pwtest::readFile(o("bin.dat")), std::string("\x00\x01\r\n\x02", 5));
    }
    {  // test flag: verifies, writes nothing
        Harness h;
        h.dcl.ntflag = 1;
        EXPECT_EQ(h.extract(zipOf(), d() + "/never"), PK_OK);
        EXPECT_FALSE(std::filesystem::exists(d() + "/never"));
        EXPECT_TRUE(h.printed("    testing: bin.dat   OK")) << h.allPrints();
        EXPECT_TRUE(h.printed("No errors detected"));
    }
}

TEST_F(UzExtract, TimesAndPermissionsWithoutSpecialBits) {
    py(d(), R"(
z = zipfile.ZipFile('t.zip', 'w')
i = zipfile.ZipInfo('tool.sh', (2001, 7, 14, 9, 30, 10)); i.create_system = 3; i.external_attr = (0o104755) << 16
z.writestr(i, '#!/bin/sh\n')
i = zipfile.ZipInfo('ro.txt', (2001, 7, 14, 9, 30, 10)); i.create_system = 3; i.external_attr = (0o102444) << 16
z.writestr(i, 'ro')
i = zipfile.ZipInfo('shared.txt', (2001, 7, 14, 9, 30, 10)); i.create_system = 3; i.external_attr = (0o100666) << 16
z.writestr(i, 'w')
z.close()
)");
    Harness h;
    ASSERT_EQ(h.extract(zipOf(), out()), PK_OK) << h.allPrints();
    struct stat st;
    // Bits the umask would take away are the archive's all the same.
    ASSERT_EQ(::stat(o("shared.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0666u);
    ASSERT_EQ(::stat(o("tool.sh").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0755u);
    ASSERT_EQ(::stat(o("ro.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0444u);
    std::tm tm{};
    localtime_r(&st.st_mtime, &tm);
    EXPECT_EQ(tm.tm_year + 1900, 2001);
    EXPECT_EQ(tm.tm_hour, 9);
    EXPECT_EQ(tm.tm_min, 30);
    EXPECT_EQ(tm.tm_sec, 10);
}

TEST_F(UzExtract, TraditionalPasswordsAreAskedAgainUntilRefused) {
    pwtest::writeFile(d() + "/s1.txt", std::string(3000, 's'));
    pwtest::writeFile(d() + "/s2.txt", "second secret");
    // The archive is made again until none of the wrong passwords below gets
    // past the traditional check byte.
    py(d(),
       std::string(pwtest::passwordCheckPython()) +
       "for attempt in range(64):\n"
       "    os.system('rm -f t.zip; zip -q -P right t.zip s1.txt s2.txt')\n"
       "    z = zipfile.ZipFile('t.zip')\n"
       "    if not any(passes(z, n, w) for n in z.namelist() for w in (b'wrong', b'bad1', b'bad2')): break\n");
    {  // wrong, then right: asked twice, the second entry reuses the good one
        Harness h;
        h.passwords = {std::string("wrong"), std::string("right")};
        ASSERT_EQ(h.extract(zipOf(), out()), PK_OK) << h.allPrints();
        EXPECT_EQ(h.passwordAsks, 2);
        EXPECT_EQ(pwtest::readFile(o("s2.txt")), "second secret");
    }
    std::filesystem::remove_all(out());
    {  // only wrong answers, then a refusal: nothing written
        Harness h;
        h.passwords = {std::string("bad1"), std::string("bad2"), std::nullopt};
        EXPECT_EQ(h.extract(zipOf(), out()), IZ_BADPWD);
        EXPECT_GE(h.passwordAsks, 3);
        EXPECT_FALSE(std::filesystem::exists(o("s1.txt")));
        EXPECT_TRUE(h.printed("s1.txt")) << h.allPrints();
        EXPECT_TRUE(leftovers(out()).empty());
    }
}

TEST_F(UzExtract, SevenZipAesBzip2AndDeflate64) {
    pwtest::writeFile(d() + "/big.txt", pwtest::patternBytes(100000, 3) + std::string(100000, 'z'));
    pwtest::writeFile(d() + "/tiny.txt", "tiny");
    sh(d(), "7z a -tzip -pp4ss -mem=AES256 aes.zip big.txt tiny.txt");
    sh(d(), "7z a -tzip -pp4ss -mem=AES256 -mm=Copy aescopy.zip big.txt tiny.txt");
    sh(d(), "7z a -tzip -pp4ss -mem=AES256 -mm=BZip2 aesbz.zip big.txt");
    sh(d(), "7z a -tzip -mm=Deflate64 d64.zip big.txt");
    const std::string big = pwtest::readFile(d() + "/big.txt");
    for (auto name : {"aes.zip", "aescopy.zip", "aesbz.zip"}) {
        std::filesystem::remove_all(out());
        Harness h;
        h.passwords = {std::string("nope"), std::string("p4ss")};
        ASSERT_EQ(h.extract(d() + "/" + name, out()), PK_OK) << name << "\n" << h.allPrints();
        EXPECT_EQ(h.passwordAsks, 2) << name;
        EXPECT_EQ(pwtest::readFile(o("big.txt")), big) << name;
    }
    Harness h;
    EXPECT_EQ(h.extract(d() + "/d64.zip", out() + "2"), PK_OK) << h.allPrints();
    EXPECT_EQ(pwtest::readFile(out() + "2/big.txt"), big);
}

TEST_F(UzExtract, DamagedAesDataFailsAuthenticationAndLeavesNothing) {
    pwtest::writeFile(d() + "/big.txt", pwtest::patternBytes(100000, 5));
    sh(d(), "7z a -tzip -pp4ss -mem=AES256 aes.zip big.txt");
    std::string z = pwtest::readFile(d() + "/aes.zip");
    z[z.size() / 2] ^= 0x55;
    pwtest::writeFile(d() + "/bad.zip", z);
    std::filesystem::create_directories(out());
    pwtest::writeFile(o("big.txt"), "precious");
    Harness h;
    h.dcl.noflag = 1;
    h.passwords = {std::string("p4ss"), std::nullopt};
    EXPECT_NE(h.extract(d() + "/bad.zip", out()), PK_OK);
    EXPECT_EQ(pwtest::readFile(o("big.txt")), "precious");
    EXPECT_TRUE(leftovers(out()).empty());
}

TEST_F(UzExtract, FileTimesAreLibzipsAcrossDaylightSavingChanges) {
    // Around both changes of 2021 on Lord Howe Island, which moves its
    // clocks by half an hour inside an hour, at the ends of hours, with DOS
    // seconds past 58 and fields out of range.
    py(d(), R"(
import struct
z = zipfile.ZipFile('t.zip', 'w')
times = [(2021, 10, 3, h, m, s) for h in (1, 2, 3) for m in (0, 30, 59) for s in (0, 58)]
times += [(2021, 4, 4, h, m, s) for h in (1, 2, 3) for m in (0, 59) for s in (0, 58)]
times += [(2021, 6, 1, 23, 59, 58), (2021, 12, 31, 23, 59, 58), (1980, 1, 1, 0, 0, 0)]
for k, t in enumerate(times):
    z.writestr(zipfile.ZipInfo('t%02d' % k, t), 'x')
z.writestr(zipfile.ZipInfo('odd1', (2021, 6, 1, 12, 59, 0)), 'x')
z.writestr(zipfile.ZipInfo('odd2', (2021, 2, 30, 25, 61, 0)), 'x')
z.close()
d = bytearray(open('t.zip', 'rb').read())
for name, dostime in ((b'odd1', 12 << 11 | 59 << 5 | 31), (b'odd2', 25 << 11 | 61 << 5 | 30)):
    i = -1
    while True:
        i = d.find(name, i + 1)
        if i < 0: break
        if d[i - 30:i - 26] == b'PK\x03\x04': struct.pack_into('<H', d, i - 30 + 10, dostime)
        if d[i - 46:i - 42] == b'PK\x01\x02': struct.pack_into('<H', d, i - 46 + 12, dostime)
open('t.zip', 'wb').write(d)
)");
    const char* oldTz = std::getenv("TZ");
    const std::string savedTz = oldTz ? oldTz : "";
    ::setenv("TZ", "Australia/Lord_Howe", 1);
    ::tzset();
    std::map<std::string, time_t> seen[2];
    for (int way = 0; way < 2; ++way) {
        if (way == 1) ::setenv("BRIXUZIP_READ_THROUGH_LIBZIP", "1", 1);
        Harness h;
        const std::string dir = out() + std::to_string(way);
        EXPECT_EQ(h.extract(zipOf(), dir), PK_OK) << h.allPrints();
        ::unsetenv("BRIXUZIP_READ_THROUGH_LIBZIP");
        for (auto& e : std::filesystem::directory_iterator(dir)) {
            struct stat st;
            ASSERT_EQ(::stat(e.path().c_str(), &st), 0);
            seen[way][e.path().filename().string()] = st.st_mtime;
        }
    }
    if (oldTz) ::setenv("TZ", savedTz.c_str(), 1);
    else ::unsetenv("TZ");
    ::tzset();
    EXPECT_EQ(seen[0].size(), 35u);
    EXPECT_EQ(seen[0], seen[1]);
}

TEST_F(UzExtract, ServiceCallbackStopsTheRun) {
    makeTree();
    Harness h;
    h.dcl.ndflag = 1;
    h.stopAtService = 1;
    EXPECT_EQ(h.extract(zipOf(), out()), IZ_CTRLC);
    EXPECT_TRUE(isFile(o("a.txt")));
    EXPECT_EQ(h.services.size(), 2u);
    EXPECT_FALSE(std::filesystem::exists(o("docs/Sub/C.TXT")));
    EXPECT_TRUE(leftovers(out()).empty());
}

TEST_F(UzExtract, ManyEntriesInParallelStayInArchiveOrder) {
    std::filesystem::create_directories(d() + "/src/m");
    for (int i = 0; i < 300; ++i)
        pwtest::writeFile(d() + "/src/m/f" + std::to_string(i) + ".bin", pwtest::patternBytes(8000 + i * 37, i) + std::string(9000, char(i)));
    sh(d() + "/src", "zip -q -r ../t.zip m && 7z a -tzip -pk ../e.zip m");
    Harness h;
    h.dcl.ndflag = 1;
    ASSERT_EQ(h.extract(zipOf(), out()), PK_OK) << h.allPrints();
    ASSERT_EQ(h.services.size(), 301u);
    Harness listing;
    listing.list(zipOf());
    for (std::size_t i = 0; i < listing.listed.size(); ++i) EXPECT_EQ(h.services[i], listing.listed[i].path.substr(0, listing.listed[i].path.size() - (i == 0 ? 1 : 0)));
    for (int i = 0; i < 300; i += 37)
        EXPECT_EQ(pwtest::readFile(o("m/f" + std::to_string(i) + ".bin")),
                  pwtest::readFile(d() + "/src/m/f" + std::to_string(i) + ".bin"));
    // Stopped halfway: files decoded ahead of the stop are not left behind.
    Harness stop;
    stop.dcl.ndflag = 1;
    stop.stopAtService = 151;  // the folder, 150 files, then the one it stops at
    EXPECT_EQ(stop.extract(zipOf(), out() + "stop"), IZ_CTRLC);
    std::size_t files = 0;
    for (auto& e : std::filesystem::directory_iterator(out() + "stop/m")) files += e.is_regular_file();
    EXPECT_EQ(files, 150u);
    ASSERT_EQ(stop.services.size(), 152u);
    for (std::size_t i = 1; i <= 150; ++i) EXPECT_TRUE(isFile(out() + "stop/" + stop.services[i])) << stop.services[i];
    EXPECT_TRUE(leftovers(out() + "stop").empty());
    // Entries decoded ahead hold descriptors: a low limit on them narrows
    // the window instead of failing files.
    struct rlimit was;
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &was), 0);
    struct rlimit low = was;
    low.rlim_cur = 64;
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &low), 0);
    Harness few;
    few.dcl.ndflag = 1;
    const int32_t fewCode = few.extract(zipOf(), out() + "few");
    setrlimit(RLIMIT_NOFILE, &was);
    EXPECT_EQ(fewCode, PK_OK) << few.allPrints();
    EXPECT_EQ(pwtest::readFile(out() + "few/m/f299.bin"), pwtest::readFile(d() + "/src/m/f299.bin"));
    Harness enc;
    enc.dcl.ndflag = 1;
    enc.passwords = {std::string("k")};
    ASSERT_EQ(enc.extract(d() + "/e.zip", out() + "e"), PK_OK) << enc.allPrints();
    EXPECT_EQ(enc.passwordAsks, 1);
    EXPECT_EQ(pwtest::readFile(out() + "e/m/f299.bin"), pwtest::readFile(d() + "/src/m/f299.bin"));
}

TEST_F(UzExtract, BsdtarAndStreamedPythonArchives) {
    std::filesystem::create_directories(d() + "/src/x");
    pwtest::writeFile(d() + "/src/x/one.txt", std::string(4000, '1'));
    sh(d() + "/src", "bsdtar -a -cf ../b.zip x");
    py(d(), R"(
z = zipfile.ZipFile('s.zip', 'w', zipfile.ZIP_DEFLATED)
with z.open('ünï/côde.txt', 'w') as f:
    f.write(b'streamed ' * 5000)
z.close()
)");
    Harness h;
    h.dcl.ndflag = 1;
    ASSERT_EQ(h.extract(d() + "/b.zip", out()), PK_OK) << h.allPrints();
    EXPECT_EQ(pwtest::readFile(o("x/one.txt")), std::string(4000, '1'));
    Harness h2;
    h2.dcl.ndflag = 1;
    ASSERT_EQ(h2.extract(d() + "/s.zip", out()), PK_OK) << h2.allPrints();
    std::string s;
    for (int i = 0; i < 5000; ++i) s += "streamed ";
    EXPECT_EQ(pwtest::readFile(o("ünï/côde.txt")), s);
}

}  // namespace
