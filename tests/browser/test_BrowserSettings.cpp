// The browser's remembered settings: which hive is read, partial sets, the
// save order, read-only and damaged hives, and the recent-archives menu.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "browser/BrowserSettings.h"
#include "registry/RegistryTestFixture.h"
#include "registry/cRegistry.h"

using pwtest::RegistryTest;

namespace {

struct MenuEntry {
    bool visible = false;
    std::string caption;
    std::string tag;
    bool checked = false;
};

class FakeBrowser : public BrowserSettingsHost {
public:
    bool useFolderNames = false;
    bool promptToOverwrite = false;
    std::int32_t fileCount = 0;
    std::map<int, MenuEntry> menu;
    std::vector<std::string> opened;

    bool UseFolderNames() const override { return useFolderNames; }
    void UseFolderNames(bool v) override { useFolderNames = v; }
    bool PromptToOverwrite() const override { return promptToOverwrite; }
    void PromptToOverwrite(bool v) override { promptToOverwrite = v; }
    std::int32_t FileCount() const override { return fileCount; }
    void setMenuVisible(int i, bool v) override { menu[i].visible = v; }
    void setMenuCaption(int i, const std::string& c) override { menu[i].caption = c; }
    void setMenuTag(int i, const std::string& t) override { menu[i].tag = t; }
    std::string menuTag(int i) const override { return menu.count(i) ? menu.at(i).tag : ""; }
    void setMenuChecked(int i, bool c) override { menu[i].checked = c; }
    void OpenZip(const std::string& path) override { opened.push_back(path); }
};

const std::string kKey = "SOFTWARE\\brix\\Marlo";

class BrowserSettingsTest : public RegistryTest {
protected:
    // Stores a set in `hive` the way a closing browser would.
    void saveSet(HKEY hive, bool folders, bool prompt, std::vector<std::string> archives,
                 std::vector<std::string> destinations) {
        FakeBrowser b;
        b.useFolderNames = folders;
        b.promptToOverwrite = prompt;
        BrowserSettings s(b);
        for (auto it = archives.rbegin(); it != archives.rend(); ++it) s.FileMRU().Add(*it);
        for (auto it = destinations.rbegin(); it != destinations.rend(); ++it) s.ExtractMRU().Add(*it);
        s.SaveSettings(hive);
    }
    static std::vector<std::string> items(cMRU& m) {
        std::vector<std::string> out;
        for (std::int32_t i = 1; i <= m.Count(); ++i) out.push_back(m.Item(i));
        return out;
    }
    static std::string dword(std::uint32_t v) {
        return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
    }
};

}  // namespace

TEST_F(BrowserSettingsTest, SaveWritesTheLayoutWithFlagsAsOneOrZero) {
    saveSet(HKEY_CURRENT_USER, true, false, {"/a.zip", "/b.zip"}, {"/out"});
    auto flag = stored(HKEY_CURRENT_USER, kKey, "UseFolderNames");
    EXPECT_EQ(flag.type, REG_DWORD);
    EXPECT_EQ(flag.data, dword(1));
    EXPECT_EQ(stored(HKEY_CURRENT_USER, kKey, "OverwritePrompt").data, dword(0));
    EXPECT_EQ(stored(HKEY_CURRENT_USER, kKey + "\\FileOpenMRU", "Item1").data, std::string("/a.zip\0", 7));
    EXPECT_EQ(stored(HKEY_CURRENT_USER, kKey + "\\FileOpenMRU", "Count").data, std::string("2\0", 2));
    EXPECT_EQ(stored(HKEY_CURRENT_USER, kKey + "\\ExtractToMRU", "Item1").data, std::string("/out\0", 5));
}

TEST_F(BrowserSettingsTest, ACompleteMachineSetIsUsedAndTheUserHiveIsNotRead) {
    saveSet(HKEY_LOCAL_MACHINE, true, true, {"/machine.zip"}, {"/machine-out"});
    saveSet(HKEY_CURRENT_USER, false, false, {"/user.zip"}, {"/user-out"});
    FakeBrowser b;
    BrowserSettings s(b);
    s.LoadAtStart();
    EXPECT_TRUE(b.useFolderNames);
    EXPECT_TRUE(b.promptToOverwrite);
    EXPECT_EQ(items(s.FileMRU()), std::vector<std::string>{"/machine.zip"});
    EXPECT_EQ(items(s.ExtractMRU()), std::vector<std::string>{"/machine-out"});
    EXPECT_EQ(s.RegKey(), kKey);
}

TEST_F(BrowserSettingsTest, TheUserHiveIsUsedWhenTheMachineHasNoSet) {
    saveSet(HKEY_CURRENT_USER, true, false, {"/user.zip"}, {"/user-out"});
    FakeBrowser b;
    BrowserSettings s(b);
    EXPECT_FALSE(s.LoadSettings(HKEY_LOCAL_MACHINE));
    EXPECT_FALSE(std::filesystem::exists(pw::reg::rootFile(HKEY_LOCAL_MACHINE)));
    s.LoadAtStart();
    EXPECT_TRUE(b.useFolderNames);
    EXPECT_FALSE(b.promptToOverwrite);
    EXPECT_EQ(items(s.FileMRU()), std::vector<std::string>{"/user.zip"});
}

TEST_F(BrowserSettingsTest, APartialMachineSetKeepsWhatItLoadedAndTheUserHiveOverridesIt) {
    saveSet(HKEY_LOCAL_MACHINE, true, true, {"/m.zip"}, {"/m-out"});
    cRegistry r;
    r.ClassKey(HKEY_LOCAL_MACHINE);
    r.SectionKey(kKey + "\\FileOpenMRU");
    for (const char* n : {"MaxCount", "Count", "Item1"}) {
        r.ValueKey(n);
        r.DeleteValue();
    }
    r.DeleteKey();

    FakeBrowser b;
    BrowserSettings s(b);
    EXPECT_FALSE(s.LoadSettings(HKEY_LOCAL_MACHINE));
    EXPECT_TRUE(b.useFolderNames);
    EXPECT_TRUE(b.promptToOverwrite);
    EXPECT_EQ(items(s.ExtractMRU()), std::vector<std::string>{"/m-out"});

    // The user hive has its main key with only one of the two values: the
    // missing one counts as 0, and its missing lists leave the loaded ones.
    r.ClassKey(HKEY_CURRENT_USER);
    r.SectionKey(kKey);
    r.ValueKey("UseFolderNames");
    r.ValueType(REG_DWORD);
    r.Value(pw::RegVariant(std::int32_t(1)));
    FakeBrowser b2;
    BrowserSettings s2(b2);
    s2.LoadAtStart();
    EXPECT_TRUE(b2.useFolderNames);
    EXPECT_FALSE(b2.promptToOverwrite);
    EXPECT_EQ(items(s2.ExtractMRU()), std::vector<std::string>{"/m-out"});
    EXPECT_EQ(s2.FileMRU().Count(), 0);
}

TEST_F(BrowserSettingsTest, LoadWithoutTheMainKeyChangesNothing) {
    FakeBrowser b;
    b.useFolderNames = true;
    BrowserSettings s(b);
    s.ExtractMRU().Add("/kept");
    EXPECT_FALSE(s.LoadSettings(HKEY_CURRENT_USER));
    EXPECT_TRUE(b.useFolderNames);
    EXPECT_EQ(items(s.ExtractMRU()), std::vector<std::string>{"/kept"});
}

TEST_F(BrowserSettingsTest, LoadReadsFlagsStoredAsOtherKinds) {
    ASSERT_TRUE(setRaw(HKEY_CURRENT_USER, kKey, "UseFolderNames", REG_SZ, std::string("1\0", 2)));
    ASSERT_TRUE(setRaw(HKEY_CURRENT_USER, kKey, "OverwritePrompt", REG_BINARY, "\x01"));
    FakeBrowser b;
    b.promptToOverwrite = true;
    BrowserSettings s(b);
    EXPECT_FALSE(s.LoadSettings(HKEY_CURRENT_USER));
    EXPECT_TRUE(b.useFolderNames);
    EXPECT_FALSE(b.promptToOverwrite);
}

TEST_F(BrowserSettingsTest, ClosingSavesBothHivesAlike) {
    FakeBrowser b;
    b.promptToOverwrite = true;
    BrowserSettings s(b);
    s.FileMRU().Add("/x.zip");
    s.ExtractMRU().Add("/dest");
    s.SaveAtClose();
    for (HKEY hive : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        EXPECT_EQ(stored(hive, kKey, "UseFolderNames").data, dword(0));
        EXPECT_EQ(stored(hive, kKey, "OverwritePrompt").data, dword(1));
        EXPECT_EQ(stored(hive, kKey + "\\FileOpenMRU", "Item1").data, std::string("/x.zip\0", 7));
        EXPECT_EQ(stored(hive, kKey + "\\ExtractToMRU", "Item1").data, std::string("/dest\0", 6));
    }
}

TEST_F(BrowserSettingsTest, AReadOnlyMachineHiveFailsQuietlyAndTheUserHiveIsSaved) {
    pw::reg::setRootReadOnly(HKEY_LOCAL_MACHINE, true);
    FakeBrowser b;
    b.useFolderNames = true;
    BrowserSettings s(b);
    s.FileMRU().Add("/x.zip");
    EXPECT_NO_THROW(s.SaveAtClose());
    EXPECT_EQ(stored(HKEY_CURRENT_USER, kKey, "UseFolderNames").data, dword(1));
    EXPECT_FALSE(std::filesystem::exists(pw::reg::rootFile(HKEY_LOCAL_MACHINE)));
}

TEST_F(BrowserSettingsTest, AFailingUserHiveStopsThereAndTheMachineHiveIsStillSaved) {
    // The user's database is damaged: its first write fails (and sets the file
    // aside), and nothing further is written to it in this save.
    ASSERT_TRUE(setRaw(HKEY_CURRENT_USER, "Other", "v", REG_SZ, "x"));
    pw::reg::closeDatabases();
    const std::string file = pw::reg::rootFile(HKEY_CURRENT_USER);
    std::filesystem::remove(file + "-wal");
    std::filesystem::remove(file + "-shm");
    pwtest::writeFile(file, pwtest::patternBytes(6000, 5));

    FakeBrowser b;
    BrowserSettings s(b);
    s.FileMRU().Add("/x.zip");
    s.SaveAtClose();
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, kKey));
    EXPECT_TRUE(std::filesystem::exists(file + ".damaged"));
    EXPECT_EQ(stored(HKEY_LOCAL_MACHINE, kKey + "\\FileOpenMRU", "Item1").data, std::string("/x.zip\0", 7));

    // The next close saves the user hive afresh.
    s.SaveAtClose();
    EXPECT_TRUE(stored(HKEY_CURRENT_USER, kKey, "OverwritePrompt").found);
}

TEST_F(BrowserSettingsTest, ADamagedHiveLoadsAsMissing) {
    saveSet(HKEY_LOCAL_MACHINE, true, true, {"/m.zip"}, {"/m-out"});
    saveSet(HKEY_CURRENT_USER, false, true, {"/u.zip"}, {"/u-out"});
    pw::reg::closeDatabases();
    const std::string file = pw::reg::rootFile(HKEY_LOCAL_MACHINE);
    std::filesystem::remove(file + "-wal");
    std::filesystem::remove(file + "-shm");
    pwtest::writeFile(file, pwtest::patternBytes(6000, 9));
    FakeBrowser b;
    BrowserSettings s(b);
    s.LoadAtStart();
    EXPECT_FALSE(b.useFolderNames);
    EXPECT_EQ(items(s.FileMRU()), std::vector<std::string>{"/u.zip"});
}

TEST_F(BrowserSettingsTest, TheRecentMenuShowsAtMostFourEntriesNewestFirst) {
    FakeBrowser b;
    BrowserSettings s(b);
    s.ShowMRU();
    EXPECT_TRUE(b.menu.empty());
    for (int i = 1; i <= 6; ++i) s.FileMRU().Add("/a" + std::to_string(i) + ".zip");
    s.ShowMRU();
    EXPECT_TRUE(b.menu[2].visible);
    EXPECT_EQ(b.menu[3].caption, "&1) /a6.zip");
    EXPECT_EQ(b.menu[3].tag, "/a6.zip");
    EXPECT_EQ(b.menu[6].caption, "&4) /a3.zip");
    EXPECT_TRUE(b.menu[6].visible);
    EXPECT_EQ(b.menu.count(7), 0u);
    EXPECT_FALSE(b.menu[3].checked);
    b.fileCount = 3;
    s.ShowMRU();
    EXPECT_TRUE(b.menu[3].checked);
    EXPECT_FALSE(b.menu[4].checked);
}

TEST_F(BrowserSettingsTest, AnAmpersandInARecentArchiveIsShownAsItself) {
    FakeBrowser b;
    BrowserSettings s(b);
    s.FileMRU().Add("/R&D.zip");
    s.ShowMRU();
    EXPECT_EQ(b.menu[3].caption, "&1) /R&&D.zip");
    EXPECT_EQ(b.menu[3].tag, "/R&D.zip");
}

TEST_F(BrowserSettingsTest, LoadingShowsTheRecentMenuUnchecked) {
    saveSet(HKEY_CURRENT_USER, false, false, {"/one.zip", "/two.zip"}, {});
    FakeBrowser b;
    BrowserSettings s(b);
    s.LoadAtStart();
    EXPECT_EQ(b.menu[3].caption, "&1) /one.zip");
    EXPECT_EQ(b.menu[4].caption, "&2) /two.zip");
    EXPECT_FALSE(b.menu[5].visible);
    EXPECT_FALSE(b.menu[3].checked);
}

TEST_F(BrowserSettingsTest, ARecentEntryClickOpensItsTag) {
    FakeBrowser b;
    BrowserSettings s(b);
    s.FileMRU().Add("/r.zip");
    s.ShowMRU();
    s.RecentEntryClick(3);
    s.RecentEntryClick(4);  // no tag
    s.RecentEntryClick(7);  // not a recent entry
    b.menu[7].tag = "/not-recent.zip";
    s.RecentEntryClick(7);
    EXPECT_EQ(b.opened, std::vector<std::string>{"/r.zip"});
}

TEST_F(BrowserSettingsTest, TwoBrowsersClosingAtOnceLeaveOneCompleteSet) {
    bool ok = inChildren(2, [](int p) {
        for (int round = 0; round < 20; ++round) {
            FakeBrowser b;
            b.useFolderNames = p == 1;
            BrowserSettings s(b);
            for (int i = 0; i < 16; ++i) s.FileMRU().Add("/p" + std::to_string(p) + "/" + std::to_string(i));
            s.SaveSettings(HKEY_CURRENT_USER);
        }
        return true;
    });
    ASSERT_TRUE(ok);
    FakeBrowser b;
    BrowserSettings s(b);
    EXPECT_TRUE(s.LoadSettings(HKEY_CURRENT_USER));
    EXPECT_EQ(s.FileMRU().Count(), 16);
}
