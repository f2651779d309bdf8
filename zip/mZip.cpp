#include "zip/mZip.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "brixzip1.h"
#include "errors/Error.h"
#include "platform/EngineBinding.h"
#include "platform/Text.h"

namespace mZip {

namespace {

const char* const kSource = "PackwellDEMO.cZip";

// The run in progress on this thread. Its object stays kept after the run
// until the next run on the thread replaces it (a failed run included).
thread_local pw::binding::RunState<ZipRunObject> t_run;

pw::binding::EngineLibrary& engine() {
    static pw::binding::EngineLibrary e("libbrixzip1.so");
    return e;
}

template <class Fn>
Fn entry(const char* name) {
    return engine().function<Fn>(name, kSource);
}

using pw::binding::guarded;

// Raises `raise(object, message)` for an engine text in range, on the run's
// object.
template <class Raise>
void raiseText(const char* text, uint32_t size, Raise&& raise) {
    guarded([&] {
        std::string msg;
        if (EngineText(text, size, msg) && t_run.object) raise(*t_run.object, msg);
    });
}

int32_t ZipPrintCallback(const char* text, uint32_t size) {
    raiseText(text, size, [](ZipRunObject& o, const std::string& msg) { o.RaiseProgress(1, msg); });
    return 0;
}

int32_t ZipServiceCallback(const char* item, uint32_t size) {
    bool cancel = false;
    raiseText(item, size, [&](ZipRunObject& o, const std::string& msg) { o.RaiseCancel(msg, cancel); });
    return cancel ? 1 : 0;
}

int32_t ZipPasswordCallback(char* buffer, int32_t size, const char*, const char*) {
    return pw::binding::answerPassword(t_run.passwordRefused, buffer, size, [](std::string& password, bool& cancel) {
        if (t_run.object) t_run.object->RaisePasswordRequest(password, cancel);
    });
}

char* ZipCommentCallback(char* comment) { return comment; }

const char* textOrNull(const std::optional<std::string>& s) { return s ? s->c_str() : nullptr; }

// The option record's numeric fields have the same names in the engine's
// record and in the object's: one copy serves both directions.
template <class From, class To>
void copyFlags(const From& f, To& t) {
    t.fTemp = f.fTemp; t.fSuffix = f.fSuffix; t.fEncrypt = f.fEncrypt; t.fSystem = f.fSystem;
    t.fVolume = f.fVolume; t.fExtra = f.fExtra; t.fNoDirEntries = f.fNoDirEntries;
    t.fExcludeDate = f.fExcludeDate; t.fIncludeDate = f.fIncludeDate; t.fVerbose = f.fVerbose;
    t.fQuiet = f.fQuiet; t.fCRLF_LF = f.fCRLF_LF; t.fLF_CRLF = f.fLF_CRLF; t.fJunkDir = f.fJunkDir;
    t.fGrow = f.fGrow; t.fForce = f.fForce; t.fMove = f.fMove; t.fDeleteEntries = f.fDeleteEntries;
    t.fUpdate = f.fUpdate; t.fFreshen = f.fFreshen; t.fJunkSFX = f.fJunkSFX; t.fLatestTime = f.fLatestTime;
    t.fComment = f.fComment; t.fOffsets = f.fOffsets; t.fPrivilege = f.fPrivilege;
    t.fEncryption = f.fEncryption; t.fRecurse = f.fRecurse; t.fRepair = f.fRepair; t.fLevel = f.fLevel;
}

void copyBack(const ZPOPT& o, ZipOptionRecord& r) {
    auto text = [](const char* p, std::optional<std::string>& field) {
        if (!p) field.reset();
        else if (!field || p != field->c_str()) field = std::string(p);
    };
    text(o.Date, r.Date);
    text(o.szRootDir, r.szRootDir);
    text(o.szTempDir, r.szTempDir);
    copyFlags(o, r);
}

ZPOPT toEngine(const ZipOptionRecord& r) {
    ZPOPT o{};
    o.Date = textOrNull(r.Date);
    o.szRootDir = textOrNull(r.szRootDir);
    o.szTempDir = textOrNull(r.szTempDir);
    copyFlags(r, o);
    return o;
}

void makeCurrent(const std::string& folder) {
    if (::chdir(folder.c_str()) == 0) return;
    int err = errno;
    if (err == ENOENT || err == ENOTDIR)
        throw pw::Error(pw::kPathNotFound, kSource,
                        pw::classicDescription(pw::kPathNotFound) + ": " + folder);
    throw pw::fileError(err, folder, kSource);
}

}  // namespace

bool EngineText(const char* text, std::uint32_t byteCount, std::string& out) {
    // Texts are UTF-8 on both sides. The engine already writes "/" between
    // folder names, the platform's own separator, so nothing is turned.
    auto msg = pw::binding::engineText(text, byteCount);
    if (!msg) return false;
    out = std::move(*msg);
    return true;
}

std::int32_t RunZip(std::shared_ptr<ZipRunObject> obj, ZipOptionRecord& options,
                    const std::vector<std::string>& fileSpecs, std::int32_t count, pw::OutcomeList* outcomes) {
    pw::binding::RunScope<ZipRunObject> scope(t_run, obj.get(), obj);
    const pw::binding::OutcomeSink sink = pw::binding::collectInto(outcomes);

    std::string base = obj ? obj->BasePath() : std::string();
    if (!pw::trimBlanks(base).empty()) makeCurrent(base);

    static ZIPUSERFUNCTIONS callbacks{&ZipPrintCallback, &ZipPasswordCallback, &ZipCommentCallback,
                                      &ZipServiceCallback};
    auto zpInit = entry<int32_t (*)(ZIPUSERFUNCTIONS*)>("ZpInit");
    zpInit(&callbacks);

    auto zpSetOptions = entry<int32_t (*)(ZPOPT*)>("ZpSetOptions");
    ZipOptionRecord forCall = options;  // the texts the engine points at during the call
    ZPOPT record = toEngine(forCall);
    zpSetOptions(&record);
    copyBack(record, options);

    if (count < 0) count = 0;
    if (count > kMaxFileSpecs || static_cast<std::size_t>(count) > fileSpecs.size())
        throw pw::Error(pw::kSubscriptOutOfRange, kSource);
    ZIPNAMES names{};
    static const char kEmpty[] = "";
    for (std::int32_t i = 0; i < count; ++i) names.name[i] = fileSpecs[static_cast<std::size_t>(i)].c_str();
    names.name[count] = nullptr;
    names.name[count + 1] = kEmpty;

    std::string archive = obj ? obj->ZipFile() : std::string();
    auto zpArchiveEx = entry<int32_t (*)(int32_t, const char*, ZIPNAMES*, const ZPEXTRA*)>("ZpArchiveEx");
    ZPEXTRA extra{sizeof(ZPEXTRA), sink.context, sink.callback};
    return zpArchiveEx(count, archive.c_str(), &names, &extra);
}

std::string ResultText(std::int32_t code) {
    switch (code) {
    case ZE_OK: return "";
    case ZE_EOF: return "unexpected end of the existing archive";
    case ZE_FORM: return "the existing archive is damaged or not a zip file";
    case ZE_MEM: return "out of memory";
    case ZE_LOGIC: return "internal error of the zip engine";
    case ZE_BIG: return "an entry is too large";
    case ZE_ABORT: return "stopped (cancelled, or no password given)";
    case ZE_TEMP: return "the temporary file could not be written";
    case ZE_READ: return "a file could not be read";
    case ZE_NONE: return "nothing to do (no file matched)";
    case ZE_NAME: return "the archive is missing or empty";
    case ZE_WRITE: return "error writing the archive";
    case ZE_CREAT: return "the archive could not be created";
    case ZE_PARMS: return "bad options";
    case ZE_OPEN: return "a named file could not be opened";
    default: return "zip engine error " + std::to_string(code);
    }
}

bool RunSucceeded(std::int32_t code, const pw::OutcomeList& outcomes) {
    return code == ZE_OK && outcomes.allSucceeded();
}

namespace {

// The classic number of a failed entry: from its errno when the system gave
// one, else from what happened to it.
int numberOf(const pw::EntryOutcome& e) {
    if (e.sysError) return pw::fileError(e.sysError, e.name).number();
    return e.kind == pw::Outcome::NotFound ? pw::kFileNotFound : pw::kPathFileAccess;
}

const pw::EntryOutcome* firstFailure(const pw::OutcomeList& outcomes) {
    for (const auto& e : outcomes.entries())
        if (!pw::isSuccess(e.kind)) return &e;
    return nullptr;
}

int numberOfCode(std::int32_t code) {
    switch (code) {
    case ZE_NONE: case ZE_NAME: case ZE_OPEN: return pw::kFileNotFound;
    case ZE_EOF: case ZE_FORM: case ZE_TEMP: case ZE_READ: case ZE_WRITE: case ZE_CREAT: case ZE_BIG:
        return pw::kPathFileAccess;
    case ZE_MEM: return pw::kOutOfMemory;
    default: return pw::kInvalidProcedureCall;
    }
}

}  // namespace

pw::Error RunError(std::int32_t code, const std::string& archive, const pw::OutcomeList& outcomes,
                   const std::string& lastMessage, bool deleting) {
    const pw::EntryOutcome* first = firstFailure(outcomes);
    const int number = first ? numberOf(*first) : numberOfCode(code);
    const std::string why = outcomes.failureSummary();
    std::string text;
    if (code == ZE_OK || code == ZE_OPEN) {
        const std::size_t n = outcomes.failures();
        const std::string count = n == 0 ? std::string("some") : std::to_string(n);
        text = deleting ? "The archive " + archive + " was written, but " + count + " of the entries named " +
                              (n == 1 ? "was" : "were") + " not in it"
                        : "The archive " + archive + " was written without " + count + " of the named files";
        if (!why.empty()) text += ": " + why;
    } else {
        text = "The archive " + archive + " was not written: " + ResultText(code) + " (zip engine result " +
               std::to_string(code) + ")";
        if (!why.empty()) text += ": " + why;
    }
    std::string last = pw::trimBlanks(lastMessage);
    if (why.empty() && !last.empty() && last != ResultText(code)) text += ". " + last;
    return pw::Error(number, kSource, text);
}

void UseEngineLibrary(const std::string& fileName) { engine().use(fileName); }

}  // namespace mZip
