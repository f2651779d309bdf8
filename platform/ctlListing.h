// One archive entry as hosts read it from the control.
#pragma once

#include <cstdint>
#include <string>

// Fields in the order of the published record.
struct ctlListing {
    std::string FileName;              // the entry's name, without its folder
    std::int32_t FileSize = 0;         // uncompressed size in bytes
    std::int32_t FilePackedSize = 0;   // compressed size in bytes
    std::string FileDirectory;         // the entry's folder inside the archive
    double FileDate = 0;               // automation date, kept to the minute
    std::int32_t FileCompressionRatio = 0;  // percent

    bool operator==(const ctlListing&) const = default;
};
