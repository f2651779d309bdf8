// The reference texts of the command line: the man page packwell(1), the bash
// completion script and the README's command reference. All three are made
// from the command tree and the very option texts that --help prints, so a
// new command or option shows up in them without anyone writing it twice.
#pragma once

#include <CLI/CLI.hpp>
#include <string>

namespace pw::cli {

// roff for man(1). The root's footer becomes the NOTES section.
std::string manPage(const CLI::App& app);
// A bash script defining `complete -F _packwell packwell`: commands, options,
// option choices, and file names by what each argument takes (archives *.zip,
// first pieces *.001, folders, any file).
std::string bashCompletion(const CLI::App& app);
// Markdown: every command's --help text in a fenced block under its heading.
std::string markdownReference(const CLI::App& app);

// Adds the hidden option "--reference FORMAT" (man, bash or markdown) that
// prints one of the texts above and ends the run with status 0. Call it after
// every command has been added.
void addReferenceOption(CLI::App& app);

}  // namespace pw::cli
