#include "UzArchive.h"

#include "UzNames.h"
#include "platform/Utf8.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

namespace uz {

std::int64_t readUpTo(int fd, std::uint64_t at, unsigned char* buf, std::size_t n) {
    std::size_t have = 0;
    while (have < n) {
        const ssize_t r = ::pread(fd, buf + have, n - have, static_cast<off_t>(at + have));
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) return -1;
        if (r == 0) break;
        have += static_cast<std::size_t>(r);
    }
    return static_cast<std::int64_t>(have);
}

namespace {

std::uint32_t le32(const unsigned char* p) {
    return p[0] | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[3]} << 24;
}
std::uint64_t le64(const unsigned char* p) { return le32(p) | std::uint64_t{le32(p + 4)} << 32; }

bool readAt(int fd, std::uint64_t at, unsigned char* buf, std::size_t n) {
    return readUpTo(fd, at, buf, n) == static_cast<std::int64_t>(n);
}

bool signatureAt(int fd, std::uint64_t at, const char* sig) {
    unsigned char b[4];
    return readAt(fd, at, b, 4) && std::memcmp(b, sig, 4) == 0;
}

void describe(int code, const std::string& path, OpenFailure& why) {
    zip_error_t err;
    zip_error_init_with_code(&err, code);
    if (zip_error_system_type(&err) == ZIP_ET_SYS) why.sysError = zip_error_code_system(&err);
    if (code == ZIP_ER_NOENT) {
        why.reason = "cannot find " + path;
        why.brief = "cannot find the archive";
        why.kind = BRIX_NOT_FOUND;
        why.sysError = ENOENT;
    } else if (code == ZIP_ER_NOZIP || code == ZIP_ER_INCONS) {
        why.reason = path + " is not a zip archive (or it is truncated)";
        why.brief = "not a zip archive (or it is truncated)";
        why.kind = BRIX_DAMAGED;
    } else {
        why.reason = "cannot open " + path + ": " + zip_error_strerror(&err);
        why.brief = zip_error_strerror(&err);
    }
    zip_error_fini(&err);
}

// Where the archive's central directory lies, read from its end records.
struct Layout {
    std::uint64_t prefix = 0;    // bytes in front that the offsets do not count
    std::uint64_t cdOffset = 0;  // as the end record says (add prefix for the file position)
    std::uint64_t cdSize = 0;
    std::uint64_t entries = 0;
    // For readPlainDirectory: nothing in the end records that libzip would
    // weigh (one end record in the tail, one disk, the comment reaching the
    // file's end, zip64 values matching the classic ones).
    bool plain = false;
    std::uint16_t commentLength = 0;
};

bool readLayout(int fd, std::uint64_t size, Layout& out) {
    if (size < 22) return false;
    // The end record sits in the last 22 bytes plus at most a 65,535-byte comment.
    const std::uint64_t tailLen = std::min<std::uint64_t>(size, 22 + 65535);
    std::vector<unsigned char> tail(tailLen);
    if (!readAt(fd, size - tailLen, tail.data(), tail.size())) return false;
    for (std::size_t i = tail.size() - 22 + 1; i-- > 0;) {
        const unsigned char* e = tail.data() + i;
        if (std::memcmp(e, "PK\5\6", 4) != 0) continue;
        const std::uint64_t eocd = size - tailLen + i;
        Layout l;
        l.entries = e[10] | unsigned{e[11]} << 8;
        l.cdSize = le32(e + 12);
        l.cdOffset = le32(e + 16);
        std::uint64_t cdEnd = eocd;  // where the central directory really ends
        // A zip64 archive: its locator stands just before the end record, and
        // its own end record (without extensible data) just before that.
        unsigned char loc[20];
        if (eocd >= 20 + 56 && readAt(fd, eocd - 20, loc, sizeof loc) && std::memcmp(loc, "PK\6\7", 4) == 0) {
            const std::uint64_t actual = eocd - 20 - 56;
            unsigned char rec[56];
            if (!readAt(fd, actual, rec, sizeof rec) || std::memcmp(rec, "PK\6\6", 4) != 0 || le64(loc + 8) > actual)
                return false;
            l.entries = le64(rec + 32);
            l.cdSize = le64(rec + 40);
            l.cdOffset = le64(rec + 48);
            cdEnd = actual;
        }
        if (l.cdOffset + l.cdSize > cdEnd) return false;
        l.prefix = cdEnd - (l.cdOffset + l.cdSize);
        if (l.prefix > 0 && l.cdSize > 0 && !signatureAt(fd, l.cdOffset + l.prefix, "PK\1\2")) l.prefix = 0;
        l.commentLength = static_cast<std::uint16_t>(e[20] | unsigned{e[21]} << 8);
        const std::uint16_t count16 = static_cast<std::uint16_t>(e[8] | unsigned{e[9]} << 8);
        const std::uint16_t total16 = static_cast<std::uint16_t>(e[10] | unsigned{e[11]} << 8);
        const bool oneDisk = e[4] == 0 && e[5] == 0 && e[6] == 0 && e[7] == 0 && count16 == total16;
        const bool zip64 = cdEnd != eocd;
        auto agrees = [](std::uint64_t classic, std::uint64_t full, std::uint64_t allOnes) {
            return classic == allOnes || classic == full;
        };
        bool plain = oneDisk && l.prefix == 0 && eocd + 22 + l.commentLength == size;
        if (zip64) {
            unsigned char rec[56];
            plain = plain && readAt(fd, cdEnd, rec, sizeof rec) && le32(rec + 16) == 0 && le32(rec + 20) == 0 &&
                    le64(rec + 24) == le64(rec + 32) && le64(rec + 4) == 44 && agrees(total16, l.entries, 0xFFFF) &&
                    agrees(le32(e + 12), l.cdSize, 0xFFFFFFFFu) && agrees(le32(e + 16), l.cdOffset, 0xFFFFFFFFu);
        }
        // A second end signature in the tail (inside the comment, say) leaves
        // libzip a choice to make; a comment beyond printable ASCII, a
        // conversion (its length is the converted text's).
        for (std::size_t k = 0; plain && k + 4 <= tail.size(); ++k)
            if (k != i && std::memcmp(tail.data() + k, "PK\5\6", 4) == 0) plain = false;
        for (std::size_t k = i + 22; plain && k < tail.size(); ++k)
            if (tail[k] < 0x20 || tail[k] > 0x7E) plain = false;
        l.plain = plain;
        out = l;
        return true;
    }
    return false;
}

// A byte of the file shown changed.
struct Patch {
    std::uint64_t at;
    unsigned char value;
};

// Names flagged as UTF-8 that are not: libzip refuses the whole archive for
// one of them. Clearing the flag in both of the entry's headers lets it be
// read, its name as code page 437 like any unflagged one.
std::vector<Patch> falseUtf8Flags(int fd, const Layout& l) {
    std::vector<Patch> patches;
    if (l.cdSize > (std::uint64_t{1} << 32)) return patches;
    std::vector<unsigned char> cd(static_cast<std::size_t>(l.cdSize));
    if (!readAt(fd, l.cdOffset + l.prefix, cd.data(), cd.size())) return patches;
    for (std::size_t at = 0; at + 46 <= cd.size() && std::memcmp(&cd[at], "PK\1\2", 4) == 0;) {
        const unsigned char* h = &cd[at];
        const unsigned flags = h[8] | unsigned{h[9]} << 8;
        const std::size_t nameLen = h[28] | std::size_t{h[29]} << 8;
        const std::size_t extraLen = h[30] | std::size_t{h[31]} << 8;
        const std::size_t commentLen = h[32] | std::size_t{h[33]} << 8;
        if (at + 46 + nameLen + extraLen > cd.size()) break;
        const std::string name(reinterpret_cast<const char*>(h + 46), nameLen);
        if ((flags & 0x800) && !pw::utf8::isValid(name)) {
            std::uint64_t local = le32(h + 42);
            if (local == 0xFFFFFFFFu) {
                // The zip64 field holds, in order, only the values whose
                // classic field is all ones.
                const unsigned char* x = h + 46 + nameLen;
                const unsigned char* xe = x + extraLen;
                while (x + 4 <= xe) {
                    const unsigned tag = x[0] | unsigned{x[1]} << 8, len = x[2] | unsigned{x[3]} << 8;
                    if (tag == 1) {
                        std::size_t skip = (le32(h + 24) == 0xFFFFFFFFu ? 8 : 0) + (le32(h + 20) == 0xFFFFFFFFu ? 8 : 0);
                        if (skip + 8 <= len && x + 4 + skip + 8 <= xe) local = le64(x + 4 + skip);
                        break;
                    }
                    x += 4 + len;
                }
            }
            const unsigned char cleared = static_cast<unsigned char>(h[9] & ~0x08);
            patches.push_back({l.cdOffset + l.prefix + at + 9, cleared});
            unsigned char lh[8];
            if (readAt(fd, local + l.prefix, lh, sizeof lh) && std::memcmp(lh, "PK\3\4", 4) == 0)
                patches.push_back({local + l.prefix + 7, static_cast<unsigned char>(lh[7] & ~0x08)});
        }
        at += 46 + nameLen + extraLen + commentLen;
    }
    return patches;
}

// The part of a file after its prefix, with some bytes changed: what libzip
// reads when the file itself would not do.
struct AdjustedFile {
    int fd = -1;
    std::uint64_t start = 0, length = 0, pos = 0;
    std::vector<Patch> patches;
    zip_error_t error;
};

zip_int64_t adjustedFileCallback(void* state, void* data, zip_uint64_t len, zip_source_cmd_t cmd) {
    auto* f = static_cast<AdjustedFile*>(state);
    switch (cmd) {
    case ZIP_SOURCE_OPEN: f->pos = 0; return 0;
    case ZIP_SOURCE_READ: {
        const std::uint64_t n = std::min<std::uint64_t>(len, f->length - std::min(f->pos, f->length));
        auto* out = static_cast<unsigned char*>(data);
        if (n && !readAt(f->fd, f->start + f->pos, out, static_cast<std::size_t>(n))) {
            zip_error_set(&f->error, ZIP_ER_READ, errno);
            return -1;
        }
        for (const Patch& p : f->patches)
            if (p.at >= f->start + f->pos && p.at < f->start + f->pos + n) out[p.at - f->start - f->pos] = p.value;
        f->pos += n;
        return static_cast<zip_int64_t>(n);
    }
    case ZIP_SOURCE_CLOSE: return 0;
    case ZIP_SOURCE_STAT: {
        auto* st = static_cast<zip_stat_t*>(data);
        zip_stat_init(st);
        st->size = f->length;
        st->valid |= ZIP_STAT_SIZE;
        return sizeof(zip_stat_t);
    }
    case ZIP_SOURCE_ERROR: return zip_error_to_data(&f->error, data, len);
    case ZIP_SOURCE_SEEK: {
        zip_int64_t to = zip_source_seek_compute_offset(f->pos, f->length, data, len, &f->error);
        if (to < 0) return -1;
        f->pos = static_cast<std::uint64_t>(to);
        return 0;
    }
    case ZIP_SOURCE_TELL: return static_cast<zip_int64_t>(f->pos);
    case ZIP_SOURCE_FREE:
        ::close(f->fd);
        zip_error_fini(&f->error);
        delete f;
        return 0;
    case ZIP_SOURCE_SUPPORTS:
        return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT,
                                              ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, ZIP_SOURCE_SEEK, ZIP_SOURCE_TELL,
                                              ZIP_SOURCE_SUPPORTS, -1);
    default: zip_error_set(&f->error, ZIP_ER_OPNOTSUPP, 0); return -1;
    }
}

// The archive as libzip could not open it by itself: after its prefix, with
// false UTF-8 flags cleared. nullptr when neither applies.
zip_t* openAdjusted(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat st;
    Layout l;
    if (::fstat(fd, &st) != 0 || !readLayout(fd, static_cast<std::uint64_t>(st.st_size), l)) {
        ::close(fd);
        return nullptr;
    }
    std::vector<Patch> patches = falseUtf8Flags(fd, l);
    if (l.prefix == 0 && patches.empty()) {
        ::close(fd);
        return nullptr;
    }
    auto* f = new AdjustedFile;
    f->fd = fd;
    f->start = l.prefix;
    f->length = static_cast<std::uint64_t>(st.st_size) - l.prefix;
    f->patches = std::move(patches);
    zip_error_init(&f->error);
    zip_error_t err;
    zip_error_init(&err);
    zip_source_t* src = zip_source_function_create(adjustedFileCallback, f, &err);
    if (!src) {
        adjustedFileCallback(f, nullptr, 0, ZIP_SOURCE_FREE);
        zip_error_fini(&err);
        return nullptr;
    }
    zip_t* za = zip_open_from_source(src, ZIP_RDONLY, &err);
    if (!za) zip_source_free(src);
    zip_error_fini(&err);
    return za;
}

// The central directory in blocks, each record whole in the buffer.
class DirectoryBlocks {
public:
    DirectoryBlocks(int fd, std::uint64_t start, std::uint64_t size) : fd_(fd), pos_(start), end_(start + size) {}
    // `n` bytes at the cursor; nullptr past the directory's end or on a read error.
    const unsigned char* need(std::size_t n) {
        if (at_ + n <= have_) return buf_.data() + at_;
        if (n > buf_.size()) return nullptr;
        std::memmove(buf_.data(), buf_.data() + at_, have_ - at_);
        have_ -= at_;
        at_ = 0;
        const std::uint64_t want = std::min<std::uint64_t>(buf_.size() - have_, end_ - pos_);
        if (want && !readAt(fd_, pos_, buf_.data() + have_, static_cast<std::size_t>(want))) return nullptr;
        pos_ += want;
        have_ += static_cast<std::size_t>(want);
        return n <= have_ ? buf_.data() : nullptr;
    }
    void skip(std::size_t n) { at_ += n; }
    bool atEnd() const { return at_ == have_ && pos_ == end_; }

private:
    int fd_;
    std::uint64_t pos_, end_;
    // Larger than any record: 46 bytes and three fields of up to 65,535.
    std::vector<unsigned char> buf_ = std::vector<unsigned char>(1 << 18);
    std::size_t at_ = 0, have_ = 0;
};

bool printableAscii(std::string_view s) {
    for (unsigned char c : s)
        if (c < 0x20 || c > 0x7E) return false;
    return true;
}

// One central record at `h` (`avail` bytes there): false when libzip would
// weigh any of it. `length` is the record's length.
bool plainRecord(const unsigned char* h, std::size_t avail, std::uint64_t cdOffset, CentralEntry& out,
                 std::size_t& length) {
    if (avail < 46 || std::memcmp(h, "PK\1\2", 4) != 0) return false;
    const unsigned flags = h[8] | unsigned{h[9]} << 8;
    const std::size_t nameLen = h[28] | std::size_t{h[29]} << 8;
    const std::size_t extraLen = h[30] | std::size_t{h[31]} << 8;
    const std::size_t commentLen = h[32] | std::size_t{h[33]} << 8;
    length = 46 + nameLen + extraLen + commentLen;
    if (length > avail || nameLen == 0) return false;
    out.method = static_cast<std::uint16_t>(h[10] | unsigned{h[11]} << 8);
    // Strong encryption and AES (method 99) carry what libzip interprets.
    if ((flags & 0x40) || out.method == 99) return false;
    out.encrypted = (flags & 1) != 0;
    out.dosTime = static_cast<std::uint16_t>(h[12] | unsigned{h[13]} << 8);
    out.dosDate = static_cast<std::uint16_t>(h[14] | unsigned{h[15]} << 8);
    out.crc = le32(h + 16);
    out.madeBy = static_cast<std::uint16_t>(h[4] | unsigned{h[5]} << 8);
    out.attributes = le32(h + 38);
    out.compSize = le32(h + 20);
    out.size = le32(h + 24);
    std::uint64_t offset = le32(h + 42);
    const unsigned disk = h[34] | unsigned{h[35]} << 8;
    out.name = std::string_view(reinterpret_cast<const char*>(h + 46), nameLen);
    const bool utf8 = (flags & 0x800) != 0;
    // libzip hands names on as C text, ending at a NUL: such a name is left
    // to libzip.
    if (utf8 ? !pw::utf8::isValid(out.name) || out.name.find('\0') != std::string_view::npos
             : !printableAscii(out.name))
        return false;
    if (utf8 && commentLen &&
        !pw::utf8::isValid(std::string_view(reinterpret_cast<const char*>(h + 46 + nameLen + extraLen), commentLen)))
        return false;
    const bool needSize = out.size == 0xFFFFFFFFu, needComp = out.compSize == 0xFFFFFFFFu;
    const bool needOffset = offset == 0xFFFFFFFFu, needDisk = disk == 0xFFFF;
    bool zip64Read = false;
    const unsigned char* x = h + 46 + nameLen;
    const unsigned char* xe = x + extraLen;
    while (x < xe) {
        if (xe - x < 4) return false;
        const unsigned tag = x[0] | unsigned{x[1]} << 8;
        const std::size_t len = x[2] | std::size_t{x[3]} << 8;
        if (static_cast<std::size_t>(xe - x - 4) < len) return false;
        if (tag == 0x7075 || tag == 0x6375) return false;  // Unicode path or comment
        if (tag == 1 && !zip64Read) {
            zip64Read = true;
            const unsigned char* v = x + 4;
            const unsigned char* ve = v + len;
            auto take = [&](bool wanted, std::uint64_t& into, std::size_t width) {
                if (!wanted) return true;
                if (static_cast<std::size_t>(ve - v) < width) return false;
                into = width == 8 ? le64(v) : le32(v);
                v += width;
                return true;
            };
            std::uint64_t diskValue = disk;
            if (!take(needSize, out.size, 8) || !take(needComp, out.compSize, 8) || !take(needOffset, offset, 8) ||
                !take(needDisk, diskValue, 4) || diskValue != 0)
                return false;
        }
        x += 4 + len;
    }
    if ((needSize || needComp || needOffset || needDisk) && !zip64Read) return false;
    if (!needDisk && disk != 0) return false;
    out.localHeader = offset;
    return offset + 30 <= cdOffset;
}

}  // namespace

DirectoryRead readPlainDirectory(const std::string& path, const std::function<void(const CentralEntry&)>& each,
                                 std::uint64_t& entries, std::uint16_t& commentLength) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return DirectoryRead::NotPlain;
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    return readPlainDirectory(fd, each, entries, commentLength);
}

DirectoryRead readPlainDirectory(int fd, const std::function<void(const CentralEntry&)>& each,
                                 std::uint64_t& entries, std::uint16_t& commentLength) {
    struct stat st;
    Layout l;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || !readLayout(fd, static_cast<std::uint64_t>(st.st_size), l) ||
        !l.plain)
        return DirectoryRead::NotPlain;
    // Checked whole first, so that nothing is given from an archive that
    // then has to be read the other way.
    for (int pass = 0; pass < 2; ++pass) {
        // Known to be right once the first pass is through: readers may size
        // their tables by it while the entries come.
        if (pass == 1) entries = l.entries;
        DirectoryBlocks blocks(fd, l.cdOffset, l.cdSize);
        CentralEntry e;
        for (std::uint64_t k = 0; k < l.entries; ++k) {
            const unsigned char* h = blocks.need(46);
            std::size_t length = 0;
            if (h) {
                const std::size_t whole =
                    46 + (h[28] | std::size_t{h[29]} << 8) + (h[30] | std::size_t{h[31]} << 8) + (h[32] | std::size_t{h[33]} << 8);
                h = blocks.need(whole);
                if (h && !plainRecord(h, whole, l.cdOffset, e, length)) h = nullptr;
            }
            if (!h) return pass == 0 ? DirectoryRead::NotPlain : DirectoryRead::Damaged;
            if (pass == 1) each(e);
            blocks.skip(length);
        }
        if (!blocks.atEnd()) return pass == 0 ? DirectoryRead::NotPlain : DirectoryRead::Damaged;
    }
    commentLength = l.commentLength;
    return DirectoryRead::Read;
}

zip_t* openArchive(const std::string& path, OpenFailure& why) {
    int code = 0;
    if (zip_t* za = zip_open(path.c_str(), ZIP_RDONLY, &code)) return za;
    if (code == ZIP_ER_NOZIP || code == ZIP_ER_INCONS)
        if (zip_t* za = openAdjusted(path)) return za;
    describe(code, path, why);
    return nullptr;
}

std::string entryName(zip_t* za, zip_uint64_t index) {
    const char* name = zip_get_name(za, index, ZIP_FL_ENC_STRICT);
    if (!name) return {};
    std::string text(name);
    if (pw::utf8::isValid(text)) return text;
    const char* raw = zip_get_name(za, index, ZIP_FL_ENC_RAW);
    return cp437ToUtf8(raw ? raw : "");
}

}  // namespace uz
