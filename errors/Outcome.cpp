#include "errors/Outcome.h"

namespace pw {

const char* outcomeText(Outcome k) {
    switch (k) {
        case Outcome::Done: return "done";
        case Outcome::Kept: return "kept";
        case Outcome::Unsafe: return "refused as unsafe";
        case Outcome::NoPassword: return "no password given";
        case Outcome::WrongPassword: return "wrong password";
        case Outcome::Damaged: return "damaged";
        case Outcome::Unsupported: return "unsupported method";
        case Outcome::WriteFailed: return "could not be written";
        case Outcome::ReadFailed: return "could not be read";
        case Outcome::Stopped: return "stopped";
        case Outcome::TooBig: return "too big";
        case Outcome::NotFound: return "not found";
    }
    return "failed";
}

void OutcomeList::add(const BRIXOUTCOME& o) {
    EntryOutcome e;
    e.name = o.name ? o.name : "";
    e.kind = static_cast<Outcome>(o.kind);
    e.sysError = o.sysError;
    e.reason = o.reason ? o.reason : "";
    entries_.push_back(std::move(e));
}

std::size_t OutcomeList::count(Outcome k) const {
    std::size_t n = 0;
    for (const auto& e : entries_) n += e.kind == k;
    return n;
}

std::size_t OutcomeList::failures() const {
    std::size_t n = 0;
    for (const auto& e : entries_) n += !isSuccess(e.kind);
    return n;
}

std::string OutcomeList::failureSummary(std::size_t limit) const {
    std::string out;
    std::size_t shown = 0, rest = 0;
    for (const auto& e : entries_) {
        if (isSuccess(e.kind)) continue;
        if (shown == limit) {
            ++rest;
            continue;
        }
        if (shown) out += ", ";
        out += e.name + " (" + outcomeText(e.kind);
        if (!e.reason.empty() && e.reason != outcomeText(e.kind)) out += ": " + e.reason;
        out += ")";
        ++shown;
    }
    if (rest) out += " and " + std::to_string(rest) + " more";
    return out;
}

extern "C" void pwCollectOutcome(void* context, const BRIXOUTCOME* outcome) {
    // Called from inside an engine run: nothing may escape into C.
    if (!context || !outcome) return;
    try {
        static_cast<OutcomeList*>(context)->add(*outcome);
    } catch (...) {
    }
}

}  // namespace pw
