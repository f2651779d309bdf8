// A hundred archive browser windows opened through the control and closed
// again, offscreen, in one process: no window stays behind, and memory
// (VmRSS) and open file descriptors do not grow once warmed up.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPointer>
#include <QWidget>
#include <filesystem>
#include <fstream>

#include "browser/qt/frmUnzip.h"
#include "control/ctlPackwell.h"
#include "control/qt/QtPlatform.h"
#include "platform/LibrarySettings.h"
#include "reliability/Summary.h"
#include "support/Process.h"
#include "support/ScriptedPlatform.h"
#include "support/TempDir.h"
#include "support/QtApp.h"

using namespace pwtest;
namespace fs = std::filesystem;

namespace {

constexpr int kWindows = 100;
constexpr int kWarmUp = 10;
constexpr long kRssToleranceKib = rssTolerance(4 * 1024);


QApplication& app() { return pwtest::qtApp(); }

// Messages recorded (there should be none), the desktop's file types for
// the icons, and the real browser window behind the control's launch.
class LoadPlatform : public pw::ScriptedPlatform {
public:
    pw::ShellFileInfo shellFileInfo(const std::string& path) override {
        return pw::qt::qtPlatform().shellFileInfo(path);
    }
    void progress(std::string_view, std::int64_t, std::int64_t) override {}
};

int browserWindows() {
    int n = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (dynamic_cast<frmUnzip*>(w)) ++n;
    return n;
}

void settle() {
    for (int i = 0; i < 3; ++i) {
        QApplication::processEvents();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

TEST(BrowserLoad, HundredWindowsOpenedAndClosedLeaveNothingBehind) {
    app();
    TempDir dir;
    fs::create_directories(dir / "tree/docs");
    writeFile(dir / "tree/readme.txt", "read me");
    writeFile(dir / "tree/docs/photo.png", patternBytes(20000, 1));
    writeFile(dir / "tree/docs/table.csv", "a,b\n1,2\n");
    writeFile(dir / "tree/program.bin", patternBytes(50000, 2));
    const std::string archive = dir / "browse.zip";
    auto made = run(packwellProgram(), {"zip-folder", archive, dir / "tree", "*.*", "--keep-folder"});
    ASSERT_EQ(made.exitCode, 0) << made.err;

    LoadPlatform platform;
    platform.onOpenArchiveBrowser = [] { frmUnzip::OpenNew(); };
    pw::ScopedPlatform use(platform);
    pw::librarySettings() = pw::LibrarySettings{};

    ctlPackwell control;
    long rssAfterWarmUp = 0;
    int fdsAfterWarmUp = 0, wrong = 0;
    for (int i = 1; i <= kWindows; ++i) {
        control.ListZipContent(archive);
        settle();
        QPointer<frmUnzip> w = static_cast<frmUnzip*>(pw::librarySettings().newestBrowserWindow);
        bool ok = w && w->isVisible() && w->FileCount() == 4;
        if (w) w->close();
        settle();
        ok = ok && w.isNull() && browserWindows() == 0;
        if (!ok && wrong++ == 0) ADD_FAILURE() << "window " << i << " was not listed or did not go away";
        if (i == kWarmUp) {
            rssAfterWarmUp = residentKib();
            fdsAfterWarmUp = openDescriptors();
        }
    }
    const long rssEnd = residentKib();
    const int fdsEnd = openDescriptors();
    EXPECT_TRUE(platform.messages.empty()) << ::testing::PrintToString(platform.messageTexts());
    EXPECT_EQ(fdsEnd, fdsAfterWarmUp) << "open descriptors grew";
    EXPECT_LE(rssEnd - rssAfterWarmUp, kRssToleranceKib)
        << "VmRSS " << rssAfterWarmUp << " KiB after warm-up, " << rssEnd << " KiB at the end";
    std::cout << "VmRSS after " << kWarmUp << " windows " << rssAfterWarmUp << " KiB, after " << kWindows << " "
              << rssEnd << " KiB; descriptors " << fdsAfterWarmUp << " -> " << fdsEnd << "\n";

    const bool held = wrong == 0 && fdsEnd == fdsAfterWarmUp && rssEnd - rssAfterWarmUp <= kRssToleranceKib &&
                      platform.messages.empty();
    Summary::row("Load", "archive browser windows (headless)",
                 std::to_string(kWindows) + " windows opened through the control, listed and closed", kWindows,
                 kWindows - wrong,
                 std::string(held ? "" : "NOT: ") + "no window left; VmRSS " + std::to_string(rssAfterWarmUp) +
                     " KiB after " + std::to_string(kWarmUp) + " windows, " + std::to_string(rssEnd) + " KiB after " +
                     std::to_string(kWindows) + " (allowed +" + std::to_string(kRssToleranceKib) +
                     "); open descriptors " + std::to_string(fdsAfterWarmUp) + " -> " + std::to_string(fdsEnd));
}

}  // namespace
