// The unzip engine on an arbitrary archive: a listing, then an extraction
// with folder names into a scratch folder, through the C entry point. An
// encrypted entry is answered first with a wrong password, then with none.
// Nothing may be written outside the extract folder.
#include "brixuzip1.h"
#include "FuzzScratch.h"

#include <cstring>

namespace {

pwfuzz::Scratch& scratch() {
    static pwfuzz::Scratch s;
    return s;
}

int g_passwordAsks = 0;

int32_t onPrint(const char* text, uint32_t size) {
    if (!text || size != std::strlen(text) + 1) std::abort();
    return 0;
}
int32_t onReplace(char*) { return IDM_REPLACE_ALL; }
int32_t onPassword(char* buffer, int32_t size, const char*, const char*) {
    if (g_passwordAsks++ > 0) return 1;
    const char wrong[] = "not-the-password";
    if (size < static_cast<int32_t>(sizeof wrong)) return 1;
    std::memcpy(buffer, wrong, sizeof wrong - 1);  // without terminator, as the binding writes it
    return 0;
}
void onListing(uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, char,
               const char* path, const char* method, uint32_t, char) {
    if (!path || !method) std::abort();
    (void)std::strlen(path);
    (void)std::strlen(method);
}
int32_t onService(const char* item, uint32_t size) {
    if (!item || size != std::strlen(item) + 1) std::abort();
    return 0;
}

int32_t run(const std::string& archive, const std::string& dir, bool list, std::uint8_t variant) {
    DCL dcl{};
    dcl.nvflag = list ? 1 : 0;
    dcl.ndflag = 1;
    dcl.noflag = 1;
    dcl.fQuiet = variant & 1 ? 2 : 0;
    dcl.naflag = variant & 2 ? 1 : 0;
    dcl.SpaceToUnderscore = variant & 4 ? 1 : 0;
    dcl.PromptToOverwrite = variant & 8 ? 1 : 0;
    dcl.lpszZipFN = archive.c_str();
    dcl.lpszExtractDir = dir.c_str();
    UZNAMES include{}, exclude{};
    include.name[0] = "";
    exclude.name[0] = "";
    USERFUNCTIONS fns{};
    fns.print = &onPrint;
    fns.replace = &onReplace;
    fns.password = &onPassword;
    fns.listing = &onListing;
    fns.service = &onService;
    g_passwordAsks = 0;
    return Wiz_SingleEntryUnzip(0, &include, 0, &exclude, &dcl, &fns);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    pwfuzz::Scratch& s = scratch();
    s.fresh();
    const std::string archive = (s.base() / "in.zip").string();
    pwfuzz::writeBytes(archive, data, size);
    // Options from the archive's first byte: the rest of it stays a valid
    // archive for the seeds.
    std::uint8_t variant = size ? data[0] : 0;
    run(archive, "", true, variant);
    const std::string out = (s.work() / "out").string();
    run(archive, out, false, variant);
    s.checkContained("in.zip");
    return 0;
}
