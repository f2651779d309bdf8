#include "client/SampleData.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <system_error>

#include "client/SamplePaths.h"
#include "control/ctlPackwell.h"

namespace fs = std::filesystem;

namespace pw::samples {

namespace {

void put16(std::string& s, std::uint16_t v) {
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>(v >> 8);
}

void put32(std::string& s, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
}

// Text that compresses well, so the listing shows real ratios.
std::string documentText(const std::string& title, int paragraphs) {
    std::string text = title + "\n\n";
    for (int i = 1; i <= paragraphs; ++i)
        text += "Paragraph " + std::to_string(i) +
                ": the quick brown fox jumps over the lazy dog while the archive keeps every word.\n";
    return text;
}

// Bytes that do not compress (a stored entry lists with ratio 0).
std::string noiseBytes(std::size_t size, unsigned seed) {
    std::mt19937 gen(seed);
    std::string bytes(size, '\0');
    for (auto& c : bytes) c = static_cast<char>(gen() & 0xFF);
    return bytes;
}

bool writeFile(const std::string& path, const std::string& bytes, const std::function<void(const std::string&)>& say) {
    std::error_code ec;
    fs::create_directories(fs::path(path).parent_path(), ec);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        say("cannot write " + path);
        return false;
    }
    say("wrote " + path);
    return true;
}

bool makeFolder(const std::string& path, const std::function<void(const std::string&)>& say) {
    std::error_code ec;
    fs::create_directories(path, ec);
    if (ec) {
        say("cannot create " + path + ": " + ec.message());
        return false;
    }
    say("folder " + path);
    return true;
}

// Moves an earlier sample out of the way, so the zip operations make the
// archives afresh instead of adding to them.
void setAside(const std::string& path) {
    std::error_code ec;
    fs::remove(path, ec);
}

}  // namespace

std::string sampleIconBytes() {
    constexpr int kSize = 32;
    std::string bmp;
    put32(bmp, 40);                 // BITMAPINFOHEADER
    put32(bmp, kSize);
    put32(bmp, kSize * 2);          // colour and mask rows
    put16(bmp, 1);
    put16(bmp, 32);
    put32(bmp, 0);
    put32(bmp, kSize * kSize * 4);
    put32(bmp, 0);
    put32(bmp, 0);
    put32(bmp, 0);
    put32(bmp, 0);
    for (int y = kSize - 1; y >= 0; --y) {  // bottom-up rows, BGRA
        for (int x = 0; x < kSize; ++x) {
            const bool border = x < 3 || y < 3 || x >= kSize - 3 || y >= kSize - 3;
            const bool zipper = x >= 14 && x <= 17 && (y % 4) < 2;
            std::uint32_t bgra = border ? 0xFF12406Bu : zipper ? 0xFF404040u : 0xFF4EC1F2u;
            put32(bmp, bgra);
        }
    }
    bmp.append(static_cast<std::size_t>(kSize * kSize / 8), '\0');  // AND mask: all opaque

    std::string ico;
    put16(ico, 0);
    put16(ico, 1);  // icon
    put16(ico, 1);  // one image
    ico += static_cast<char>(kSize);
    ico += static_cast<char>(kSize);
    ico += '\0';
    ico += '\0';
    put16(ico, 1);
    put16(ico, 32);
    put32(ico, static_cast<std::uint32_t>(bmp.size()));
    put32(ico, 22);
    return ico + bmp;
}

bool createSampleData(const std::function<void(const std::string&)>& say) {
    const std::string program = programFolder();
    const std::string tree = sampleFolderToZip();

    // Files to zip, in the program folder's sample tree and under the test root.
    bool ok = writeFile(tree + "/readme.txt", documentText("Sample tree", 40), say) &&
              writeFile(tree + "/level1/DocZipTest3.doc", documentText("Level one", 120), say) &&
              writeFile(tree + "/level1/level2/notes.txt", documentText("Level two", 20), say) &&
              writeFile(tree + "/level1/level2/noise.bin", noiseBytes(64 * 1024, 7), say) &&
              writeFile(tree + "/empty.txt", "", say) &&
              writeFile(oneFileToZip(), documentText("DocZipTest2", 200), say) &&
              writeFile(fileToAdd(), documentText("DocZipTest3", 150), say) &&
              writeFile(sampleIcon(), sampleIconBytes(), say) &&
              // A stand-in for the video: 3.5 MiB of noise gives five 720 KiB pieces.
              writeFile(fileToSplit(), noiseBytes(3584 * 1024, 42), say) &&
              makeFolder(extractFolder(), say) && makeFolder(joinFolder(), say) && makeFolder(splitFolder(), say);
    if (!ok) return false;

    ctlPackwell control;
    setAside(listingArchive());
    if (!control.zipFolder(listingArchive(), tree, "*.*", true)) {
        say("cannot create " + listingArchive());
        return false;
    }
    say("zipped " + listingArchive());

    setAside(sampleArchive());
    if (!control.zipONEfile(oneFileToZip(), sampleArchive(), false) ||
        !control.addFileToZip(tree + "/level1/level2/noise.bin", sampleArchive(), false)) {
        say("cannot create " + sampleArchive());
        return false;
    }
    say("zipped " + sampleArchive());

    // The pieces "JOIN FILES DIRECTLY" joins: the sample archive cut into
    // 1 KiB pieces, so a small archive still makes a set of several.
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(splitFolder(), ec)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("Test_brix.", 0) == 0) fs::remove(entry.path(), ec);
    }
    std::string destination = splitFolder();
    if (!control.SPLITfile(sampleArchive(), 1, destination)) {
        say("cannot split " + sampleArchive());
        return false;
    }
    say("split " + sampleArchive() + " into " + splitFolder());
    return true;
}

}  // namespace pw::samples
