#include "cli/Commands.h"

namespace pw::cli {

void addSpanCommands(CLI::App& app, Context& ctx) {
    (void)app;
    (void)ctx;
}

}  // namespace pw::cli
