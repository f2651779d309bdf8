// What the tests on the real unzip engine share: shell commands, archives
// made by Python's zipfile, and a scratch folder with an archive path and an
// extract folder, questions answered by the scripted platform.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/Python.h"
#include "support/ScriptedPlatform.h"
#include "support/TempDir.h"

namespace pwtest {

// The exit status of a shell command, -1 when a signal ended it.
inline int sh(const std::string& cmd) {
    int rc = std::system(cmd.c_str());
    return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

// Runs a Python snippet with `z` open for writing on `archive`, entries
// compressed by `method` unless they say otherwise.
inline void pyZip(const std::string& archive, const std::string& body, const std::string& method = "ZIP_DEFLATED") {
    TempDir t;
    writeFile(t / "mk.py", "import zipfile, sys\nz = zipfile.ZipFile(sys.argv[1], 'w', zipfile." + method + ")\n" +
                               body + "\nz.close()\n");
    ASSERT_EQ(sh(python() + " '" + (t / "mk.py") + "' '" + archive + "'"), 0);
}

// A scratch folder with `archive` (a.zip) and an extract folder `out`, on
// the real engine beside the binaries.
class RealArchiveTest : public ::testing::Test {
protected:
    void SetUp() override {
        unsetenv("PACKWELL_ENGINE_DIR");
        out = dir / "out";
        std::filesystem::create_directories(out);
        archive = dir / "a.zip";
    }
    TempDir dir;
    std::string archive, out;
    pw::ScriptedPlatform ui;
    pw::ScopedPlatform scope{ui};
};

}  // namespace pwtest
