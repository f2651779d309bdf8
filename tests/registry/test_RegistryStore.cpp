// The registry functions on the store: keys, values, enumeration, limits,
// read-only and damaged roots, several processes at once.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>

#include "registry/RegistryApi.h"
#include "registry/RegistryTestFixture.h"

using namespace pw::reg;
using pwtest::RegistryTest;

namespace {

std::vector<std::string> valueNames(HKEY root, const std::string& key) {
    std::vector<std::string> names;
    HKEY h = 0;
    if (RegOpenKeyEx(root, key, 0, KEY_QUERY_VALUE, &h) != ERROR_SUCCESS) return names;
    for (DWORD i = 0;; ++i) {
        char buf[300];
        DWORD len = sizeof buf;
        if (RegEnumValue(h, i, buf, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.emplace_back(buf, len);
    }
    RegCloseKey(h);
    return names;
}

std::vector<std::string> subKeys(HKEY root, const std::string& key) {
    std::vector<std::string> names;
    HKEY h = 0;
    if (RegOpenKeyEx(root, key, 0, KEY_ENUMERATE_SUB_KEYS, &h) != ERROR_SUCCESS) return names;
    char buf[1100];
    for (DWORD i = 0; RegEnumKey(h, i, buf, sizeof buf) == ERROR_SUCCESS; ++i) names.emplace_back(buf);
    RegCloseKey(h);
    return names;
}

}  // namespace

TEST_F(RegistryTest, CreateMakesEveryMissingPartAndOpenIgnoresLetterCase) {
    HKEY h = 0;
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, "Software\\Brix\\Marlo", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h,
                             &disposition), ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
    RegCloseKey(h);
    ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, "SOFTWARE\\BRIX\\marlo", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h,
                             &disposition), ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
    RegCloseKey(h);
    EXPECT_TRUE(keyExists(HKEY_CURRENT_USER, "software\\brix"));
    EXPECT_TRUE(keyExists(HKEY_CURRENT_USER, "SOFTWARE\\BRIX\\MARLO\\"));
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, "Software\\Brix\\Marlo\\Other"));
    // The case of creation is kept.
    EXPECT_EQ(subKeys(HKEY_CURRENT_USER, "SOFTWARE"), std::vector<std::string>{"Brix"});
    // Roots are separate databases.
    EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, "Software"));
    EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, "Software"));
}

TEST_F(RegistryTest, CaseFoldingCoversLettersBeyondAscii) {
    ASSERT_TRUE(setRaw(HKEY_CURRENT_USER, "Ärger\\Ωmega\\Дом", "Größe", REG_SZ, std::string("x\0", 2)));
    EXPECT_TRUE(keyExists(HKEY_CURRENT_USER, "ärger\\ωMEGA\\дОМ"));
    EXPECT_TRUE(stored(HKEY_CURRENT_USER, "ÄRGER\\ΩMEGA\\ДОМ", "GRÖSSE").found == false);
    EXPECT_TRUE(stored(HKEY_CURRENT_USER, "ÄRGER\\ΩMEGA\\ДОМ", "GRÖßE").found);
}

TEST_F(RegistryTest, QueryReportsSizeWithoutBufferAndMoreDataWhenShort) {
    ASSERT_TRUE(setRaw(HKEY_CURRENT_USER, "K", "v", REG_BINARY, "abcdef"));
    HKEY h = 0;
    ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "K", 0, KEY_QUERY_VALUE, &h), ERROR_SUCCESS);
    DWORD type = 0, size = 0;
    EXPECT_EQ(RegQueryValueEx(h, "V", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_BINARY);
    EXPECT_EQ(size, 6u);
    std::uint8_t buf[8] = {};
    size = 3;
    EXPECT_EQ(RegQueryValueEx(h, "v", nullptr, &type, buf, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 6u);
    size = sizeof buf;
    EXPECT_EQ(RegQueryValueEx(h, "v", nullptr, &type, buf, &size), ERROR_SUCCESS);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), size), "abcdef");
    EXPECT_EQ(RegQueryValueEx(h, "missing", nullptr, &type, nullptr, &size), ERROR_FILE_NOT_FOUND);
    RegCloseKey(h);
    EXPECT_EQ(RegCloseKey(h), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegQueryValueEx(h, "v", nullptr, &type, nullptr, &size), ERROR_INVALID_HANDLE);
}

TEST_F(RegistryTest, ValueNamesIgnoreCaseAndKeepTheirFirstSpellingAndPlace) {
    ASSERT_TRUE(setRaw(HKEY_CURRENT_USER, "K", "Zeta", REG_SZ, "1"));
    ASSERT_TRUE(setRaw(HKEY_CURRENT_USER, "K", "alpha", REG_SZ, "2"));
    ASSERT_TRUE(setRaw(HKEY_CURRENT_USER, "K", "", REG_SZ, "default"));
    ASSERT_TRUE(setRaw(HKEY_CURRENT_USER, "K", "ZETA", REG_DWORD, "3333"));
    EXPECT_EQ(valueNames(HKEY_CURRENT_USER, "K"), (std::vector<std::string>{"Zeta", "alpha", ""}));
    auto v = stored(HKEY_CURRENT_USER, "k", "zeta");
    EXPECT_EQ(v.type, REG_DWORD);
    EXPECT_EQ(v.data, "3333");
    EXPECT_EQ(stored(HKEY_CURRENT_USER, "K", "").data, "default");
}

TEST_F(RegistryTest, SubKeysEnumerateByNameIgnoringCaseAndInfoCountsThem) {
    for (const char* k : {"P\\delta", "P\\Alpha", "P\\charlie", "P\\Bravo"}) ASSERT_TRUE(setRaw(HKEY_CURRENT_USER, k, "", REG_SZ, ""));
    ASSERT_TRUE(setRaw(HKEY_CURRENT_USER, "P", "a-longer-name", REG_BINARY, "0123456789"));
    ASSERT_TRUE(setRaw(HKEY_CURRENT_USER, "P", "b", REG_SZ, "x"));
    EXPECT_EQ(subKeys(HKEY_CURRENT_USER, "P"), (std::vector<std::string>{"Alpha", "Bravo", "charlie", "delta"}));
    HKEY h = 0;
    ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "P", 0, KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS, &h), ERROR_SUCCESS);
    DWORD keys = 0, keyLen = 0, values = 0, nameLen = 0, dataLen = 0;
    EXPECT_EQ(RegQueryInfoKey(h, &keys, &keyLen, &values, &nameLen, &dataLen), ERROR_SUCCESS);
    EXPECT_EQ(keys, 4u);
    EXPECT_EQ(keyLen, 7u);
    EXPECT_EQ(values, 2u);
    EXPECT_EQ(nameLen, 13u);
    EXPECT_EQ(dataLen, 10u);
    char small[4];
    DWORD len = sizeof small;
    EXPECT_EQ(RegEnumValue(h, 0, small, &len, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
    EXPECT_EQ(RegEnumKey(h, 0, small, sizeof small), ERROR_MORE_DATA);
    char buf[64];
    EXPECT_EQ(RegEnumKey(h, 4, buf, sizeof buf), ERROR_NO_MORE_ITEMS);
    len = sizeof buf;
    EXPECT_EQ(RegEnumValue(h, 2, buf, &len, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
    RegCloseKey(h);
}

TEST_F(RegistryTest, DeleteKeyRefusesSubKeysAndRootsAndRemovesValues) {
    ASSERT_TRUE(setRaw(HKEY_CURRENT_USER, "A\\B", "v", REG_SZ, "x"));
    EXPECT_EQ(RegDeleteKey(HKEY_CURRENT_USER, "A"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteKey(HKEY_CURRENT_USER, ""), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteKey(HKEY_CURRENT_USER, "A\\missing"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteKey(HKEY_CURRENT_USER, "a\\b"), ERROR_SUCCESS);
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, "A\\B"));
    // A key of the same name made again starts without the old values.
    ASSERT_TRUE(setRaw(HKEY_CURRENT_USER, "A\\B", "other", REG_SZ, "y"));
    EXPECT_FALSE(stored(HKEY_CURRENT_USER, "A\\B", "v").found);
    EXPECT_EQ(RegDeleteKey(HKEY_CURRENT_USER, "A\\B"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKey(HKEY_CURRENT_USER, "A"), ERROR_SUCCESS);
    // Deleting in a root that has no database creates none.
    EXPECT_EQ(RegDeleteKey(HKEY_LOCAL_MACHINE, "A"), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(std::filesystem::exists(rootFile(HKEY_LOCAL_MACHINE)));
}

TEST_F(RegistryTest, HandleOfADeletedKeyStoresNothing) {
    HKEY h = 0;
    ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, "Gone", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegDeleteKey(HKEY_CURRENT_USER, "Gone"), ERROR_SUCCESS);
    const std::uint8_t b = 1;
    EXPECT_EQ(RegSetValueEx(h, "v", 0, REG_BINARY, &b, 1), ERROR_KEY_DELETED);
    RegCloseKey(h);
    // The new key of that name does not pick up the write.
    ASSERT_TRUE(setRaw(HKEY_CURRENT_USER, "Gone", "w", REG_SZ, ""));
    EXPECT_EQ(valueNames(HKEY_CURRENT_USER, "Gone"), std::vector<std::string>{"w"});
}

TEST_F(RegistryTest, DeleteValue) {
    ASSERT_TRUE(setRaw(HKEY_CURRENT_USER, "K", "a", REG_SZ, "1"));
    ASSERT_TRUE(setRaw(HKEY_CURRENT_USER, "K", "b", REG_SZ, "2"));
    HKEY h = 0;
    ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "K", 0, KEY_ALL_ACCESS, &h), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValue(h, "A"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValue(h, "a"), ERROR_FILE_NOT_FOUND);
    RegCloseKey(h);
    EXPECT_EQ(valueNames(HKEY_CURRENT_USER, "K"), std::vector<std::string>{"b"});
}

TEST_F(RegistryTest, AKeyOpenedForReadingCannotWrite) {
    ASSERT_TRUE(setRaw(HKEY_CURRENT_USER, "K", "a", REG_SZ, "1"));
    HKEY h = 0;
    ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "K", 0, KEY_QUERY_VALUE, &h), ERROR_SUCCESS);
    const std::uint8_t b = 1;
    EXPECT_EQ(RegSetValueEx(h, "v", 0, REG_BINARY, &b, 1), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteValue(h, "a"), ERROR_ACCESS_DENIED);
    char buf[8];
    EXPECT_EQ(RegEnumKey(h, 0, buf, sizeof buf), ERROR_ACCESS_DENIED);
    RegCloseKey(h);
}

TEST_F(RegistryTest, NameLimits) {
    std::string part255(255, 'k'), part256(256, 'k');
    HKEY h = 0;
    EXPECT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, "L\\" + part256, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr),
              ERROR_INVALID_PARAMETER);
    ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, "L\\" + part255, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(h);
    // 255 characters, not bytes.
    std::string wide;
    for (int i = 0; i < 255; ++i) wide += "é";
    EXPECT_TRUE(setRaw(HKEY_CURRENT_USER, "L\\" + wide, "", REG_SZ, ""));
    EXPECT_EQ(subKeys(HKEY_CURRENT_USER, "L").size(), 2u);
}

TEST_F(RegistryTest, ReadingAMissingRootCreatesNothing) {
    HKEY h = 0;
    EXPECT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, "Software", 0, KEY_QUERY_VALUE, &h), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, "", 0, KEY_QUERY_VALUE, &h), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(std::filesystem::exists(rootFile(HKEY_LOCAL_MACHINE)));
    EXPECT_EQ(RegOpenKeyEx(0x1234, "x", 0, KEY_QUERY_VALUE, &h), ERROR_INVALID_HANDLE);
}

TEST_F(RegistryTest, AReadOnlyRootReadsButRefusesWrites) {
    ASSERT_TRUE(setRaw(HKEY_LOCAL_MACHINE, "Software\\Brix", "v", REG_SZ, "kept"));
    setRootReadOnly(HKEY_LOCAL_MACHINE, true);
    EXPECT_EQ(stored(HKEY_LOCAL_MACHINE, "Software\\Brix", "v").data, "kept");
    HKEY h = 0;
    EXPECT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, "Software\\Brix", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteKey(HKEY_LOCAL_MACHINE, "Software\\Brix"), ERROR_ACCESS_DENIED);
    EXPECT_TRUE(keyExists(HKEY_LOCAL_MACHINE, "Software\\Brix"));
}

TEST_F(RegistryTest, ARootInAFolderThatCannotBeMadeFailsToWrite) {
    pwtest::writeFile(dir / "plainfile", "x");
    setRootFolder(HKEY_LOCAL_MACHINE, dir / "plainfile/registry");
    HKEY h = 0;
    EXPECT_NE(RegCreateKeyEx(HKEY_LOCAL_MACHINE, "S", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, "S", 0, KEY_QUERY_VALUE, &h), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryTest, DefaultFoldersFollowTheEnvironment) {
    ::unsetenv("PACKWELL_REGISTRY_DIR");
    ::setenv("XDG_CONFIG_HOME", "/home/someone/cfg", 1);
    ::setenv("XDG_CONFIG_DIRS", "/etc/site:/etc/xdg", 1);
    EXPECT_EQ(rootFile(HKEY_CURRENT_USER), "/home/someone/cfg/packwell/registry/HKEY_CURRENT_USER.db");
    EXPECT_EQ(rootFile(HKEY_CLASSES_ROOT), "/home/someone/cfg/packwell/registry/HKEY_CLASSES_ROOT.db");
    EXPECT_EQ(rootFile(HKEY_LOCAL_MACHINE), "/etc/site/packwell/registry/HKEY_LOCAL_MACHINE.db");
    ::unsetenv("XDG_CONFIG_HOME");
    ::unsetenv("XDG_CONFIG_DIRS");
    ::setenv("HOME", "/home/other", 1);
    EXPECT_EQ(rootFile(HKEY_CURRENT_USER), "/home/other/.config/packwell/registry/HKEY_CURRENT_USER.db");
    EXPECT_EQ(rootFile(HKEY_LOCAL_MACHINE), "/etc/xdg/packwell/registry/HKEY_LOCAL_MACHINE.db");
    ::setenv("PACKWELL_REGISTRY_DIR", dir.path().c_str(), 1);
    EXPECT_EQ(rootFile(HKEY_LOCAL_MACHINE), (dir / "HKEY_LOCAL_MACHINE.db"));
}

TEST_F(RegistryTest, AGarbageFileReadsAsMissingAndIsKeptAsideOnTheFirstWrite) {
    ASSERT_TRUE(setRaw(HKEY_CURRENT_USER, "K", "v", REG_SZ, "1"));
    closeDatabases();
    const std::string file = rootFile(HKEY_CURRENT_USER);
    std::filesystem::remove(file + "-wal");
    std::filesystem::remove(file + "-shm");
    const std::string garbage = pwtest::patternBytes(8192, 7);
    pwtest::writeFile(file, garbage);

    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, "K"));
    EXPECT_FALSE(stored(HKEY_CURRENT_USER, "K", "v").found);
    EXPECT_EQ(subKeys(HKEY_CURRENT_USER, ""), std::vector<std::string>{});
    EXPECT_EQ(pwtest::readFile(file), garbage);  // reading changed nothing

    HKEY h = 0;
    EXPECT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, "K", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr),
              ERROR_REGISTRY_CORRUPT);
    ASSERT_TRUE(std::filesystem::exists(file + ".damaged"));
    EXPECT_EQ(pwtest::readFile(file + ".damaged"), garbage);
    // The next write starts afresh.
    ASSERT_TRUE(setRaw(HKEY_CURRENT_USER, "K", "v", REG_SZ, "2"));
    EXPECT_EQ(stored(HKEY_CURRENT_USER, "K", "v").data, "2");
    // A second damage does not overwrite the first one kept aside.
    closeDatabases();
    std::filesystem::remove(file + "-wal");
    std::filesystem::remove(file + "-shm");
    pwtest::writeFile(file, "not a database at all, not even close.........................................");
    EXPECT_FALSE(setRaw(HKEY_CURRENT_USER, "K", "v", REG_SZ, "3"));
    EXPECT_EQ(pwtest::readFile(file + ".damaged"), garbage);
    EXPECT_TRUE(std::filesystem::exists(file + ".damaged.1"));
}

TEST_F(RegistryTest, AFileReplacedUnderAnOpenConnectionIsReopened) {
    ASSERT_TRUE(setRaw(HKEY_CURRENT_USER, "K", "v", REG_SZ, "1"));
    const std::string file = rootFile(HKEY_CURRENT_USER);
    // Another process moves the database away and leaves garbage instead.
    for (const char* ext : {"", "-wal", "-shm"}) std::filesystem::rename(file + ext, dir / ("moved.db" + std::string(ext)));
    pwtest::writeFile(dir / "garbage", pwtest::patternBytes(4096, 3));
    std::filesystem::rename(dir / "garbage", file);
    EXPECT_FALSE(stored(HKEY_CURRENT_USER, "K", "v").found);
    std::filesystem::remove(file);
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, "K"));
    ASSERT_TRUE(setRaw(HKEY_CURRENT_USER, "K2", "v", REG_SZ, "1"));
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, "K"));
}

TEST_F(RegistryTest, TwoProcessesCreatingTheSameKeysAndWritingLoseNothing) {
    constexpr int kEach = 1000;
    bool ok = inChildren(2, [](int p) {
        for (int i = 0; i < kEach; ++i) {
            std::string key = "Stress\\K" + std::to_string(i % 10) + "\\Deep";
            std::string name = "p" + std::to_string(p) + "_" + std::to_string(i);
            if (!setRaw(HKEY_CURRENT_USER, key, name, REG_SZ, name)) return false;
        }
        return true;
    });
    EXPECT_TRUE(ok);
    std::size_t total = 0;
    for (int k = 0; k < 10; ++k) total += valueNames(HKEY_CURRENT_USER, "Stress\\K" + std::to_string(k) + "\\Deep").size();
    EXPECT_EQ(total, 2u * kEach);
    EXPECT_EQ(subKeys(HKEY_CURRENT_USER, "Stress").size(), 10u);
    EXPECT_EQ(stored(HKEY_CURRENT_USER, "Stress\\K3\\Deep", "p1_993").data, "p1_993");
}

TEST_F(RegistryTest, AChildProcessDoesNotShareTheParentsConnection) {
    ASSERT_TRUE(setRaw(HKEY_CURRENT_USER, "K", "parent", REG_SZ, "1"));
    // No closeDatabases() here: the child inherits the open connection.
    pid_t pid = ::fork();
    if (pid == 0) ::_exit(setRaw(HKEY_CURRENT_USER, "K", "child", REG_SZ, "2") ? 0 : 1);
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(stored(HKEY_CURRENT_USER, "K", "child").data, "2");
    ASSERT_TRUE(setRaw(HKEY_CURRENT_USER, "K", "after", REG_SZ, "3"));
    EXPECT_EQ(stored(HKEY_CURRENT_USER, "K", "parent").data, "1");
}

TEST(ExpandEnvironmentStrings, ReplacesKnownNamesAndLeavesTheRest) {
    ::setenv("PW_EXPAND_A", "alpha", 1);
    ::unsetenv("PW_EXPAND_NOPE");
    EXPECT_EQ(expandEnvironmentStrings("x%PW_EXPAND_A%y"), "xalphay");
    EXPECT_EQ(expandEnvironmentStrings("%PW_EXPAND_NOPE%"), "%PW_EXPAND_NOPE%");
    EXPECT_EQ(expandEnvironmentStrings("%PW_EXPAND_NOPE%PW_EXPAND_A%"), "%PW_EXPAND_NOPEalpha");
    EXPECT_EQ(expandEnvironmentStrings("100% and %%"), "100% and %%");
    EXPECT_EQ(expandEnvironmentStrings("%"), "%");
    char buf[6];
    EXPECT_EQ(ExpandEnvironmentStrings("%PW_EXPAND_A%", nullptr, 0), 6u);
    EXPECT_EQ(ExpandEnvironmentStrings("%PW_EXPAND_A%", buf, 6), 6u);
    EXPECT_STREQ(buf, "alpha");
    buf[0] = 'z';
    EXPECT_EQ(ExpandEnvironmentStrings("%PW_EXPAND_A%!", buf, 6), 7u);
    EXPECT_EQ(buf[0], 'z');
}

TEST(RegistryNames, RootsAndTypes) {
    EXPECT_EQ(rootFromName("hkcu"), HKEY_CURRENT_USER);
    EXPECT_EQ(rootFromName("HKEY_LOCAL_MACHINE"), HKEY_LOCAL_MACHINE);
    EXPECT_EQ(rootFromName("HKCR"), HKEY_CLASSES_ROOT);
    EXPECT_EQ(rootFromName("HKU"), 0);
    EXPECT_EQ(rootName(HKEY_CURRENT_USER), "HKEY_CURRENT_USER");
    EXPECT_EQ(typeFromName("reg_multi_sz"), REG_MULTI_SZ);
    EXPECT_EQ(typeFromName("REG_QWORD"), 0xFFFFFFFFu);
    EXPECT_EQ(typeName(REG_DWORD_BIG_ENDIAN), "REG_DWORD_BIG_ENDIAN");
    EXPECT_EQ(typeName(11), "11");
}
