#include "span/ModSpan.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <memory>
#include <random>

#include "errors/Error.h"
#include "platform/FileCheck.h"
#include "platform/Platform.h"
#include "platform/Text.h"

namespace ModSpan {

namespace {

const std::string kSource = pw::errorSource("ModSpan");
constexpr std::int64_t kHeaderSize = 8;
constexpr std::int32_t kMaxChunkSize = 2097151;  // chunkSize x 1,024 must fit in 32 bits
// The copy buffer when the kernel cannot copy between the two files itself,
// or should not (see copyData): fixed, whatever the piece size, and small
// enough to stay in the processor's cache between its two copies.
constexpr std::size_t kBufferSize = 256u << 10;
constexpr std::size_t kPage = 4096;
// Shorter runs go to the kernel whatever their offsets.
constexpr std::int64_t kShiftedCopyMin = 64 * 1024;

class Fd {
public:
    Fd() = default;
    Fd(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
    Fd(Fd&& o) noexcept : fd_(o.fd_), path_(std::move(o.path_)) { o.fd_ = -1; }
    Fd& operator=(Fd&& o) noexcept {
        if (this != &o) {
            reset();
            fd_ = o.fd_;
            path_ = std::move(o.path_);
            o.fd_ = -1;
        }
        return *this;
    }
    ~Fd() { reset(); }
    int get() const { return fd_; }
    const std::string& path() const { return path_; }
    // Closes and reports a failure that only shows at close (a full disk on
    // some file systems).
    void close() {
        int fd = fd_;
        fd_ = -1;
        if (fd >= 0 && ::close(fd) != 0 && errno != EINTR) throw pw::fileError(errno, path_, kSource);
    }

private:
    void reset() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }
    int fd_ = -1;
    std::string path_;
};

// Opens a file to read and gives its status as found at opening (the one
// fstat a piece needs: the folder check, the size and the copier's hint).
// Never blocks: a FIFO or device (which a plain open would wait on) is
// refused, as a folder is.
Fd openForReading(const std::string& path, struct stat& st) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) throw pw::fileError(errno, path, kSource);
    Fd f(fd, path);
    if (::fstat(fd, &st) != 0) throw pw::fileError(errno, path, kSource);
    if (S_ISDIR(st.st_mode)) throw pw::fileError(EISDIR, path, kSource);
    if (!S_ISREG(st.st_mode))
        throw pw::Error(pw::kPathFileAccess, kSource, "Path/File access error (" + path + " is not a regular file)");
    return f;
}

Fd createAnew(const std::string& path) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) throw pw::fileError(errno, path, kSource);
    return Fd(fd, path);
}

struct stat statusOf(const Fd& f) {
    struct stat st{};
    if (::fstat(f.get(), &st) != 0) throw pw::fileError(errno, f.path(), kSource);
    return st;
}

bool isFile(const std::string& path, struct stat* out = nullptr) {
    struct stat st{};
    if (::stat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
    if (out) *out = st;
    return true;
}

void writeAll(const Fd& out, const char* data, std::size_t len, off_t offset) {
    while (len > 0) {
        ssize_t w = ::pwrite(out.get(), data, len, offset);
        if (w < 0) {
            if (errno == EINTR) continue;
            throw pw::fileError(errno, out.path(), kSource);
        }
        data += w;
        len -= static_cast<std::size_t>(w);
        offset += w;
    }
}

// Copies up to `len` bytes between two files at the given offsets. Holes of
// the source stay holes (the output is a new file, so they read as zeros
// there too). Lets the kernel copy the data (no user-space buffer at all) and
// falls back to one fixed buffer where it cannot. Returns the bytes copied:
// fewer than `len` only at the source's end. `inStat` is the source's status
// taken just before; the end of the source is its size.
//
// Joining many small pieces is bound by the calls made per piece, so a piece
// costs one copy_file_range: holes are only looked for (two lseek calls per
// data run) when the source has fewer blocks than its size needs, and the
// output's length is only checked when a hole ends the range.
class Copier {
public:
    std::int64_t copy(const Fd& in, const struct stat& inStat, off_t inOff, const Fd& out, off_t outOff,
                      std::int64_t len) {
        const std::int64_t avail = std::max<std::int64_t>(0, std::min<std::int64_t>(len, inStat.st_size - inOff));
        const off_t end = inOff + avail;
        const bool mayHaveHoles = holesKnown_ && static_cast<std::int64_t>(inStat.st_blocks) * 512 < inStat.st_size;
        off_t pos = inOff;
        bool endsInHole = false;
        while (pos < end) {
            off_t dataStart = pos, dataEnd = end;
            if (mayHaveHoles && holesKnown_) {
                off_t d = ::lseek(in.get(), pos, SEEK_DATA);
                if (d < 0 && errno == ENXIO) {
                    d = end;  // nothing but a hole up to the end
                } else if (d < 0) {
                    holesKnown_ = false;
                    d = pos;
                }
                dataStart = std::min(d, end);
                if (dataStart < end) {
                    off_t h = ::lseek(in.get(), dataStart, SEEK_HOLE);
                    if (h > dataStart) dataEnd = std::min(h, end);
                }
            }
            if (dataStart >= end) {
                endsInHole = true;
                break;
            }
            const std::int64_t want = dataEnd - dataStart;
            const std::int64_t got = copyData(in, dataStart, out, outOff + (dataStart - inOff), want);
            if (got < want) return dataStart - inOff + got;  // the source became shorter
            pos = dataEnd;
        }
        // A hole at the end: the output still reaches its full length.
        if (endsInHole && avail > 0 && statusOf(out).st_size < outOff + avail &&
            ::ftruncate(out.get(), outOff + avail) != 0)
            throw pw::fileError(errno, out.path(), kSource);
        return avail;
    }

private:
    // The kernel copies page cache to page cache at the two files' own
    // offsets. When those differ within a page (the first piece's header
    // shifts every byte behind it by 8), each load follows a store a few
    // bytes ahead of it at the same offset in a page, and the processor
    // takes the load for dependent on the store (4K aliasing): the copy runs
    // at half speed. The buffer copy below places its buffer to avoid that.
    std::int64_t copyData(const Fd& in, off_t inOff, const Fd& out, off_t outOff, std::int64_t len) {
        std::int64_t done = 0;
        const bool shifted = (outOff - inOff) % static_cast<off_t>(kPage) != 0;
        if (shifted && len >= kShiftedCopyMin) return plainCopy(in, inOff, out, outOff, len);
        while (done < len && kernelCopy_) {
            std::size_t want = static_cast<std::size_t>(std::min<std::int64_t>(len - done, 1ll << 30));
            loff_t io = inOff, oo = outOff;
            ssize_t n = ::copy_file_range(in.get(), &io, out.get(), &oo, want, 0);
            if (n < 0) {
                if (errno == EINTR) continue;
                if (errno == ENOSPC || errno == EFBIG || errno == EDQUOT) throw pw::fileError(errno, out.path(), kSource);
                // Not supported between these files (or an error that the
                // plain copy below reports with the right file's name).
                kernelCopy_ = false;
                break;
            }
            if (n == 0) {
                // Either the source's end, or a file system that copies
                // nothing; the plain copy tells them apart.
                kernelCopy_ = false;
                break;
            }
            done += n;
            inOff += n;
            outOff += n;
        }
        if (done < len) done += plainCopy(in, inOff, out, outOff, len - done);
        return done;
    }

    // Through the buffer, placed within a page so that neither copy stores
    // just ahead of where it loads next: at the output's offset when the
    // output lies behind the source (or level with it), so that only the
    // read is shifted, the harmless way; halfway when it lies ahead, so that
    // each copy's store lies behind its load.
    std::int64_t plainCopy(const Fd& in, off_t inOff, const Fd& out, off_t outOff, std::int64_t len) {
        if (!buffer_) buffer_ = std::make_unique<char[]>(kBufferSize + 2 * kPage);
        std::int64_t done = 0;
        while (done < len) {
            const auto inPage = static_cast<std::size_t>(inOff) % kPage;
            const std::size_t shift = static_cast<std::size_t>(outOff - inOff) % kPage;
            const std::size_t place = shift == 0 || shift >= kPage / 2 ? (inPage + shift) % kPage
                                                                       : (inPage + kPage / 2 + shift / 2) % kPage;
            const auto base = reinterpret_cast<std::uintptr_t>(buffer_.get());
            char* buf = buffer_.get() + ((kPage - base % kPage) % kPage + place);
            std::size_t want = static_cast<std::size_t>(std::min<std::int64_t>(len - done, kBufferSize));
            ssize_t r = ::pread(in.get(), buf, want, inOff);
            if (r < 0) {
                if (errno == EINTR) continue;
                throw pw::fileError(errno, in.path(), kSource);
            }
            if (r == 0) break;
            writeAll(out, buf, static_cast<std::size_t>(r), outOff);
            done += r;
            inOff += r;
            outOff += r;
        }
        return done;
    }

    bool kernelCopy_ = true;
    bool holesKnown_ = true;
    std::unique_ptr<char[]> buffer_;
};

// The extension as header bytes: one byte per character, as the 8-bit code
// page stores it; characters beyond it become "?".
std::string extToHeaderBytes(const std::string& ext) {
    std::string out;
    std::size_t i = 0;
    while (i < ext.size()) {
        unsigned char c = static_cast<unsigned char>(ext[i]);
        std::size_t len = c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        if (len == 1) {
            out += c < 0x80 ? static_cast<char>(c) : '?';
        } else if (len == 2 && i + 1 < ext.size()) {
            unsigned cp = ((c & 0x1Fu) << 6) | (static_cast<unsigned char>(ext[i + 1]) & 0x3Fu);
            out += cp <= 0xFF ? static_cast<char>(cp) : '?';
        } else {
            out += '?';
        }
        i += len;
    }
    return out;
}

std::string headerBytesToText(std::string_view bytes) {
    std::string out;
    for (unsigned char c : bytes) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

// The piece count of a header: its three count characters as a number.
std::int64_t headerCount(std::string_view field, const std::string& piece) {
    std::string t = pw::trimBlanks(field);
    std::int64_t value = 0;
    const char* first = t.data();
    const char* last = t.data() + t.size();
    if (first != last && *first == '+') ++first;
    auto [end, ec] = std::from_chars(first, last, value);
    if (t.empty() || ec != std::errc() || end != last || value < 1)
        throw pw::Error(pw::kTypeMismatch, kSource,
                        "Type mismatch (the header of " + piece + " holds no piece count: \"" + std::string(field) + "\")");
    return value;
}

// A free name for the joined file while it is written, in the pieces' folder
// so that the final rename stays on one file system.
Fd createTemporary(const std::string& folder, const std::string& finalName, std::string& path) {
    std::random_device rd;
    std::mt19937 gen(rd());
    static const char alphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string suffix;
        for (int i = 0; i < 8; ++i) suffix += alphabet[gen() % (sizeof(alphabet) - 1)];
        path = folder + "." + finalName + ".joining-" + suffix;
        int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) return Fd(fd, path);
        if (errno != EEXIST) throw pw::fileError(errno, path, kSource);
    }
    throw pw::fileError(EEXIST, path, kSource);
}

const char* const kCopyMessage = "File already exists. Appending \"_Copy\" to the file name.";

// Puts the joined file under its name. The plain name is taken only while it
// is free (another join of the same set may have taken it since we looked):
// then the file goes to the _Copy name, which is replaced whole if it is
// there. Returns the name used.
std::string placeJoined(const std::string& temporary, const std::string& folder, const std::string& chosen,
                        const std::string& plainName, const std::string& copyName) {
    if (chosen == plainName) {
        const std::string target = folder + plainName;
        if (::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0)
            return plainName;
        if (errno != EEXIST) {
            // File systems without the no-replace rename: a hard link fails
            // the same way when the name is taken.
            if (errno != EINVAL && errno != ENOSYS) throw pw::fileError(errno, target, kSource);
            if (::link(temporary.c_str(), target.c_str()) == 0) {
                ::unlink(temporary.c_str());
                return plainName;
            }
            if (errno != EEXIST) throw pw::fileError(errno, target, kSource);
        }
        pw::platform().messageBox(kCopyMessage);
    }
    const std::string target = folder + copyName;
    if (::rename(temporary.c_str(), target.c_str()) != 0) throw pw::fileError(errno, target, kSource);
    return copyName;
}

// Removes the temporary file of a join that did not finish.
class RemoveUnlessKept {
public:
    explicit RemoveUnlessKept(std::string path) : path_(std::move(path)) {}
    ~RemoveUnlessKept() {
        if (!kept_) ::unlink(path_.c_str());
    }
    void keep() { kept_ = true; }

private:
    std::string path_;
    bool kept_ = false;
};

}  // namespace

std::string PathPart(const std::string& path, bool wantName) {
    std::size_t p = path.rfind('/');
    if (wantName) return p == std::string::npos ? path : path.substr(p + 1);
    return p == std::string::npos ? std::string() : path.substr(0, p + 1);
}

std::string PieceSuffix(std::int64_t k) {
    std::string digits = std::to_string(k);
    if (digits.size() < 3) digits.insert(0, 3 - digits.size(), '0');
    return "." + digits;
}

std::int32_t SpanFile(const std::string& Path_Filename_To_Span, std::int32_t chunkSize, std::string& destination) {
    const std::string& source = Path_Filename_To_Span;
    const std::string name = PathPart(source, true);
    struct stat sourceStat{};
    Fd in = openForReading(source, sourceStat);
    const std::int64_t length = sourceStat.st_size;
    if (length == 0) return kNothingSplit;

    const std::size_t nameChars = pw::charCount(name);
    if (nameChars < 4)
        throw pw::Error(pw::kInvalidProcedureCall, kSource,
                        "Invalid procedure call or argument (the name \"" + name +
                            "\" is too short to give a piece name and an extension)");
    const std::string base = pw::leftChars(name, nameChars - 4);
    const std::string ext = pw::rightChars(name, 3);
    if (chunkSize > kMaxChunkSize) throw pw::Error(pw::kOverflow, kSource);
    if (chunkSize < 1)
        throw pw::Error(pw::kInvalidProcedureCall, kSource,
                        "Invalid procedure call or argument (piece size " + std::to_string(chunkSize) + ")");
    const std::int64_t chunk = static_cast<std::int64_t>(chunkSize) * 1024;

    if (length < chunk) {
        pw::platform().messageBox("Le fichier est plus petit que la taille de coupe.");
        return kNothingSplit;
    }
    const std::int64_t count = (length + chunk - 1) / chunk;

    std::string folder;
    if (!destination.empty()) {
        if (destination.back() != '/') destination += '/';
        folder = PathPart(destination, false);
    } else {
        folder = PathPart(source, false);
    }

    ::posix_fadvise(in.get(), 0, 0, POSIX_FADV_SEQUENTIAL);

    Copier copier;
    std::int64_t offset = 0;
    for (std::int64_t k = 1; k <= count; ++k) {
        pw::platform().doEvents();
        const std::string piece = folder + base + PieceSuffix(k);
        // A piece name may be the source itself (splitting a piece of an
        // earlier set in its own folder): replacing it would destroy the data.
        struct stat existing{};
        if (isFile(piece, &existing) && existing.st_dev == sourceStat.st_dev && existing.st_ino == sourceStat.st_ino)
            throw pw::Error(pw::kPathFileAccess, kSource,
                            "Path/File access error (the piece " + piece + " would replace the file being split)");
        Fd out = createAnew(piece);
        off_t outOff = 0;
        if (k == 1) {
            std::string countText = std::to_string(count);
            if (countText.size() < 3) countText.insert(0, 3 - countText.size(), '0');
            const std::string header = extToHeaderBytes(ext) + "  " + countText;
            writeAll(out, header.data(), header.size(), 0);
            outOff = static_cast<off_t>(header.size());
        }
        const std::int64_t want = std::min(chunk, length - offset);
        // The source's status anew for each piece: a source that shrinks
        // while it is split must show as short, not be padded with a hole.
        const std::int64_t got = copier.copy(in, statusOf(in), offset, out, outOff, want);
        if (got != want)
            throw pw::Error(pw::kInputPastEnd, kSource,
                            "Input past end of file (" + source + " became shorter while it was split)");
        offset += want;
        out.close();
        pw::reportProgress("Splitting", k, count);
    }
    in.close();

    std::int64_t total = 0;
    for (std::int64_t k = 1; k <= count; ++k) {
        struct stat st{};
        const std::string piece = folder + base + PieceSuffix(k);
        if (::stat(piece.c_str(), &st) != 0) throw pw::fileError(errno, piece, kSource);
        total += st.st_size;
    }
    if (total != length + kHeaderSize) {
        pw::platform().messageBox("Total size of spanned files does not match size of original file.");
        return kSizeCheckFailed;
    }
    return static_cast<std::int32_t>(count);
}

std::string JoinSpan(const std::string& Path_Filename_To_Join) {
    const std::string& first = Path_Filename_To_Join;
    const std::string name = PathPart(first, true);
    const std::string folder = PathPart(first, false);
    const std::size_t nameChars = pw::charCount(name);
    if (nameChars < 4)
        throw pw::Error(pw::kInvalidProcedureCall, kSource,
                        "Invalid procedure call or argument (\"" + name + "\" is not the name of a first piece)");
    const std::string base = pw::leftChars(name, nameChars - 4);

    std::int64_t count = 0;
    std::string ext;
    {
        struct stat firstStat{};
        Fd p1 = openForReading(first, firstStat);
        char header[kHeaderSize];
        std::int64_t have = 0;
        while (have < kHeaderSize) {
            ssize_t r = ::pread(p1.get(), header + have, static_cast<std::size_t>(kHeaderSize - have), have);
            if (r < 0) {
                if (errno == EINTR) continue;
                throw pw::fileError(errno, first, kSource);
            }
            if (r == 0)
                throw pw::Error(pw::kInputPastEnd, kSource,
                                "Input past end of file (" + first + " is too short to hold a piece header)");
            have += r;
        }
        const std::string_view h(header, kHeaderSize);
        ext = headerBytesToText(h.substr(0, 4));
        while (!ext.empty() && ext.back() == ' ') ext.pop_back();
        // The extension becomes part of the output's name: it must not lead
        // out of the pieces' folder.
        if (ext.find('/') != std::string::npos || ext.find('\0') != std::string::npos)
            throw pw::Error(pw::kBadFileName, kSource,
                            "Bad file name or number (the header of " + first + " names no usable extension)");
        count = headerCount(h.substr(5, 3), first);

        for (std::int64_t k = 1; k <= count; ++k) {
            const std::string piece = folder + base + PieceSuffix(k);
            if (!pw::isRegularFile(piece)) {
                p1 = Fd();
                pw::platform().messageBox(piece + " missing. Impossible to reconstruct file.");
                return "";
            }
        }
    }

    const std::string plainName = base + "." + ext;
    const std::string copyName = base + "_Copy." + ext;
    std::string result = plainName;
    if (::access((folder + result).c_str(), F_OK) == 0) {
        pw::platform().messageBox(kCopyMessage);
        result = copyName;
    }

    std::string temporary;
    Fd out = createTemporary(folder, result, temporary);
    RemoveUnlessKept cleanup(temporary);
    Copier copier;
    off_t outOff = 0;
    for (std::int64_t k = 1; k <= count; ++k) {
        const std::string piece = folder + base + PieceSuffix(k);
        struct stat pieceStat{};
        Fd in = openForReading(piece, pieceStat);
        const std::int64_t start = k == 1 ? kHeaderSize : 0;
        const std::int64_t size = pieceStat.st_size;
        if (size > start) outOff += static_cast<off_t>(copier.copy(in, pieceStat, start, out, outOff, size - start));
        in.close();
        pw::reportProgress("Joining", k, count);
    }
    out.close();
    result = placeJoined(temporary, folder, result, plainName, copyName);
    cleanup.keep();
    return result;
}

}  // namespace ModSpan
