// A stand-in for the zip engine, for the binding's tests: it records what the
// binding hands over and, during ZpArchive, plays a script of callback calls.
// Tests reach its state by loading the same library (FakeZip_State).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "brixzip1.h"

struct FakeZipAction {
    enum Kind { Print, Service, Password, Comment } kind = Print;
    std::string bytes;        // the text handed over (may hold NULs)
    std::uint32_t size = 0;   // the byte count claimed (Print, Service)
    std::int32_t bufferSize = ZIP_PASSWORD_BUFFER;  // Password
    bool stopOnOne = true;    // Service: a result of 1 ends the script
};

struct FakeZipOutcome {
    std::int32_t result = 0;
    std::string passwordBuffer;  // Password: the buffer's bytes up to its first NUL
    bool terminated = false;     // Password: a NUL within the buffer size
    bool commentUnchanged = false;
};

struct FakeZipEntryOutcome {
    std::int32_t kind = BRIX_DONE;
    std::int32_t sysError = 0;
    std::string name, reason;
};

struct FakeZipState {
    // Script (set by the test).
    std::vector<FakeZipAction> script;
    std::int32_t result = 0;         // ZpArchive's result
    std::vector<FakeZipEntryOutcome> entryOutcomes;  // reported through ZpArchiveEx's outcome callback
    std::optional<char> levelAfterSetOptions;  // ZpSetOptions writes this level back

    // Record.
    std::vector<std::string> calls;  // "ZpInit", "ZpSetOptions", "ZpArchive"
    ZPOPT options{};                 // as received (texts in the fields below)
    std::optional<std::string> date, rootDir, tempDir;
    std::int32_t count = -1;
    std::optional<std::string> archive;
    std::vector<std::optional<std::string>> slots;  // all 1,024 name slots
    std::string currentFolder;
    std::vector<FakeZipOutcome> outcomes;
    int runs = 0;

    void reset() { *this = FakeZipState(); }
};

extern "C" FakeZipState* FakeZip_State();
