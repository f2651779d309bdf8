// Opening an archive, the one way the listing, the extraction and each of
// its workers do it, so that whatever lists also extracts.
#pragma once

#include <zip.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "brixoutcome.h"

namespace uz {

// Why an archive did not open.
struct OpenFailure {
    std::string reason;  // for the message line, with the path
    std::string brief;   // for the outcome, which names the archive already
    int32_t kind = BRIX_READ_FAILED;
    int sysError = 0;
};

// Opens `path` read-only; nullptr with `why` filled when it is no archive.
// An archive with bytes in front (a self-extractor's stub) opens whether its
// offsets count from the file's start (as `zip -A` leaves them) or from the
// archive's own start (as gluing a stub in front leaves them). An entry
// whose name is flagged as UTF-8 but is not opens too, its name read as
// code page 437 (this libzip refuses the whole archive for one such name).
zip_t* openArchive(const std::string& path, OpenFailure& why);

// Reads up to `n` bytes of `fd` at `at`: the count read (short only at the
// file's end), -1 on an error.
std::int64_t readUpTo(int fd, std::uint64_t at, unsigned char* buf, std::size_t n);

// An entry's name as UTF-8 text: names flagged as UTF-8 (or carrying a
// Unicode path field) as they are, all others read as code page 437; a
// flagged name that is not valid UTF-8 is read as code page 437 too, so a
// name always reaches the screen and the file system as valid text.
std::string entryName(zip_t* za, zip_uint64_t index);

// An entry of the central directory as the file holds it.
struct CentralEntry {
    std::string_view name;  // UTF-8, as entryName gives it
    std::uint64_t size = 0, compSize = 0;
    std::uint32_t crc = 0;
    std::uint16_t method = 0, dosDate = 0, dosTime = 0;
    bool encrypted = false;  // traditional encryption
    std::uint64_t localHeader = 0;  // where its local header starts in the file
    std::uint16_t madeBy = 0;  // "version made by": the system in the high byte
    std::uint32_t attributes = 0;  // external attributes
};

enum class DirectoryRead { Read, NotPlain, Damaged };

// The central directory read straight from the file, without libzip's
// table, for the archives whose every field libzip takes as it stands: no
// bytes in front, one end record, one disk, records that fill the directory
// exactly, well-formed extra fields, names in printable ASCII or flagged
// UTF-8 that is valid and holds no NUL, no Unicode path or comment fields,
// no AES or strong encryption. Calls `each` per entry in order (Read). NotPlain, having
// called nothing, for any other file: openArchive reads it, as it reads
// every archive, so both ways see the same entries. Damaged when the file
// changed between the check and the reading (entries already given stand).
DirectoryRead readPlainDirectory(const std::string& path, const std::function<void(const CentralEntry&)>& each,
                                 std::uint64_t& entries, std::uint16_t& commentLength);
// The same from a descriptor already open on the archive.
DirectoryRead readPlainDirectory(int fd, const std::function<void(const CentralEntry&)>& each,
                                 std::uint64_t& entries, std::uint16_t& commentLength);

}  // namespace uz
