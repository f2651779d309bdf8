// packwell: the control's members from the command line.
#include <cstdlib>
#include <iostream>
#include <unistd.h>

#include "cli/Commands.h"
#include "cli/Reference.h"
#include "platform/Platform.h"

int main(int argc, char** argv) {
    using namespace pw::cli;
    // With TZ unset, glibc's mktime checks /etc/localtime with a stat call
    // every time, and libzip calls mktime for every entry it reads: 100,000
    // system calls for listing a 100,000-entry archive. Naming the same file
    // in TZ lets glibc see that nothing changed; the zone is the same.
    if (!std::getenv("TZ") && ::access("/etc/localtime", R_OK) == 0) ::setenv("TZ", ":/etc/localtime", 0);
    Context ctx;
    pw::ScopedPlatform usePlatform(ctx.console);

    CLI::App app{"packwell: create, list and extract zip archives, split files into numbered pieces and join them."};
    app.footer("Exit status: 0 when the operation succeeded, 1 when it failed or found nothing, 2 for a usage error.\n"
               "Run 'packwell COMMAND --help' for a command's arguments and options.");
    app.require_subcommand(1, 1);
    app.fallthrough(false);
    addSpanCommands(app, ctx);
    addZipCommands(app, ctx);
    addUnzipCommands(app, ctx);
    addRegistryCommands(app, ctx);
    addBrowseCommands(app, ctx);
    addSampleCommands(app, ctx);
    addVersionCommands(app, ctx);
    addReferenceOption(app);

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::Success&) {
        // --version and --reference have done their work while parsing.
        return ctx.exitCode;
    } catch (const CLI::ParseError& e) {
        app.exit(e);
        return kUsage;
    } catch (const std::exception& e) {
        std::cerr << "packwell: " << e.what() << std::endl;
        return kFailed;
    }
    return ctx.exitCode;
}
