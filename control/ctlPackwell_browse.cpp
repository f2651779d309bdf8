// Archive browser launch of ctlPackwell: opens a browser window on an archive
// (or empty) and returns at once; the window then lives by itself.
#include "control/ctlPackwell.h"
#include "platform/FileCheck.h"
#include "platform/LibrarySettings.h"
#include "platform/Platform.h"

void ctlPackwell::ListZipContent(const std::string& zip_path_name_file) {
    if (!zip_path_name_file.empty()) {
        // A folder is no archive either: the same message as for a missing file.
        if (!pw::isRegularFile(zip_path_name_file)) {
            pw::platform().messageBox("Unable to locate " + zip_path_name_file, pw::MessageStyle::Plain,
                                      pw::kLibraryTitle);
            return;
        }
    }
    pw::librarySettings().browserArchivePath = zip_path_name_file;
    // No failure trap: what goes wrong while the window loads is the caller's.
    pw::platform().openArchiveBrowser();
}
