// bench_browser: how long the archive browser takes from OpenZip to the rows
// being painted, for archives of 1,000 and 100,000 entries, next to the time
// `unzip -l` takes to list the same archive (printed as a ratio). Goal: under
// 2 s for 100,000 entries.
//
// Runs offscreen unless QT_QPA_PLATFORM says otherwise; the archives are made
// with python3's zipfile in a scratch folder; the registry is a scratch one.
#include <QApplication>
#include <QTreeView>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "browser/qt/frmUnzip.h"
#include "browser/qt/frmUnzipList.h"
#include "control/qt/QtPlatform.h"
#include "platform/LibrarySettings.h"
#include "unzip/cUnzip.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

bool makeArchive(const std::string& path, int entries) {
    if (fs::exists(path)) return true;
    std::string cmd = "python3 -c \"import zipfile,sys\n"
                      "exts=['txt','doc','png','c','h','html','pdf','bin']\n"
                      "with zipfile.ZipFile(sys.argv[1],'w',zipfile.ZIP_DEFLATED) as z:\n"
                      "  for i in range(int(sys.argv[2])):\n"
                      "    z.writestr('dir%d/file%d.%s' % (i//100, i, exts[i%8]), 'x'*(i%50))\n\" '" +
                      path + "' " + std::to_string(entries);
    return std::system(cmd.c_str()) == 0;
}

double timeBrowser(frmUnzip& w, const std::string& archive, int expected) {
    auto t0 = Clock::now();
    w.OpenZip(archive);
    QApplication::processEvents();
    w.lvwZip()->viewport()->repaint();
    auto t1 = Clock::now();
    if (w.listModel().rowCount() != expected)
        std::fprintf(stderr, "bench_browser: listed %d rows, expected %d\n", w.listModel().rowCount(), expected);
    return seconds(t0, t1);
}

// The unzip object's listing alone (no window), to show the window's share.
double timeDirectory(const std::string& archive) {
    auto u = std::make_shared<cUnzip>();
    auto t0 = Clock::now();
    u->ZipFile(archive);
    u->Directory();
    return seconds(t0, Clock::now());
}

double timeUnzipList(const std::string& archive) {
    std::string cmd = "unzip -l '" + archive + "' > /dev/null 2>&1";
    auto t0 = Clock::now();
    int rc = std::system(cmd.c_str());
    auto t1 = Clock::now();
    return rc == 0 ? seconds(t0, t1) : -1;
}

}  // namespace

int main(int argc, char** argv) {
    if (qgetenv("QT_QPA_PLATFORM").isEmpty()) qputenv("QT_QPA_PLATFORM", "offscreen");
    const fs::path scratch = fs::temp_directory_path() / "packwell-bench-browser";
    fs::create_directories(scratch / "registry");
    setenv("PACKWELL_REGISTRY_DIR", (scratch / "registry").c_str(), 0);
    QApplication app(argc, argv);
    pw::qt::ensureQtPlatform();

    auto w = std::make_unique<frmUnzip>();
    w->Form_Load();
    w->show();
    QApplication::processEvents();

    const bool haveUnzip = std::system("command -v unzip > /dev/null 2>&1") == 0;
    std::printf("%-10s %12s %12s %12s %8s\n", "entries", "browser s", "listing s", "unzip -l s", "ratio");
    for (int entries : {1000, 100000}) {
        const std::string archive = (scratch / ("entries-" + std::to_string(entries) + ".zip")).string();
        if (!makeArchive(archive, entries)) {
            std::fprintf(stderr, "bench_browser: could not make %s (python3 needed)\n", archive.c_str());
            return 1;
        }
        // Warm up both (page cache, icon cache), then alternate three rounds.
        timeBrowser(*w, archive, entries);
        if (haveUnzip) timeUnzipList(archive);
        double best = 1e9, bestTool = 1e9, bestDir = 1e9;
        for (int round = 0; round < 3; ++round) {
            best = std::min(best, timeBrowser(*w, archive, entries));
            bestDir = std::min(bestDir, timeDirectory(archive));
            if (haveUnzip) bestTool = std::min(bestTool, timeUnzipList(archive));
        }
        if (haveUnzip)
            std::printf("%-10d %12.3f %12.3f %12.3f %8.2f\n", entries, best, bestDir, bestTool, best / bestTool);
        else
            std::printf("%-10d %12.3f %12.3f %12s %8s\n", entries, best, bestDir, "-", "-");
        std::fflush(stdout);
    }
    std::printf("goal: 100000 entries shown in under 2 s\n");
    // Leave the user's settings alone: the window is not closed through the UI.
    w.reset();
    return 0;
}
