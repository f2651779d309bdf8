// The packwell command-line host: one file per group of commands, each adding
// its sub-commands to the application.
#pragma once

#include <CLI/CLI.hpp>
#include <memory>

#include "control/ctlPackwell.h"
#include "platform/ConsolePlatform.h"
#include "errors/Outcome.h"

namespace pw::cli {

// Exit statuses: 0 the member's result was True (or a non-empty name),
// 1 it was False (or ""), 2 a usage error.
enum Exit { kOk = 0, kFailed = 1, kUsage = 2 };

struct Context {
    ConsolePlatform console;
    int exitCode = kOk;
    ctlPackwell& control() {
        if (!control_) control_ = std::make_unique<ctlPackwell>();
        return *control_;
    }
    void result(bool ok) { exitCode = ok ? kOk : kFailed; }

private:
    std::unique_ptr<ctlPackwell> control_;
};

// One line on stderr per entry that did not come out as asked, after the
// control's own message: "packwell: NAME: WHAT: REASON".
void reportFailures(const OutcomeList& outcomes);

void addSpanCommands(CLI::App& app, Context& ctx);     // split, join
void addZipCommands(CLI::App& app, Context& ctx);      // zip, zip-folder, add, zip-files, add-files, delete
void addUnzipCommands(CLI::App& app, Context& ctx);    // list, unzip, test
void addRegistryCommands(CLI::App& app, Context& ctx); // reg
void addBrowseCommands(CLI::App& app, Context& ctx);   // browse
void addSampleCommands(CLI::App& app, Context& ctx);   // samples
void addVersionCommands(CLI::App& app, Context& ctx);  // version

}  // namespace pw::cli
