#include "platform/Platform.h"

#include "platform/ConsolePlatform.h"

namespace pw {

namespace {
Platform* g_platform = nullptr;

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

}  // namespace pw
