// The failure trap of the control's public operations: whatever fails inside
// an operation, however deep, ends it with one message box "number: description"
// and the operation returns its result as it stood.
#pragma once

#include <exception>
#include <string>

#include "errors/Error.h"
#include "platform/Export.h"

namespace pw {

// Any exception as the system's error: pw::Error as it is, std::bad_alloc as
// 7, a filesystem error through fileError, anything else as 5 with its text.
PACKWELL_API Error toError(std::exception_ptr e);

// "number: description", the text the trap shows.
PACKWELL_API std::string failureText(const Error& e);

// Shows failureText(toError(e)) in the library's message box.
PACKWELL_API void showFailure(std::exception_ptr e);

// Runs `body`; on any failure shows it and leaves `result` as it stood.
// Usage: bool ok = false; trapFailures([&] { ...; ok = true; }); return ok;
template <class Body>
void trapFailures(Body&& body) {
    try {
        body();
    } catch (...) {
        showFailure(std::current_exception());
    }
}

}  // namespace pw
