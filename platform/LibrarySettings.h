// The library-wide settings: one set per thread, shared by every control and
// window of the library on that thread. Controls write them (the last writer
// wins); the library's windows read them when they load.
#pragma once

#include <string>

namespace pw {

struct LibrarySettings {
    std::string formUnzipCaption, formUnzipIcon;
    std::string formExtractCaption, formExtractIcon;
    std::string formOverwriteCaption, formOverwriteIcon;
    std::string formPasswordCaption, formPasswordIcon;
    // The archive the next browser window opens when it loads ("" = none).
    std::string browserArchivePath;
    // The browser window opened last (owned by the desktop layer; it clears
    // this when that window is destroyed). nullptr when there is none.
    void* newestBrowserWindow = nullptr;
};

// This thread's settings.
LibrarySettings& librarySettings();

}  // namespace pw
