#include "platform/LibrarySettings.h"

namespace pw {

LibrarySettings& librarySettings() {
    thread_local LibrarySettings settings;
    return settings;
}

}  // namespace pw
