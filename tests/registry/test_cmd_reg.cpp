// packwell reg: what a user sees when inspecting and resetting the store.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "support/TempDir.h"
#include "support/Process.h"

namespace {

struct Outcome {
    int status = -1;
    std::string out;
};

class CmdReg : public ::testing::Test {
protected:
    void SetUp() override {
        program = pwtest::packwellProgram();
        if (!std::filesystem::exists(program)) GTEST_SKIP() << "packwell not built: " << program;
    }
    // Runs packwell with `args` (shell-quoted by the caller) on this test's
    // own registry folder; stderr is dropped.
    Outcome packwell(const std::string& args) {
        std::string cmd = "PACKWELL_REGISTRY_DIR='" + dir.path().string() + "' '" + program + "' " + args + " 2>/dev/null";
        const pwtest::ShellResult r = pwtest::shell(cmd);
        return {r.status, r.out};
    }
    std::string program;
    pwtest::TempDir dir;
};

const char* kKey = "'SOFTWARE\\brix\\Marlo'";

}  // namespace

TEST_F(CmdReg, SetThenGetEveryType) {
    ::setenv("PW_CLI_PLACE", "/srv/place", 1);
    std::string k = kKey;
    EXPECT_EQ(packwell("reg set HKCU " + k + " Flag REG_DWORD 4294967295").status, 0);
    EXPECT_EQ(packwell("reg get hkcu " + k + " flag").out, "4294967295\n");
    EXPECT_EQ(packwell("reg set HKEY_CURRENT_USER " + k + " P REG_SZ '%PW_CLI_PLACE%/a'").status, 0);
    EXPECT_EQ(packwell("reg get HKCU " + k + " P").out, "/srv/place/a\n");
    EXPECT_EQ(packwell("reg set HKCU " + k + " M REG_MULTI_SZ 'one\\ntwo'").status, 0);
    EXPECT_EQ(packwell("reg get HKCU " + k + " M").out, "one\ntwo\n");
    EXPECT_EQ(packwell("reg set HKCU " + k + " B REG_DWORD_BIG_ENDIAN 0x01020304").status, 0);
    EXPECT_EQ(packwell("reg get HKCU " + k + " B").out, "16909060\n");
    EXPECT_EQ(packwell("reg set HKCU " + k + " X REG_BINARY 00ff10").status, 0);
    EXPECT_EQ(packwell("reg get HKCU " + k + " X").out, "00ff10\n");
    EXPECT_EQ(packwell("reg set HKLM " + k + " Plain REG_EXPAND_SZ 'no vars'").status, 0);
    EXPECT_EQ(packwell("reg list HKLM " + k).out, "Plain\tREG_SZ\tno vars\n");
}

TEST_F(CmdReg, ListShowsValuesThenSubKeys) {
    std::string k = kKey;
    packwell("reg set HKCU " + k + " UseFolderNames REG_DWORD 1");
    packwell("reg set HKCU " + k + " Path REG_SZ '%HOME%'");
    packwell("reg set HKCU 'SOFTWARE\\brix\\Marlo\\FileOpenMRU' Count REG_SZ 0");
    packwell("reg set HKCU 'SOFTWARE\\brix\\Marlo\\ExtractToMRU' Count REG_SZ 0");
    auto r = packwell("reg list HKCU " + k);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "UseFolderNames\tREG_DWORD\t1\nPath\tREG_EXPAND_SZ\t%HOME%\nExtractToMRU\\\nFileOpenMRU\\\n");
}

TEST_F(CmdReg, MissingThingsAndBadInputExitNonZero) {
    std::string k = kKey;
    EXPECT_EQ(packwell("reg list HKCU " + k).status, 1);
    EXPECT_EQ(packwell("reg get HKCU " + k + " Nope").status, 1);
    EXPECT_EQ(packwell("reg delete HKCU " + k).status, 1);
    EXPECT_EQ(packwell("reg set HKU " + k + " a REG_SZ b").status, 2);
    EXPECT_EQ(packwell("reg set HKCU " + k + " a REG_QWORD 1").status, 2);
    EXPECT_EQ(packwell("reg set HKCU " + k + " a REG_DWORD ten").status, 2);
    EXPECT_EQ(packwell("reg set HKCU " + k + " a REG_BINARY xyz").status, 2);
    EXPECT_EQ(packwell("reg list HKCU " + k).status, 1);  // nothing was written
}

TEST_F(CmdReg, DeleteValuesAndKeys) {
    std::string k = kKey;
    packwell("reg set HKCU " + k + " A REG_SZ 1");
    packwell("reg set HKCU 'SOFTWARE\\brix\\Marlo\\FileOpenMRU' Item1 REG_SZ /x.zip");
    EXPECT_EQ(packwell("reg delete HKCU " + k + " A").status, 0);
    EXPECT_EQ(packwell("reg get HKCU " + k + " A").status, 1);
    EXPECT_EQ(packwell("reg delete HKCU " + k).status, 1);  // it has a sub-key
    EXPECT_EQ(packwell("reg list HKCU " + k).out, "FileOpenMRU\\\n");
    EXPECT_EQ(packwell("reg delete --recursive HKCU " + k).status, 0);
    EXPECT_EQ(packwell("reg list HKCU " + k).status, 1);
    EXPECT_EQ(packwell("reg list HKCU 'SOFTWARE\\brix'").out, "");
}
