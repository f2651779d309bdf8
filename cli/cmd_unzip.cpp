#include "cli/Commands.h"

namespace pw::cli {

void addUnzipCommands(CLI::App& app, Context& ctx) {
    (void)app;
    (void)ctx;
}

}  // namespace pw::cli
