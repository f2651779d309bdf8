#include <iostream>

#include "cli/Commands.h"
#include "client/SampleData.h"
#include "client/SamplePaths.h"

namespace pw::cli {

void addSampleCommands(CLI::App& app, Context& ctx) {
    auto* cmd = app.add_subcommand("samples",
                                   "Create the sample files and folders the test client's buttons use.\n"
                                   "Files go beside the program and under the test root "
                                   "($PACKWELL_TEST_ROOT, default ~/packwell-test-root).\n"
                                   "Example: PACKWELL_TEST_ROOT=/tmp/root packwell samples");
    cmd->callback([&ctx] {
        std::cerr << "program folder: " << samples::programFolder() << "\ntest root: " << samples::testRoot()
                  << std::endl;
        ctx.result(samples::createSampleData([](const std::string& line) { std::cerr << line << std::endl; }));
    });
}

}  // namespace pw::cli
