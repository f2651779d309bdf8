// Split and join operations of ctlPackwell: input checks, the file chooser,
// and the split and join engine (span/ModSpan.h). Every failure ends in the
// failure trap's message box; nothing escapes to the host.
#include "control/ctlPackwell.h"
#include "dialogs/GCommonDialog.h"
#include "errors/Error.h"
#include "platform/FailureTrap.h"
#include "platform/FileCheck.h"
#include "platform/Platform.h"
#include "platform/Text.h"
#include "span/ModSpan.h"

namespace {

const char* const kFirstPieceMessage = "You must choose the first file with extension .001";

void unableToLocate(const std::string& path) { pw::platform().messageBox("Unable to locate " + path); }

// The single-file chooser of the split and join methods: the chosen full
// path, or "" when the user cancelled.
std::string chooseFile(std::int32_t hwnd, const std::string& filter) {
    auto dialog = std::make_shared<GCommonDialog>();
    std::string fileName, fileTitle, theFilter = filter;
    bool readOnly = false;
    std::int32_t filterIndex = 1, flags = 0;
    if (!dialog->VBGetOpenFileName(fileName, fileTitle, true, false, readOnly, false, theFilter, filterIndex, "",
                                   "Choose File to Span", "", hwnd, flags, false, nullptr))
        return "";
    return fileName;
}

}  // namespace

bool ctlPackwell::SPLITfile_with_dialog(std::int32_t hwnd, std::int32_t chunkSize, std::string& destination) {
    bool result = false;
    pw::trapFailures([&] {
        const std::string chosen = chooseFile(hwnd, "All Files (*.*)|*.*");
        if (chosen.empty()) return;
        // A failed size check is a failed split, whichever method ran it.
        result = ModSpan::SpanFile(chosen, chunkSize, destination) != ModSpan::kSizeCheckFailed;
    });
    return result;
}

bool ctlPackwell::SPLITfile_with_dialog(std::int32_t hwnd, std::int32_t chunkSize) {
    std::string none;
    return SPLITfile_with_dialog(hwnd, chunkSize, none);
}

bool ctlPackwell::SPLITfile(const std::string& Path_Filename_To_Span, std::int32_t chunkSize,
                            std::string& destination) {
    bool result = false;
    pw::trapFailures([&] {
        if (!pw::isRegularFile(Path_Filename_To_Span)) {
            unableToLocate(Path_Filename_To_Span);
            return;
        }
        result = ModSpan::SpanFile(Path_Filename_To_Span, chunkSize, destination) != ModSpan::kSizeCheckFailed;
    });
    return result;
}

bool ctlPackwell::SPLITfile(const std::string& Path_Filename_To_Span, std::int32_t chunkSize) {
    std::string none;
    return SPLITfile(Path_Filename_To_Span, chunkSize, none);
}

std::string ctlPackwell::JOINfiles_with_dialog(std::int32_t hwnd) {
    std::string result;
    pw::trapFailures([&] {
        const std::string chosen = chooseFile(hwnd, "First file (*.001)|*.001");
        if (chosen.empty()) return;
        if (!pw::endsWith(chosen, "001")) {
            pw::platform().messageBox(kFirstPieceMessage);
            return;
        }
        result = ModSpan::JoinSpan(chosen);
    });
    return result;
}

std::string ctlPackwell::JOINfiles(const std::string& Path_Filename_To_Join) {
    std::string result;
    pw::trapFailures([&] {
        if (!pw::isRegularFile(Path_Filename_To_Join)) {
            unableToLocate(Path_Filename_To_Join);
            return;
        }
        if (!pw::endsWith(Path_Filename_To_Join, "001")) {
            pw::platform().messageBox(kFirstPieceMessage);
            return;
        }
        result = ModSpan::JoinSpan(Path_Filename_To_Join);
    });
    return result;
}
