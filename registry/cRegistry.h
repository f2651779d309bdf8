// cRegistry: reads and writes registry keys and values by root key
// (`ClassKey`), key path (`SectionKey`), value name (`ValueKey`) and type
// (`ValueType`). Keys are opened for each operation and closed before it
// returns; the object keeps nothing open between calls.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Export.h"
#include "registry/RegVariant.h"
#include "registry/RegistryApi.h"

class PACKWELL_API cRegistry {
public:
    // Numbers raised by the object (source "PackwellDEMO.cRegistry").
    static constexpr int kErrRegistry = 26001;
    static constexpr int kErrSetValue = static_cast<int>(0x800469A9u);
    static constexpr int kErrEnumerate = static_cast<int>(0x800469AAu);
    static constexpr int kErrAssociationList = static_cast<int>(0x800469ACu);
    static constexpr int kErrNoClass = static_cast<int>(0x800469ADu);
    static constexpr const char* kSource = "PackwellDEMO.cRegistry";

    std::int32_t ClassKey() const { return m_lClassKey; }
    void ClassKey(std::int32_t v) { m_lClassKey = v; }
    const std::string& SectionKey() const { return m_sSectionKey; }
    void SectionKey(const std::string& v) { m_sSectionKey = v; }
    const std::string& ValueKey() const { return m_sValueKey; }
    void ValueKey(const std::string& v) { m_sValueKey = v; }
    std::int32_t ValueType() const { return m_lValueType; }
    void ValueType(std::int32_t v) { m_lValueType = v; }
    const pw::RegVariant& Default() const { return m_vDefault; }
    void Default(const pw::RegVariant& v) { m_vDefault = v; }

    // True when `SectionKey` under `ClassKey` can be opened for reading.
    bool KeyExists() const;
    // True when the key exists or was created; raises 26001 otherwise.
    bool CreateKey();
    // Deletes `SectionKey` (refused while it has sub-keys); raises 26001.
    bool DeleteKey();
    // Deletes value `ValueKey` of `SectionKey`; raises 26001.
    bool DeleteValue();

    // The stored value, `Default` when the key or value is missing. Sets
    // `ValueType` to the stored type when found.
    pw::RegVariant Value();
    // Writes `vValue` as `ValueType` says (see cRegistry.cpp); raises.
    void Value(const pw::RegVariant& vValue);

    // The value names of the key, in their stored order (sKeyNames[0] is
    // name 1). An unopenable key gives no names. Always True.
    bool EnumerateValues(std::vector<std::string>& sKeyNames, std::int32_t& iKeyCount);
    // The sub-key names of the key; True, raises 0x800469AA on a failure.
    bool EnumerateSections(std::vector<std::string>& sSect, std::int32_t& iSectCount);

    // Registers file type "." + sAssociation for the program sExePath under
    // HKEY_CLASSES_ROOT (class, description, shell verbs, icon).
    void CreateEXEAssociation(const std::string& sExePath, const std::string& sClassName,
                              const std::string& sClassDescription, const std::string& sAssociation,
                              const std::string& sOpenMenuText = "&Open", bool bSupportPrint = false,
                              const std::string& sPrintMenuText = "&Print", bool bSupportNew = false,
                              const std::string& sNewMenuText = "&New", bool bSupportInstall = false,
                              const std::string& sInstallMenuText = "", std::int32_t lDefaultIconIndex = -1);
    // Adds shell verbs to a registered class: vItems holds triples (menu
    // name, menu text, command line).
    void CreateAdditionalEXEAssociations(const std::string& sClassName, const std::vector<pw::RegVariant>& vItems);

private:
    std::string setFailureText(const pw::RegVariant& vValue) const;

    std::int32_t m_lClassKey = 0;
    std::string m_sSectionKey;
    std::string m_sValueKey;
    std::int32_t m_lValueType = 0;
    pw::RegVariant m_vDefault;
};
