// Reading one entry: decryption by libzip, decompression here (libdeflate in
// memory for entries that fit the bound, zlib/bzip2 streaming above it), our
// own CRC check, and a hard stop at the entry's declared size.
#pragma once

#include <zip.h>

#include <atomic>
#include <cstdint>
#include <string>

namespace uz {

// Zstandard's method number; this libzip has no name for it.
constexpr std::uint16_t kMethodZstd = 93;

struct EntryInfo {
    zip_uint64_t index = 0;
    std::uint64_t size = 0;       // declared uncompressed size
    std::uint64_t compSize = 0;
    std::uint16_t method = 0;
    std::uint16_t encryption = 0; // ZIP_EM_*
    std::uint32_t crc = 0;
    bool checkCrc = true;         // false for AES entries that carry no CRC
    // Where the entry's local header starts in the archive file, for entries
    // read without libzip (plain stored or deflated ones); kNoLocalHeader
    // for the others.
    std::uint64_t localHeader = kNoLocalHeader;
    static constexpr std::uint64_t kNoLocalHeader = ~std::uint64_t{0};
};

enum class Outcome { Ok, NeedPassword, WrongPassword, BadData, Unsupported, TooBig, WriteError, ReadError, Cancelled, Refused };

struct DecodeResult {
    Outcome outcome = Outcome::Ok;
    std::string reason;
    int err = 0;  // errno of a write error
};

class Sink {
public:
    virtual ~Sink() = default;
    // False on failure, with errno set.
    virtual bool write(const unsigned char* data, std::size_t size) = 0;
    virtual bool finish() { return true; }
};

// Shared limits of a run.
struct RunLimits {
    std::atomic<bool> cancel{false};
    std::atomic<std::uint64_t> totalOut{0};
    std::uint64_t totalLimit = 0;  // 0: no limit
};

const char* methodName(std::uint16_t method);

// The archive as libzip reads it, for the entries that go through libzip;
// a worker opens it only when it first needs it.
class ArchiveAccess {
public:
    virtual ~ArchiveAccess() = default;
    // nullptr, with `reason` set, when it does not open.
    virtual zip_t* zip(std::string& reason) = 0;
};

// An archive libzip already has open.
class OpenZip : public ArchiveAccess {
public:
    explicit OpenZip(zip_t* za) : za_(za) {}
    zip_t* zip(std::string&) override { return za_; }

private:
    zip_t* za_;
};

// `archiveFd`, when not -1, is a descriptor open on the archive file: an
// entry whose local header is known is then read from it with pread, and
// goes through libzip only when its local header or data are not as the
// central directory has them (so that libzip reports what is wrong).
DecodeResult decodeEntry(ArchiveAccess& archive, const EntryInfo& e, const std::string* password, Sink& sink, RunLimits& limits,
                         int archiveFd = -1);

// Writes to a file, optionally turning CR-LF and lone CR into LF for text.
class FileSink : public Sink {
public:
    FileSink(int fd, bool convertLineEnds) : fd_(fd), convert_(convertLineEnds) {}
    bool write(const unsigned char* data, std::size_t size) override;
    bool finish() override;
    // The bytes the file got.
    std::uint64_t written() const { return written_; }

private:
    bool put(const void* data, std::size_t size);
    int fd_;
    bool convert_;
    std::uint64_t written_ = 0;
    bool decided_ = false;
    bool text_ = false;
    bool pendingCr_ = false;
    std::string buf_;
};

class NullSink : public Sink {
public:
    bool write(const unsigned char*, std::size_t) override { return true; }
};

class StringSink : public Sink {
public:
    explicit StringSink(std::size_t limit) : limit_(limit) {}
    bool write(const unsigned char* data, std::size_t size) override;
    std::string text;

private:
    std::size_t limit_;
};

}  // namespace uz
