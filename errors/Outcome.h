// Per-entry outcomes of an engine run, as the objects hand them to hosts.
// The engines report each entry through their outcome callback
// (brixoutcome.h); the bindings collect the reports into an OutcomeList, and
// cZip / cUnzip expose it. A host reads kinds and counts, never message text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "brixoutcome.h"
#include "platform/Export.h"

namespace pw {

enum class Outcome : std::int32_t {
    Done = BRIX_DONE,
    Kept = BRIX_KEPT,
    Unsafe = BRIX_UNSAFE,
    NoPassword = BRIX_NO_PASSWORD,
    WrongPassword = BRIX_WRONG_PASSWORD,
    Damaged = BRIX_DAMAGED,
    Unsupported = BRIX_UNSUPPORTED,
    WriteFailed = BRIX_WRITE_FAILED,
    ReadFailed = BRIX_READ_FAILED,
    Stopped = BRIX_STOPPED,
    TooBig = BRIX_TOO_BIG,
    NotFound = BRIX_NOT_FOUND,
};

struct EntryOutcome {
    std::string name;    // stored name (unzip) or the name as given (zip), "/" separators
    Outcome kind = Outcome::Done;
    int sysError = 0;    // errno for WriteFailed / ReadFailed, else 0
    std::string reason;  // the engine's short reason, for people
};

// Done, or kept by the caller's choice: what a run may report as success.
inline bool isSuccess(Outcome k) { return k == Outcome::Done || k == Outcome::Kept; }

// A short phrase for people: "refused as unsafe", "damaged", ...
PACKWELL_API const char* outcomeText(Outcome k);

class PACKWELL_API OutcomeList {
public:
    void clear() { entries_.clear(); }
    void add(EntryOutcome e) { entries_.push_back(std::move(e)); }
    // From an engine's callback record.
    void add(const BRIXOUTCOME& o);

    const std::vector<EntryOutcome>& entries() const { return entries_; }
    std::size_t count(Outcome k) const;
    std::size_t failures() const;  // entries that are not isSuccess
    bool allSucceeded() const { return failures() == 0; }

    // "a.txt (damaged: CRC error), ../evil.txt (refused as unsafe) and 3 more":
    // the first `limit` failed entries and a count of the rest; "" when none.
    std::string failureSummary(std::size_t limit = 5) const;

private:
    std::vector<EntryOutcome> entries_;
};

// The C callback the bindings hand to an engine's Ex entry point, with an
// OutcomeList as its context.
extern "C" void pwCollectOutcome(void* context, const BRIXOUTCOME* outcome);

}  // namespace pw
