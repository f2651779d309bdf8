// What a call raised, for tests that check error numbers and sources.
#pragma once

#include <functional>

#include "errors/Error.h"

namespace pwtest {

// The error `f` raises; number 0 ("no error") when it raises none.
inline pw::Error errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const pw::Error& e) {
        return e;
    }
    return pw::Error(0, "", "no error");
}

// The number of the error `f` raises, 0 when it raises none.
inline int errorNumberOf(const std::function<void()>& f) { return errorOf(f).number(); }

}  // namespace pwtest
