// A thousand zip, list and unzip cycles through one control in one process:
// memory (VmRSS) and open file descriptors must not grow once warmed up.

#include <fstream>

#include "control/ctlPackwell.h"
#include "support/ScriptedPlatform.h"
#include "reliability/Summary.h"
#include "support/Process.h"
#include "support/TempDir.h"

using namespace pwtest;
namespace fs = std::filesystem;

namespace {

constexpr int kCycles = 1000;
constexpr int kWarmUp = 100;
// Allocator and loader noise, far below what a leak of one buffer or one
// engine record per cycle would add up to over 900 cycles.
constexpr long kRssToleranceKib = rssTolerance(3 * 1024);


// Records nothing that grows: the control reports every zip line as
// progress, and a thousand cycles of records would read as a leak.
class QuietPlatform : public pw::ScriptedPlatform {
public:
    void progress(std::string_view, std::int64_t, std::int64_t) override {}
};

TEST(Load, ThousandZipListUnzipCyclesHoldMemoryAndDescriptorsSteady) {
    TempDir dir;
    QuietPlatform quiet;
    pw::ScopedPlatform use(quiet);
    writeFile(dir / "report.txt", std::string(40 * 1024, 'r') + patternBytes(8 * 1024, 4));
    const std::string archive = dir / "cycle.zip";
    const std::string out = dir / "out";
    fs::create_directories(out);

    ctlPackwell control;
    long rssAfterWarmUp = 0, rssMiddle = 0;
    int fdsAfterWarmUp = 0;
    int failures = 0;
    for (int i = 1; i <= kCycles; ++i) {
        fs::remove(archive);
        bool ok = control.zipONEfile(dir / "report.txt", archive, false);
        ok = control.ListFilesFromZip(archive) && ok;
        ok = ok && control.ListCount() == 1 && control.getListFiles(1).FileName == "report.txt";
        ok = control.UnzipDirectly(archive, out, false) && ok;
        ok = ok && fs::file_size(out + "/report.txt") == fs::file_size(dir / "report.txt");
        fs::remove(out + "/report.txt");
        failures += ok ? 0 : 1;
        if (failures == 1 && !ok) ADD_FAILURE() << "cycle " << i << " failed: " << ::testing::PrintToString(quiet.messageTexts());
        if (i == kWarmUp) {
            rssAfterWarmUp = residentKib();
            fdsAfterWarmUp = openDescriptors();
        }
        if (i == (kWarmUp + kCycles) / 2) rssMiddle = residentKib();
    }
    const long rssEnd = residentKib();
    const int fdsEnd = openDescriptors();
    EXPECT_EQ(failures, 0);
    EXPECT_TRUE(quiet.messages.empty()) << ::testing::PrintToString(quiet.messageTexts());
    EXPECT_EQ(fdsEnd, fdsAfterWarmUp) << "open descriptors grew";
    EXPECT_LE(rssEnd - rssAfterWarmUp, kRssToleranceKib)
        << "VmRSS " << rssAfterWarmUp << " KiB after warm-up, " << rssMiddle << " KiB half way, " << rssEnd
        << " KiB at the end";
    std::cout << "VmRSS after " << kWarmUp << " cycles " << rssAfterWarmUp << " KiB, after " << kCycles << " "
              << rssEnd << " KiB; descriptors " << fdsAfterWarmUp << " -> " << fdsEnd << "\n";

    const bool held = failures == 0 && fdsEnd == fdsAfterWarmUp && rssEnd - rssAfterWarmUp <= kRssToleranceKib;
    Summary::row("Load", "zip, list, unzip through one control", std::to_string(kCycles) + " cycles in one process",
                 kCycles, kCycles - failures,
                 std::string(held ? "" : "NOT: ") + "every cycle right; VmRSS " + std::to_string(rssAfterWarmUp) +
                     " KiB after " + std::to_string(kWarmUp) + " cycles, " + std::to_string(rssEnd) +
                     " KiB after " + std::to_string(kCycles) + " (allowed +" + std::to_string(kRssToleranceKib) +
                     "); open descriptors " + std::to_string(fdsAfterWarmUp) + " -> " + std::to_string(fdsEnd));
}

}  // namespace
