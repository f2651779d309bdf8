// Lazy loading of the outside engine libraries. A library is looked for in
// $PACKWELL_ENGINE_DIR, then beside the binary that holds this code (the
// build folder), then by the system's search, which takes the RUNPATH of that
// binary: installed, it names the private engine folder <libdir>/packwell.
// A missing library raises 48, a missing entry point 453.
#pragma once

#include <string>

namespace pw {

class LibraryLoader {
public:
    explicit LibraryLoader(std::string fileName) : fileName_(std::move(fileName)) {}
    ~LibraryLoader();
    LibraryLoader(const LibraryLoader&) = delete;
    LibraryLoader& operator=(const LibraryLoader&) = delete;

    // The address of `entryPoint`, loading the library at the first call.
    void* symbol(const char* entryPoint, const std::string& source);

    template <class Fn>
    Fn function(const char* entryPoint, const std::string& source) {
        return reinterpret_cast<Fn>(symbol(entryPoint, source));
    }

    const std::string& fileName() const { return fileName_; }

private:
    std::string fileName_;
    void* handle_ = nullptr;
};

// The folder that holds the binary containing this code, without trailing "/".
std::string thisBinaryFolder();

}  // namespace pw
