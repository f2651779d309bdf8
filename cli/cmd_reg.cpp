// packwell reg: look at and reset what the registry store holds (the archive
// browser's remembered settings live under HKCU/HKLM "SOFTWARE\brix\Marlo").
//
//   packwell reg list ROOT KEY
//   packwell reg get ROOT KEY NAME
//   packwell reg set ROOT KEY NAME TYPE VALUE
//   packwell reg delete ROOT KEY [NAME] [--recursive]
//
// Exit 1 when the key or value does not exist or a write fails, 2 for a
// usage error.
#include <cctype>
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "errors/Error.h"
#include "platform/FailureTrap.h"
#include "registry/cRegistry.h"

namespace pw::cli {

namespace {

struct RegArgs {
    std::string root, key, name, type, value;
    bool recursive = false;
    bool hasName = false;
};

std::string hex(const std::string& bytes) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

bool parseHex(std::string text, RegBytes& out) {
    std::string digits;
    if (text.rfind("0x", 0) == 0 || text.rfind("0X", 0) == 0) text = text.substr(2);
    for (char c : text) {
        if (c == ' ' || c == ':' || c == '-' || c == ',') continue;
        if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
        digits += c;
    }
    if (digits.size() % 2) return false;
    for (std::size_t i = 0; i < digits.size(); i += 2)
        out.push_back(static_cast<std::uint8_t>(std::stoul(digits.substr(i, 2), nullptr, 16)));
    return true;
}

// A DWORD given in decimal (signed or not) or as 0x hexadecimal.
bool parseDword(const std::string& text, std::uint32_t& out) {
    try {
        std::size_t used = 0;
        long long v = std::stoll(text, &used, 0);
        if (used != text.size() || v < -2147483648LL || v > 4294967295LL) return false;
        out = static_cast<std::uint32_t>(v);
        return true;
    } catch (...) {
        return false;
    }
}

// Items of a multi-string: separated by newlines, or by the two characters \n.
std::vector<std::string> splitItems(const std::string& text) {
    std::vector<std::string> items(1);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n') items.emplace_back();
        else if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == 'n') { items.emplace_back(); ++i; }
        else items.back() += text[i];
    }
    return items;
}

std::string multiText(std::string data, const char* separator) {
    while (!data.empty() && data.back() == '\0') data.pop_back();
    std::string out;
    for (char c : data) out += c == '\0' ? std::string(separator) : std::string(1, c);
    return out;
}

std::uint32_t dwordOf(const std::string& data, bool bigEndian) {
    unsigned char b[4] = {0, 0, 0, 0};
    for (std::size_t i = 0; i < 4 && i < data.size(); ++i) b[i] = static_cast<unsigned char>(data[i]);
    if (bigEndian) return std::uint32_t(b[0]) << 24 | std::uint32_t(b[1]) << 16 | std::uint32_t(b[2]) << 8 | b[3];
    return std::uint32_t(b[3]) << 24 | std::uint32_t(b[2]) << 16 | std::uint32_t(b[1]) << 8 | b[0];
}

// One line of `list`: control characters are shown escaped so that every
// value stays on its line.
std::string oneLine(const std::string& s) {
    std::string out;
    for (char c : s) {
        if (c == '\n') out += "\\n";
        else if (c == '\t') out += "\\t";
        else if (c == '\r') out += "\\r";
        else if (c == '\0') out += "\\0";
        else out += c;
    }
    return out;
}

std::string storedText(std::uint32_t type, const std::string& data) {
    switch (type) {
        case REG_SZ:
        case REG_EXPAND_SZ: {
            std::string s = data;
            if (!s.empty() && s.back() == '\0') s.pop_back();
            return oneLine(s);
        }
        case REG_MULTI_SZ: return oneLine(multiText(data, "\n"));
        case REG_DWORD: return std::to_string(dwordOf(data, false));
        case REG_DWORD_BIG_ENDIAN: return std::to_string(dwordOf(data, true));
        default: return hex(data);
    }
}

bool rootOf(const RegArgs& a, HKEY& root, Context& ctx) {
    root = reg::rootFromName(a.root);
    if (root == 0) {
        std::cerr << "packwell: unknown root key '" << a.root << "' (HKCU, HKLM, HKCR or their full names)\n";
        ctx.exitCode = kUsage;
        return false;
    }
    return true;
}

void fail(Context& ctx, const std::string& text) {
    std::cerr << "packwell: " << text << "\n";
    ctx.exitCode = kFailed;
}

void runList(const RegArgs& a, Context& ctx) {
    HKEY root = 0;
    if (!rootOf(a, root, ctx)) return;
    HKEY h = 0;
    if (reg::RegOpenKeyEx(root, a.key, 0, KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS, &h) != ERROR_SUCCESS)
        return fail(ctx, "key not found: " + reg::rootName(root) + "\\" + a.key);
    reg::DWORD nameLen = 0, dataLen = 0, keyLen = 0;
    reg::RegQueryInfoKey(h, nullptr, &keyLen, nullptr, &nameLen, &dataLen);
    for (reg::DWORD i = 0;; ++i) {
        std::string name(nameLen + 1, '\0');
        std::string data(dataLen, '\0');
        reg::DWORD nameSize = nameLen + 1, dataSize = dataLen, type = 0;
        reg::LONG rc = reg::RegEnumValue(h, i, name.data(), &nameSize, nullptr, &type,
                                    reinterpret_cast<std::uint8_t*>(data.data()), &dataSize);
        if (rc == ERROR_MORE_DATA) {  // grown meanwhile: ask again for the sizes
            reg::RegQueryInfoKey(h, nullptr, &keyLen, nullptr, &nameLen, &dataLen);
            --i;
            continue;
        }
        if (rc != ERROR_SUCCESS) break;
        std::cout << oneLine(name.substr(0, nameSize)) << '\t' << reg::typeName(type) << '\t'
                  << storedText(type, data.substr(0, dataSize)) << '\n';
    }
    std::vector<char> buf(keyLen + 1 > 1021 ? keyLen + 1 : 1021);
    for (reg::DWORD i = 0; reg::RegEnumKey(h, i, buf.data(), static_cast<reg::DWORD>(buf.size())) == ERROR_SUCCESS; ++i)
        std::cout << buf.data() << "\\\n";
    reg::RegCloseKey(h);
    ctx.exitCode = kOk;
}

void runGet(const RegArgs& a, Context& ctx) {
    HKEY root = 0;
    if (!rootOf(a, root, ctx)) return;
    cRegistry r;
    r.ClassKey(root);
    r.SectionKey(a.key);
    r.ValueKey(a.name);
    r.ValueType(REG_SZ);
    RegVariant v = r.Value();
    if (v.isEmpty()) return fail(ctx, "value not found: " + reg::rootName(root) + "\\" + a.key + " \"" + a.name + "\"");
    switch (static_cast<std::uint32_t>(r.ValueType())) {
        case REG_DWORD:
        case REG_DWORD_BIG_ENDIAN:
            std::cout << static_cast<std::uint32_t>(v.get<std::int32_t>()) << '\n';
            break;
        case REG_MULTI_SZ: std::cout << multiText(v.get<std::string>(), "\n") << '\n'; break;
        default:
            if (v.is<RegBytes>()) {
                const RegBytes& b = v.get<RegBytes>();
                std::cout << hex(std::string(b.begin(), b.end())) << '\n';
            } else {
                std::cout << v.toString() << '\n';
            }
    }
    ctx.exitCode = kOk;
}

// Types that cRegistry writes as asked go through it; the two it cannot
// store as such (multi-strings, big-endian DWORDs) go to the store directly.
void runSet(const RegArgs& a, Context& ctx) {
    HKEY root = 0;
    if (!rootOf(a, root, ctx)) return;
    const reg::DWORD type = reg::typeFromName(a.type);
    auto usage = [&](const std::string& text) {
        std::cerr << "packwell: " << text << "\n";
        ctx.exitCode = kUsage;
    };
    cRegistry r;
    r.ClassKey(root);
    r.SectionKey(a.key);
    r.ValueKey(a.name);
    switch (type) {
        case REG_SZ:
        case REG_EXPAND_SZ:
            r.ValueType(static_cast<std::int32_t>(type));
            r.Value(RegVariant(a.value));
            break;
        case REG_DWORD: {
            std::uint32_t v = 0;
            if (!parseDword(a.value, v)) return usage("not a DWORD: " + a.value);
            r.ValueType(REG_DWORD);
            r.Value(RegVariant(static_cast<std::int32_t>(v)));
            break;
        }
        case REG_BINARY: {
            RegBytes bytes;
            if (!parseHex(a.value, bytes)) return usage("not hexadecimal bytes: " + a.value);
            r.ValueType(REG_BINARY);
            r.Value(RegVariant(bytes));
            break;
        }
        case REG_DWORD_BIG_ENDIAN:
        case REG_MULTI_SZ: {
            std::string data;
            if (type == REG_DWORD_BIG_ENDIAN) {
                std::uint32_t v = 0;
                if (!parseDword(a.value, v)) return usage("not a DWORD: " + a.value);
                data = {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
            } else {
                for (const std::string& item : splitItems(a.value)) data += item + '\0';
                data += '\0';
            }
            HKEY h = 0;
            reg::LONG rc = reg::RegCreateKeyEx(root, a.key, 0, "", REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &h,
                                          nullptr);
            if (rc == ERROR_SUCCESS) {
                rc = reg::RegSetValueEx(h, a.name, 0, type, reinterpret_cast<const std::uint8_t*>(data.data()),
                                        static_cast<reg::DWORD>(data.size()));
                reg::RegCloseKey(h);
            }
            if (rc != ERROR_SUCCESS)
                return fail(ctx, "cannot write " + reg::rootName(root) + "\\" + a.key + " \"" + a.name +
                                     "\" (error " + std::to_string(rc) + ")");
            break;
        }
        default:
            return usage("unknown type '" + a.type +
                         "' (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ, REG_DWORD, REG_DWORD_BIG_ENDIAN, REG_BINARY)");
    }
    ctx.exitCode = kOk;
}

void deleteTree(cRegistry& r) {
    std::vector<std::string> subs;
    std::int32_t count = 0;
    r.EnumerateSections(subs, count);
    const std::string key = r.SectionKey();
    for (const std::string& s : subs) {
        r.SectionKey(key + "\\" + s);
        deleteTree(r);
    }
    r.SectionKey(key);
    r.DeleteKey();
}

void runDelete(const RegArgs& a, Context& ctx) {
    HKEY root = 0;
    if (!rootOf(a, root, ctx)) return;
    cRegistry r;
    r.ClassKey(root);
    r.SectionKey(a.key);
    if (!r.KeyExists()) return fail(ctx, "key not found: " + reg::rootName(root) + "\\" + a.key);
    if (a.hasName) {
        r.ValueKey(a.name);
        r.ValueType(REG_SZ);
        if (r.Value().isEmpty())
            return fail(ctx, "value not found: " + reg::rootName(root) + "\\" + a.key + " \"" + a.name + "\"");
        r.DeleteValue();
    } else if (a.recursive) {
        deleteTree(r);
    } else {
        r.DeleteKey();
    }
    ctx.exitCode = kOk;
}

// Failures of the registry object end the command with "number: description".
template <class Run>
auto guarded(Run run, std::shared_ptr<RegArgs> args, Context& ctx) {
    return [run, args, &ctx] {
        try {
            run(*args, ctx);
        } catch (...) {
            fail(ctx, failureText(toError(std::current_exception())));
        }
    };
}

}  // namespace

void addRegistryCommands(CLI::App& app, Context& ctx) {
    auto* reg = app.add_subcommand("reg", "Inspect and change the registry store (the browser's remembered settings).");
    reg->require_subcommand(1, 1);
    reg->footer("Example: packwell reg list HKCU 'SOFTWARE\\brix\\Marlo'");
    const char* rootHelp = "Root key: HKCU, HKLM, HKCR or HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_CLASSES_ROOT";
    const char* keyHelp = "Key path below the root, parts separated by \\ (\"\" for the root itself)";

    auto list = std::make_shared<RegArgs>();
    auto* cmd = reg->add_subcommand("list", "Print the values (name TAB type TAB value) and then the sub-keys of a key.");
    cmd->add_option("ROOT", list->root, rootHelp)->required();
    cmd->add_option("KEY", list->key, keyHelp)->required();
    cmd->footer("Example: packwell reg list HKCU 'SOFTWARE\\brix\\Marlo\\FileOpenMRU'");
    cmd->callback(guarded(runList, list, ctx));

    auto get = std::make_shared<RegArgs>();
    cmd = reg->add_subcommand("get", "Print one value as text (expandable strings expanded).");
    cmd->footer("Example: packwell reg get HKCU 'SOFTWARE\\brix\\Marlo' UseFolderNames");
    cmd->add_option("ROOT", get->root, rootHelp)->required();
    cmd->add_option("KEY", get->key, keyHelp)->required();
    cmd->add_option("NAME", get->name, "Value name (\"\" for the key's default value)")->required();
    cmd->callback(guarded(runGet, get, ctx));

    auto set = std::make_shared<RegArgs>();
    cmd = reg->add_subcommand("set", "Write one value, creating the key as needed.");
    cmd->footer("Example: packwell reg set HKCU 'SOFTWARE\\brix\\Marlo' OverwritePrompt REG_SZ True");
    cmd->add_option("ROOT", set->root, rootHelp)->required();
    cmd->add_option("KEY", set->key, keyHelp)->required();
    cmd->add_option("NAME", set->name, "Value name")->required();
    cmd->add_option("TYPE", set->type,
                    "REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ (items separated by newlines or \\n), REG_DWORD, "
                    "REG_DWORD_BIG_ENDIAN or REG_BINARY (hexadecimal)")
        ->required();
    cmd->add_option("VALUE", set->value, "The value")->required();
    cmd->callback(guarded(runSet, set, ctx));

    auto del = std::make_shared<RegArgs>();
    cmd = reg->add_subcommand("delete", "Delete a value, or a key (refused while it has sub-keys unless --recursive).");
    cmd->footer("Example: packwell reg delete HKCU 'SOFTWARE\\brix\\Marlo' --recursive");
    cmd->add_option("ROOT", del->root, rootHelp)->required();
    cmd->add_option("KEY", del->key, keyHelp)->required();
    auto* name = cmd->add_option("NAME", del->name, "Value name; without it the key is deleted");
    cmd->add_flag("-r,--recursive", del->recursive, "Delete the key with all its sub-keys");
    cmd->callback([del, name, run = guarded(runDelete, del, ctx)] {
        del->hasName = name->count() > 0;
        run();
    });
}

}  // namespace pw::cli
