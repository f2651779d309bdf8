// Test side of the scripted stand-in engine: selects it for the process
// (before the first run loads an engine) and reaches its script and record.
#pragma once

#include <dlfcn.h>

#include <cstdlib>
#include <stdexcept>
#include <string>

#include "FakeEngine.h"
#include "support/Process.h"

namespace pwtest {

class FakeUnzipEngine {
public:
    static FakeUnzipEngine& get() {
        static FakeUnzipEngine engine;
        return engine;
    }
    static std::string folder() {
        return pwtest::binDir() + "/../fake-uzengine";
    }
    void script(const std::string& s) { setScript_(s.c_str()); }
    const FakeUzCall& last() const { return *lastCall_(); }
    int calls() const { return callCount_(); }

private:
    FakeUnzipEngine() {
        std::string dir = folder();
        setenv("PACKWELL_ENGINE_DIR", dir.c_str(), 1);
        void* h = dlopen((dir + "/libbrixuzip1.so").c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!h) throw std::runtime_error(std::string("stand-in engine: ") + dlerror());
        setScript_ = reinterpret_cast<FakeUzSetScriptFn>(dlsym(h, "FakeUz_SetScript"));
        lastCall_ = reinterpret_cast<FakeUzLastCallFn>(dlsym(h, "FakeUz_LastCall"));
        callCount_ = reinterpret_cast<FakeUzCallCountFn>(dlsym(h, "FakeUz_CallCount"));
        if (!setScript_ || !lastCall_ || !callCount_) throw std::runtime_error("stand-in engine lacks its hooks");
    }
    FakeUzSetScriptFn setScript_;
    FakeUzLastCallFn lastCall_;
    FakeUzCallCountFn callCount_;
};

}  // namespace pwtest
