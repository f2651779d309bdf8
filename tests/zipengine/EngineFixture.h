// Runs the zip engine through its C interface on scratch folders and reads
// the results back with libzip and the standard tools.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>
#include <zip.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "brixzip1.h"
#include "support/TempDir.h"
#include "support/Process.h"

namespace zetest {

namespace fs = std::filesystem;

// What the callbacks saw during one run, and how they answer.
struct Calls {
    std::vector<std::string> lines;     // print callback
    std::vector<std::string> services;  // service callback
    int stopAtService = -1;             // 1-based service call that answers 1
    int passwordCalls = 0;
    bool refusePassword = false;
    std::string password = "secret";
};

inline Calls* g_calls = nullptr;

extern "C" inline int32_t printCb(const char* text, uint32_t size) {
    g_calls->lines.emplace_back(text, size);
    return 0;
}
extern "C" inline int32_t passwordCb(char* buf, int32_t size, const char*, const char*) {
    ++g_calls->passwordCalls;
    if (g_calls->refusePassword) return 1;
    std::strncpy(buf, g_calls->password.c_str(), static_cast<std::size_t>(size) - 1);
    return 0;
}
extern "C" inline char* commentCb(char* c) { return c; }
extern "C" inline int32_t serviceCb(const char* item, uint32_t size) {
    // The size counts the name's bytes and its terminator.
    EXPECT_EQ(std::strlen(item) + 1, size);
    g_calls->services.emplace_back(item);
    return static_cast<int>(g_calls->services.size()) == g_calls->stopAtService ? 1 : 0;
}

inline ZPOPT defaultOptions() {
    ZPOPT o{};
    o.fNoDirEntries = 1;  // as a new options object sets it
    o.fJunkDir = 1;
    return o;
}

struct Result {
    int32_t rc;
    std::string text;  // every printed line, joined with "\n"
};

inline Result runEngine(const std::string& archive, const std::vector<std::string>& names, ZPOPT opt,
                        Calls& calls) {
    g_calls = &calls;
    ZIPUSERFUNCTIONS fn{printCb, passwordCb, commentCb, serviceCb};
    ZpInit(&fn);
    ZpSetOptions(&opt);
    ZIPNAMES list{};
    for (std::size_t i = 0; i < names.size(); ++i) list.name[i] = names[i].c_str();
    list.name[names.size() + 1] = "";
    int32_t rc = ZpArchive(static_cast<int32_t>(names.size()), archive.c_str(), &list);
    std::string all;
    for (auto& l : calls.lines) all += l + "\n";
    g_calls = nullptr;
    return {rc, all};
}

inline Result runEngine(const std::string& archive, const std::vector<std::string>& names, ZPOPT opt) {
    Calls calls;
    return runEngine(archive, names, opt, calls);
}

using Shell = pwtest::ShellResult;

// Runs a shell command with its standard error joined to its output.
inline Shell sh(const std::string& cmd) { return pwtest::shell(cmd + " 2>&1"); }

inline std::string q(const std::string& s) {
    std::string r = "'";
    for (char c : s) r += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return r + "'";
}

// Entry names in archive order, read with libzip.
inline std::vector<std::string> entryNames(const std::string& archive) {
    std::vector<std::string> names;
    int err = 0;
    zip_t* za = zip_open(archive.c_str(), ZIP_RDONLY, &err);
    if (!za) return names;
    zip_int64_t n = zip_get_num_entries(za, 0);
    for (zip_int64_t i = 0; i < n; ++i) names.emplace_back(zip_get_name(za, static_cast<zip_uint64_t>(i), 0));
    zip_discard(za);
    return names;
}

// One entry's contents ("<missing>" when absent).
inline std::string entryData(const std::string& archive, const std::string& name, const char* password = nullptr) {
    int err = 0;
    zip_t* za = zip_open(archive.c_str(), ZIP_RDONLY, &err);
    if (!za) return "<no archive>";
    if (password) zip_set_default_password(za, password);
    std::string out = "<missing>";
    if (zip_file_t* f = zip_fopen(za, name.c_str(), 0)) {
        out.clear();
        char buf[65536];
        zip_int64_t n;
        while ((n = zip_fread(f, buf, sizeof buf)) > 0) out.append(buf, static_cast<std::size_t>(n));
        zip_fclose(f);
    }
    zip_discard(za);
    return out;
}

inline zip_stat_t entryStat(const std::string& archive, const std::string& name) {
    zip_stat_t st;
    zip_stat_init(&st);
    int err = 0;
    if (zip_t* za = zip_open(archive.c_str(), ZIP_RDONLY, &err)) {
        zip_stat(za, name.c_str(), 0, &st);
        zip_discard(za);
    }
    return st;
}

inline void setMtime(const std::string& path, std::time_t t) {
    struct utimbuf u{t, t};
    ::utime(path.c_str(), &u);
}

// Every file in a folder (recursively), by relative name, with its bytes.
inline std::map<std::string, std::string> treeFiles(const fs::path& root) {
    std::map<std::string, std::string> m;
    for (auto& e : fs::recursive_directory_iterator(root))
        if (e.is_regular_file()) m[fs::relative(e.path(), root).string()] = pwtest::readFile(e.path().string());
    return m;
}

// Files beside the archive other than the ones expected (temporary leftovers).
inline std::vector<std::string> folderNames(const fs::path& dir) {
    std::vector<std::string> v;
    for (auto& e : fs::directory_iterator(dir)) v.push_back(e.path().filename().string());
    std::sort(v.begin(), v.end());
    return v;
}

class EngineTest : public ::testing::Test {
protected:
    pwtest::TempDir tmp;
    std::string p(const std::string& rel) const { return (tmp.path() / rel).string(); }
    void write(const std::string& rel, const std::string& bytes) {
        fs::create_directories((tmp.path() / rel).parent_path());
        pwtest::writeFile(p(rel), bytes);
    }
    // Options with names taken relative to the scratch folder.
    ZPOPT opts() {
        ZPOPT o = defaultOptions();
        root_ = tmp.path().string();
        o.szRootDir = root_.c_str();
        return o;
    }
    std::string root_;
};

}  // namespace zetest
