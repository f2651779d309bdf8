// Archive browser launch of ctlPackwell: opens a browser window on an archive
// (or empty) and returns at once; the window then lives by itself.
#include <filesystem>
#include <system_error>

#include "control/LibrarySettings.h"
#include "control/ctlPackwell.h"
#include "platform/Platform.h"

void ctlPackwell::ListZipContent(const std::string& zip_path_name_file) {
    if (!zip_path_name_file.empty()) {
        std::error_code ec;
        // A folder is no archive either: the same message as for a missing file.
        if (!std::filesystem::is_regular_file(zip_path_name_file, ec)) {
            pw::platform().messageBox("Unable to locate " + zip_path_name_file, pw::MessageStyle::Plain,
                                      pw::kLibraryTitle);
            return;
        }
    }
    pw::librarySettings().browserArchivePath = zip_path_name_file;
    // No failure trap: what goes wrong while the window loads is the caller's.
    pw::platform().openArchiveBrowser();
}
