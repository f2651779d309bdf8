// Compression methods: LZMA (with and without its end marker), XZ,
// Deflate64, bzip2 and Zstandard, plain and under traditional and AES
// encryption; damaged data of each; a method the engine does not read.
#include "EngineHarness.h"

using namespace uztest;

namespace {

class UzMethods : public ScratchTest {
protected:

    // Four files of 1.3 MB together, so the entries are decoded in parallel:
    // repeats at distances beyond deflate's 32 KiB, long runs, text.
    const std::vector<std::string> names{"one.txt", "two.bin", "three.txt", "four.txt"};
    void makeFiles() {
        const std::string block = pwtest::patternBytes(40000, 11);
        std::string numbers;
        for (int i = 0; i < 60000; ++i) numbers += std::to_string(i * 7) + "\n";
        pwtest::writeFile(d() + "/one.txt", block + block + block + std::string(200000, 'z') + numbers);
        pwtest::writeFile(d() + "/two.bin", pwtest::patternBytes(3000, 2) + block + std::string(70000, '\0') + block);
        pwtest::writeFile(d() + "/three.txt", numbers + numbers);
        pwtest::writeFile(d() + "/four.txt", "four");
    }
    std::string files() const {
        std::string s;
        for (auto& n : names) s += " " + n;
        return s;
    }
    // rawzip.py: zips whose entries hold data compressed by another tool.
    void rawzip(const std::string& args) {
        sh(d(), "python3 '" + std::string(std::getenv("PACKWELL_SOURCE_DIR")) + "/tests/unzipengine/rawzip.py' " + args);
    }
    // Zstandard entries written by the test: plain, traditional, AES.
    void makeZstd() {
        std::string specs;
        for (auto& n : names) {
            sh(d(), "zstd -q -f -19 " + n + " -o " + n + ".zst");
            specs += " " + n + "=" + n + ":" + n + ".zst";
        }
        rawzip("zstd.zip 93" + specs);
        rawzip("zstd-zc.zip 93 --password p4ss" + specs);
        // AES by 7z over the stored frame, then marked as Zstandard.
        sh(d(), "mkdir -p aes && cp one.txt.zst aes/one.txt && cd aes && 7z a -tzip -mm=Copy -mem=AES256 -pp4ss "
                "../zstd-aes.zip one.txt");
        rawzip("--retag zstd-aes.zip 93 one.txt");
    }
    void expectExtracted(const std::string& archive, const std::vector<std::string>& which) {
        std::filesystem::remove_all(out());
        Harness h;
        h.passwords = {std::string("p4ss")};
        ASSERT_EQ(h.extract(d() + "/" + archive, out()), PK_OK) << archive << "\n" << h.allPrints();
        for (auto& n : which)
            EXPECT_TRUE(pwtest::readFile(out() + "/" + n) == pwtest::readFile(d() + "/" + n)) << archive << ": " << n;
        EXPECT_TRUE(leftovers(out()).empty());
    }
    std::string methodListed(const std::string& archive, const std::string& path) {
        Harness h;
        h.list(d() + "/" + archive);
        for (auto& l : h.listed)
            if (l.path == path) return l.method;
        return "(not listed)";
    }
};

const struct {
    const char* option;
    const char* listed;
} kSevenZipMethods[] = {
    {"LZMA", "LZMA"}, {"LZMA:eos=off", "LZMA"}, {"XZ", "XZ"}, {"Deflate64", "Deflate64"}, {"BZip2", "BZip2"}};

TEST_F(UzMethods, EveryMethodPlainTraditionalAndAesExtractsByteIdentical) {
    makeFiles();
    int k = 0;
    for (auto& m : kSevenZipMethods) {
        for (const char* enc : {"", "-mem=ZipCrypto -pp4ss", "-mem=AES256 -pp4ss"}) {
            const std::string z = "m" + std::to_string(k++) + ".zip";
            sh(d(), std::string("7z a -tzip -mm=") + m.option + " " + enc + " " + z + files());
            EXPECT_EQ(methodListed(z, "one.txt"), m.listed) << m.option << " " << enc;
            expectExtracted(z, names);
        }
    }
    makeZstd();
    EXPECT_EQ(methodListed("zstd.zip", "one.txt"), "Zstd");
    expectExtracted("zstd.zip", names);
    expectExtracted("zstd-zc.zip", names);
    expectExtracted("zstd-aes.zip", {"one.txt"});
}

TEST_F(UzMethods, DamagedDataOfEachMethodIsAnErrorAndLeavesNoFile) {
    makeFiles();
    std::vector<std::string> archives;
    for (auto& m : kSevenZipMethods) {
        archives.push_back("bad" + std::to_string(archives.size()) + ".zip");
        sh(d(), std::string("7z a -tzip -mm=") + m.option + " " + archives.back() + " one.txt");
    }
    sh(d(), "zstd -q -f one.txt -o one.zst");
    rawzip("bad-zstd.zip 93 one.txt=one.txt:one.zst");
    archives.push_back("bad-zstd.zip");
    for (auto& a : archives) {
        std::string z = pwtest::readFile(d() + "/" + a);
        for (std::size_t at = z.size() / 3; at < z.size() / 3 + 8; ++at) z[at] = static_cast<char>(z[at] ^ 0x5A);
        pwtest::writeFile(d() + "/" + a, z);
        std::filesystem::remove_all(out());
        Harness h;
        EXPECT_EQ(h.extract(d() + "/" + a, out()), PK_ERR) << a << "\n" << h.allPrints();
        EXPECT_TRUE(h.printed("error:  one.txt")) << a << "\n" << h.allPrints();
        EXPECT_EQ(h.outcomes, (std::vector<std::pair<std::string, int32_t>>{{"one.txt", BRIX_DAMAGED}})) << a;
        EXPECT_FALSE(pwtest::exists(out() + "/one.txt")) << a;
        EXPECT_TRUE(leftovers(out()).empty()) << a;
    }
}

TEST_F(UzMethods, AnUnreadMethodIsSkippedWithItsReasonAndTheOthersComeOut) {
    makeFiles();
    sh(d(), "7z a -tzip -mm=PPMd mixed.zip one.txt && 7z a -tzip -mm=LZMA mixed.zip three.txt");
    Harness h;
    EXPECT_EQ(h.extract(d() + "/mixed.zip", out()), PK_ERR);
    EXPECT_TRUE(h.printed("skipping: one.txt  unsupported compression method PPMd (98)")) << h.allPrints();
    EXPECT_EQ(h.outcomes, (std::vector<std::pair<std::string, int32_t>>{{"one.txt", BRIX_UNSUPPORTED},
                                                                        {"three.txt", BRIX_DONE}}));
    EXPECT_FALSE(pwtest::exists(out() + "/one.txt"));
    EXPECT_EQ(pwtest::readFile(out() + "/three.txt"), pwtest::readFile(d() + "/three.txt"));
}

}  // namespace
