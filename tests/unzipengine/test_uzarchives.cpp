// Reading archives as users meet them: bytes in front, names in any
// encoding or none, entries beyond 4 GiB; from the engine up to packwell list.
#include "EngineHarness.h"
#include "support/Process.h"
#include "unzip/cUnzip.h"

#include <sys/statvfs.h>

using namespace uztest;

namespace {

class UzArchives : public ScratchTest {
protected:
    std::vector<std::string> listedPaths(const std::string& archive) {
        Harness h;
        EXPECT_EQ(h.list(archive), PK_OK) << h.allPrints();
        std::vector<std::string> paths;
        for (auto& l : h.listed) paths.push_back(l.path);
        return paths;
    }
    pwtest::RunResult packwellList(const std::string& archive) {
        return pwtest::run(pwtest::packwellProgram(), {"list", archive});
    }
};

TEST_F(UzArchives, BytesInFrontListAndExtractWhetherOrNotTheOffsetsCountThem) {
    pwtest::writeFile(d() + "/a.txt", std::string(50000, 'a') + "end");
    pwtest::writeFile(d() + "/b.bin", pwtest::patternBytes(20000, 3));
    sh(d(), "zip -q plain.zip a.txt b.bin && zip -q -fz big.zip a.txt b.bin");
    const std::string stub = pwtest::patternBytes(3072, 9);
    pwtest::writeFile(d() + "/glued.zip", stub + pwtest::readFile(d() + "/plain.zip"));
    pwtest::writeFile(d() + "/glued64.zip", stub + pwtest::readFile(d() + "/big.zip"));
    pwtest::writeFile(d() + "/adjusted.zip", stub + pwtest::readFile(d() + "/plain.zip"));
    sh(d(), "zip -q -A adjusted.zip");
    for (auto name : {"glued.zip", "glued64.zip", "adjusted.zip"}) {
        EXPECT_EQ(listedPaths(d() + "/" + name), (std::vector<std::string>{"a.txt", "b.bin"})) << name;
        std::filesystem::remove_all(out());
        Harness h;
        ASSERT_EQ(h.extract(d() + "/" + name, out()), PK_OK) << name << "\n" << h.allPrints();
        EXPECT_EQ(pwtest::readFile(out() + "/a.txt"), pwtest::readFile(d() + "/a.txt")) << name;
        EXPECT_EQ(pwtest::readFile(out() + "/b.bin"), pwtest::readFile(d() + "/b.bin")) << name;
    }
    // Bytes in front of something that is no archive stay no archive.
    pwtest::writeFile(d() + "/junk.zip", stub + "PK\5\6 not really");
    Harness h;
    EXPECT_EQ(h.list(d() + "/junk.zip"), PK_NOZIP);
}

TEST_F(UzArchives, NamesAreTextOnScreenAndOnDiskAndTheListingKeepsOneLineEach) {
    // Unflagged names are code page 437; a name flagged as UTF-8 that is not
    // is read as code page 437 too; flagged names keep what they hold.
    py(d(), R"(
with zipfile.ZipFile("names.zip", "w") as z:
    for i, n in enumerate(["line\nbreak.txt", "tab\there.txt", "cafX.txt", "bad\u00e9.txt", "c1\u0085.txt", "ok.txt"]):
        z.writestr(n, str(i))
d = open("names.zip", "rb").read()
open("names.zip", "wb").write(d.replace(b"cafX.txt", b"caf\x82.txt").replace(b"bad\xc3\xa9.txt", b"bad\xff\xfe.txt"))
)");
    const std::vector<std::string> expected{"line\nbreak.txt", "tab\there.txt", "caf\u00e9.txt",
                                            "bad\u00a0\u25a0.txt", "c1\u0085.txt", "ok.txt"};
    EXPECT_EQ(listedPaths(d() + "/names.zip"), expected);
    Harness h;
    ASSERT_EQ(h.extract(d() + "/names.zip", out()), PK_OK) << h.allPrints();
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(pwtest::readFile(out() + "/" + expected[i]), std::to_string(i)) << expected[i];
    // A listed name picks its entry again.
    Harness one;
    one.include = {"caf\u00e9.txt"};
    ASSERT_EQ(one.extract(d() + "/names.zip", d() + "/one"), PK_OK) << one.allPrints();
    EXPECT_EQ(pwtest::listFiles(d() + "/one"), std::vector<std::string>{"caf\u00e9.txt"});

    // A flagged name holding a NUL, in an archive that is otherwise plain:
    // the file gets the name the listing shows, and no NUL reaches a host.
    py(d(), R"(
with zipfile.ZipFile("nul.zip", "w") as z:
    z.writestr("a.txt", "a")
    z.writestr("nul\u00e9Z.txt", "n")
d = open("nul.zip", "rb").read()
open("nul.zip", "wb").write(d.replace(b"nul\xc3\xa9Z.txt", b"nul\xc3\xa9\x00.txt"))
)");
    const std::vector<std::string> nul = listedPaths(d() + "/nul.zip");
    ASSERT_EQ(nul.size(), 2u);
    EXPECT_EQ(nul[1].find('\0'), std::string::npos);
    Harness n;
    ASSERT_EQ(n.extract(d() + "/nul.zip", d() + "/nul"), PK_OK) << n.allPrints();
    ASSERT_EQ(n.services.size(), 2u);
    EXPECT_EQ(n.services[1], nul[1]);
    EXPECT_EQ(pwtest::readFile(d() + "/nul/" + nul[1]), "n");

    pwtest::RunResult r = packwellList(d() + "/names.zip");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::vector<std::string> names;
    for (std::size_t at = 0, nl; (nl = r.out.find('\n', at)) != std::string::npos; at = nl + 1)
        names.push_back(r.out.substr(at, r.out.find('\t', at) - at));
    EXPECT_EQ(names, (std::vector<std::string>{"line\\nbreak.txt", "tab\\there.txt", "caf\u00e9.txt",
                                               "bad\u00a0\u25a0.txt", "c1\\xc2\\x85.txt", "ok.txt"}));
}

TEST_F(UzArchives, EntriesBeyond2And4GiBShowTheirTrueSizes) {
    struct statvfs fs;
    if (::statvfs(d().c_str(), &fs) != 0 || std::uint64_t(fs.f_bavail) * fs.f_frsize < (std::uint64_t{1} << 30))
        GTEST_SKIP() << "not enough room for the archive";
    // A zip64 archive whose entries' data are holes: a sparse file of 7.2 GB
    // that takes almost no room where the file system keeps holes.
    pwtest::writeFile(d() + "/big.py", R"(
import struct
entries = [("big1.bin", 0, 2800000000, 2800000000), ("big2.bin", 8, 4400000000, 5000000000), ("small.txt", 0, 5, 5)]
f = open("big.zip", "wb")
central = b""
for name, method, comp, size in entries:
    offset = f.tell()
    n = name.encode()
    f.write(struct.pack("<4sHHHHHIIIHH", b"PK\3\4", 45, 0, method, 0, 0x5821, 0, 0xFFFFFFFF, 0xFFFFFFFF,
                        len(n), 20) + n + struct.pack("<HHQQ", 1, 16, size, comp))
    if comp == 5: f.write(b"hello")
    else: f.seek(comp, 1)
    central += struct.pack("<4sHHHHHHIIIHHHHHII", b"PK\1\2", 45, 45, 0, method, 0, 0x5821, 0, 0xFFFFFFFF,
                           0xFFFFFFFF, len(n), 28, 0, 0, 0, 0, 0xFFFFFFFF) + n + struct.pack("<HHQQQ", 1, 24, size, comp, offset)
cd = f.tell()
f.write(central)
z64 = f.tell()
f.write(struct.pack("<4sQHHIIQQQQ", b"PK\6\6", 44, 45, 45, 0, 0, 3, 3, len(central), cd))
f.write(struct.pack("<4sIQI", b"PK\6\7", 0, z64, 1))
f.write(struct.pack("<4sHHHHIIH", b"PK\5\6", 0, 0, 0xFFFF, 0xFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0))
)");
    if (std::system(("cd '" + d() + "' && python3 big.py 2>/dev/null").c_str()) != 0)
        GTEST_SKIP() << "the file system could not hold the sparse archive";
    const std::string zip = d() + "/big.zip";

    Harness h;
    ASSERT_EQ(h.list(zip), PK_OK) << h.allPrints();
    ASSERT_EQ(h.listed64.size(), 3u);
    EXPECT_EQ(h.listed64[1].path, "big2.bin");
    EXPECT_EQ(h.listed64[1].size, 5000000000u);
    EXPECT_EQ(h.listed64[1].comp, 4400000000u);
    EXPECT_EQ(h.listed[1].size, 0xFFFFFFFFu);  // the classic line clamps

    auto u = std::make_shared<cUnzip>();
    u->ZipFile(zip);
    u->Directory();
    ASSERT_EQ(u->FileCount(), 3);
    EXPECT_EQ(u->FileSize(1), 2147483647);
    EXPECT_EQ(u->FileSize64(1), 2800000000u);
    EXPECT_EQ(u->FilePackedSize64(2), 4400000000u);
    EXPECT_EQ(u->FileSize64(3), 5u);

    pwtest::RunResult r = packwellList(zip);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out.rfind("big1.bin\t2800000000\t2800000000\t\t", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("\nbig2.bin\t5000000000\t4400000000\t\t"), std::string::npos) << r.out;
    r = pwtest::run(pwtest::packwellProgram(), {"list", "--verbose", zip});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("\n5000000000  Deflated  4400000000  12%  "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\n7800000005            7200000005   8%  "), std::string::npos) << r.out;
}

}  // namespace
