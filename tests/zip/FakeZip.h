// Access to the fake zip engine that the binding loads in these tests, and a
// fixture that resets it and restores the current folder (runs change it).
#pragma once

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>

#include "errors/Error.h"
#include "fake/FakeZipEngine.h"
#include "support/Errors.h"

namespace pwtest {

inline FakeZipState& fakeZip() {
    static FakeZipState* state = [] {
        const char* dir = std::getenv("PACKWELL_ENGINE_DIR");
        if (!dir) throw std::runtime_error("PACKWELL_ENGINE_DIR is not set");
        std::string path = std::string(dir) + "/libbrixzip1.so";
        void* h = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!h) throw std::runtime_error(std::string("cannot load the fake engine: ") + dlerror());
        auto fn = reinterpret_cast<FakeZipState* (*)()>(dlsym(h, "FakeZip_State"));
        if (!fn) throw std::runtime_error("not the fake engine: " + path);
        return fn();
    }();
    return *state;
}

class FakeZipTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = std::filesystem::current_path();
        fakeZip().reset();
    }
    void TearDown() override { std::filesystem::current_path(saved_); }

private:
    std::filesystem::path saved_;
};

}  // namespace pwtest
