// A set of several GiB: sizes beyond 32 bits split and join back unchanged,
// with memory that does not grow with the piece size.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <vector>

#include "span/ModSpan.h"
#include "span/SpanFixture.h"

namespace {

using spantest::SpanTest;

constexpr std::int64_t kGiB = 1ll << 30;
constexpr std::int64_t kSourceSize = 4 * kGiB + 3 * 1024 * 1024 + 5;  // five 1 GiB pieces, the last short

long peakKiB() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

// Distinct marks at places where 32-bit sizes or offsets would go wrong.
const std::vector<std::int64_t>& markOffsets() {
    static const std::vector<std::int64_t> offsets = {0,        kGiB - 8, kGiB,     2 * kGiB - 1, 2 * kGiB,
                                                      3 * kGiB, 4 * kGiB - 1, 4 * kGiB + 17, kSourceSize - 64};
    return offsets;
}

std::string markAt(std::int64_t offset) {
    std::string m = "mark@" + std::to_string(offset) + "|";
    return m;
}

// The data segments of a file (holes read as zeros and need no reading).
std::vector<std::pair<off_t, off_t>> dataSegments(int fd, off_t size) {
    std::vector<std::pair<off_t, off_t>> out;
    off_t pos = 0;
    while (pos < size) {
        off_t d = ::lseek(fd, pos, SEEK_DATA);
        if (d < 0) break;
        off_t h = ::lseek(fd, d, SEEK_HOLE);
        if (h < 0) h = size;
        out.emplace_back(d, h);
        pos = h;
    }
    return out;
}

// Byte-for-byte comparison of two files of `size` bytes, reading only where
// either of them holds data.
bool sameContents(const std::string& a, const std::string& b, off_t size) {
    int fa = ::open(a.c_str(), O_RDONLY), fb = ::open(b.c_str(), O_RDONLY);
    if (fa < 0 || fb < 0) return false;
    auto segments = dataSegments(fa, size);
    auto more = dataSegments(fb, size);
    segments.insert(segments.end(), more.begin(), more.end());
    std::sort(segments.begin(), segments.end());
    std::vector<char> ba(8 << 20), bb(8 << 20);
    bool same = true;
    off_t done = 0;  // everything before this offset is compared
    for (auto [from, to] : segments) {
        for (off_t pos = std::max(from, done); same && pos < to;) {
            std::size_t want = static_cast<std::size_t>(std::min<off_t>(to - pos, static_cast<off_t>(ba.size())));
            ssize_t ra = ::pread(fa, ba.data(), want, pos);
            ssize_t rb = ::pread(fb, bb.data(), want, pos);
            if (ra != static_cast<ssize_t>(want) || rb != ra || std::memcmp(ba.data(), bb.data(), want) != 0) same = false;
            pos += static_cast<off_t>(want);
        }
        done = std::max(done, to);
    }
    ::close(fa);
    ::close(fb);
    return same;
}

TEST_F(SpanTest, SparseFileOverFourGiBSplitsIntoGiBPiecesAndJoinsBack) {
    struct statvfs fs{};
    ASSERT_EQ(statvfs(dir.path().c_str(), &fs), 0);
    const std::int64_t room = static_cast<std::int64_t>(fs.f_bavail) * static_cast<std::int64_t>(fs.f_frsize);
    // Pieces and the joined file are written out in full.
    if (room < 2 * kSourceSize + 4 * kGiB) GTEST_SKIP() << "not enough disk space (" << room / kGiB << " GiB free)";

    const std::string source = at("huge.bin");
    {
        int fd = ::open(source.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::ftruncate(fd, kSourceSize), 0);
        for (std::int64_t off : markOffsets()) {
            std::string m = markAt(off);
            std::int64_t at = std::min<std::int64_t>(off, kSourceSize - static_cast<std::int64_t>(m.size()));
            ASSERT_EQ(::pwrite(fd, m.data(), m.size(), at), static_cast<ssize_t>(m.size()));
        }
        ::close(fd);
    }
    std::filesystem::create_directory(at("pieces"));
    std::string destination = at("pieces");
    const long before = peakKiB();
    ASSERT_EQ(ModSpan::SpanFile(source, 1048576, destination), 5);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(std::filesystem::file_size(at("pieces/huge.001")), static_cast<std::uintmax_t>(kGiB + 8));
    EXPECT_EQ(std::filesystem::file_size(at("pieces/huge.004")), static_cast<std::uintmax_t>(kGiB));
    EXPECT_EQ(std::filesystem::file_size(at("pieces/huge.005")), static_cast<std::uintmax_t>(kSourceSize - 4 * kGiB));

    ASSERT_EQ(ModSpan::JoinSpan(at("pieces/huge.001")), "huge.bin");
    EXPECT_LT(peakKiB() - before, 64 * 1024) << "memory grew with the piece size";
    for (int k = 1; k <= 5; ++k) std::filesystem::remove(at("pieces/huge" + ModSpan::PieceSuffix(k)));
    EXPECT_EQ(std::filesystem::file_size(at("pieces/huge.bin")), static_cast<std::uintmax_t>(kSourceSize));
    EXPECT_TRUE(sameContents(source, at("pieces/huge.bin"), kSourceSize));
}

}  // namespace
