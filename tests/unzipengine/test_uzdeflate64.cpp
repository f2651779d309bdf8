// The Deflate64 decoder on its own: 7-Zip's streams in pieces of any size,
// and each way a stream or its callbacks can fail.
#include "EngineHarness.h"
#include "UzDeflate64.h"

using namespace uztest;
using uz::Inflate64Status;

namespace {

struct Fed {
    std::string input;
    std::size_t piece = 65536;
    std::size_t at = 0;
    std::string output;
    Inflate64Status run() {
        return uz::inflate64(
            [&](unsigned char* buf, std::size_t n) -> long {
                n = std::min({n, piece, input.size() - at});
                std::memcpy(buf, input.data() + at, n);
                at += n;
                return static_cast<long>(n);
            },
            [&](const unsigned char* data, std::size_t n) {
                output.append(reinterpret_cast<const char*>(data), n);
                return true;
            });
    }
};

class UzDeflate64 : public ::testing::Test {
protected:
    pwtest::TempDir tmp;
    std::string d() const { return tmp.path().string(); }
    std::string plain;
    // The raw stream of the one entry of a 7z -mm=Deflate64 archive.
    std::string sevenZipStream() {
        const std::string block = pwtest::patternBytes(40000, 5);
        std::string text;
        for (int i = 0; i < 30000; ++i) text += "line " + std::to_string(i % 977) + "\n";
        plain = block + text + block + std::string(150000, 'q') + pwtest::patternBytes(90000, 6) + block;
        pwtest::writeFile(d() + "/p.bin", plain);
        sh(d(), "7z a -tzip -mm=Deflate64 -mx=9 t.zip p.bin");
        const std::string z = pwtest::readFile(d() + "/t.zip");
        auto u16 = [&](std::size_t at) { return std::size_t(std::uint8_t(z[at])) | std::size_t(std::uint8_t(z[at + 1])) << 8; };
        auto u32 = [&](std::size_t at) { return u16(at) | u16(at + 2) << 16; };
        EXPECT_EQ(u16(8), 9u) << "7z did not write Deflate64";
        return z.substr(30 + u16(26) + u16(28), u32(18));
    }
};

TEST_F(UzDeflate64, SevenZipStreamsDecodeWhateverTheReadSizes) {
    const std::string stream = sevenZipStream();
    for (std::size_t piece : {std::size_t{1}, std::size_t{7}, std::size_t{65536}}) {
        Fed f{stream, piece};
        ASSERT_EQ(f.run(), Inflate64Status::Ok) << piece;
        EXPECT_TRUE(f.output == plain) << piece;
    }
}

TEST_F(UzDeflate64, EachFaultIsReportedAsWhatItIs) {
    const std::string stream = sevenZipStream();
    Fed cut{stream.substr(0, stream.size() / 2)};
    EXPECT_EQ(cut.run(), Inflate64Status::Truncated);
    Fed empty{""};
    EXPECT_EQ(empty.run(), Inflate64Status::Truncated);
    Fed badType{"\x07"};  // final block of the reserved type 3
    EXPECT_EQ(badType.run(), Inflate64Status::BadData);
    // A fixed-code block opening with a match at distance 1: nothing precedes it.
    Fed beforeStart{std::string("\x03\x02\x00", 3)};
    EXPECT_EQ(beforeStart.run(), Inflate64Status::BadData);

    const auto discard = [](const unsigned char*, std::size_t) { return true; };
    EXPECT_EQ(uz::inflate64([](unsigned char*, std::size_t) -> long { return -1; }, discard),
              Inflate64Status::ReadFailed);
    std::size_t at = 0;
    const auto feed = [&](unsigned char* buf, std::size_t n) -> long {
        n = std::min(n, stream.size() - at);
        std::memcpy(buf, stream.data() + at, n);
        at += n;
        return static_cast<long>(n);
    };
    EXPECT_EQ(uz::inflate64(feed, [](const unsigned char*, std::size_t) { return false; }),
              Inflate64Status::WriteStopped);
}

}  // namespace
