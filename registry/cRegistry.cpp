#include "registry/cRegistry.h"

#include <cstring>

#include "errors/Error.h"
#include "platform/Text.h"

using namespace pw::reg;
using pw::RegBytes;
using pw::RegVariant;

namespace {

// Every key is closed before the operation returns, raising or not.
struct OpenedKey {
    HKEY h = 0;
    ~OpenedKey() {
        if (h) RegCloseKey(h);
    }
};

[[noreturn]] void fail(int number, const std::string& description) {
    throw pw::Error(number, cRegistry::kSource, description);
}

// A "%" followed, after at least one character, by another "%" makes the
// text an expandable one.
bool namesVariable(const std::string& s) {
    std::size_t first = s.find('%');
    return first != std::string::npos && s.find('%', first + 2) != std::string::npos;
}

// The text of a string value: its bytes without the terminating NUL (only a
// NUL is dropped, so a value stored without one loses nothing).
std::string textOf(const RegBytes& data) {
    std::string s(data.begin(), data.end());
    if (!s.empty() && s.back() == '\0') s.pop_back();
    return s;
}

std::uint32_t dwordOf(const RegBytes& data, bool bigEndian) {
    std::uint8_t b[4] = {0, 0, 0, 0};
    std::memcpy(b, data.data(), std::min<std::size_t>(4, data.size()));
    if (bigEndian) return std::uint32_t(b[0]) << 24 | std::uint32_t(b[1]) << 16 | std::uint32_t(b[2]) << 8 | b[3];
    return std::uint32_t(b[3]) << 24 | std::uint32_t(b[2]) << 16 | std::uint32_t(b[1]) << 8 | b[0];
}

std::string quotedPath(const std::string& path) {
    std::string t = pw::trimBlanks(path);
    bool lead = !t.empty() && t.front() == '"';
    bool trail = t.size() >= (lead ? 2u : 1u) && t.back() == '"';
    return (lead ? "" : "\"") + t + (trail ? "" : "\"");
}

}  // namespace

bool cRegistry::KeyExists() const {
    OpenedKey key;
    return RegOpenKeyEx(m_lClassKey, m_sSectionKey, 0, KEY_QUERY_VALUE, &key.h) == ERROR_SUCCESS;
}

bool cRegistry::CreateKey() {
    OpenedKey key;
    DWORD disposition = 0;
    if (RegCreateKeyEx(m_lClassKey, m_sSectionKey, 0, "", REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key.h,
                       &disposition) != ERROR_SUCCESS)
        fail(kErrRegistry, "Failed to create registry Key: '" + m_sSectionKey);
    return true;
}

bool cRegistry::DeleteKey() {
    if (RegDeleteKey(m_lClassKey, m_sSectionKey) != ERROR_SUCCESS)
        fail(kErrRegistry, "Failed to delete registry Key: '" + std::to_string(m_lClassKey) + "',Section: '" +
                               m_sSectionKey);
    return true;
}

bool cRegistry::DeleteValue() {
    OpenedKey key;
    if (RegOpenKeyEx(m_lClassKey, m_sSectionKey, 0, KEY_ALL_ACCESS, &key.h) != ERROR_SUCCESS)
        fail(kErrRegistry, "Failed to open key '" + std::to_string(m_lClassKey) + "',Section: '" + m_sSectionKey +
                               "' for delete access");
    if (RegDeleteValue(key.h, m_sValueKey) != ERROR_SUCCESS)
        fail(kErrRegistry, "Failed to delete registry Key: '" + std::to_string(m_lClassKey) + "',Section: '" +
                               m_sSectionKey + "',Key: '" + m_sValueKey);
    return true;
}

RegVariant cRegistry::Value() {
    OpenedKey key;
    if (RegOpenKeyEx(m_lClassKey, m_sSectionKey, 0, KEY_QUERY_VALUE, &key.h) != ERROR_SUCCESS) return m_vDefault;
    DWORD type = 0, size = 0;
    LONG rc = RegQueryValueEx(key.h, m_sValueKey, nullptr, &type, nullptr, &size);
    if (rc != ERROR_SUCCESS && rc != ERROR_MORE_DATA) return m_vDefault;
    m_lValueType = static_cast<std::int32_t>(type);

    RegBytes data(size);
    DWORD got = size;
    rc = RegQueryValueEx(key.h, m_sValueKey, nullptr, &type, data.data(), &got);
    if (rc == ERROR_MORE_DATA) {
        // Rewritten longer between the two queries: take the new one.
        data.resize(got);
        rc = RegQueryValueEx(key.h, m_sValueKey, nullptr, &type, data.data(), &got);
    }
    if (rc != ERROR_SUCCESS) return m_vDefault;
    data.resize(got);
    m_lValueType = static_cast<std::int32_t>(type);

    switch (type) {
        case REG_SZ:
        case REG_MULTI_SZ: return RegVariant(textOf(data));
        case REG_EXPAND_SZ: return RegVariant(expandEnvironmentStrings(pw::cutAtNul(textOf(data))));
        case REG_DWORD: return RegVariant(static_cast<std::int32_t>(dwordOf(data, false)));
        case REG_DWORD_BIG_ENDIAN: return RegVariant(static_cast<std::int32_t>(dwordOf(data, true)));
        default: return RegVariant(std::move(data));
    }
}

std::string cRegistry::setFailureText(const RegVariant& vValue) const {
    return "Failed to set registry value Key: '" + std::to_string(m_lClassKey) + "',Section: '" + m_sSectionKey +
           "',Key: '" + m_sValueKey + "' to value: '" + vValue.toString() + "'";
}

void cRegistry::Value(const RegVariant& vValue) {
    OpenedKey key;
    DWORD disposition = 0;
    if (RegCreateKeyEx(m_lClassKey, m_sSectionKey, 0, "", REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key.h,
                       &disposition) != ERROR_SUCCESS)
        fail(kErrRegistry, setFailureText(vValue));

    LONG rc = ERROR_SUCCESS;
    switch (m_lValueType) {
        case static_cast<std::int32_t>(REG_SZ):
        case static_cast<std::int32_t>(REG_EXPAND_SZ): {
            // The stored type follows the content, whichever of the two was asked.
            std::string s = vValue.toString();
            DWORD type = namesVariable(s) ? REG_EXPAND_SZ : REG_SZ;
            rc = RegSetValueEx(key.h, m_sValueKey, 0, type, reinterpret_cast<const std::uint8_t*>(s.c_str()),
                               static_cast<DWORD>(s.size() + 1));
            break;
        }
        case static_cast<std::int32_t>(REG_BINARY): {
            if (!vValue.is<RegBytes>()) throw pw::Error(kErrRegistry, "", "");
            const RegBytes& b = vValue.get<RegBytes>();
            rc = RegSetValueEx(key.h, m_sValueKey, 0, REG_BINARY, b.data(), static_cast<DWORD>(b.size()));
            break;
        }
        case static_cast<std::int32_t>(REG_DWORD):
        case static_cast<std::int32_t>(REG_DWORD_BIG_ENDIAN): {
            // Only integers are stored; a Boolean or any other kind quietly
            // stores nothing.
            std::uint32_t v = 0;
            if (vValue.is<std::int16_t>()) v = static_cast<std::uint32_t>(static_cast<std::int32_t>(vValue.get<std::int16_t>()));
            else if (vValue.is<std::int32_t>()) v = static_cast<std::uint32_t>(vValue.get<std::int32_t>());
            else break;
            std::uint8_t b[4] = {std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16), std::uint8_t(v >> 24)};
            rc = RegSetValueEx(key.h, m_sValueKey, 0, REG_DWORD, b, 4);
            break;
        }
        default: rc = 13; break;
    }
    if (rc != ERROR_SUCCESS) fail(kErrSetValue, setFailureText(vValue));
}

bool cRegistry::EnumerateValues(std::vector<std::string>& sKeyNames, std::int32_t& iKeyCount) {
    iKeyCount = 0;
    sKeyNames.clear();
    OpenedKey key;
    if (RegOpenKeyEx(m_lClassKey, m_sSectionKey, 0, KEY_QUERY_VALUE, &key.h) != ERROR_SUCCESS) return true;
    DWORD longest = 0;
    RegQueryInfoKey(key.h, nullptr, nullptr, nullptr, &longest, nullptr);
    for (DWORD index = 0;; ++index) {
        std::string buffer(longest + 1, '\0');
        DWORD length = longest + 1;
        if (RegEnumValue(key.h, index, buffer.data(), &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        sKeyNames.push_back(buffer.substr(0, length));
        ++iKeyCount;
    }
    return true;
}

bool cRegistry::EnumerateSections(std::vector<std::string>& sSect, std::int32_t& iSectCount) {
    iSectCount = 0;
    sSect.clear();
    OpenedKey key;
    if (RegOpenKeyEx(m_lClassKey, m_sSectionKey, 0, KEY_ENUMERATE_SUB_KEYS, &key.h) != ERROR_SUCCESS) return true;
    try {
        // Room for the longest key name the store allows (255 characters of
        // up to four bytes), so no name ends the enumeration early.
        constexpr DWORD kBuffer = 255 * 4 + 1;
        for (DWORD index = 0;; ++index) {
            std::string buffer(kBuffer, '\0');
            if (RegEnumKey(key.h, index, buffer.data(), kBuffer) != ERROR_SUCCESS) break;
            sSect.push_back(pw::cutAtNul(buffer));
            ++iSectCount;
        }
    } catch (...) {
        pw::Error e = [] {
            try {
                throw;
            } catch (const pw::Error& err) {
                return err;
            } catch (const std::exception& ex) {
                return pw::Error(pw::kOutOfMemory, "", ex.what());
            }
        }();
        fail(kErrEnumerate, e.description());
    }
    return true;
}

void cRegistry::CreateEXEAssociation(const std::string& sExePath, const std::string& sClassName,
                                     const std::string& sClassDescription, const std::string& sAssociation,
                                     const std::string& sOpenMenuText, bool bSupportPrint,
                                     const std::string& sPrintMenuText, bool bSupportNew,
                                     const std::string& sNewMenuText, bool bSupportInstall,
                                     const std::string& sInstallMenuText, std::int32_t lDefaultIconIndex) {
    const std::string exe = quotedPath(sExePath);
    m_lClassKey = HKEY_CLASSES_ROOT;
    m_lValueType = REG_SZ;
    m_sValueKey = "";
    auto put = [this](const std::string& section, const std::string& value) {
        m_sSectionKey = section;
        Value(RegVariant(value));
    };
    auto orElse = [](const std::string& s, const std::string& fallback) { return s.empty() ? fallback : s; };

    put("." + sAssociation, sClassName);
    put(sClassName, sClassDescription);
    put(sClassName + "\\shell\\open", orElse(sOpenMenuText, "&Open"));
    put(sClassName + "\\shell\\open\\command", exe + " \"%1\"");
    if (bSupportPrint) {
        put(sClassName + "\\shell\\print", orElse(sPrintMenuText, "&Print"));
        put(sClassName + "\\shell\\print\\command", exe + " /p \"%1\"");
    }
    if (bSupportInstall) {
        put(sClassName + "\\shell\\add", orElse(sInstallMenuText, "&Install " + sAssociation));
        put(sClassName + "\\shell\\add\\command", exe + " /a \"%1\"");
    }
    if (bSupportNew) {
        put(sClassName + "\\shell\\new", orElse(sNewMenuText, "&New"));
        put(sClassName + "\\shell\\new\\command", exe + " /n \"%1\"");
    }
    if (lDefaultIconIndex > -1) put(sClassName + "\\DefaultIcon", exe + "," + std::to_string(lDefaultIconIndex));
}

void cRegistry::CreateAdditionalEXEAssociations(const std::string& sClassName, const std::vector<RegVariant>& vItems) {
    if (vItems.size() % 3 != 0)
        fail(kErrAssociationList,
             "Invalid parameter list passed to CreateAdditionalEXEAssociations - expected Name/Text/Command");
    m_sSectionKey = sClassName;
    if (!KeyExists()) fail(kErrNoClass, "Error - attempt to create additional associations before class defined.");
    for (std::size_t i = 0; i < vItems.size(); i += 3) {
        m_lValueType = REG_SZ;
        m_sValueKey = "";
        m_sSectionKey = sClassName + "\\shell\\" + vItems[i].toString();
        Value(vItems[i + 1]);
        m_sSectionKey += "\\command";
        Value(vItems[i + 2]);
    }
}
