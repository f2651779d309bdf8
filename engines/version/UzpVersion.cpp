// UzpVersion2: the engine's version record. The project's version goes in
// the fourth quad, which is the one readers of this record report.
#include <zlib.h>
// zlib.h defines zlib_version as a macro, which would hide the record field.
#undef zlib_version

#include "brixuzip1.h"

#include <cstddef>
#include <cstring>

namespace {

// Copies `text` into a fixed field, always NUL-terminated.
void putText(char* field, std::size_t width, const char* text) {
    std::memset(field, 0, width);
    std::strncpy(field, text, width - 1);
}

}  // namespace

extern "C" __attribute__((visibility("default"))) void UzpVersion2(UzpVer2* version) {
    if (!version) return;
    // A caller with a shorter record gets nothing rather than an overrun.
    if (version->structlen != 0 && version->structlen < sizeof(UzpVer2)) return;
    version->structlen = sizeof(UzpVer2);
    version->flag = 0;
    putText(version->betalevel, sizeof version->betalevel, "release");
    putText(version->date, sizeof version->date, RARERO_DATE);
    putText(version->zlib_version, sizeof version->zlib_version, zlibVersion());
    const unsigned char quad[4] = {RARERO_MAJOR, RARERO_MINOR, RARERO_PATCH, 0};
    std::memcpy(version->unzip, quad, 4);
    std::memcpy(version->zipinfo, quad, 4);
    std::memset(version->os2dll, 0, 4);
    std::memcpy(version->windll, quad, 4);
}
