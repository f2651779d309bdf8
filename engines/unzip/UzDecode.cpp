#include "UzDecode.h"

#include "UzArchive.h"
#include "UzDeflate64.h"
#include "UzDisk.h"

#include <bzlib.h>
#include <lzma.h>
#include <openssl/crypto.h>
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <libdeflate.h>
#include <zlib.h>
#include <zstd.h>
#include <zstd_errors.h>

#include <algorithm>
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
// What one LZMA, XZ or Zstandard decoder may hold (its dictionary or window):
// the largest any common tool writes (7-Zip's 1.5 GiB LZMA dictionary aside,
// whose entries are refused rather than let a hostile header take the memory).
constexpr std::uint64_t kDecoderMemory = std::uint64_t{1} << 30;
constexpr int kZstdWindowLogMax = 30;

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

// The buffers of a thread's in-memory decoding: compressed and plain data.
std::vector<unsigned char>& compBuffer() {
    thread_local std::vector<unsigned char> comp;
    return comp;
}

// Inflates `have` compressed bytes at `comp` in one piece.
DecodeResult inflateBuffer(const unsigned char* comp, std::size_t have, const EntryInfo& e, Output& out) {
    thread_local std::vector<unsigned char> plain;
    if (plain.size() < e.size) plain.resize(static_cast<std::size_t>(e.size));
    std::size_t used = 0, actual = 0;
    auto rc = libdeflate_deflate_decompress_ex(threadDecompressor(), comp, have, plain.data(),
                                               static_cast<std::size_t>(e.size), &used, &actual);
    if (rc == LIBDEFLATE_INSUFFICIENT_SPACE)
        return fail(Outcome::TooBig, "more data than the declared size (damaged or hostile archive)");
    if (rc != LIBDEFLATE_SUCCESS) return fail(Outcome::BadData, "invalid compressed data");
    if (!out.put(plain.data(), actual)) return out.problem;
    return out.finish();
}

DecodeResult inflateInMemory(zip_file_t* f, const EntryInfo& e, Output& out) {
    std::vector<unsigned char>& comp = compBuffer();
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
    DecodeResult r = inflateBuffer(comp.data(), have, e, out);
    if (comp.size() > kMemBound * 2) std::vector<unsigned char>().swap(comp);
    return r;
}

std::uint16_t le16(const unsigned char* p) { return static_cast<std::uint16_t>(p[0] | unsigned{p[1]} << 8); }

// A plain stored or deflated entry read straight from the archive: its
// local header, name, extra field and data mostly in one pread. False,
// having written nothing, when the local header is not a plain one that
// lies where the central directory says, or the data are not all there: libzip
// then reads the entry and says what is wrong.
bool decodeDirect(int fd, const EntryInfo& e, Sink& sink, RunLimits& limits, DecodeResult& result) {
    std::vector<unsigned char>& buf = compBuffer();
    // The header, then a guess at its name and extra field.
    constexpr std::size_t kHeader = 30, kGuess = 512;
    std::size_t want = kHeader + kGuess + static_cast<std::size_t>(e.compSize);
    if (buf.size() < want) buf.resize(want);
    const std::int64_t got = readUpTo(fd, e.localHeader, buf.data(), want);
    if (got < static_cast<std::int64_t>(kHeader) || std::memcmp(buf.data(), "PK\3\4", 4) != 0) return false;
    const unsigned flags = le16(buf.data() + 6);
    if (flags & 0x41) return false;  // encrypted after all
    const std::size_t start = kHeader + le16(buf.data() + 26) + le16(buf.data() + 28);
    const std::size_t end = start + static_cast<std::size_t>(e.compSize);
    if (end > static_cast<std::size_t>(got)) {
        if (got < static_cast<std::int64_t>(want)) return false;  // the file ends first
        if (buf.size() < end) buf.resize(end);
        const std::size_t rest = end - static_cast<std::size_t>(got);
        if (readUpTo(fd, e.localHeader + static_cast<std::uint64_t>(got), buf.data() + got, rest) !=
            static_cast<std::int64_t>(rest))
            return false;
    }
    Output out{e, sink, limits, 0, 0, DecodeResult{}, false};
    if (e.method == ZIP_CM_DEFLATE) {
        result = inflateBuffer(buf.data() + start, static_cast<std::size_t>(e.compSize), e, out);
    } else {
        result = out.put(buf.data() + start, static_cast<std::size_t>(e.compSize)) ? out.finish() : out.problem;
    }
    return true;
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

// Reads what is left of the entry after its stream ended, so that libzip
// reaches the end and runs its own checks (the AES authentication code).
DecodeResult drain(zip_file_t* f, const EntryInfo& e, std::vector<unsigned char>& buf) {
    for (;;) {
        zip_int64_t n = readSome(f, buf.data(), buf.size());
        if (n < 0) return readError(f, e);
        if (n == 0) return {};
    }
}

DecodeResult lzmaFailure(lzma_ret rc) {
    if (rc == LZMA_MEM_ERROR) return fail(Outcome::ReadError, "out of memory");
    if (rc == LZMA_MEMLIMIT_ERROR)
        return fail(Outcome::Unsupported, "the compressed data needs more memory than this program allows");
    if (rc == LZMA_OPTIONS_ERROR || rc == LZMA_UNSUPPORTED_CHECK)
        return fail(Outcome::Unsupported, "unsupported options in the compressed data");
    return fail(Outcome::BadData, "invalid compressed data");
}

// Feeds the entry to a liblzma decoder that is already set up; `pending`
// holds input taken before the decoder was (the LZMA header's tail).
DecodeResult pumpLzma(zip_file_t* f, const EntryInfo& e, Output& out, lzma_stream& ls,
                      std::vector<unsigned char>& in, std::size_t pendingAt, std::size_t pendingLen) {
    thread_local std::vector<unsigned char> outBuf(kChunk);
    ls.next_in = in.data() + pendingAt;
    ls.avail_in = pendingLen;
    bool eof = false;
    for (;;) {
        if (ls.avail_in == 0 && !eof) {
            zip_int64_t n = readSome(f, in.data(), in.size());
            if (n < 0) return readError(f, e);
            eof = n == 0;
            ls.next_in = in.data();
            ls.avail_in = static_cast<std::size_t>(n);
        }
        ls.next_out = outBuf.data();
        ls.avail_out = outBuf.size();
        lzma_ret rc = lzma_code(&ls, eof ? LZMA_FINISH : LZMA_RUN);
        if (!out.put(outBuf.data(), outBuf.size() - ls.avail_out)) return out.problem;
        if (rc == LZMA_STREAM_END) break;
        if (rc == LZMA_BUF_ERROR && eof) return fail(Outcome::BadData, "invalid compressed data (unexpected end)");
        if (rc != LZMA_OK) return lzmaFailure(rc);
    }
    if (!eof) {
        DecodeResult d = drain(f, e, in);
        if (d.outcome != Outcome::Ok) return d;
    }
    return out.finish();
}

struct LzmaEnd {
    lzma_stream* s;
    ~LzmaEnd() { lzma_end(s); }
};

// Zip's LZMA (method 14): a 4-byte header (LZMA SDK version, size of the
// properties), the 5-byte LZMA properties, then raw LZMA data, with or
// without an end marker (general-purpose bit 1 tells, but the size is known
// either way, so both are accepted).
DecodeResult unlzma(zip_file_t* f, const EntryInfo& e, Output& out) {
    std::vector<unsigned char> in(kChunk);
    std::size_t have = 0;
    while (have < 9) {
        zip_int64_t n = readSome(f, in.data() + have, in.size() - have);
        if (n < 0) return readError(f, e);
        if (n == 0) return fail(Outcome::BadData, "invalid compressed data (no LZMA header)");
        have += static_cast<std::size_t>(n);
    }
    const unsigned propsSize = in[2] | unsigned{in[3]} << 8;
    if (propsSize != 5) return fail(Outcome::BadData, "invalid compressed data (LZMA header)");
    lzma_filter filters[2] = {{LZMA_FILTER_LZMA1, nullptr}, {LZMA_VLI_UNKNOWN, nullptr}};
    if (lzma_properties_decode(&filters[0], nullptr, in.data() + 4, 5) != LZMA_OK)
        return fail(Outcome::BadData, "invalid compressed data (LZMA properties)");
    std::unique_ptr<lzma_options_lzma, void (*)(void*)> opt(static_cast<lzma_options_lzma*>(filters[0].options),
                                                             std::free);
    // The window never needs to be larger than the entry itself.
    const std::uint64_t dict = std::max<std::uint64_t>(LZMA_DICT_SIZE_MIN, std::min<std::uint64_t>(opt->dict_size, e.size));
    if (dict > kDecoderMemory)
        return fail(Outcome::Unsupported, "the compressed data needs more memory than this program allows");
    opt->dict_size = static_cast<std::uint32_t>(dict);
    filters[0].id = LZMA_FILTER_LZMA1EXT;
    opt->ext_flags = LZMA_LZMA1EXT_ALLOW_EOPM;
    lzma_set_ext_size(*opt, e.size);
    lzma_stream ls = LZMA_STREAM_INIT;
    lzma_ret rc = lzma_raw_decoder(&ls, filters);
    LzmaEnd end{&ls};
    if (rc != LZMA_OK) return lzmaFailure(rc);
    return pumpLzma(f, e, out, ls, in, 9, have - 9);
}

// Zip's XZ (method 95): a complete .xz stream, its own check included.
DecodeResult unxz(zip_file_t* f, const EntryInfo& e, Output& out) {
    std::vector<unsigned char> in(kChunk);
    lzma_stream ls = LZMA_STREAM_INIT;
    lzma_ret rc = lzma_stream_decoder(&ls, kDecoderMemory, LZMA_CONCATENATED);
    LzmaEnd end{&ls};
    if (rc != LZMA_OK) return lzmaFailure(rc);
    return pumpLzma(f, e, out, ls, in, 0, 0);
}

// Zip's Zstandard (method 93): one or more Zstandard frames.
DecodeResult unzstd(zip_file_t* f, const EntryInfo& e, Output& out) {
    struct Ctx {
        ZSTD_DCtx* d = ZSTD_createDCtx();
        ~Ctx() { ZSTD_freeDCtx(d); }
    };
    thread_local Ctx ctx;
    if (!ctx.d) return fail(Outcome::ReadError, "out of memory");
    ZSTD_DCtx_reset(ctx.d, ZSTD_reset_session_and_parameters);
    ZSTD_DCtx_setParameter(ctx.d, ZSTD_d_windowLogMax, kZstdWindowLogMax);
    thread_local std::vector<unsigned char> in(kChunk), outBuf(kChunk);
    bool frameDone = false;  // the last step that moved anything ended a frame
    bool any = false;
    for (;;) {
        zip_int64_t n = readSome(f, in.data(), in.size());
        if (n < 0) return readError(f, e);
        if (n == 0) break;
        any = true;
        ZSTD_inBuffer ib{in.data(), static_cast<std::size_t>(n), 0};
        // Until the input is used up and the decoder holds no more output.
        for (;;) {
            ZSTD_outBuffer ob{outBuf.data(), outBuf.size(), 0};
            const std::size_t before = ib.pos;
            const std::size_t rc = ZSTD_decompressStream(ctx.d, &ob, &ib);
            if (ZSTD_isError(rc)) {
                if (ZSTD_getErrorCode(rc) == ZSTD_error_frameParameter_windowTooLarge)
                    return fail(Outcome::Unsupported, "the compressed data needs more memory than this program allows");
                return fail(Outcome::BadData, "invalid compressed data");
            }
            if (ib.pos != before || ob.pos > 0) frameDone = rc == 0;
            if (!out.put(outBuf.data(), ob.pos)) return out.problem;
            if (ib.pos == ib.size && ob.pos < ob.size) break;
        }
    }
    if (!any || !frameDone) return fail(Outcome::BadData, "invalid compressed data (unexpected end)");
    return out.finish();
}

DecodeResult unDeflate64(zip_file_t* f, const EntryInfo& e, Output& out) {
    const Inflate64Read read = [&](unsigned char* buf, std::size_t n) -> long {
        return static_cast<long>(readSome(f, buf, n));
    };
    const Inflate64Write write = [&](const unsigned char* data, std::size_t n) { return out.put(data, n); };
    switch (inflate64(read, write)) {
    case Inflate64Status::Ok: break;
    case Inflate64Status::WriteStopped: return out.problem;
    case Inflate64Status::ReadFailed: return readError(f, e);
    case Inflate64Status::Truncated: return fail(Outcome::BadData, "invalid compressed data (unexpected end)");
    case Inflate64Status::BadData: return fail(Outcome::BadData, "invalid compressed data");
    }
    std::vector<unsigned char> rest(kChunk);
    DecodeResult d = drain(f, e, rest);
    if (d.outcome != Outcome::Ok) return d;
    return out.finish();
}

// Stored AES entries: libzip puts its CRC layer on stored data even when asked
// for the raw bytes, and that layer fails every AE-2 entry (which carries no
// CRC) with the same code as a failed authentication. So these entries are
// decrypted here from the raw bytes (WinZip AES: PBKDF2-HMAC-SHA1 keys,
// AES in counter mode with a little-endian counter, HMAC-SHA1 over the
// ciphertext, first 10 bytes stored after the data).
DecodeResult readStoredAes(zip_t* za, const EntryInfo& e, const std::string& password, Sink& sink, RunLimits& limits) {
    const std::size_t keyLen = e.encryption == ZIP_EM_AES_128 ? 16 : e.encryption == ZIP_EM_AES_192 ? 24 : 32;
    const std::size_t saltLen = keyLen / 2;
    const std::size_t overhead = saltLen + 2 + 10;
    if (e.compSize < overhead) return fail(Outcome::BadData, "encrypted entry too short");
    const std::uint64_t dataLen = e.compSize - overhead;
    ZipFilePtr f(zip_fopen_index(za, e.index, ZIP_FL_COMPRESSED | ZIP_FL_ENCRYPTED));
    if (!f) {
        std::string text = zip_strerror(za);
        zip_error_clear(za);
        return fail(Outcome::BadData, "cannot read the entry: " + text);
    }
    std::uint64_t got = 0;
    // Raw reads end in a CRC complaint from libzip's layer; only the bytes count.
    auto readRaw = [&](unsigned char* p, std::size_t n) -> std::size_t {
        std::size_t have = 0;
        while (have < n) {
            zip_int64_t r = zip_fread(f.get(), p + have, n - have);
            if (r <= 0) break;
            have += static_cast<std::size_t>(r);
        }
        got += have;
        return have;
    };
    unsigned char head[16 + 2];
    if (readRaw(head, saltLen + 2) != saltLen + 2) return fail(Outcome::BadData, "encrypted entry too short");
    unsigned char keys[32 * 2 + 2];
    if (PKCS5_PBKDF2_HMAC_SHA1(password.data(), static_cast<int>(password.size()), head, static_cast<int>(saltLen), 1000,
                               static_cast<int>(2 * keyLen + 2), keys) != 1)
        return fail(Outcome::ReadError, "key derivation failed");
    if (std::memcmp(keys + 2 * keyLen, head + saltLen, 2) != 0) return fail(Outcome::WrongPassword, "incorrect password");

    const EVP_CIPHER* cipher = keyLen == 16 ? EVP_aes_128_ecb() : keyLen == 24 ? EVP_aes_192_ecb() : EVP_aes_256_ecb();
    std::unique_ptr<EVP_CIPHER_CTX, void (*)(EVP_CIPHER_CTX*)> cctx(EVP_CIPHER_CTX_new(), EVP_CIPHER_CTX_free);
    std::unique_ptr<EVP_MAC, void (*)(EVP_MAC*)> mac(EVP_MAC_fetch(nullptr, "HMAC", nullptr), EVP_MAC_free);
    if (!cctx || !mac || EVP_EncryptInit_ex(cctx.get(), cipher, nullptr, keys, nullptr) != 1)
        return fail(Outcome::ReadError, "cannot set up decryption");
    EVP_CIPHER_CTX_set_padding(cctx.get(), 0);
    std::unique_ptr<EVP_MAC_CTX, void (*)(EVP_MAC_CTX*)> mctx(EVP_MAC_CTX_new(mac.get()), EVP_MAC_CTX_free);
    char digest[] = "SHA1";
    OSSL_PARAM params[] = {OSSL_PARAM_construct_utf8_string("digest", digest, 0), OSSL_PARAM_construct_end()};
    if (!mctx || EVP_MAC_init(mctx.get(), keys + keyLen, keyLen, params) != 1)
        return fail(Outcome::ReadError, "cannot set up authentication");

    Output out{e, sink, limits, 0, 0, DecodeResult{}, false};
    thread_local std::vector<unsigned char> in(kChunk), stream(kChunk + 16), counters(kChunk + 16);
    unsigned char counter[16] = {0};
    std::uint64_t left = dataLen;
    while (left > 0) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(left, kChunk));
        if (readRaw(in.data(), n) != n) return fail(Outcome::BadData, "the encrypted data is cut short");
        EVP_MAC_update(mctx.get(), in.data(), n);
        const std::size_t blocks = (n + 15) / 16;  // kChunk is a multiple of 16, so blocks never straddle reads
        for (std::size_t b = 0; b < blocks; ++b) {
            for (int k = 0; k < 16 && ++counter[k] == 0; ++k) {
            }
            std::memcpy(counters.data() + b * 16, counter, 16);
        }
        int outLen = 0;
        if (EVP_EncryptUpdate(cctx.get(), stream.data(), &outLen, counters.data(), static_cast<int>(blocks * 16)) != 1)
            return fail(Outcome::ReadError, "decryption failed");
        for (std::size_t i = 0; i < n; ++i) in[i] ^= stream[i];
        if (!out.put(in.data(), n)) return out.problem;
        left -= n;
    }
    unsigned char stored[10];
    if (readRaw(stored, 10) != 10) return fail(Outcome::BadData, "the authentication code is missing");
    unsigned char full[EVP_MAX_MD_SIZE];
    std::size_t fullLen = 0;
    if (EVP_MAC_final(mctx.get(), full, &fullLen, sizeof full) != 1 || fullLen < 10 ||
        CRYPTO_memcmp(full, stored, 10) != 0)
        return fail(Outcome::BadData, "authentication failed: damaged data");
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

DecodeResult decodeEntry(ArchiveAccess& archive, const EntryInfo& e, const std::string* password, Sink& sink,
                         RunLimits& limits, int archiveFd) {
    if (archiveFd >= 0 && e.localHeader != EntryInfo::kNoLocalHeader && e.encryption == ZIP_EM_NONE &&
        (e.method == ZIP_CM_STORE || e.method == ZIP_CM_DEFLATE) && e.size <= kMemBound && e.compSize <= kMemBound) {
        DecodeResult r;
        if (decodeDirect(archiveFd, e, sink, limits, r)) return r;
    }
    const bool ours = e.method == ZIP_CM_STORE || e.method == ZIP_CM_DEFLATE || e.method == ZIP_CM_BZIP2 ||
                      e.method == ZIP_CM_DEFLATE64 || e.method == ZIP_CM_LZMA || e.method == ZIP_CM_XZ ||
                      e.method == kMethodZstd;
    if (!ours && !zip_compression_method_supported(e.method, 0))
        return fail(Outcome::Unsupported, std::string("unsupported compression method ") + methodName(e.method) + " (" +
                                              std::to_string(e.method) + ")");
    if (e.encryption != ZIP_EM_NONE && !zip_encryption_method_supported(e.encryption, 0))
        return fail(Outcome::Unsupported, "unsupported encryption method");
    if (e.encryption != ZIP_EM_NONE && !password) return fail(Outcome::NeedPassword, "password needed");
    std::string openFailure;
    zip_t* za = archive.zip(openFailure);
    if (!za) return fail(Outcome::ReadError, openFailure);
    const bool aes = e.encryption != ZIP_EM_NONE && e.encryption != ZIP_EM_TRAD_PKWARE;
    if (aes && e.method == ZIP_CM_STORE && e.size > 0) return readStoredAes(za, e, *password, sink, limits);
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
    if (e.method == ZIP_CM_LZMA) return unlzma(f.get(), e, out);
    if (e.method == ZIP_CM_XZ) return unxz(f.get(), e, out);
    if (e.method == kMethodZstd) return unzstd(f.get(), e, out);
    if (e.method == ZIP_CM_DEFLATE64) return unDeflate64(f.get(), e, out);
    return copyStored(f.get(), e, out);  // stored, or decompressed by libzip
}

bool FileSink::put(const void* data, std::size_t size) {
    if (!writeAll(fd_, data, size)) return false;
    written_ += size;
    return true;
}

bool FileSink::write(const unsigned char* data, std::size_t size) {
    if (!convert_) return put(data, size);
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
    if (!text_) return put(data, size);
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
    return put(buf_.data(), buf_.size());
}

bool FileSink::finish() {
    if (pendingCr_) {
        pendingCr_ = false;
        return put("\n", 1);
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
