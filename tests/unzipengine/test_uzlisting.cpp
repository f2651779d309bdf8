// Listing: the 13 values per entry, for archives made by the usual tools.
#include "EngineHarness.h"

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
