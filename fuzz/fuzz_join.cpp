// Joining an arbitrary piece set: the first byte is the number of pieces
// (1 to 5), the rest is cut into that many pieces of near-equal size, written
// as f.001, f.002, ... in a scratch folder. Failures must be raised as
// pw::Error or reported as a missing piece; the joined file only appears
// complete and nothing else is left.
#include "FuzzScratch.h"

#include "errors/Error.h"
#include "span/ModSpan.h"
#include "support/ScriptedPlatform.h"

namespace {

pwfuzz::Scratch& scratch() {
    static pwfuzz::Scratch s;
    return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const std::size_t count = 1 + data[0] % 5;
    ++data;
    --size;
    pwfuzz::Scratch& s = scratch();
    const std::string dir = s.fresh().string() + "/";
    std::size_t at = 0;
    for (std::size_t k = 1; k <= count; ++k) {
        std::size_t len = k == count ? size - at : size / count;
        pwfuzz::writeBytes(dir + "f" + ModSpan::PieceSuffix(static_cast<std::int64_t>(k)), data + at, len);
        at += len;
    }
    pw::ScriptedPlatform platform;
    pw::ScopedPlatform scope(platform);
    std::string joined;
    try {
        joined = ModSpan::JoinSpan(dir + "f.001");
    } catch (const pw::Error&) {
    }
    // Only the pieces and the joined file may be in the folder.
    std::error_code ec;
    std::size_t expected = count + (joined.empty() ? 0 : 1);
    std::size_t found = 0;
    for (auto& e : std::filesystem::directory_iterator(dir, ec)) {
        (void)e;
        ++found;
    }
    if (found != expected) {
        std::fprintf(stderr, "join left %zu names, expected %zu\n", found, expected);
        std::abort();
    }
    if (!joined.empty() && (joined.find('/') != std::string::npos || !std::filesystem::is_regular_file(dir + joined)))
        std::abort();
    s.checkContained();
    return 0;
}
