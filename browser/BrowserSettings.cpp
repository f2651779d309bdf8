#include "browser/BrowserSettings.h"

#include "platform/Text.h"
#include "registry/cRegistry.h"

namespace {

// A flag that is missing or unreadable counts as 0.
bool readFlag(cRegistry& cR, const char* name) {
    cR.ValueKey(name);
    try {
        return cR.Value().toLongOr(0) != 0;
    } catch (...) {
        return false;
    }
}

}  // namespace

BrowserSettings::BrowserSettings(BrowserSettingsHost& host)
    : m_host(host),
      m_cExtractMRU(std::make_shared<cMRU>()),
      m_cFileMRU(std::make_shared<cMRU>()),
      m_sRegKey(kRegKey) {}

bool BrowserSettings::LoadSettings(std::int32_t hive) {
    try {
        auto cR = std::make_shared<cRegistry>();
        cR->ClassKey(hive);
        cR->SectionKey(m_sRegKey);
        if (!cR->KeyExists()) return false;
        cR->ValueType(REG_DWORD);
        m_host.UseFolderNames(readFlag(*cR, "UseFolderNames"));
        cR->ValueType(REG_DWORD);
        m_host.PromptToOverwrite(readFlag(*cR, "OverwritePrompt"));

        cR->SectionKey(m_sRegKey + "\\ExtractToMRU");
        if (!cR->KeyExists()) return false;
        m_cExtractMRU->DeSerialise(*cR);

        cR->SectionKey(m_sRegKey + "\\FileOpenMRU");
        if (!cR->KeyExists()) return false;
        m_cFileMRU->DeSerialise(*cR);
        ShowMRU();
        return true;
    } catch (...) {
        return false;
    }
}

void BrowserSettings::SaveSettings(std::int32_t hive) {
    // The first write that fails ends the saving to this hive.
    try {
        auto cR = std::make_shared<cRegistry>();
        cR->ClassKey(hive);
        cR->SectionKey(m_sRegKey + "\\ExtractToMRU");
        m_cExtractMRU->Serialise(*cR);
        cR->SectionKey(m_sRegKey + "\\FileOpenMRU");
        m_cFileMRU->Serialise(*cR);
        cR->ValueType(REG_DWORD);
        cR->SectionKey(m_sRegKey);
        cR->ValueKey("UseFolderNames");
        cR->Value(pw::RegVariant(std::int32_t(m_host.UseFolderNames() ? 1 : 0)));
        cR->ValueKey("OverwritePrompt");
        cR->Value(pw::RegVariant(std::int32_t(m_host.PromptToOverwrite() ? 1 : 0)));
    } catch (...) {
    }
}

void BrowserSettings::ShowMRU() {
    if (m_cFileMRU->Count() < 1) return;
    m_host.setMenuVisible(kSeparatorIndex, true);
    const std::int32_t n = std::min<std::int32_t>(m_cFileMRU->Count(), kLastRecentIndex - kFirstRecentIndex + 1);
    for (std::int32_t k = 1; k <= n; ++k) {
        const int index = kFirstRecentIndex + k - 1;
        const std::string item = m_cFileMRU->Item(k);
        m_host.setMenuVisible(index, true);
        // In a menu caption "&" marks the access key: one in the path is doubled
        // so that "R&D.zip" reads as itself.
        m_host.setMenuCaption(index, "&" + std::to_string(k) + ") " + pw::replaceAll(item, "&", "&&"));
        m_host.setMenuTag(index, item);
        if (k == 1) m_host.setMenuChecked(index, m_host.FileCount() > 0);
    }
}

void BrowserSettings::RecentEntryClick(int index) {
    if (index < kFirstRecentIndex || index > kLastRecentIndex) return;
    const std::string tag = m_host.menuTag(index);
    if (!tag.empty()) m_host.OpenZip(tag);
}

void BrowserSettings::LoadAtStart() {
    if (!LoadSettings(HKEY_LOCAL_MACHINE)) LoadSettings(HKEY_CURRENT_USER);
}

void BrowserSettings::SaveAtClose() {
    SaveSettings(HKEY_CURRENT_USER);
    SaveSettings(HKEY_LOCAL_MACHINE);
}
