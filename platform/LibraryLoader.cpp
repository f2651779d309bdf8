#include "platform/LibraryLoader.h"

#include <dlfcn.h>

#include <cstdlib>
#include <filesystem>

#include "errors/Error.h"

namespace pw {

LibraryLoader::~LibraryLoader() {
    // Engine libraries stay loaded for the life of the process: callbacks
    // may still be registered with them, as with the platform's loader.
}

std::string thisBinaryFolder() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&thisBinaryFolder), &info) && info.dli_fname) {
        std::error_code ec;
        auto p = std::filesystem::canonical(info.dli_fname, ec);
        if (!ec) return p.parent_path().string();
    }
    return {};
}

void* LibraryLoader::symbol(const char* entryPoint, const std::string& source) {
    if (!handle_) {
        std::string tried;
        auto attempt = [&](const std::string& path) {
            if (handle_) return;
            handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
            if (!handle_) {
                const char* why = dlerror();
                if (why && tried.empty()) tried = why;
            }
        };
        if (const char* dir = std::getenv("PACKWELL_ENGINE_DIR"); dir && *dir) attempt(std::string(dir) + "/" + fileName_);
        std::string here = thisBinaryFolder();
        if (!here.empty()) attempt(here + "/" + fileName_);
        attempt(fileName_);
        if (!handle_)
            throw Error(kLoadingLibrary, source,
                        classicDescription(kLoadingLibrary) + " " + fileName_ + (tried.empty() ? "" : " (" + tried + ")"));
    }
    dlerror();
    void* sym = dlsym(handle_, entryPoint);
    if (!sym)
        throw Error(kEntryPointNotFound, source,
                    std::string("Can't find DLL entry point ") + entryPoint + " in " + fileName_);
    return sym;
}

}  // namespace pw
