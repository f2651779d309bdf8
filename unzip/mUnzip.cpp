#include "unzip/mUnzip.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <limits>
#include <memory>
#include <mutex>

#include "errors/Error.h"
#include "platform/FailureTrap.h"
#include "platform/LibraryLoader.h"
#include "platform/OleDate.h"
#include "platform/Platform.h"
#include "platform/Text.h"
#include "unzip/cUnzip.h"

namespace mUnzip {

namespace {

// The run in progress on this thread. The object is held only while its run
// lasts: holding it past the run would keep whatever its event handlers
// capture (windows, controls) alive until the thread ends.
struct RunState {
    std::shared_ptr<cUnzip> held;
    cUnzip* object = nullptr;
    bool passwordRefused = false;
    bool running = false;
    // The true sizes given just before the classic line of the same entry.
    bool havePending64 = false;
    std::uint64_t pendingSize = 0, pendingPacked = 0;
};
thread_local RunState t_run;

const char kEmptyText[] = "";

// The engine libraries stay loaded once found; loading is shared by threads.
std::mutex& loaderMutex() {
    static std::mutex m;
    return m;
}
pw::LibraryLoader& engineLibrary() {
    static pw::LibraryLoader loader(kEngineLibrary);
    return loader;
}
pw::LibraryLoader& versionLibrary() {
    static pw::LibraryLoader loader(kVersionLibrary);
    return loader;
}

using WizFn = decltype(&Wiz_SingleEntryUnzip);
using WizExFn = decltype(&Wiz_SingleEntryUnzipEx);

// The engine's Ex entry point, or null for an engine that has only the
// classic one.
WizExFn exEntryPoint() {
    try {
        return engineLibrary().function<WizExFn>("Wiz_SingleEntryUnzipEx", RunErrorSource());
    } catch (const pw::Error& e) {
        if (e.number() != pw::kEntryPointNotFound) throw;
        return nullptr;
    }
}
using VersionFn = decltype(&UzpVersion2);

// Fills a name list: slots 0..n-1 the names, slot n the empty text; the
// rest null. The engine sees at most 1023 names.
void fillNameList(UZNAMES& list, std::int32_t count, const std::vector<std::string>& names) {
    std::fill(std::begin(list.name), std::end(list.name), nullptr);
    if (count <= 0) {
        list.name[0] = kEmptyText;
        return;
    }
    if (count >= UNZIP_NAME_SLOTS || static_cast<std::size_t>(count) > names.size())
        pw::raise(pw::kSubscriptOutOfRange, RunErrorSource());
    for (std::int32_t i = 0; i < count; ++i) list.name[i] = names[static_cast<std::size_t>(i)].c_str();
    list.name[count] = kEmptyText;
}

std::string nameText(const char* text) {
    if (!text) return {};
    return pw::replaceAll(text, "\\", "/");
}

}  // namespace

std::string RunErrorSource() { return pw::errorSource("VAZeded"); }

cUnzip* CurrentObject() { return t_run.object; }

void BeginCallbacks(cUnzip& obj) {
    t_run.held = obj.weak_from_this().lock();
    t_run.object = &obj;
    t_run.passwordRefused = false;
}

void EndCallbacks() {
    t_run.held.reset();
    t_run.object = nullptr;
    t_run.passwordRefused = false;
}

std::int32_t RunUnzip(cUnzip& obj, UnzipCommandRecord& record, std::int32_t includeCount,
                      const std::vector<std::string>& includeNames, std::int32_t excludeCount,
                      const std::vector<std::string>& excludeNames, RunOutcomes* outcomes) {
    // A run started from a handler of another run's event must hand the
    // outer run its object back when it ends.
    RunState outer;
    bool nested = t_run.running;
    if (nested) outer = t_run;
    auto restoreOuter = [&] {
        if (nested) t_run = outer;
    };
    try {
        t_run.held = obj.weak_from_this().lock();
        t_run.object = &obj;
        t_run.running = true;

        USERFUNCTIONS functions{};
        functions.print = &UnzipPrintCallback;
        functions.sound = nullptr;
        functions.replace = &UnzipReplaceCallback;
        functions.password = &UnzipPasswordCallback;
        functions.listing = &UnzipListingCallback;
        functions.service = &UnzipServiceCallback;

        // The lists point into the caller's names, alive for the whole call.
        auto include = std::make_unique<UZNAMES>();
        auto exclude = std::make_unique<UZNAMES>();
        fillNameList(*include, includeCount, includeNames);
        fillNameList(*exclude, excludeCount, excludeNames);

        t_run.passwordRefused = false;

        WizFn wiz = nullptr;
        WizExFn wizEx = nullptr;
        {
            std::lock_guard<std::mutex> lock(loaderMutex());
            wizEx = exEntryPoint();
            if (!wizEx) wiz = engineLibrary().function<WizFn>("Wiz_SingleEntryUnzip", RunErrorSource());
        }

        DCL dcl = record.flags;
        dcl.lpszZipFN = record.archivePath ? record.archivePath->c_str() : nullptr;
        dcl.lpszExtractDir = record.extractFolder ? record.extractFolder->c_str() : nullptr;
        t_run.havePending64 = false;
        std::int32_t result;
        if (wizEx) {
            // The Ex call brings each listed entry's true sizes, and the
            // entries' outcomes when they are wanted.
            UZEXTRA extra{};
            extra.structlen = sizeof extra;
            extra.listing64 = &UnzipListing64Callback;
            if (outcomes) {
                outcomes->list.clear();
                outcomes->reported = true;
                extra.context = &outcomes->list;
                extra.outcome = &pw::pwCollectOutcome;
            }
            result = wizEx(includeCount, include.get(), excludeCount, exclude.get(), &dcl, &functions, &extra);
        } else {
            if (outcomes) *outcomes = RunOutcomes{};
            result = wiz(includeCount, include.get(), excludeCount, exclude.get(), &dcl, &functions);
        }
        record.flags = dcl;
        record.flags.lpszZipFN = nullptr;
        record.flags.lpszExtractDir = nullptr;

        EndCallbacks();
        t_run.running = false;
        restoreOuter();
        return result;
    } catch (...) {
        pw::Error e = pw::toError(std::current_exception());
        EndCallbacks();
        t_run.running = false;
        restoreOuter();
        e.setSource(RunErrorSource());
        throw e;
    }
}

void QueryVersion(UzpVer2& version) {
    VersionFn fn;
    {
        std::lock_guard<std::mutex> lock(loaderMutex());
        fn = versionLibrary().function<VersionFn>("UzpVersion2", pw::kLibraryTitle);
    }
    fn(&version);
}

std::optional<std::string> EngineText(const char* text, std::uint32_t size) {
    if (!text || size <= 1 || size >= 32000) return std::nullopt;
    std::string s = pw::cutAtNul(std::string_view(text, size));
    return pw::replaceAll(s, "\\", "/");
}

void SplitEntryPath(const std::string& path, std::string& folder, std::string& name) {
    std::string p = pw::replaceAll(path, "\\", "/");
    std::size_t cut = p.rfind('/');
    if (cut == std::string::npos) {
        folder.clear();
        name = p;
    } else {
        folder = p.substr(0, cut);
        name = p.substr(cut + 1);
    }
}

double ListingDate(std::uint32_t month, std::uint32_t day, std::uint32_t year, std::uint32_t hour,
                   std::uint32_t minute) {
    int y = static_cast<int>(year & 0xFFFF);
    if (y < 30)
        y += 2000;
    else if (y < 100)
        y += 1900;
    return pw::makeOleDate(y, static_cast<int>(month & 0xFFFF), static_cast<int>(day & 0xFFFF),
                           static_cast<int>(hour & 0xFFFF), static_cast<int>(minute & 0xFFFF), 0);
}

// Nothing raised inside a callback may reach the engine: each step is
// guarded on its own and the callback goes on with the next.

std::int32_t UnzipPrintCallback(const char* text, std::uint32_t size) {
    try {
        auto msg = EngineText(text, size);
        if (msg && t_run.object) t_run.object->RaiseProgress(1, *msg);
    } catch (...) {
    }
    return 0;
}

std::int32_t UnzipServiceCallback(const char* item, std::uint32_t size) {
    bool cancel = false;
    try {
        auto msg = EngineText(item, size);
        if (!msg) return 0;
        if (t_run.object) t_run.object->RaiseCancel(*msg, cancel);
    } catch (...) {
    }
    return cancel ? 1 : 0;
}

std::int32_t UnzipReplaceCallback(char* fileName) {
    std::int32_t response = IDM_REPLACE_NO;
    std::string file;
    try {
        file = nameText(fileName);
    } catch (...) {
    }
    try {
        if (t_run.object) t_run.object->RaiseOverWritePrompt(file, response);
    } catch (...) {
    }
    return response;
}

std::int32_t UnzipPasswordCallback(char* buffer, std::int32_t size, const char* prompt, const char* entry) {
    (void)prompt;
    (void)entry;
    if (t_run.passwordRefused) return 1;
    std::string password;
    bool cancel = false;
    try {
        if (t_run.object) t_run.object->RaisePasswordRequest(password, cancel);
    } catch (...) {
    }
    try {
        password = pw::trimBlanks(password);
    } catch (...) {
    }
    if (password.empty() || cancel || !buffer) {
        t_run.passwordRefused = true;
        return 1;
    }
    // At most 254 bytes and never half a character; the buffer's size is
    // honoured when the engine gives one, and the copy is terminated.
    std::size_t room = 254;
    if (size > 0) room = std::min<std::size_t>(room, static_cast<std::size_t>(size) - 1);
    std::string_view copy = pw::utf8PrefixBytes(password, room);
    std::memcpy(buffer, copy.data(), copy.size());
    buffer[copy.size()] = '\0';
    return 0;
}

void UnzipListingCallback(std::uint32_t compressedSize, std::uint32_t size, std::uint32_t factor,
                          std::uint32_t month, std::uint32_t day, std::uint32_t year, std::uint32_t hour,
                          std::uint32_t minute, char flag, const char* path, const char* method,
                          std::uint32_t crc, char encryption) {
    (void)compressedSize;
    (void)flag;
    std::string folder, name, methodName;
    double date = 0;
    try {
        // Entry names run up to the format's 65,535 bytes.
        SplitEntryPath(path ? std::string(path, strnlen(path, 65535)) : std::string(), folder, name);
    } catch (...) {
    }
    try {
        date = ListingDate(month, day, year, hour, minute);
    } catch (...) {
    }
    try {
        if (method) methodName.assign(method, strnlen(method, 4096));
    } catch (...) {
    }
    // Sizes past the signed 32-bit range are shown as the largest one rather
    // than as a negative number.
    std::int32_t size32 = size > static_cast<std::uint32_t>(std::numeric_limits<std::int32_t>::max())
                              ? std::numeric_limits<std::int32_t>::max()
                              : static_cast<std::int32_t>(size);
    std::int32_t ratio = static_cast<std::int16_t>(static_cast<std::uint16_t>(factor & 0xFFFF));
    bool encrypted = (static_cast<unsigned char>(encryption) & UZ_ENCRYPTED_BIT) != 0;
    // Without the engine's true sizes, the line's own are the best there is.
    std::uint64_t size64 = size;
    std::uint64_t packed64 = ratio > 0 ? size64 * static_cast<std::uint64_t>(ratio) / 100 : 0;
    if (t_run.havePending64) {
        size64 = t_run.pendingSize;
        packed64 = t_run.pendingPacked;
        t_run.havePending64 = false;
    }
    try {
        if (t_run.object)
            t_run.object->AddDirectoryEntry(name, folder, date, size32, crc, encrypted, ratio, methodName, size64,
                                            packed64);
    } catch (...) {
    }
}

void UnzipListing64Callback(void* context, const UZLISTING64* entry) {
    (void)context;
    if (!entry || entry->structlen < offsetof(UZLISTING64, size) + sizeof entry->size) return;
    t_run.havePending64 = true;
    t_run.pendingSize = entry->size;
    t_run.pendingPacked = entry->compressedSize;
}

}  // namespace mUnzip
