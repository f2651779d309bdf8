#include <iostream>

#include "cli/Commands.h"
#include "errors/Error.h"
#include "platform/FailureTrap.h"
#include "unzip/cUnzip.h"

namespace pw::cli {

namespace {

void printVersion(Context& ctx) {
    std::cout << "packwell " << PACKWELL_VERSION << "\n";
    auto unzip = std::make_shared<cUnzip>();
    std::int32_t major = 0, minor = 0, revision = 0, fourth = 0;
    std::string beta;
    try {
        unzip->GetVersion(major, minor, revision, fourth, beta);
        std::cout << "unzip engine (UzpVersion2): " << major << "." << minor << "." << revision;
        const auto end = beta.find_last_not_of(' ');
        if (end != std::string::npos) std::cout << " " << beta.substr(0, end + 1);
        std::cout << "\n";
    } catch (...) {
        std::cerr << "packwell: the version library cannot be asked: " << failureText(toError(std::current_exception())) << std::endl;
        ctx.result(false);
    }
}

}  // namespace

void addVersionCommands(CLI::App& app, Context& ctx) {
    auto* cmd = app.add_subcommand("version",
                                   "Print the project's version and the engines' versions.\n"
                                   "Example: packwell version");
    cmd->callback([&ctx] { printVersion(ctx); });
    // The flag works without a command, so it is handled as soon as it is read.
    app.add_flag_callback(
           "--version",
           [&ctx] {
               printVersion(ctx);
               throw CLI::Success();
           },
           "Print the versions as the version command does, and exit")
        ->trigger_on_parse();
}

}  // namespace pw::cli
