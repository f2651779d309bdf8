// The one way both engine bindings (mZip, mUnzip) are built: the engine
// library loaded once and shared by threads, the run's per-thread state set
// and given back by a scope object, callbacks whose failures never unwind
// into the engine's C code, the password answer copied into the engine's
// buffer, engine text turned into message text, and the Ex entry points'
// outcome reports collected into an OutcomeList.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "brixoutcome.h"
#include "platform/LibraryLoader.h"
#include "platform/Text.h"

namespace pw {
class OutcomeList;
}

namespace pw::binding {

// An engine library, loaded at its first use; every thread shares it.
class EngineLibrary {
public:
    explicit EngineLibrary(std::string fileName);

    // The entry point; raises 48 when the library cannot be loaded and 453
    // when it lacks the entry point, with `source`.
    template <class Fn>
    Fn function(const char* entryPoint, const std::string& source) {
        return reinterpret_cast<Fn>(symbol(entryPoint, source, true));
    }
    // The same, but null for an entry point the library lacks (an engine
    // built before it was added); a missing library still raises 48.
    template <class Fn>
    Fn optionalFunction(const char* entryPoint, const std::string& source) {
        return reinterpret_cast<Fn>(symbol(entryPoint, source, false));
    }

    // Loads another build of the library from now on (hosts, tests).
    void use(std::string fileName);

private:
    void* symbol(const char* entryPoint, const std::string& source, bool required);

    std::mutex lock_;
    std::unique_ptr<LibraryLoader> loader_;
};

// A binding's per-thread state: the object whose events the callbacks raise
// (null between runs), whether a password request of the run was refused,
// and the reference the binding keeps to its latest run's object.
template <class Object>
struct RunState {
    Object* object = nullptr;
    bool passwordRefused = false;
    std::shared_ptr<Object> kept;
};

// The scope of one run on this thread. On entry the object becomes the
// run's, its reference replaces the one kept for the previous run, and the
// password-refused flag is cleared. On exit, by return or by throw, a run
// that started this one from an event handler gets its own object and flag
// back. The kept reference outlives the scope: how long is each binding's
// rule (until the next run; for unzip also released by a failed run).
template <class Object>
class RunScope {
public:
    RunScope(RunState<Object>& state, Object* object, std::shared_ptr<Object> ref)
        : state_(state), during_(ref), outerObject_(state.object), outerRefused_(state.passwordRefused) {
        state.kept = std::move(ref);
        state.object = object;
        state.passwordRefused = false;
    }
    ~RunScope() {
        state_.object = outerObject_;
        state_.passwordRefused = outerRefused_;
    }
    RunScope(const RunScope&) = delete;
    RunScope& operator=(const RunScope&) = delete;

    // Lets the kept reference go now.
    void release() { state_.kept.reset(); }

private:
    RunState<Object>& state_;
    std::shared_ptr<Object> during_;  // the object lives while its run lasts, whoever lets go of it
    Object* outerObject_;
    bool outerRefused_;
};

// One step of a callback. Whatever it throws stays here: the step is
// skipped and the callback goes on with its next one.
template <class Step>
void guarded(Step&& step) noexcept {
    try {
        step();
    } catch (...) {
    }
}

// An engine's counted text as message text: only for 1 < size < 32000, the
// counted bytes cut at their first NUL; nullopt otherwise (nothing raised).
std::optional<std::string> engineText(const char* text, std::uint32_t size);

// Copies an accepted password into the engine's buffer: at most 254 bytes,
// never half a character, fewer when the engine gives a smaller buffer
// size, and terminated.
void copyPassword(std::string_view password, char* buffer, std::int32_t size);

// The password callback of both engines. After a refusal in the same run it
// refuses at once; otherwise it raises `ask(password, cancel)` (the object's
// PasswordRequest), trims the answer of blanks, and refuses (setting the
// flag) an empty or cancelled answer or a missing buffer. Returns 0 when a
// password was copied, 1 when none is given.
template <class Ask>
std::int32_t answerPassword(bool& refused, char* buffer, std::int32_t size, Ask&& ask) noexcept {
    if (refused) return 1;
    std::string password;
    bool cancel = false;
    guarded([&] { ask(password, cancel); });
    std::int32_t result = 1;
    guarded([&] {
        const std::string trimmed = trimBlanks(password);
        if (trimmed.empty() || cancel || !buffer) return;
        copyPassword(trimmed, buffer, size);
        result = 0;
    });
    if (result != 0) refused = true;
    return result;
}

// Where an engine's Ex entry point reports each entry: the list, cleared
// for the run, and the collecting callback; both null when nobody asked.
struct OutcomeSink {
    void* context = nullptr;
    BrixOutcomeFn callback = nullptr;
};
OutcomeSink collectInto(OutcomeList* list);

}  // namespace pw::binding
