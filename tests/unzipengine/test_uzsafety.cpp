// Hostile and damaged archives: nothing lands outside the extract folder, no
// existing file is damaged, no partial file is left, every failure is reported.
#include "EngineHarness.h"

#include <cstdlib>

using namespace uztest;

namespace {

class UzSafety : public ScratchTest {
protected:
    // Every path under d() outside out/ and the archives we made.
    std::vector<std::string> strays() const {
        std::vector<std::string> v;
        for (auto& e : std::filesystem::recursive_directory_iterator(tmp.path())) {
            auto p = e.path().string();
            if (p.rfind(out(), 0) == 0) continue;
            auto n = e.path().filename().string();
            if (n.size() > 4 && n.substr(n.size() - 4) == ".zip") continue;
            if (n == "make.py" || n.rfind("keep", 0) == 0 || n == "src" || p.find("/src/") != std::string::npos) continue;
            v.push_back(p);
        }
        return v;
    }
};

TEST_F(UzSafety, EscapingNamesAreRefusedAndTheRunGoesOn) {
    py(d(), R"(
z = zipfile.ZipFile('h.zip', 'w')
for n in ['../evil1.txt', 'a/../../evil2.txt', os.path.abspath('abs.txt'), '..\\evil3.txt', 'C:\\evil4.txt',
          'sub\\inner.txt', 'ok.txt']:
    z.writestr(zipfile.ZipInfo(n), 'x')
z.close()
)");
    for (int folders : {1, 0}) {
        std::filesystem::remove_all(out());
        Harness h;
        h.dcl.ndflag = folders;
        h.dcl.noflag = 1;
        EXPECT_EQ(h.extract(d() + "/h.zip", out()), PK_WARN) << h.allPrints();
        EXPECT_TRUE(isFile(o("ok.txt")));
        EXPECT_TRUE(isFile(o(folders ? "sub/inner.txt" : "inner.txt")));
        EXPECT_TRUE(strays().empty()) << strays()[0];
        for (auto n : {"evil1.txt", "evil2.txt", "abs.txt", "evil3.txt", "evil4.txt"})
            EXPECT_TRUE(h.printed(n)) << n << "\n" << h.allPrints();
    }
}

TEST_F(UzSafety, SymbolicLinksNeverCarryWritesOutside) {
    std::filesystem::create_directories(d() + "/outside");
    py(d(), R"(
z = zipfile.ZipFile('l.zip', 'w')
def link(name, target):
    i = zipfile.ZipInfo(name); i.create_system = 3; i.external_attr = 0o120777 << 16
    z.writestr(i, target)
link('esc', '../outside')
z.writestr('esc/pwned.txt', 'bad')
link('abs', os.path.abspath('outside'))
z.writestr('abs/pwned2.txt', 'bad')
z.writestr('sub/real.txt', 'real')
link('inner', 'sub')
z.writestr('inner/through.txt', 'bad')
link('good', 'sub/real.txt')
z.writestr('dlink/x.txt', 'bad')
z.writestr('victim.txt', 'replaced')
z.close()
)");
    std::filesystem::create_directories(out());
    std::filesystem::create_directory_symlink(d() + "/outside", o("dlink"));   // already on disk
    pwtest::writeFile(d() + "/keep-target.txt", "untouched");
    std::filesystem::create_symlink(d() + "/keep-target.txt", o("victim.txt"));
    Harness h;
    h.dcl.ndflag = 1;
    h.dcl.noflag = 1;
    EXPECT_EQ(h.extract(d() + "/l.zip", out()), PK_WARN) << h.allPrints();  // refusals are warnings; the rest came out
    EXPECT_TRUE(std::filesystem::is_empty(d() + "/outside"));
    EXPECT_FALSE(std::filesystem::is_symlink(o("esc")));  // refused; the next entry makes a real folder
    EXPECT_FALSE(std::filesystem::is_symlink(o("abs")));
    EXPECT_TRUE(std::filesystem::is_symlink(o("inner")));
    EXPECT_FALSE(std::filesystem::exists(o("sub/through.txt")));
    EXPECT_TRUE(std::filesystem::is_symlink(o("good")));
    EXPECT_EQ(pwtest::readFile(o("good")), "real");
    EXPECT_TRUE(h.printed("inner/through.txt")) << h.allPrints();
    EXPECT_TRUE(h.printed("dlink/x.txt")) << h.allPrints();
    // The link on disk is replaced by the entry; the file it pointed to is not touched.
    EXPECT_EQ(pwtest::readFile(d() + "/keep-target.txt"), "untouched");
    EXPECT_FALSE(std::filesystem::is_symlink(o("victim.txt")));
    EXPECT_EQ(pwtest::readFile(o("victim.txt")), "replaced");
    EXPECT_TRUE(leftovers(out()).empty());
}

TEST_F(UzSafety, DamagedDataNeverReplacesAnExistingFileNorLeavesAPartialOne) {
    pwtest::writeFile(d() + "/a.bin", pwtest::patternBytes(40000, 1) + std::string(40000, 'a'));
    pwtest::writeFile(d() + "/b.txt", "fine");
    sh(d(), "zip -q t.zip a.bin b.txt");
    sh(d(), "7z a -tzip -pp -mem=AES256 -mm=Copy s.zip a.bin");
    std::string z = pwtest::readFile(d() + "/t.zip");
    z[20000] ^= 0x01;
    pwtest::writeFile(d() + "/flip.zip", z);
    std::string s = pwtest::readFile(d() + "/s.zip");
    s[30000] ^= 0x01;
    pwtest::writeFile(d() + "/sflip.zip", s);
    for (auto name : {"flip.zip", "sflip.zip"}) {
        std::filesystem::remove_all(out());
        std::filesystem::create_directories(out());
        pwtest::writeFile(o("a.bin"), "precious");
        Harness h;
        h.dcl.noflag = 1;
        h.passwords = {std::string("p")};
        EXPECT_EQ(h.extract(d() + "/" + name, out()), PK_ERR) << name << "\n" << h.allPrints();
        EXPECT_EQ(pwtest::readFile(o("a.bin")), "precious") << name;
        EXPECT_TRUE(h.printed("a.bin")) << h.allPrints();
        EXPECT_TRUE(leftovers(out()).empty()) << name;
    }
    EXPECT_EQ(pwtest::readFile(o("a.bin")), "precious");
    std::filesystem::remove_all(out());
    Harness fresh;
    EXPECT_EQ(fresh.extract(d() + "/flip.zip", out()), PK_ERR);
    EXPECT_FALSE(std::filesystem::exists(o("a.bin")));  // never a partial file under the name
    EXPECT_EQ(pwtest::readFile(o("b.txt")), "fine");   // the other entries still come out
    Harness tested;
    tested.dcl.ntflag = 1;
    EXPECT_EQ(tested.extract(d() + "/flip.zip", ""), PK_ERR);
    EXPECT_TRUE(tested.printed("At least one error"));

    pwtest::writeFile(d() + "/cut.zip", z.substr(0, z.size() - 30));
    Harness cut;
    EXPECT_NE(cut.extract(d() + "/cut.zip", out()), PK_OK);
    EXPECT_TRUE(cut.printed("cut.zip")) << cut.allPrints();
}

TEST_F(UzSafety, OutputIsBoundedByTheDeclaredSizeAndTheRunLimit) {
    py(d(), R"(
z = zipfile.ZipFile('zeros.zip', 'w', zipfile.ZIP_DEFLATED)
with z.open('zeros.bin', 'w', force_zip64=False) as f:
    chunk = bytes(1 << 20)
    for i in range(200): f.write(chunk)
z.close()
def lie(src, dst, size):
    d = bytearray(open(src, 'rb').read())
    struct.pack_into('<I', d, 22, size)
    c = d.rfind(b'PK\x01\x02')
    struct.pack_into('<I', d, c + 24, size)
    open(dst, 'wb').write(d)
z = zipfile.ZipFile('small.zip', 'w', zipfile.ZIP_DEFLATED)
z.writestr('bomb.bin', bytes(5 << 20))
z.close()
lie('small.zip', 'bomb.zip', 1000)
z = zipfile.ZipFile('mid.zip', 'w', zipfile.ZIP_DEFLATED)
z.writestr('bomb.bin', bytes(40 << 20))
z.close()
lie('mid.zip', 'bigbomb.zip', 20 << 20)
)");
    Harness zeros;  // a real 200 MiB entry streams through
    zeros.dcl.ntflag = 1;
    EXPECT_EQ(zeros.extract(d() + "/zeros.zip", ""), PK_OK) << zeros.allPrints();
    for (auto name : {"bomb.zip", "bigbomb.zip"}) {
        std::filesystem::remove_all(out());
        Harness h;
        EXPECT_EQ(h.extract(d() + "/" + name, out()), PK_ERR) << name;
        EXPECT_TRUE(h.printed("more data than the declared size")) << h.allPrints();
        EXPECT_FALSE(std::filesystem::exists(o("bomb.bin")));
        EXPECT_TRUE(leftovers(out()).empty());
    }
    ::setenv("BRIXUZIP_MAX_OUTPUT", "1048576", 1);
    Harness limited;
    int32_t rc = limited.extract(d() + "/small.zip", out());
    ::unsetenv("BRIXUZIP_MAX_OUTPUT");
    EXPECT_EQ(rc, PK_ERR);
    EXPECT_TRUE(limited.printed("total output limit")) << limited.allPrints();
    EXPECT_FALSE(std::filesystem::exists(o("bomb.bin")));
}

TEST_F(UzSafety, AFolderInTheWayAndAnUnopenableTargetAreReported) {
    std::filesystem::create_directories(d() + "/src");
    pwtest::writeFile(d() + "/src/x.txt", "x");
    pwtest::writeFile(d() + "/src/y.txt", "y");
    sh(d() + "/src", "zip -q ../t.zip x.txt y.txt");
    std::filesystem::create_directories(o("x.txt"));
    Harness h;
    h.dcl.noflag = 1;
    EXPECT_EQ(h.extract(d() + "/t.zip", out()), PK_ERR);
    EXPECT_TRUE(std::filesystem::is_directory(o("x.txt")));
    EXPECT_EQ(pwtest::readFile(o("y.txt")), "y");
    EXPECT_TRUE(h.printed("x.txt")) << h.allPrints();
}

TEST_F(UzSafety, EntriesWhoseLocalHeaderDisagreesComeOutAsThroughLibzip) {
    py(d(), R"(
z = zipfile.ZipFile('t.zip', 'w', zipfile.ZIP_DEFLATED)
for n in ('good.txt', 'sig.txt', 'meth.txt', 'last.bin'):
    z.writestr(n, (n * 3000).encode())
z.close()
d = bytearray(open('t.zip', 'rb').read())
def local(name):
    return d.index(b'PK\x03\x04' + d[4:8]) if name == 'good.txt' else d.index(name.encode()) - 30
d[local('sig.txt') + 3] = 5          # no local signature
d[local('meth.txt') + 8] = 0         # stored, says the local header; deflated, says the directory
c = d.rfind(b'PK\x01\x02')           # last.bin's data would run past the end of the file
struct.pack_into('<I', d, c + 20, struct.unpack_from('<I', d, c + 20)[0] + 100000)
open('bad.zip', 'wb').write(d)
)");
    std::vector<std::pair<std::string, int32_t>> seen[2];
    for (int way = 0; way < 2; ++way) {
        if (way == 1) ::setenv("BRIXUZIP_READ_THROUGH_LIBZIP", "1", 1);
        const std::string dir = out() + std::to_string(way);
        Harness h;
        EXPECT_EQ(h.extract(d() + "/bad.zip", dir), PK_ERR) << h.allPrints();
        ::unsetenv("BRIXUZIP_READ_THROUGH_LIBZIP");
        seen[way] = h.outcomes;
        // libzip takes the method from the directory and reads past a
        // damaged local signature; data that end past the file it refuses.
        for (std::string name : {"good.txt", "sig.txt", "meth.txt"}) {
            std::string want;
            for (int i = 0; i < 3000; ++i) want += name;
            EXPECT_EQ(pwtest::readFile(dir + "/" + name), want) << name;
        }
        EXPECT_FALSE(std::filesystem::exists(dir + "/last.bin"));
        EXPECT_TRUE(leftovers(dir).empty());
    }
    ASSERT_EQ(seen[0].size(), 4u);
    EXPECT_EQ(seen[0], seen[1]);
    EXPECT_EQ(seen[0][3], std::make_pair(std::string("last.bin"), int32_t{BRIX_DAMAGED}));
}

}  // namespace
