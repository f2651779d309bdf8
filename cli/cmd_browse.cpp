// packwell browse [ARCHIVE]: the archive browser window, the one command that
// needs a display. The window lives in the control library (Qt), which is
// loaded only for this command, so every other command runs without Qt.
#include <cstdlib>
#include <iostream>

#include "cli/Commands.h"
#include "platform/Error.h"
#include "platform/FileCheck.h"
#include "platform/LibraryLoader.h"

namespace pw::cli {

namespace {

bool haveDisplay() {
    for (const char* v : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* s = std::getenv(v);
        if (s && *s) return true;
    }
    return false;
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
        static LibraryLoader library("libPackwellDEMO.so.1");
        using Entry = int (*)(const char*, char* errorText, int errorTextSize);
        try {
            auto run = library.function<Entry>("PackwellBrowse", "packwell");
            char error[1024] = {};
            int rc = run(archive->c_str(), error, sizeof error);
            if (error[0]) std::cerr << "packwell: " << error << std::endl;
            ctx.exitCode = rc == 0 ? kOk : kFailed;
        } catch (const Error& e) {
            std::cerr << "packwell: " << e.number() << ": " << e.description() << std::endl;
            ctx.exitCode = kFailed;
        }
    });
}

}  // namespace pw::cli
