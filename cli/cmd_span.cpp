// packwell split / join: the control's SPLITfile and JOINfiles.
#include <cstdint>
#include <iostream>
#include <string>

#include "cli/Commands.h"

namespace pw::cli {

namespace {

struct SplitArgs {
    std::string file;
    std::int32_t chunkKib = 0;
    std::string destination;
};

}  // namespace

void addSpanCommands(CLI::App& app, Context& ctx) {
    auto split = std::make_shared<SplitArgs>();
    CLI::App* s = app.add_subcommand(
        "split",
        "Split FILE into numbered pieces of CHUNK_KIB x 1,024 bytes (NAME.001, NAME.002, ...), in DEST_DIR or next "
        "to FILE. The first piece starts with an 8-byte header (extension and piece count); at most 999 pieces.");
    s->footer("Example: packwell split ~/Videos/GLOBE.AVI 720 /tmp/pieces");
    s->add_option("FILE", split->file, "The file to split")->required();
    s->add_option("CHUNK_KIB", split->chunkKib, "Piece size in units of 1,024 bytes (1 to 2097151)")->required();
    s->add_option("DEST_DIR", split->destination, "Folder for the pieces (it must exist); default: FILE's folder");
    s->callback([split, &ctx] {
        std::string destination = split->destination;
        ctx.result(ctx.control().SPLITfile(split->file, split->chunkKib, destination));
    });

    auto first = std::make_shared<std::string>();
    CLI::App* j = app.add_subcommand(
        "join",
        "Join the set of numbered pieces whose first piece is FIRST_PIECE (NAME.001) into the pieces' folder and "
        "print the joined file's name. When that name is taken, the joined file is named NAME_Copy.EXT.");
    j->footer("Example: packwell join /tmp/pieces/GLOBE.001");
    j->add_option("FIRST_PIECE", *first, "The first piece of the set, ending in .001")->required();
    j->callback([first, &ctx] {
        std::string name = ctx.control().JOINfiles(*first);
        if (!name.empty()) std::cout << name << std::endl;
        ctx.result(!name.empty());
    });
}

}  // namespace pw::cli
