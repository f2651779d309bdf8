// Deflate64 ("enhanced deflate", zip method 9), the method Windows' own
// compressed folders and 7-Zip use for large files: deflate with a 64 KiB
// window, length code 285 carrying 16 extra bits, and distance codes 30 and
// 31. No packaged library decodes it, so this module does, streaming: the
// caller supplies the compressed bytes and takes the output through two
// callbacks, and memory stays at one window whatever the entry's size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace uz {

enum class Inflate64Status {
    Ok,           // the final block ended
    BadData,      // not a valid Deflate64 stream
    Truncated,    // the input ended before the final block did
    ReadFailed,   // the read callback reported an error
    WriteStopped  // the write callback returned false
};

// `read` fills up to n bytes and returns how many (0: end of input, < 0: an
// error); `write` takes decoded bytes, false stops the decoder. Input after
// the final block is left unread.
using Inflate64Read = std::function<long(unsigned char* buffer, std::size_t n)>;
using Inflate64Write = std::function<bool(const unsigned char* data, std::size_t n)>;

Inflate64Status inflate64(const Inflate64Read& read, const Inflate64Write& write);

}  // namespace uz
