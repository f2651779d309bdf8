// A scripted stand-in for libbrixuzip1.so and librarero10.so (FakeEngine.h).
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "FakeEngine.h"

namespace {

std::string g_script;
bool g_scriptSet = false;
FakeUzCall g_last;
int g_calls = 0;

std::string unescape(const std::string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 1 < s.size()) {
            char c = s[++i];
            out += c == '0' ? '\0' : c == 't' ? '\t' : c == 'n' ? '\n' : c;
        } else {
            out += s[i];
        }
    }
    return out;
}

std::vector<std::string> fields(const std::string& line) {
    std::vector<std::string> f;
    std::size_t start = 0;
    for (;;) {
        std::size_t tab = line.find('\t', start);
        f.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
        if (tab == std::string::npos) break;
        start = tab + 1;
    }
    return f;
}

std::uint32_t num(const std::vector<std::string>& f, std::size_t i) {
    return i < f.size() ? static_cast<std::uint32_t>(std::strtoll(f[i].c_str(), nullptr, 0)) : 0;
}

void readList(UZNAMES* list, std::vector<std::string>& names, int& nonNull) {
    if (!list) return;
    bool ended = false;
    for (int i = 0; i < UNZIP_NAME_SLOTS; ++i) {
        if (list->name[i]) ++nonNull;
        if (!list->name[i]) ended = true;
        if (!ended) names.emplace_back(list->name[i]);
    }
}

std::string currentScript() {
    if (g_scriptSet) return g_script;
    const char* file = std::getenv("FAKE_UZ_SCRIPT_FILE");
    if (!file) return {};
    std::ifstream in(file, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void log(const FakeUzCall& c) {
    const char* file = std::getenv("FAKE_UZ_LOG_FILE");
    if (!file) return;
    std::ofstream out(file, std::ios::app);
    out << "call: " << g_calls << "\n";
    out << "zip: " << c.zipFN << "\nextract: " << c.extractDir << "\n";
    out << "include:";
    for (auto& n : c.include) out << " [" << n << "]";
    out << "\nflags: overwrite=" << c.dcl.noflag << " prompt=" << c.dcl.PromptToOverwrite
        << " folders=" << c.dcl.ndflag << " list=" << c.dcl.nvflag << "\n";
    out << "replies:";
    for (auto r : c.replies) out << " " << r;
    out << "\npasswords:";
    for (auto& p : c.passwords) out << " [" << p << "]";
    out << "\n";
}

}  // namespace

extern "C" {

__attribute__((visibility("default"))) void FakeUz_SetScript(const char* script) {
    g_scriptSet = script != nullptr;
    g_script = script ? script : "";
}

__attribute__((visibility("default"))) const FakeUzCall* FakeUz_LastCall(void) { return &g_last; }
__attribute__((visibility("default"))) int FakeUz_CallCount(void) { return g_calls; }

__attribute__((visibility("default"))) int32_t Wiz_SingleEntryUnzipEx(int32_t includeCount, UZNAMES* include,
                                                                     int32_t excludeCount, UZNAMES* exclude,
                                                                     DCL* options, USERFUNCTIONS* fn,
                                                                     const UZEXTRA* extra) {
    ++g_calls;
    FakeUzCall c;
    c.includeCount = includeCount;
    c.excludeCount = excludeCount;
    readList(include, c.include, c.includeNonNull);
    readList(exclude, c.exclude, c.excludeNonNull);
    c.dcl = *options;
    c.zipNull = options->lpszZipFN == nullptr;
    c.extractNull = options->lpszExtractDir == nullptr;
    if (options->lpszZipFN) c.zipFN = options->lpszZipFN;
    if (options->lpszExtractDir) c.extractDir = options->lpszExtractDir;
    c.soundNull = fn->sound == nullptr;
    c.totalsZero = fn->TotalSizeComp == 0 && fn->TotalSize == 0 && fn->CompFactor == 0 && fn->NumMembers == 0 &&
                   fn->cchComment == 0;
    // The engine leaves a trace in the record, as a real one may.
    options->fPrivilege = 7;

    int32_t code = 0;
    std::istringstream lines(currentScript());
    std::string line;
    while (std::getline(lines, line)) {
        if (line.empty()) continue;
        auto f = fields(line);
        const std::string& cmd = f[0];
        if (cmd == "list") {
            std::string path = f.size() > 10 ? unescape(f[10]) : "";
            std::string method = f.size() > 11 ? unescape(f[11]) : "";
            fn->listing(num(f, 1), num(f, 2), num(f, 3), num(f, 4), num(f, 5), num(f, 6), num(f, 7), num(f, 8),
                        static_cast<char>(num(f, 9)), path.c_str(), method.c_str(), num(f, 12),
                        static_cast<char>(num(f, 13)));
        } else if (cmd == "print") {
            std::string t = f.size() > 1 ? unescape(f[1]) : "";
            c.replies.push_back(fn->print(t.c_str(), static_cast<uint32_t>(t.size())));
        } else if (cmd == "printn") {
            std::string t = f.size() > 2 ? unescape(f[2]) : "";
            t.resize(std::max<std::size_t>(t.size(), num(f, 1)), '\0');
            c.replies.push_back(fn->print(t.c_str(), num(f, 1)));
        } else if (cmd == "service") {
            std::string t = f.size() > 1 ? unescape(f[1]) : "";
            int32_t r = fn->service(t.c_str(), static_cast<uint32_t>(t.size()));
            c.replies.push_back(r);
            if (r == 1) {
                code = IZ_CTRLC;
                break;
            }
        } else if (cmd == "replace") {
            std::string t = f.size() > 1 ? unescape(f[1]) : "";
            std::vector<char> buf(t.begin(), t.end());
            buf.push_back('\0');
            c.replies.push_back(fn->replace(buf.data()));
        } else if (cmd == "password") {
            char buf[UNZIP_PASSWORD_BUFFER] = {};
            c.replies.push_back(fn->password(buf, sizeof buf, "Password: ", "entry"));
            c.passwords.emplace_back(buf, strnlen(buf, sizeof buf));
        } else if (cmd == "outcome") {
            std::string name = f.size() > 2 ? unescape(f[2]) : "";
            std::string reason = f.size() > 4 ? unescape(f[4]) : "";
            BRIXOUTCOME o{sizeof(BRIXOUTCOME), static_cast<int32_t>(num(f, 1)), static_cast<int32_t>(num(f, 3)),
                          name.c_str(), reason.c_str()};
            if (extra && extra->outcome) extra->outcome(extra->context, &o);
        } else if (cmd == "return") {
            code = static_cast<int32_t>(num(f, 1));
        }
    }
    g_last = c;
    log(c);
    return code;
}

__attribute__((visibility("default"))) int32_t Wiz_SingleEntryUnzip(int32_t includeCount, UZNAMES* include,
                                                                   int32_t excludeCount, UZNAMES* exclude,
                                                                   DCL* options, USERFUNCTIONS* fn) {
    return Wiz_SingleEntryUnzipEx(includeCount, include, excludeCount, exclude, options, fn, nullptr);
}

__attribute__((visibility("default"))) void UzpVersion2(UzpVer2* v) {
    if (v->structlen != 64) return;
    std::memcpy(v->betalevel, "beta7\0", 6);
    v->windll[0] = 1;
    v->windll[1] = 2;
    v->windll[2] = 3;
    v->windll[3] = 9;
}

}  // extern "C"
