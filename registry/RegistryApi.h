// The registry functions the registry object is written against, with the
// classic calling conventions (result codes, handles, byte buffers), backed by
// our own store (RegistryStore.cpp): one SQLite database per root key.
//
// Texts are UTF-8 and every length counts bytes, as the 8-bit forms do.
// Key paths use "\" between their parts; key and value names compare without
// regard to letter case and keep the case they were created with.
#pragma once

#include <cstdint>
#include <string>

// Root keys, with their classic handle values.
using HKEY = std::int32_t;
inline constexpr HKEY HKEY_CLASSES_ROOT = static_cast<HKEY>(0x80000000u);
inline constexpr HKEY HKEY_CURRENT_USER = static_cast<HKEY>(0x80000001u);
inline constexpr HKEY HKEY_LOCAL_MACHINE = static_cast<HKEY>(0x80000002u);

// Value types.
inline constexpr std::uint32_t REG_NONE = 0;
inline constexpr std::uint32_t REG_SZ = 1;
inline constexpr std::uint32_t REG_EXPAND_SZ = 2;
inline constexpr std::uint32_t REG_BINARY = 3;
inline constexpr std::uint32_t REG_DWORD = 4;
inline constexpr std::uint32_t REG_DWORD_BIG_ENDIAN = 5;
inline constexpr std::uint32_t REG_LINK = 6;
inline constexpr std::uint32_t REG_MULTI_SZ = 7;

// Access rights (recorded; a key opened for reading cannot be written).
inline constexpr std::uint32_t KEY_QUERY_VALUE = 0x1;
inline constexpr std::uint32_t KEY_SET_VALUE = 0x2;
inline constexpr std::uint32_t KEY_CREATE_SUB_KEY = 0x4;
inline constexpr std::uint32_t KEY_ENUMERATE_SUB_KEYS = 0x8;
inline constexpr std::uint32_t KEY_NOTIFY = 0x10;
inline constexpr std::uint32_t KEY_CREATE_LINK = 0x20;
inline constexpr std::uint32_t KEY_ALL_ACCESS = 0x3F;

inline constexpr std::uint32_t REG_OPTION_NON_VOLATILE = 0;
inline constexpr std::uint32_t REG_CREATED_NEW_KEY = 1;
inline constexpr std::uint32_t REG_OPENED_EXISTING_KEY = 2;

// Result codes.
inline constexpr std::int32_t ERROR_SUCCESS = 0;
inline constexpr std::int32_t ERROR_FILE_NOT_FOUND = 2;
inline constexpr std::int32_t ERROR_ACCESS_DENIED = 5;
inline constexpr std::int32_t ERROR_INVALID_HANDLE = 6;
inline constexpr std::int32_t ERROR_NOT_ENOUGH_MEMORY = 8;
inline constexpr std::int32_t ERROR_INVALID_PARAMETER = 87;
inline constexpr std::int32_t ERROR_DISK_FULL = 112;
inline constexpr std::int32_t ERROR_BUSY = 170;
inline constexpr std::int32_t ERROR_MORE_DATA = 234;
inline constexpr std::int32_t ERROR_NO_MORE_ITEMS = 259;
inline constexpr std::int32_t ERROR_CANTREAD = 1012;
inline constexpr std::int32_t ERROR_CANTWRITE = 1013;
inline constexpr std::int32_t ERROR_REGISTRY_CORRUPT = 1015;
inline constexpr std::int32_t ERROR_KEY_DELETED = 1018;

namespace pw::reg {

using LONG = std::int32_t;
using DWORD = std::uint32_t;

// Opens `subKey` below `hKey` (a root or an open key). "" opens `hKey` itself
// again. A missing key, root file or damaged database: ERROR_FILE_NOT_FOUND.
LONG RegOpenKeyEx(HKEY hKey, const std::string& subKey, DWORD options, DWORD samDesired, HKEY* phkResult);

// Opens `subKey`, creating every missing part of the path. `disposition`
// (may be null) receives REG_CREATED_NEW_KEY or REG_OPENED_EXISTING_KEY.
// Fails with ERROR_ACCESS_DENIED when the root cannot be written and with
// ERROR_REGISTRY_CORRUPT when its database is damaged.
LONG RegCreateKeyEx(HKEY hKey, const std::string& subKey, DWORD reserved, const char* className, DWORD options,
                    DWORD samDesired, const void* security, HKEY* phkResult, DWORD* disposition);

LONG RegCloseKey(HKEY hKey);

// `data` null: reports the type and the byte size in *cbData (success).
// Otherwise a buffer of *cbData bytes: too small gives ERROR_MORE_DATA with
// the needed size in *cbData. `type` may be null.
LONG RegQueryValueEx(HKEY hKey, const std::string& valueName, DWORD* reserved, DWORD* type, std::uint8_t* data,
                     DWORD* cbData);

LONG RegSetValueEx(HKEY hKey, const std::string& valueName, DWORD reserved, DWORD type, const std::uint8_t* data,
                   DWORD cbData);

// Deletes the key `subKey` below `hKey` with its values. A key that has
// sub-keys is refused (ERROR_ACCESS_DENIED), as is a root itself.
LONG RegDeleteKey(HKEY hKey, const std::string& subKey);
LONG RegDeleteValue(HKEY hKey, const std::string& valueName);

// Value `index` in the order the values were first created. `name` is a
// buffer of *cchName bytes; on success *cchName holds the name's length
// without its NUL. A buffer too small: ERROR_MORE_DATA. Past the end:
// ERROR_NO_MORE_ITEMS. `type`, `data`, `cbData` may be null.
LONG RegEnumValue(HKEY hKey, DWORD index, char* name, DWORD* cchName, DWORD* reserved, DWORD* type,
                  std::uint8_t* data, DWORD* cbData);

// Sub-key `index` in the order of their names, ignoring letter case; the
// name is written with its NUL into a buffer of `cchName` bytes.
LONG RegEnumKey(HKEY hKey, DWORD index, char* name, DWORD cchName);

// Counts and longest lengths (bytes, without NUL); any pointer may be null.
LONG RegQueryInfoKey(HKEY hKey, DWORD* subKeys, DWORD* maxSubKeyLen, DWORD* values, DWORD* maxValueNameLen,
                     DWORD* maxValueLen);

// Replaces every %NAME% whose NAME is set in the environment by its value;
// anything else stays as written. Returns the bytes needed for the result
// with its NUL; writes the result when `nSize` is enough.
DWORD ExpandEnvironmentStrings(const char* src, char* dst, DWORD nSize);
// The same, as a string.
std::string expandEnvironmentStrings(const std::string& src);

// ---- Where the roots live -------------------------------------------------
// By default HKEY_CURRENT_USER and HKEY_CLASSES_ROOT live in
// $XDG_CONFIG_HOME/packwell/registry (~/.config when unset) and
// HKEY_LOCAL_MACHINE in the first folder of $XDG_CONFIG_DIRS (/etc/xdg) +
// /packwell/registry, which ordinary users cannot write.
// $PACKWELL_REGISTRY_DIR puts every root into that one folder.

// The database file of a root ("" for an unknown handle).
std::string rootFile(HKEY root);
// Moves a root to another folder ("" returns it to the default).
void setRootFolder(HKEY root, const std::string& folder);
// Makes a root refuse writes, as a machine root does for an ordinary user.
void setRootReadOnly(HKEY root, bool readOnly);
// Drops the cached database connections (all keys should be closed).
void closeDatabases();

// The readable name of a root ("HKEY_CURRENT_USER") and back; the short
// forms HKCU, HKLM, HKCR are accepted too, in any letter case. 0 if unknown.
std::string rootName(HKEY root);
HKEY rootFromName(const std::string& name);
// "REG_SZ", ... ; unknown types as their decimal number. Back: 0xFFFFFFFF.
std::string typeName(DWORD type);
DWORD typeFromName(const std::string& name);

}  // namespace pw::reg
