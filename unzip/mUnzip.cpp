#include "unzip/mUnzip.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <limits>
#include <memory>

#include "errors/Error.h"
#include "platform/FailureTrap.h"
#include "platform/EngineBinding.h"
#include "platform/OleDate.h"
#include "platform/Platform.h"
#include "platform/Text.h"
#include "unzip/cUnzip.h"

namespace mUnzip {

namespace {

// The run in progress on this thread. The object stays kept after its run
// until the next run on the thread starts, and a run that fails lets it go
// at once. The true sizes come just before the classic line of the same
// entry.
struct RunState : pw::binding::RunState<cUnzip> {
    bool havePending64 = false;
    bool reserved = false;  // room for the listing's entries asked for
    std::uint64_t pendingSize = 0, pendingPacked = 0;
};
thread_local RunState t_run;

const char kEmptyText[] = "";

// The engine libraries stay loaded once found; loading is shared by threads.
pw::binding::EngineLibrary& engineLibrary() {
    static pw::binding::EngineLibrary library(kEngineLibrary);
    return library;
}
pw::binding::EngineLibrary& versionLibrary() {
    static pw::binding::EngineLibrary library(kVersionLibrary);
    return library;
}

using WizFn = decltype(&Wiz_SingleEntryUnzip);
using WizExFn = decltype(&Wiz_SingleEntryUnzipEx);
using VersionFn = decltype(&UzpVersion2);
using pw::binding::guarded;

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
    t_run.kept = obj.weak_from_this().lock();
    t_run.object = &obj;
    t_run.passwordRefused = false;
}

void EndCallbacks() {
    t_run.kept.reset();
    t_run.object = nullptr;
    t_run.passwordRefused = false;
}

std::int32_t RunUnzip(cUnzip& obj, UnzipCommandRecord& record, std::int32_t includeCount,
                      const std::vector<std::string>& includeNames, std::int32_t excludeCount,
                      const std::vector<std::string>& excludeNames, RunOutcomes* outcomes) {
    pw::binding::RunScope<cUnzip> scope(t_run, &obj, obj.weak_from_this().lock());
    try {
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

        // An engine without the Ex entry point has only the classic one.
        WizFn wiz = nullptr;
        const auto wizEx = engineLibrary().optionalFunction<WizExFn>("Wiz_SingleEntryUnzipEx", RunErrorSource());
        if (!wizEx) wiz = engineLibrary().function<WizFn>("Wiz_SingleEntryUnzip", RunErrorSource());

        DCL dcl = record.flags;
        dcl.lpszZipFN = record.archivePath ? record.archivePath->c_str() : nullptr;
        dcl.lpszExtractDir = record.extractFolder ? record.extractFolder->c_str() : nullptr;
        t_run.havePending64 = false;
        t_run.reserved = false;
        std::int32_t result;
        if (wizEx) {
            // The Ex call brings each listed entry's true sizes, and the
            // entries' outcomes when they are wanted.
            UZEXTRA extra{};
            extra.structlen = sizeof extra;
            extra.listing64 = &UnzipListing64Callback;
            if (outcomes) {
                const pw::binding::OutcomeSink sink = pw::binding::collectInto(&outcomes->list);
                outcomes->reported = true;
                extra.context = sink.context;
                extra.outcome = sink.callback;
            }
            result = wizEx(includeCount, include.get(), excludeCount, exclude.get(), &dcl, &functions, &extra);
        } else {
            if (outcomes) *outcomes = RunOutcomes{};
            result = wiz(includeCount, include.get(), excludeCount, exclude.get(), &dcl, &functions);
        }
        record.flags = dcl;
        record.flags.lpszZipFN = nullptr;
        record.flags.lpszExtractDir = nullptr;
        return result;
    } catch (...) {
        pw::Error e = pw::toError(std::current_exception());
        scope.release();
        e.setSource(RunErrorSource());
        throw e;
    }
}

void QueryVersion(UzpVer2& version) {
    versionLibrary().function<VersionFn>("UzpVersion2", pw::kLibraryTitle)(&version);
}

std::optional<std::string> EngineText(const char* text, std::uint32_t size) {
    auto msg = pw::binding::engineText(text, size);
    if (msg) *msg = pw::replaceAll(*msg, "\\", "/");
    return msg;
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
    guarded([&] {
        auto msg = EngineText(text, size);
        if (msg && t_run.object) t_run.object->RaiseProgress(1, *msg);
    });
    return 0;
}

std::int32_t UnzipServiceCallback(const char* item, std::uint32_t size) {
    bool cancel = false;
    guarded([&] {
        auto msg = EngineText(item, size);
        if (msg && t_run.object) t_run.object->RaiseCancel(*msg, cancel);
    });
    return cancel ? 1 : 0;
}

std::int32_t UnzipReplaceCallback(char* fileName) {
    std::int32_t response = IDM_REPLACE_NO;
    std::string file;
    guarded([&] { file = nameText(fileName); });
    guarded([&] {
        if (t_run.object) t_run.object->RaiseOverWritePrompt(file, response);
    });
    return response;
}

std::int32_t UnzipPasswordCallback(char* buffer, std::int32_t size, const char*, const char*) {
    return pw::binding::answerPassword(t_run.passwordRefused, buffer, size, [](std::string& password, bool& cancel) {
        if (t_run.object) t_run.object->RaisePasswordRequest(password, cancel);
    });
}

void UnzipListingCallback(std::uint32_t compressedSize, std::uint32_t size, std::uint32_t factor,
                          std::uint32_t month, std::uint32_t day, std::uint32_t year, std::uint32_t hour,
                          std::uint32_t minute, char flag, const char* path, const char* method,
                          std::uint32_t crc, char encryption) {
    (void)compressedSize;
    (void)flag;
    std::string folder, name, methodName;
    double date = 0;
    // Entry names run up to the format's 65,535 bytes.
    guarded([&] { SplitEntryPath(path ? std::string(path, strnlen(path, 65535)) : std::string(), folder, name); });
    guarded([&] { date = ListingDate(month, day, year, hour, minute); });
    guarded([&] {
        if (method) methodName.assign(method, strnlen(method, 4096));
    });
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
    guarded([&] {
        if (t_run.object)
            t_run.object->AddDirectoryEntry(name, folder, date, size32, crc, encrypted, ratio, methodName, size64,
                                            packed64);
    });
}

void UnzipListing64Callback(void* context, const UZLISTING64* entry) {
    (void)context;
    if (!entry || entry->structlen < offsetof(UZLISTING64, size) + sizeof entry->size) return;
    if (!t_run.reserved && entry->structlen >= offsetof(UZLISTING64, entries) + sizeof entry->entries) {
        t_run.reserved = true;
        guarded([&] {
            if (t_run.object) t_run.object->ReserveEntries(entry->entries);
        });
    }
    t_run.havePending64 = true;
    t_run.pendingSize = entry->size;
    t_run.pendingPacked = entry->compressedSize;
}

}  // namespace mUnzip
