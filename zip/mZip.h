// mZip: one run of the zip engine (libbrixzip1.so) for a zip options object.
// The engine is loaded at the first run; its callbacks come back on the
// calling thread and are raised as the object's events.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "errors/Error.h"
#include "errors/Outcome.h"
#include "zip/ZipOptionRecord.h"

namespace mZip {

// What a run needs from the object that started it (cZip provides it).
class ZipRunObject {
public:
    virtual ~ZipRunObject() = default;
    virtual std::string ZipFile() const = 0;
    virtual std::string BasePath() const = 0;
    virtual void RaiseCancel(const std::string& sMsg, bool& bCancel) = 0;
    virtual void RaisePasswordRequest(std::string& sPassword, bool& bCancel) = 0;
    virtual void RaiseProgress(std::int32_t lCount, const std::string& sMsg) = 0;
};

// The most names one run takes (the engine's table has 1,024 slots, two of
// them the list's end marks).
inline constexpr std::int32_t kMaxFileSpecs = 1022;

// One engine run (the engine's ZpArchiveEx). `fileSpecs` holds
// specifications 1..count at indexes 0..count-1. The object is held (per
// thread) until the next run starts. The record gets back what the engine
// left in it; `outcomes`, when given, is cleared and gets what the engine
// reported for each entry and name. Returns the engine's result code (0:
// done). Raises 9 for more than kMaxFileSpecs names, 76/70/75 when a base
// folder cannot be made current, 48/453 when the engine cannot be loaded.
std::int32_t RunZip(std::shared_ptr<ZipRunObject> obj, ZipOptionRecord& options,
                    const std::vector<std::string>& fileSpecs, std::int32_t count,
                    pw::OutcomeList* outcomes = nullptr);

// A text saying what an engine result code means ("" for 0).
std::string ResultText(std::int32_t code);

// Whether a run did all it was asked: the archive written and no entry or
// name failed (entries kept by the update and freshen rules count as done).
bool RunSucceeded(std::int32_t code, const pw::OutcomeList& outcomes);

// The failure of a run that did not succeed, in two kinds:
// - the archive was not written: "The archive X was not written: <reason>";
// - it was written without some of what was asked for: "The archive X was
//   written without N of the named files: a.txt (could not be read: ...)",
//   or for a delete run (`deleting`) "The archive X was written, but N of
//   the entries named were not in it: ...".
// The number is the classic one of the first failed entry's errno (53 not
// found, 70 permission denied, 61 disk full, pw::fileError), else of the
// result code (53 nothing found, 75 file access, 7 memory, 5 otherwise).
// `lastMessage` (the engine's last line) is added only when no entry says why.
pw::Error RunError(std::int32_t code, const std::string& archive, const pw::OutcomeList& outcomes,
                   const std::string& lastMessage = "", bool deleting = false);

// Engine text to message text: only for 1 < byteCount < 32000 does it give
// (in `out`) the counted bytes cut at their first NUL and return true; for any
// other count the callbacks raise nothing.
bool EngineText(const char* text, std::uint32_t byteCount, std::string& out);

// The engine library's file name ("libbrixzip1.so"); hosts and tests may
// point the binding at another build of the engine before the first run.
void UseEngineLibrary(const std::string& fileName);

}  // namespace mZip
