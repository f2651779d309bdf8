#include "platform/Platform.h"

#include "platform/ConsolePlatform.h"

namespace pw {

namespace {
Platform* g_platform = nullptr;
Progress* g_progress = nullptr;

Platform& defaultPlatform() {
    static ConsolePlatform console;
    return console;
}
}  // namespace

Platform& platform() { return g_platform ? *g_platform : defaultPlatform(); }

Platform* setPlatform(Platform* p) {
    Platform* previous = g_platform;
    g_platform = p;
    return previous;
}

void reportProgress(std::string_view task, std::int64_t done, std::int64_t total) {
    if (g_progress) g_progress->progress(task, done, total);
}

Progress* setProgress(Progress* p) {
    Progress* previous = g_progress;
    g_progress = p;
    return previous;
}

}  // namespace pw
