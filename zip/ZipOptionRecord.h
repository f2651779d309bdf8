// The zip engine's option record as cZip keeps it: the engine's fields in the
// engine's order, with the three text fields held as texts the object owns
// (unset: the engine gets a null pointer). The binding hands the engine a
// copy with pointers to these texts (mZip::RunZip).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

struct ZipOptionRecord {
    std::optional<std::string> Date;       // never set
    std::optional<std::string> szRootDir;  // BasePath
    std::optional<std::string> szTempDir;  // never set
    std::int32_t fTemp = 0;
    std::int32_t fSuffix = 0;
    std::int32_t fEncrypt = 0;
    std::int32_t fSystem = 0;
    std::int32_t fVolume = 0;
    std::int32_t fExtra = 0;
    std::int32_t fNoDirEntries = 0;
    std::int32_t fExcludeDate = 0;
    std::int32_t fIncludeDate = 0;
    std::int32_t fVerbose = 0;
    std::int32_t fQuiet = 0;
    std::int32_t fCRLF_LF = 0;
    std::int32_t fLF_CRLF = 0;
    std::int32_t fJunkDir = 0;
    std::int32_t fGrow = 0;
    std::int32_t fForce = 0;
    std::int32_t fMove = 0;
    std::int32_t fDeleteEntries = 0;
    std::int32_t fUpdate = 0;
    std::int32_t fFreshen = 0;
    std::int32_t fJunkSFX = 0;
    std::int32_t fLatestTime = 0;
    std::int32_t fComment = 0;
    std::int32_t fOffsets = 0;
    std::int32_t fPrivilege = 0;
    std::int32_t fEncryption = 0;  // 0 AES-256, 1 traditional (compatibility)
    std::int32_t fRecurse = 0;     // 2: recurse into subfolders
    std::int32_t fRepair = 0;
    char fLevel = 0;               // 0: the engine's default level

    bool operator==(const ZipOptionRecord&) const = default;
};
