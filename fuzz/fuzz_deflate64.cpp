// The Deflate64 decoder on arbitrary input, fed in pieces whose size the
// first byte picks; the output is counted and may never pass the 64 KiB
// window's worth of back-references beyond what the input can describe.
#include "UzDeflate64.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::size_t piece = 1 + data[0] % 64;
    std::size_t at = 1;
    std::uint64_t produced = 0;
    uz::inflate64(
        [&](unsigned char* buf, std::size_t n) -> long {
            n = std::min({n, piece, size - at});
            std::memcpy(buf, data + at, n);
            at += n;
            return static_cast<long>(n);
        },
        [&](const unsigned char* out, std::size_t n) {
            if (!out && n) std::abort();
            produced += n;
            // Deflate64 expands at most 65538 bytes per few bits: stop runaway streams.
            return produced < (std::uint64_t{64} << 20);
        });
    return 0;
}
