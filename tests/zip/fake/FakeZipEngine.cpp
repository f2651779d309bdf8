// The fake zip engine (see FakeZipEngine.h). Besides the in-process state,
// with FAKE_ZIP_LOG set it appends what it received to that file, and with
// FAKE_ZIP_SCRIPT set it plays that script, so that tests of programs (the
// command-line host) can see through it too. Script: items separated by
// ";": "print:TEXT", "service:TEXT", "password", "result:N", and
// "outcome:KIND:ERRNO:NAME" (an entry's outcome, reported after the others).
#include "FakeZipEngine.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>

namespace {

FakeZipState g_state;
ZIPUSERFUNCTIONS g_functions{};

std::optional<std::string> text(const char* p) { return p ? std::optional<std::string>(p) : std::nullopt; }

void scriptFromEnvironment() {
    const char* env = std::getenv("FAKE_ZIP_SCRIPT");
    if (!env || !*env) return;
    std::string s = env;
    std::size_t start = 0;
    while (start <= s.size()) {
        std::size_t end = s.find(';', start);
        if (end == std::string::npos) end = s.size();
        std::string item = s.substr(start, end - start);
        FakeZipAction a;
        if (item.rfind("print:", 0) == 0) {
            a.kind = FakeZipAction::Print;
            a.bytes = item.substr(6);
            a.size = static_cast<std::uint32_t>(a.bytes.size() + 1);
            g_state.script.push_back(a);
        } else if (item.rfind("service:", 0) == 0) {
            a.kind = FakeZipAction::Service;
            a.bytes = item.substr(8);
            a.size = static_cast<std::uint32_t>(a.bytes.size() + 1);
            g_state.script.push_back(a);
        } else if (item == "password") {
            a.kind = FakeZipAction::Password;
            g_state.script.push_back(a);
        } else if (item.rfind("result:", 0) == 0) {
            g_state.result = std::atoi(item.c_str() + 7);
        } else if (item.rfind("outcome:", 0) == 0) {
            FakeZipEntryOutcome o;
            char* rest = nullptr;
            o.kind = static_cast<std::int32_t>(std::strtol(item.c_str() + 8, &rest, 10));
            if (rest && *rest == ':') o.sysError = static_cast<std::int32_t>(std::strtol(rest + 1, &rest, 10));
            if (rest && *rest == ':') o.name = rest + 1;
            o.reason = o.sysError ? std::strerror(o.sysError) : "";
            g_state.entryOutcomes.push_back(o);
        }
        start = end + 1;
    }
}

void logRun() {
    const char* path = std::getenv("FAKE_ZIP_LOG");
    if (!path || !*path) return;
    std::ofstream log(path, std::ios::app);
    log << "archive=" << g_state.archive.value_or("(null)") << "\n";
    log << "count=" << g_state.count << "\n";
    for (std::int32_t i = 0; i < g_state.count; ++i) log << "name=" << g_state.slots[i].value_or("(null)") << "\n";
    log << "root=" << g_state.rootDir.value_or("(null)") << "\n";
    log << "cwd=" << g_state.currentFolder << "\n";
    const ZPOPT& o = g_state.options;
    log << "encrypt=" << o.fEncrypt << " encryption=" << o.fEncryption << " junk=" << o.fJunkDir
        << " nodirs=" << o.fNoDirEntries << " recurse=" << o.fRecurse << " grow=" << o.fGrow
        << " delete=" << o.fDeleteEntries << "\n";
    for (const auto& out : g_state.outcomes) {
        log << "outcome=" << out.result;
        if (!out.passwordBuffer.empty()) log << " password=" << out.passwordBuffer;
        log << "\n";
    }
}

}  // namespace

extern "C" {

FakeZipState* FakeZip_State() { return &g_state; }

int32_t ZpInit(ZIPUSERFUNCTIONS* functions) {
    g_state.calls.push_back("ZpInit");
    g_functions = *functions;
    return 1;
}

int32_t ZpSetOptions(ZPOPT* options) {
    g_state.calls.push_back("ZpSetOptions");
    g_state.options = *options;
    g_state.date = text(options->Date);
    g_state.rootDir = text(options->szRootDir);
    g_state.tempDir = text(options->szTempDir);
    g_state.options.Date = g_state.options.szRootDir = g_state.options.szTempDir = nullptr;
    if (g_state.levelAfterSetOptions) options->fLevel = *g_state.levelAfterSetOptions;
    return 1;
}

int32_t ZpGetOptions(ZPOPT* options) {
    g_state.calls.push_back("ZpGetOptions");
    *options = g_state.options;
    return 1;
}

int32_t ZpArchiveEx(int32_t count, const char* archive, ZIPNAMES* names, const ZPEXTRA* extra) {
    g_state.calls.push_back("ZpArchive");
    ++g_state.runs;
    scriptFromEnvironment();
    g_state.count = count;
    g_state.archive = text(archive);
    g_state.slots.clear();
    for (int i = 0; i < ZIP_NAME_SLOTS; ++i) g_state.slots.push_back(text(names->name[i]));
    char cwd[4096];
    g_state.currentFolder = getcwd(cwd, sizeof cwd) ? cwd : "";
    g_state.outcomes.clear();
    for (const auto& a : g_state.script) {
        FakeZipOutcome out;
        switch (a.kind) {
        case FakeZipAction::Print:
            out.result = g_functions.print(a.bytes.data(), a.size);
            break;
        case FakeZipAction::Service:
            out.result = g_functions.service(a.bytes.data(), a.size);
            break;
        case FakeZipAction::Password: {
            std::string buffer(static_cast<std::size_t>(a.bufferSize > 0 ? a.bufferSize : ZIP_PASSWORD_BUFFER) + 16, 'X');
            std::memset(buffer.data(), 0, buffer.size() - 16);
            out.result = g_functions.password(buffer.data(), a.bufferSize, "Enter password: ", "item");
            std::size_t within = buffer.size() - 16;
            std::size_t nul = buffer.find('\0');
            out.terminated = nul != std::string::npos && nul < within;
            out.passwordBuffer = buffer.substr(0, nul == std::string::npos ? buffer.size() : nul);
            break;
        }
        case FakeZipAction::Comment: {
            char comment[8] = "none";
            out.commentUnchanged = g_functions.comment(comment) == comment && std::strcmp(comment, "none") == 0;
            break;
        }
        }
        g_state.outcomes.push_back(out);
        if (a.kind == FakeZipAction::Service && a.stopOnOne && out.result == 1) break;
    }
    if (extra && extra->outcome)
        for (const auto& o : g_state.entryOutcomes) {
            BRIXOUTCOME r{sizeof(BRIXOUTCOME), o.kind, o.sysError, o.name.c_str(), o.reason.c_str()};
            extra->outcome(extra->context, &r);
        }
    logRun();
    return g_state.result;
}

int32_t ZpArchive(int32_t count, const char* archive, ZIPNAMES* names) {
    return ZpArchiveEx(count, archive, names, nullptr);
}

}  // extern "C"
