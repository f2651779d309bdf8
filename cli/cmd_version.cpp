#include "cli/Commands.h"

namespace pw::cli {

void addVersionCommands(CLI::App& app, Context& ctx) {
    (void)app;
    (void)ctx;
}

}  // namespace pw::cli
