// uzdrive list ARCHIVE | uzdrive x ARCHIVE FOLDER
// Calls the unzip engine the way the binding does: listing with one callback
// per entry, extraction with folder names and overwrite-all.
#include "brixuzip1.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {
unsigned long g_entries = 0;
int32_t onPrint(const char*, uint32_t) { return 0; }
int32_t onService(const char*, uint32_t) { return 0; }
void onListing(uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, char, const char* path,
               const char*, uint32_t, char) {
    if (path) ++g_entries;
}
}  // namespace

int main(int argc, char** argv) {
    if (argc < 3 || (std::strcmp(argv[1], "x") == 0 && argc < 4)) {
        std::fprintf(stderr, "usage: uzdrive list ARCHIVE | uzdrive x ARCHIVE FOLDER\n");
        return 2;
    }
    static UZNAMES include{}, exclude{};
    include.name[0] = exclude.name[0] = "";
    DCL dcl{};
    USERFUNCTIONS fns{};
    fns.print = onPrint;
    fns.service = onService;
    fns.listing = onListing;
    dcl.lpszZipFN = argv[2];
    const bool list = std::strcmp(argv[1], "list") == 0;
    dcl.nvflag = list ? 1 : 0;
    dcl.ndflag = 1;
    dcl.noflag = 1;
    dcl.fQuiet = 2;
    dcl.lpszExtractDir = list ? "" : argv[3];
    int32_t rc = Wiz_SingleEntryUnzip(0, &include, 0, &exclude, &dcl, &fns);
    if (list) std::printf("%lu entries\n", g_entries);
    return rc == 0 ? 0 : 1;
}
