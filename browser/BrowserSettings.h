// The archive browser's remembered settings: the two recent lists, the two
// extraction options, and the recent-archives entries of its File menu.
// Kept free of any window toolkit: the browser window implements
// BrowserSettingsHost and owns one BrowserSettings.
//
// Layout under HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER, key
// "SOFTWARE\brix\Marlo": values "UseFolderNames", "OverwritePrompt"
// (REG_DWORD 1 or 0), sub-keys "ExtractToMRU" and "FileOpenMRU" (serialised
// cMRU lists).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "browser/cMRU.h"

// What the settings need from the browser window: its unzip object's two
// options and entry count, its File menu entries and OpenZip.
class BrowserSettingsHost {
public:
    virtual ~BrowserSettingsHost() = default;

    // m_cUnzip.UseFolderNames / PromptToOverwrite / FileCount.
    virtual bool UseFolderNames() const = 0;
    virtual void UseFolderNames(bool value) = 0;
    virtual bool PromptToOverwrite() const = 0;
    virtual void PromptToOverwrite(bool value) = 0;
    virtual std::int32_t FileCount() const = 0;

    // File menu (mnuFile) entries by index: 2 is the separator above the
    // recent archives, 3 to 6 are recent archives 1 to 4.
    virtual void setMenuVisible(int index, bool visible) = 0;
    virtual void setMenuCaption(int index, const std::string& caption) = 0;
    virtual void setMenuTag(int index, const std::string& tag) = 0;
    virtual std::string menuTag(int index) const = 0;
    virtual void setMenuChecked(int index, bool checked) = 0;

    // Opens an archive in the window (what a recent entry's click does).
    virtual void OpenZip(const std::string& path) = 0;
};

class BrowserSettings {
public:
    static constexpr const char* kRegKey = "SOFTWARE\\brix\\Marlo";
    static constexpr int kSeparatorIndex = 2;
    static constexpr int kFirstRecentIndex = 3;
    static constexpr int kLastRecentIndex = 6;

    // Creates the two empty lists (capacity 16 each).
    explicit BrowserSettings(BrowserSettingsHost& host);

    cMRU& ExtractMRU() { return *m_cExtractMRU; }  // destination folders
    cMRU& FileMRU() { return *m_cFileMRU; }        // archives opened
    const std::string& RegKey() const { return m_sRegKey; }

    // Reads the settings of one hive; True when its complete set was found.
    // What was read stays read when a later part is missing. Never raises.
    bool LoadSettings(std::int32_t hive);
    // Writes every setting to one hive, stopping at the first write that
    // fails there. Never raises.
    void SaveSettings(std::int32_t hive);
    // Rebuilds the recent-archives entries from FileMRU (at most four).
    void ShowMRU();
    // A click on File menu entry `index` 3..6: opens the archive in its tag.
    void RecentEntryClick(int index);

    // At load: HKEY_LOCAL_MACHINE, and HKEY_CURRENT_USER when the machine
    // has no complete set.
    void LoadAtStart();
    // At close: HKEY_CURRENT_USER, then HKEY_LOCAL_MACHINE.
    void SaveAtClose();

private:
    BrowserSettingsHost& m_host;
    std::shared_ptr<cMRU> m_cExtractMRU;
    std::shared_ptr<cMRU> m_cFileMRU;
    std::string m_sRegKey;
};
