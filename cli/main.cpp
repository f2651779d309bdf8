// packwell: the control's members from the command line.
#include <iostream>

#include "cli/Commands.h"
#include "platform/Platform.h"

int main(int argc, char** argv) {
    using namespace pw::cli;
    Context ctx;
    pw::ScopedPlatform usePlatform(ctx.console);

    CLI::App app{"packwell: create, list and extract zip archives, split files into numbered pieces and join them."};
    app.require_subcommand(1, 1);
    app.fallthrough(false);
    addSpanCommands(app, ctx);
    addZipCommands(app, ctx);
    addUnzipCommands(app, ctx);
    addRegistryCommands(app, ctx);
    addBrowseCommands(app, ctx);
    addSampleCommands(app, ctx);
    addVersionCommands(app, ctx);

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        app.exit(e);
        return kUsage;
    } catch (const std::exception& e) {
        std::cerr << "packwell: " << e.what() << std::endl;
        return kFailed;
    }
    return ctx.exitCode;
}
