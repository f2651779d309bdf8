// packwell browse [ARCHIVE]: the archive browser window, the one command that
// needs a display. The window lives in the control library (Qt). packwell
// links the core itself, so that every other command starts without loading
// Qt; loading the control library here would put a second core, with globals
// of its own, into the process. So the process becomes packwell-browse, a
// program on the control library alone, and the command's exit status is its.
#include <limits.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

#include "cli/Commands.h"
#include "platform/FileCheck.h"

namespace pw::cli {

namespace {

bool haveDisplay() {
    for (const char* v : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* s = std::getenv(v);
        if (s && *s) return true;
    }
    return false;
}

// packwell-browse beside packwell (the build tree), or in the private folder
// of the installed libraries; "" when neither holds it.
std::string browseProgram() {
    char self[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) return "";
    std::string dir(self, static_cast<std::size_t>(n));
    dir.erase(dir.rfind('/') + 1);
    for (std::string candidate : {dir + "packwell-browse", dir + "../" PACKWELL_BROWSE_DIR "/packwell-browse"}) {
        if (::access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return "";
}

}  // namespace

void addBrowseCommands(CLI::App& app, Context& ctx) {
    auto* cmd = app.add_subcommand("browse", "Open the archive browser window (needs a display); returns when it is closed.");
    cmd->footer("Example: packwell browse ~/Downloads/photos.zip");
    auto archive = std::make_shared<std::string>();
    cmd->add_option("ARCHIVE", *archive, "Zip archive to show");
    cmd->callback([&ctx, archive] {
        if (!archive->empty()) {
            if (!isRegularFile(*archive)) {
                ctx.console.messageBox("Unable to locate " + *archive, MessageStyle::Plain, kLibraryTitle);
                ctx.exitCode = kFailed;
                return;
            }
        }
        if (!haveDisplay()) {
            std::cerr << "packwell: browse needs a display (set DISPLAY, or run it under xvfb-run)" << std::endl;
            ctx.exitCode = kFailed;
            return;
        }
        std::string program = browseProgram();
        if (program.empty()) {
            std::cerr << "packwell: browse: packwell-browse is not installed beside packwell" << std::endl;
            ctx.exitCode = kFailed;
            return;
        }
        std::cout.flush();
        char* argv[] = {const_cast<char*>("packwell"), archive->data(), nullptr};
        ::execv(program.c_str(), argv);
        std::cerr << "packwell: browse: " << program << ": " << std::strerror(errno) << std::endl;
        ctx.exitCode = kFailed;
    });
}

}  // namespace pw::cli
