// The registry store reading an arbitrary database file placed as the
// current user's root: every key is walked (bounded), its counts, values and
// sub-keys read through the registry functions and through cRegistry, then
// one write is tried. Damage must come back as a result code or a raised
// pw::Error, never as a crash or a wrong length.
#include "FuzzScratch.h"

#include "errors/Error.h"
#include "registry/RegistryApi.h"
#include "registry/cRegistry.h"

#include <cstring>
#include <vector>

using namespace pw::reg;

namespace {

pwfuzz::Scratch& scratch() {
    static pwfuzz::Scratch s;
    return s;
}

int g_budget = 0;  // keys left to visit in this run

void readValues(HKEY h) {
    DWORD subKeys = 0, maxSubKeyLen = 0, values = 0, maxNameLen = 0, maxValueLen = 0;
    if (RegQueryInfoKey(h, &subKeys, &maxSubKeyLen, &values, &maxNameLen, &maxValueLen) != ERROR_SUCCESS) return;
    for (DWORD i = 0; i < 64; ++i) {
        char name[300];
        DWORD nameLen = sizeof name;
        DWORD type = 0;
        std::uint8_t data[512];
        DWORD dataLen = sizeof data;
        LONG rc = RegEnumValue(h, i, name, &nameLen, nullptr, &type, data, &dataLen);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        if (rc == ERROR_SUCCESS) {
            if (nameLen >= sizeof name || dataLen > sizeof data) std::abort();
            std::string n(name, nameLen);
            // Asking the size first, then reading exactly that much.
            DWORD need = 0;
            if (RegQueryValueEx(h, n, nullptr, &type, nullptr, &need) == ERROR_SUCCESS && need < (1u << 20)) {
                std::vector<std::uint8_t> buf(need + 1);
                DWORD got = need;
                if (RegQueryValueEx(h, n, nullptr, &type, buf.data(), &got) == ERROR_SUCCESS && got > need)
                    std::abort();
            }
            DWORD small = 1;
            std::uint8_t one[1];
            RegQueryValueEx(h, n, nullptr, &type, one, &small);
        } else if (rc != ERROR_MORE_DATA) {
            break;
        }
    }
}

void walk(HKEY root, const std::string& path, int depth) {
    if (--g_budget < 0 || depth > 6) return;
    HKEY h = 0;
    if (RegOpenKeyEx(root, path, 0, KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS, &h) != ERROR_SUCCESS) return;
    readValues(h);
    std::vector<std::string> subs;
    for (DWORD i = 0; i < 32; ++i) {
        char name[1100];
        LONG rc = RegEnumKey(h, i, name, sizeof name);
        if (rc != ERROR_SUCCESS) break;
        if (!std::memchr(name, '\0', sizeof name)) std::abort();
        subs.emplace_back(name);
    }
    RegCloseKey(h);

    cRegistry reg;
    reg.ClassKey(root);
    reg.SectionKey(path);
    try {
        std::vector<std::string> names;
        std::int32_t count = 0;
        reg.EnumerateValues(names, count);
        if (count < 0 || static_cast<std::size_t>(count) > names.size() + 1) std::abort();
        for (std::int32_t i = 0; i < count && i < 8 && static_cast<std::size_t>(i) < names.size(); ++i) {
            reg.ValueKey(names[static_cast<std::size_t>(i)]);
            (void)reg.Value();
        }
        std::vector<std::string> sections;
        reg.EnumerateSections(sections, count);
    } catch (const pw::Error&) {
    }
    for (const std::string& s : subs) walk(root, path.empty() ? s : path + "\\" + s, depth + 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    pwfuzz::Scratch& s = scratch();
    closeDatabases();
    const std::string folder = s.fresh().string();
    for (HKEY root : {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        setRootFolder(root, folder);
        setRootReadOnly(root, false);
    }
    pwfuzz::writeBytes(rootFile(HKEY_CURRENT_USER), data, size);

    g_budget = 40;
    walk(HKEY_CURRENT_USER, "", 0);
    walk(HKEY_CURRENT_USER, "Software\\Packwell", 0);

    // A write on the same file: refused or done, and afterwards readable.
    HKEY h = 0;
    if (RegCreateKeyEx(HKEY_CURRENT_USER, "Software\\Fuzz", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr) ==
        ERROR_SUCCESS) {
        const std::uint8_t v[] = {'o', 'k', 0};
        LONG rc = RegSetValueEx(h, "Probe", 0, REG_SZ, v, sizeof v);
        RegCloseKey(h);
        if (rc == ERROR_SUCCESS) {
            cRegistry reg;
            reg.ClassKey(HKEY_CURRENT_USER);
            reg.SectionKey("Software\\Fuzz");
            reg.ValueKey("Probe");
            try {
                (void)reg.Value();
            } catch (const pw::Error&) {
            }
        }
    }
    closeDatabases();
    s.checkContained();
    return 0;
}
