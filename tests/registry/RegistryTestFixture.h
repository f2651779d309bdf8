// A fresh registry folder for every test, with all three roots in it and
// writable; helpers to look at what was stored without cRegistry.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "registry/RegistryApi.h"
#include "support/TempDir.h"

namespace pwtest {

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("PACKWELL_REGISTRY_DIR", dir.path().c_str(), 1);
        for (HKEY root : {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
            pw::reg::setRootFolder(root, "");
            pw::reg::setRootReadOnly(root, false);
        }
        pw::reg::closeDatabases();
    }
    void TearDown() override { pw::reg::closeDatabases(); }

    struct Stored {
        bool found = false;
        std::uint32_t type = 0;
        std::string data;
    };
    // The raw value, read through the platform functions.
    static Stored stored(HKEY root, const std::string& key, const std::string& name) {
        Stored s;
        HKEY h = 0;
        if (pw::reg::RegOpenKeyEx(root, key, 0, KEY_QUERY_VALUE, &h) != ERROR_SUCCESS) return s;
        pw::reg::DWORD size = 0;
        if (pw::reg::RegQueryValueEx(h, name, nullptr, &s.type, nullptr, &size) == ERROR_SUCCESS) {
            s.data.resize(size);
            s.found = pw::reg::RegQueryValueEx(h, name, nullptr, &s.type, reinterpret_cast<std::uint8_t*>(s.data.data()),
                                               &size) == ERROR_SUCCESS;
        }
        pw::reg::RegCloseKey(h);
        return s;
    }
    static bool setRaw(HKEY root, const std::string& key, const std::string& name, std::uint32_t type,
                       const std::string& data) {
        HKEY h = 0;
        if (pw::reg::RegCreateKeyEx(root, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr) != ERROR_SUCCESS)
            return false;
        bool ok = pw::reg::RegSetValueEx(h, name, 0, type, reinterpret_cast<const std::uint8_t*>(data.data()),
                                         static_cast<pw::reg::DWORD>(data.size())) == ERROR_SUCCESS;
        pw::reg::RegCloseKey(h);
        return ok;
    }
    static bool keyExists(HKEY root, const std::string& key) {
        HKEY h = 0;
        if (pw::reg::RegOpenKeyEx(root, key, 0, KEY_QUERY_VALUE, &h) != ERROR_SUCCESS) return false;
        pw::reg::RegCloseKey(h);
        return true;
    }

    // Runs `body` in `processes` child processes at once; true when every
    // child reported success.
    template <class Body>
    static bool inChildren(int processes, Body body) {
        pw::reg::closeDatabases();
        std::vector<pid_t> pids;
        for (int p = 0; p < processes; ++p) {
            pid_t pid = ::fork();
            if (pid == 0) {
                bool ok = false;
                try {
                    ok = body(p);
                } catch (...) {
                }
                ::_exit(ok ? 0 : 1);
            }
            pids.push_back(pid);
        }
        bool all = true;
        for (pid_t pid : pids) {
            int status = 0;
            ::waitpid(pid, &status, 0);
            all = all && WIFEXITED(status) && WEXITSTATUS(status) == 0;
        }
        return all;
    }

    TempDir dir;
};

}  // namespace pwtest
