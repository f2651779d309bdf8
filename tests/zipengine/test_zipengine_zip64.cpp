// Archives past the classic limits: more than 65,535 entries and an entry
// over 4 GiB both need the zip64 records.
#include <fcntl.h>
#include <sys/statvfs.h>

#include <cstdlib>

#include "EngineFixture.h"

using namespace zetest;

namespace {

class Zip64 : public EngineTest {};

TEST_F(Zip64, MoreThan65535Entries) {
    const int count = 66000;
    fs::create_directories(tmp.path() / "many");
    for (int i = 0; i < count; ++i) {
        int fd = ::open(p("many/" + std::to_string(i)).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        std::string s = std::to_string(i);
        ASSERT_EQ(::write(fd, s.data(), s.size()), static_cast<ssize_t>(s.size()));
        ::close(fd);
    }
    std::string archive = p("many.zip");
    ZPOPT o = opts();
    o.fQuiet = 1;
    Result r = runEngine(archive, {"many/*"}, o);
    ASSERT_EQ(r.rc, ZE_OK) << r.text;
    EXPECT_EQ(entryNames(archive).size(), static_cast<std::size_t>(count));
    Shell t = sh("unzip -tq " + q(archive));
    EXPECT_EQ(t.status, 0) << t.out.substr(0, 2000);
    EXPECT_EQ(entryData(archive, "65999"), "65999");
}

TEST_F(Zip64, EntryOver4GiBFromASparseFile) {
    // Deflating and testing 4 GiB takes close to a minute on two cores.
    if (!std::getenv("PACKWELL_LONG_TESTS")) GTEST_SKIP() << "set PACKWELL_LONG_TESTS=1 to run";
    const std::uint64_t size = (4ull << 30) + 12345;
    struct statvfs vs;
    ASSERT_EQ(::statvfs(tmp.path().c_str(), &vs), 0);
    if (static_cast<std::uint64_t>(vs.f_bavail) * vs.f_frsize < (64ull << 20)) GTEST_SKIP() << "no room";
    std::string big = p("sparse.bin");
    {
        int fd = ::open(big.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::pwrite(fd, "end", 3, static_cast<off_t>(size - 3)), 3);
        ::close(fd);
    }
    write("small.txt", "small\n");
    std::string archive = p("big.zip");
    ZPOPT o = opts();
    o.fLevel = 1;
    Result r = runEngine(archive, {"sparse.bin", "small.txt"}, o);
    fs::remove(big);
    ASSERT_EQ(r.rc, ZE_OK) << r.text;
    zip_stat_t st = entryStat(archive, "sparse.bin");
    EXPECT_EQ(st.size, size);
    EXPECT_EQ(entryData(archive, "small.txt"), "small\n");
    Shell t = sh("unzip -tq " + q(archive));
    EXPECT_EQ(t.status, 0) << t.out;
}

}  // namespace
