#include "UzDecode.h"

#include "UzDisk.h"

#include <bzlib.h>
#include <libdeflate.h>
#include <zlib.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

namespace uz {

namespace {

// Entries up to this size are inflated in one piece by libdeflate; larger ones
// are streamed so that memory stays bounded whatever the archive claims.
constexpr std::uint64_t kMemBound = 16u << 20;
constexpr std::size_t kChunk = 256u << 10;

struct Deflater {
    libdeflate_decompressor* d = libdeflate_alloc_decompressor();
    ~Deflater() {
        if (d) libdeflate_free_decompressor(d);
    }
};

libdeflate_decompressor* threadDecompressor() {
    thread_local Deflater dec;
    return dec.d;
}

struct ZipFileCloser {
    void operator()(zip_file_t* f) const {
        if (f) zip_fclose(f);
    }
};
using ZipFilePtr = std::unique_ptr<zip_file_t, ZipFileCloser>;

DecodeResult fail(Outcome o, std::string reason, int err = 0) {
    DecodeResult r;
    r.outcome = o;
    r.reason = std::move(reason);
    r.err = err;
    return r;
}

// Reads the next piece; 0 at the end (after which libzip has run its own
// checks, such as the AES authentication code), -1 on error.
zip_int64_t readSome(zip_file_t* f, void* buf, std::size_t n) { return zip_fread(f, buf, n); }

DecodeResult readError(zip_file_t* f, const EntryInfo& e) {
    zip_error_t* err = zip_file_get_error(f);
    int code = zip_error_code_zip(err);
    if (code == ZIP_ER_CRC && e.encryption != ZIP_EM_NONE && e.encryption != ZIP_EM_TRAD_PKWARE)
        return fail(Outcome::BadData, "authentication failed: damaged data or wrong password");
    if (code == ZIP_ER_CRC) return fail(Outcome::BadData, "bad CRC");
    if (code == ZIP_ER_WRONGPASSWD) return fail(Outcome::WrongPassword, "incorrect password");
    if (code == ZIP_ER_EOF || code == ZIP_ER_READ || code == ZIP_ER_INCONS)
        return fail(Outcome::BadData, std::string("cannot read the data: ") + zip_error_strerror(err));
    return fail(Outcome::ReadError, zip_error_strerror(err));
}

// Output bookkeeping shared by every decoder: declared size, total limit, CRC.
struct Output {
    const EntryInfo& e;
    Sink& sink;
    RunLimits& limits;
    std::uint64_t written = 0;
    std::uint32_t crc = 0;
    DecodeResult problem;
    bool bad = false;

    bool put(const unsigned char* data, std::size_t n) {
        if (n == 0) return true;
        if (written + n > e.size) {
            bad = true;
            problem = fail(Outcome::TooBig, "more data than the declared size (damaged or hostile archive)");
            return false;
        }
        if (limits.totalLimit) {
            std::uint64_t before = limits.totalOut.fetch_add(n);
            if (before + n > limits.totalLimit) {
                bad = true;
                limits.cancel = true;
                problem = fail(Outcome::TooBig, "the total output limit of the run was reached");
                return false;
            }
        }
        if (limits.cancel.load(std::memory_order_relaxed)) {
            bad = true;
            problem = fail(Outcome::Cancelled, "stopped");
            return false;
        }
        written += n;
        crc = libdeflate_crc32(crc, data, n);
        if (!sink.write(data, n)) {
            bad = true;
            problem = fail(Outcome::WriteError, "write error: " + errnoText(errno), errno);
            return false;
        }
        return true;
    }

    DecodeResult finish() {
        if (bad) return problem;
        if (written != e.size) return fail(Outcome::BadData, "the data is shorter than the declared size");
        if (e.checkCrc && crc != e.crc) return fail(Outcome::BadData, "bad CRC");
        if (!sink.finish()) return fail(Outcome::WriteError, "write error: " + errnoText(errno), errno);
        return {};
    }
};

DecodeResult copyStored(zip_file_t* f, const EntryInfo& e, Output& out) {
    thread_local std::vector<unsigned char> buf(kChunk);
    for (;;) {
        zip_int64_t n = readSome(f, buf.data(), buf.size());
        if (n < 0) return readError(f, e);
        if (n == 0) break;
        if (!out.put(buf.data(), static_cast<std::size_t>(n))) return out.problem;
    }
    return out.finish();
}

DecodeResult inflateInMemory(zip_file_t* f, const EntryInfo& e, Output& out) {
    thread_local std::vector<unsigned char> comp;
    thread_local std::vector<unsigned char> plain;
    // The compressed size bounds what we accept; a few spare bytes show overruns.
    const std::size_t want = static_cast<std::size_t>(e.compSize) + 64;
    if (comp.size() < want) comp.resize(want);
    std::size_t have = 0;
    for (;;) {
        if (have == comp.size()) {
            if (comp.size() >= kMemBound * 2) return fail(Outcome::BadData, "more compressed data than declared");
            comp.resize(comp.size() * 2);
        }
        zip_int64_t n = readSome(f, comp.data() + have, comp.size() - have);
        if (n < 0) return readError(f, e);
        if (n == 0) break;
        have += static_cast<std::size_t>(n);
    }
    if (plain.size() < e.size) plain.resize(static_cast<std::size_t>(e.size));
    std::size_t used = 0, actual = 0;
    auto rc = libdeflate_deflate_decompress_ex(threadDecompressor(), comp.data(), have, plain.data(),
                                               static_cast<std::size_t>(e.size), &used, &actual);
    if (comp.size() > kMemBound * 2) std::vector<unsigned char>().swap(comp);
    if (rc == LIBDEFLATE_INSUFFICIENT_SPACE)
        return fail(Outcome::TooBig, "more data than the declared size (damaged or hostile archive)");
    if (rc != LIBDEFLATE_SUCCESS) return fail(Outcome::BadData, "invalid compressed data");
    if (!out.put(plain.data(), actual)) return out.problem;
    return out.finish();
}

DecodeResult inflateStreaming(zip_file_t* f, const EntryInfo& e, Output& out) {
    z_stream zs{};
    if (inflateInit2(&zs, -MAX_WBITS) != Z_OK) return fail(Outcome::ReadError, "out of memory");
    struct End {
        z_stream* z;
        ~End() { inflateEnd(z); }
    } end{&zs};
    std::vector<unsigned char> in(kChunk), outBuf(kChunk);
    bool streamEnd = false;
    for (;;) {
        zip_int64_t n = readSome(f, in.data(), in.size());
        if (n < 0) return readError(f, e);
        if (n == 0) break;
        if (streamEnd) continue;  // trailing bytes after the stream's end are ignored, but read
        zs.next_in = in.data();
        zs.avail_in = static_cast<uInt>(n);
        while (zs.avail_in > 0 && !streamEnd) {
            zs.next_out = outBuf.data();
            zs.avail_out = static_cast<uInt>(outBuf.size());
            int rc = inflate(&zs, Z_NO_FLUSH);
            if (rc == Z_STREAM_END) streamEnd = true;
            else if (rc != Z_OK && rc != Z_BUF_ERROR) return fail(Outcome::BadData, "invalid compressed data");
            std::size_t produced = outBuf.size() - zs.avail_out;
            if (!out.put(outBuf.data(), produced)) return out.problem;
            if (rc == Z_BUF_ERROR && produced == 0) break;
        }
    }
    if (!streamEnd) return fail(Outcome::BadData, "invalid compressed data (unexpected end)");
    return out.finish();
}

DecodeResult unbzip(zip_file_t* f, const EntryInfo& e, Output& out) {
    bz_stream bs{};
    if (BZ2_bzDecompressInit(&bs, 0, 0) != BZ_OK) return fail(Outcome::ReadError, "out of memory");
    struct End {
        bz_stream* b;
        ~End() { BZ2_bzDecompressEnd(b); }
    } end{&bs};
    std::vector<char> in(kChunk), outBuf(kChunk);
    bool streamEnd = false;
    for (;;) {
        zip_int64_t n = readSome(f, in.data(), in.size());
        if (n < 0) return readError(f, e);
        if (n == 0) break;
        if (streamEnd) continue;
        bs.next_in = in.data();
        bs.avail_in = static_cast<unsigned>(n);
        while (bs.avail_in > 0 && !streamEnd) {
            bs.next_out = outBuf.data();
            bs.avail_out = static_cast<unsigned>(outBuf.size());
            int rc = BZ2_bzDecompress(&bs);
            if (rc == BZ_STREAM_END) streamEnd = true;
            else if (rc != BZ_OK) return fail(Outcome::BadData, "invalid compressed data");
            std::size_t produced = outBuf.size() - bs.avail_out;
            if (!out.put(reinterpret_cast<unsigned char*>(outBuf.data()), produced)) return out.problem;
        }
    }
    if (!streamEnd) return fail(Outcome::BadData, "invalid compressed data (unexpected end)");
    return out.finish();
}

}  // namespace

const char* methodName(std::uint16_t method) {
    switch (method) {
    case 0: return "Stored";
    case 1: return "Shrunk";
    case 2: case 3: case 4: case 5: return "Reduced";
    case 6: return "Imploded";
    case 7: return "Tokenized";
    case 8: return "Deflated";
    case 9: return "Deflate64";
    case 10: return "PKImplode";
    case 12: return "BZip2";
    case 14: return "LZMA";
    case 18: return "IBMTerse";
    case 19: return "LZ77";
    case 93: return "Zstd";
    case 95: return "XZ";
    case 96: return "JPEG";
    case 97: return "WavPack";
    case 98: return "PPMd";
    case 99: return "AES";
    default: return "Unknown";
    }
}

DecodeResult decodeEntry(zip_t* za, const EntryInfo& e, const std::string* password, Sink& sink, RunLimits& limits) {
    const bool ours = e.method == ZIP_CM_STORE || e.method == ZIP_CM_DEFLATE || e.method == ZIP_CM_BZIP2;
    if (!ours && !zip_compression_method_supported(e.method, 0))
        return fail(Outcome::Unsupported, std::string("unsupported compression method ") + methodName(e.method) + " (" +
                                              std::to_string(e.method) + ")");
    if (e.encryption != ZIP_EM_NONE && !zip_encryption_method_supported(e.encryption, 0))
        return fail(Outcome::Unsupported, "unsupported encryption method");
    if (e.encryption != ZIP_EM_NONE && !password) return fail(Outcome::NeedPassword, "password needed");
    // Our own decompressors work on the raw (decrypted) data; libzip's CRC layer
    // is avoided because this libzip misreports AES entries through it.
    const zip_flags_t flags = ours ? ZIP_FL_COMPRESSED : 0;
    ZipFilePtr f(e.encryption != ZIP_EM_NONE ? zip_fopen_index_encrypted(za, e.index, flags, password->c_str())
                                            : zip_fopen_index(za, e.index, flags));
    if (!f) {
        zip_error_t* err = zip_get_error(za);
        int code = zip_error_code_zip(err);
        std::string text = zip_error_strerror(err);
        zip_error_clear(za);
        switch (code) {
        case ZIP_ER_WRONGPASSWD: return fail(Outcome::WrongPassword, "incorrect password");
        case ZIP_ER_NOPASSWD: return fail(Outcome::NeedPassword, "password needed");
        case ZIP_ER_ENCRNOTSUPP: return fail(Outcome::Unsupported, "unsupported encryption method");
        case ZIP_ER_COMPNOTSUPP:
            return fail(Outcome::Unsupported, std::string("unsupported compression method ") + methodName(e.method));
        case ZIP_ER_MEMORY: return fail(Outcome::ReadError, text);
        default: return fail(Outcome::BadData, "cannot read the entry: " + text);
        }
    }
    Output out{e, sink, limits, 0, 0, DecodeResult{}, false};
    if (e.method == ZIP_CM_DEFLATE) {
        if (e.size <= kMemBound && e.compSize <= kMemBound) return inflateInMemory(f.get(), e, out);
        return inflateStreaming(f.get(), e, out);
    }
    if (e.method == ZIP_CM_BZIP2) return unbzip(f.get(), e, out);
    return copyStored(f.get(), e, out);  // stored, or decompressed by libzip
}

bool FileSink::write(const unsigned char* data, std::size_t size) {
    if (!convert_) return writeAll(fd_, data, size);
    if (!decided_) {
        decided_ = true;
        text_ = true;
        std::size_t look = size < 8192 ? size : 8192;
        for (std::size_t i = 0; i < look; ++i) {
            unsigned char c = data[i];
            if (c == 0 || (c < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\f' && c != 0x1a && c != 0x1b)) {
                text_ = false;
                break;
            }
        }
    }
    if (!text_) return writeAll(fd_, data, size);
    buf_.clear();
    buf_.reserve(size + 1);
    for (std::size_t i = 0; i < size; ++i) {
        char c = static_cast<char>(data[i]);
        if (pendingCr_) {
            pendingCr_ = false;
            buf_.push_back('\n');
            if (c == '\n') continue;
        }
        if (c == '\r') pendingCr_ = true;
        else buf_.push_back(c);
    }
    return writeAll(fd_, buf_.data(), buf_.size());
}

bool FileSink::finish() {
    if (pendingCr_) {
        pendingCr_ = false;
        return writeAll(fd_, "\n", 1);
    }
    return true;
}

bool StringSink::write(const unsigned char* data, std::size_t size) {
    if (text.size() + size > limit_) {
        errno = ENAMETOOLONG;
        return false;
    }
    text.append(reinterpret_cast<const char*>(data), size);
    return true;
}

}  // namespace uz
