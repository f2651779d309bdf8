// Listing: the 13 values per entry, for archives made by the usual tools.
#include "EngineHarness.h"

#include <tuple>

using namespace uztest;

namespace {

class UzListing : public ::testing::Test {
protected:
    pwtest::TempDir tmp;
    std::string d() const { return tmp.path().string(); }
    const Listed* find(const Harness& h, const std::string& path) {
        for (auto& l : h.listed)
            if (l.path == path) return &l;
        return nullptr;
    }
};

TEST_F(UzListing, InfoZipArchiveListsEveryEntryInOrderWithSizesFactorAndCrc) {
    pwtest::writeFile(d() + "/a.txt", std::string(10000, 'a'));
    pwtest::writeFile(d() + "/r.bin", pwtest::patternBytes(3000, 7));
    std::filesystem::create_directories(d() + "/docs");
    pwtest::writeFile(d() + "/docs/b.txt", "hello");
    sh(d(), "zip -q -r t.zip a.txt r.bin docs");
    Harness h;
    ASSERT_EQ(h.list(d() + "/t.zip"), PK_OK);
    ASSERT_EQ(h.listed.size(), 4u);
    EXPECT_EQ(h.listed[0].path, "a.txt");
    EXPECT_EQ(h.listed[1].path, "r.bin");
    EXPECT_EQ(h.listed[2].path, "docs/");  // folder entries are listed; readers drop them
    EXPECT_EQ(h.listed[3].path, "docs/b.txt");
    const Listed& a = h.listed[0];
    EXPECT_EQ(a.size, 10000u);
    EXPECT_EQ(a.method, "Deflated");
    EXPECT_LT(a.comp, 200u);
    // size × factor / 100 is the packed size to the nearest percent.
    EXPECT_NEAR(double(a.size) * a.factor / 100.0, double(a.comp), a.size / 200.0 + 1);
    const Listed& r = h.listed[1];
    EXPECT_EQ(r.method, "Stored");  // incompressible: zip stores it
    EXPECT_EQ(r.factor, 100u);
    EXPECT_EQ(h.listed[3].method, "Stored");
    EXPECT_EQ(h.listed[3].crc, 0x3610a686u);  // crc32("hello")
    for (auto& l : h.listed) EXPECT_EQ(l.encryption & UZ_ENCRYPTED_BIT, 0);
    EXPECT_EQ(h.fns.NumMembers, 4u);
}

TEST_F(UzListing, DatesCarryTheFullYearAndTimeToTheMinute) {
    py(d(), R"(
z = zipfile.ZipFile('d.zip', 'w')
for n, dt in [('old.txt', (1985, 3, 4, 5, 6, 8)), ('y2038.txt', (2038, 1, 19, 3, 14, 8)),
              ('y2100.txt', (2100, 12, 31, 23, 59, 58)), ('y2001.txt', (2001, 7, 14, 9, 30, 0))]:
    z.writestr(zipfile.ZipInfo(n, dt), 'x')
z.close()
)");
    Harness h;
    ASSERT_EQ(h.list(d() + "/d.zip"), PK_OK);
    ASSERT_EQ(h.listed.size(), 4u);
    auto check = [&](int i, uint32_t y, uint32_t mo, uint32_t da, uint32_t hh, uint32_t mi) {
        EXPECT_EQ(h.listed[i].year, y) << h.listed[i].path;
        EXPECT_EQ(h.listed[i].month, mo) << h.listed[i].path;
        EXPECT_EQ(h.listed[i].day, da) << h.listed[i].path;
        EXPECT_EQ(h.listed[i].hour, hh) << h.listed[i].path;
        EXPECT_EQ(h.listed[i].minute, mi) << h.listed[i].path;
    };
    check(0, 1985, 3, 4, 5, 6);
    check(1, 2038, 1, 19, 3, 14);
    check(2, 2100, 12, 31, 23, 59);
    check(3, 2001, 7, 14, 9, 30);
}

TEST_F(UzListing, EncryptedEntriesCarryBit0x40AndMethodsAreNamed) {
    pwtest::writeFile(d() + "/p.txt", std::string(5000, 'p'));
    pwtest::writeFile(d() + "/q.txt", std::string(5000, 'q'));
    sh(d(), "zip -q -P secret e.zip p.txt");
    sh(d(), "7z a -tzip -psecret -mem=AES256 aes.zip q.txt");
    sh(d(), "7z a -tzip -mm=BZip2 bz.zip q.txt");
    sh(d(), "7z a -tzip -mm=Deflate64 d64.zip q.txt");
    struct Case {
        const char* archive;
        const char* method;
        bool encrypted;
    } cases[] = {{"e.zip", "Deflated", true}, {"aes.zip", "Deflated", true}, {"bz.zip", "BZip2", false},
                 {"d64.zip", "Deflate64", false}};
    for (auto& c : cases) {
        Harness h;
        ASSERT_EQ(h.list(d() + "/" + c.archive), PK_OK) << c.archive;
        ASSERT_EQ(h.listed.size(), 1u) << c.archive;
        EXPECT_EQ(h.listed[0].method, c.method) << c.archive;
        EXPECT_EQ((h.listed[0].encryption & UZ_ENCRYPTED_BIT) != 0, c.encrypted) << c.archive;
        EXPECT_EQ(h.listed[0].size, 5000u) << c.archive;
    }
}

TEST_F(UzListing, UnreadableArchivesListNothingAndSayWhy) {
    pwtest::writeFile(d() + "/not.zip", "this is not a zip archive at all");
    pwtest::writeFile(d() + "/a.txt", pwtest::patternBytes(50000));
    sh(d(), "zip -q good.zip a.txt");
    std::string good = pwtest::readFile(d() + "/good.zip");
    pwtest::writeFile(d() + "/cut.zip", good.substr(0, good.size() / 2));
    for (const char* name : {"not.zip", "cut.zip", "missing.zip"}) {
        Harness h;
        EXPECT_NE(h.list(d() + "/" + name), PK_OK) << name;
        EXPECT_TRUE(h.listed.empty()) << name;
        EXPECT_TRUE(h.printed(name)) << name << ": " << h.allPrints();
    }
    Harness none;
    none.dcl.lpszZipFN = nullptr;
    EXPECT_NE(none.list(""), PK_OK);
}

TEST_F(UzListing, SelfExtractorPrefixAndStreamedUtf8Archives) {
    pwtest::writeFile(d() + "/a.txt", "alpha");
    sh(d(), "zip -q plain.zip a.txt");
    sh(d(), "head -c 20000 /dev/urandom > stub && cat stub plain.zip > sfx.zip && zip -q -A sfx.zip");
    py(d(), R"(
z = zipfile.ZipFile('s.zip', 'w', zipfile.ZIP_DEFLATED)
with z.open('grüße/名前.txt', 'w') as f:   # streamed: sizes in a data descriptor
    f.write(b'data ' * 1000)
z.close()
)");
    Harness h1;
    ASSERT_EQ(h1.list(d() + "/sfx.zip"), PK_OK) << h1.allPrints();
    ASSERT_EQ(h1.listed.size(), 1u);
    EXPECT_EQ(h1.listed[0].path, "a.txt");
    Harness h2;
    ASSERT_EQ(h2.list(d() + "/s.zip"), PK_OK);
    ASSERT_EQ(h2.listed.size(), 1u);
    EXPECT_EQ(h2.listed[0].path, "grüße/名前.txt");
    EXPECT_EQ(h2.listed[0].size, 5000u);
}

TEST_F(UzListing, Zip64WithMoreThan65535EntriesListsThemAll) {
    py(d(), R"(
z = zipfile.ZipFile('big.zip', 'w')
for i in range(70000):
    z.writestr('f/%06d.txt' % i, '')
z.close()
)");
    Harness h;
    ASSERT_EQ(h.list(d() + "/big.zip"), PK_OK);
    ASSERT_EQ(h.listed.size(), 70000u);
    EXPECT_EQ(h.listed[69999].path, "f/069999.txt");
    EXPECT_EQ(h.listed[0].factor, 0u);  // empty entries: no ratio
}

// Plain archives are listed from their central directory, all others
// through libzip: every value of every entry must be the same both ways,
// dates mktime moves (out of range) included. (Times in a daylight saving
// gap or overlap are left out: there mktime's answer depends on its
// earlier calls, whichever way the archive is read.)
TEST_F(UzListing, TheDirectoryReadDirectlyAgreesWithLibzip) {
    py(d(), R"(
import warnings
warnings.simplefilter('ignore')
z = zipfile.ZipFile('dates.zip', 'w', zipfile.ZIP_DEFLATED)
stamps = [(2021, 3, 28, 3, 0, 0), (2021, 10, 31, 3, 30, 0), (2021, 3, 28, 1, 59, 58), (1980, 0, 0, 0, 0, 0),
          (2000, 2, 31, 12, 0, 0), (2010, 15, 31, 31, 63, 58), (2010, 12, 31, 23, 60, 0), (1995, 6, 1, 24, 0, 0),
          (2107, 12, 31, 23, 59, 58), (2024, 7, 1, 12, 34, 56)]
for i, dt in enumerate(stamps):
    info = zipfile.ZipInfo('t/%02d.txt' % i, dt)
    info.compress_type = zipfile.ZIP_DEFLATED if i % 2 else zipfile.ZIP_STORED
    z.writestr(info, 'x' * (i * 100))
z.writestr('gr\u00fc\u00dfe.txt', 'utf-8 flagged')
z.comment = b'a plain comment'
z.close()
open('trailing.zip', 'wb').write(open('dates.zip', 'rb').read() + b'PK')
z = zipfile.ZipFile('pkcomment.zip', 'w')
z.writestr('a.txt', 'a')
z.comment = b'a comment with PK\x05\x06 inside'
z.close()
z = zipfile.ZipFile('many.zip', 'w')
for i in range(70000):
    z.writestr('f/%06d.txt' % i, '')
z.close()
)");
    sh(d(), "printf abc > a.txt && zip -q -P pw enc.zip a.txt");
    const char* oldTz = std::getenv("TZ");
    const std::string savedTz = oldTz ? oldTz : "";
    ::setenv("TZ", "Europe/Berlin", 1);
    ::tzset();
    for (const char* name : {"dates.zip", "many.zip", "enc.zip", "trailing.zip", "pkcomment.zip"}) {
        Harness direct, libzip;
        const int32_t directCode = direct.list(d() + "/" + name);
        ::setenv("BRIXUZIP_LIST_THROUGH_LIBZIP", "1", 1);
        const int32_t libzipCode = libzip.list(d() + "/" + name);
        ::unsetenv("BRIXUZIP_LIST_THROUGH_LIBZIP");
        EXPECT_EQ(directCode, libzipCode) << name;
        ASSERT_EQ(direct.listed.size(), libzip.listed.size()) << name;
        for (std::size_t i = 0; i < direct.listed.size(); ++i) {
            const Listed &a = direct.listed[i], &b = libzip.listed[i];
            EXPECT_EQ(std::tie(a.path, a.method, a.comp, a.size, a.factor, a.crc, a.encryption),
                      std::tie(b.path, b.method, b.comp, b.size, b.factor, b.crc, b.encryption))
                << name << " " << a.path;
            EXPECT_EQ(std::tie(a.year, a.month, a.day, a.hour, a.minute), std::tie(b.year, b.month, b.day, b.hour, b.minute))
                << name << " " << a.path;
        }
        EXPECT_EQ(direct.fns.NumMembers, libzip.fns.NumMembers) << name;
        EXPECT_EQ(direct.fns.TotalSize, libzip.fns.TotalSize) << name;
        EXPECT_EQ(direct.fns.TotalSizeComp, libzip.fns.TotalSizeComp) << name;
        EXPECT_EQ(direct.fns.cchComment, libzip.fns.cchComment) << name;
        ASSERT_EQ(direct.listed64.size(), libzip.listed64.size()) << name;
    }
    if (oldTz) ::setenv("TZ", savedTz.c_str(), 1);
    else ::unsetenv("TZ");
    ::tzset();
}

TEST(UzVersion, RecordCarriesTheProjectVersionInTheFourthQuad) {
    UzpVer2 v;
    std::memset(&v, ' ', sizeof v);
    v.structlen = sizeof v;
    v.betalevel[9] = v.date[19] = v.zlib_version[9] = 0;
    std::memset(v.unzip, 0, 16);
    UzpVersion2(&v);
    EXPECT_EQ(v.windll[0], PACKWELL_VERSION_MAJOR);
    EXPECT_EQ(v.windll[1], PACKWELL_VERSION_MINOR);
    EXPECT_EQ(v.windll[2], PACKWELL_VERSION_PATCH);
    EXPECT_NE(std::memchr(v.betalevel, 0, sizeof v.betalevel), nullptr);
    EXPECT_GT(std::strlen(v.date), 0u);
    EXPECT_LT(std::strlen(v.date), sizeof v.date);
}

}  // namespace
