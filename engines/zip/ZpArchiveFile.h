// The archive file as libzip sees it: read with pread, and written into a
// temporary file beside it ("NAME.XXXXXX") that is renamed over it when
// libzip commits. Writes are gathered in one buffer of a megabyte: libzip
// writes each local header, the entry's data in small pieces, then seeks
// back to finish the header, and all of that lands in memory, so writing
// an archive of small files costs one write call per megabyte instead of
// several calls per entry.
#pragma once

#include <zip.h>

#include <string>

namespace brixzip {

// A source for zip_open_from_source(); on failure returns null with `error`
// set. The archive need not exist: libzip then sees ZIP_ER_READ with ENOENT
// from its stat, as it does from its own file source, and creates it.
// The temporary file has the mode of the archive it replaces (without
// setuid, setgid and sticky bits), or 0666 less the umask for a new one.
zip_source_t* archiveFileSource(const std::string& path, zip_error_t* error);

}  // namespace brixzip
