// mUnzip: one run of the unzip engine (libbrixuzip1.so) for one cUnzip.
//
// The engine is loaded lazily at the first run. Its callbacks arrive on the
// calling thread while Wiz_SingleEntryUnzip(Ex) runs (an engine with the Ex
// entry point also reports each listed entry's true 64-bit sizes); they
// reach the object of the run through per-thread state, so one run per
// thread at a time. Errors inside a callback never reach the engine. The
// binding keeps a reference to the run's object until the next run on the
// thread starts; a run that fails lets it go at once.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "brixuzip1.h"
#include "errors/Outcome.h"

class cUnzip;

// The engine's command record as the object keeps it: the flag fields of
// DCL (its two text pointers stay null here) and the two texts, which a run
// points the engine's copy at. A text never set is passed as a null pointer.
struct UnzipCommandRecord {
    DCL flags{};
    std::optional<std::string> archivePath;
    std::optional<std::string> extractFolder;
};

namespace mUnzip {

// The library file names.
inline constexpr const char* kEngineLibrary = "libbrixuzip1.so";
inline constexpr const char* kVersionLibrary = "librarero10.so";

// What a run learnt about each entry. `reported` is false when the engine
// has no Wiz_SingleEntryUnzipEx: then `list` stays empty and only the result
// code tells how the run went.
struct RunOutcomes {
    pw::OutcomeList list;
    bool reported = false;
};

// Runs the engine once for `obj` with its record and the name lists
// (names 1..count, as vectors from index 0). Returns the engine's result
// code unchanged. With `outcomes`, the run goes through the engine's Ex entry
// point (when it has one) and the per-entry outcomes are collected there,
// replacing what it held. A failure of the run itself (too many names, a
// missing library or entry point) is raised again with the source
// "PackwellDEMO.VAZeded".
std::int32_t RunUnzip(cUnzip& obj, UnzipCommandRecord& record, std::int32_t includeCount,
                      const std::vector<std::string>& includeNames, std::int32_t excludeCount,
                      const std::vector<std::string>& excludeNames, RunOutcomes* outcomes = nullptr);

// The source text of a re-raised run failure.
std::string RunErrorSource();

// Fills the version record through UzpVersion2 of the version library.
void QueryVersion(UzpVer2& version);

// --- Pieces of the callbacks, open for tests ---

// An engine text (pointer, byte count) as a message: nullopt unless
// 1 < size < 32000; cut at its first NUL; "\" turned into "/".
std::optional<std::string> EngineText(const char* text, std::uint32_t size);

// Entry path to (folder, name): "\" counts as a separator too; the folder
// is what stands before the last separator, "" when there is none.
void SplitEntryPath(const std::string& path, std::string& folder, std::string& name);

// The listing line's date: two-digit years 0-29 are 2000-2029, 30-99 are
// 1930-1999; larger years are taken as they are. Values are the low 16 bits
// of the engine's arguments; out-of-range parts carry.
double ListingDate(std::uint32_t month, std::uint32_t day, std::uint32_t year, std::uint32_t hour,
                   std::uint32_t minute);

// The engine's callbacks (the addresses put into USERFUNCTIONS).
std::int32_t UnzipPrintCallback(const char* text, std::uint32_t size);
std::int32_t UnzipReplaceCallback(char* fileName);
std::int32_t UnzipPasswordCallback(char* buffer, std::int32_t size, const char* prompt, const char* entry);
void UnzipListingCallback(std::uint32_t compressedSize, std::uint32_t size, std::uint32_t factor,
                          std::uint32_t month, std::uint32_t day, std::uint32_t year, std::uint32_t hour,
                          std::uint32_t minute, char flag, const char* path, const char* method,
                          std::uint32_t crc, char encryption);
std::int32_t UnzipServiceCallback(const char* item, std::uint32_t size);
// The true sizes of the entry whose classic listing line comes next.
void UnzipListing64Callback(void* context, const UZLISTING64* entry);

// The object of the thread's current run (nullptr between runs). Tests that
// drive the callbacks directly bracket them as a run does.
cUnzip* CurrentObject();
void BeginCallbacks(cUnzip& obj);  // remember the object, clear the password-refused flag
void EndCallbacks();

}  // namespace mUnzip
