// Opening an archive, the one way the listing, the extraction and each of
// its workers do it, so that whatever lists also extracts.
#pragma once

#include <zip.h>

#include <cstdint>
#include <string>

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

// An entry's name as UTF-8 text: names flagged as UTF-8 (or carrying a
// Unicode path field) as they are, all others read as code page 437; a
// flagged name that is not valid UTF-8 is read as code page 437 too, so a
// name always reaches the screen and the file system as valid text.
std::string entryName(zip_t* za, zip_uint64_t index);

}  // namespace uz
