// Drives the unzip engine through its C interface and records every callback.
#pragma once

#include "brixuzip1.h"
#include "support/Python.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include <cstdlib>
#include <cstring>
#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace uztest {

struct Listed {
    uint32_t comp, size, factor, month, day, year, hour, minute;
    std::string path, method;
    uint32_t crc;
    unsigned char encryption;
};

class Harness {
public:
    DCL dcl{};
    std::vector<std::string> include, exclude;
    std::vector<std::string> prints, services, replaceAsked;
    std::vector<Listed> listed;
    struct Listed64 {
        std::string path;
        uint64_t comp, size;
    };
    std::vector<Listed64> listed64;                     // the true sizes, through UZEXTRA
    std::vector<std::pair<std::string, int32_t>> outcomes;  // name, BRIX_* kind, through UZEXTRA
    std::deque<int32_t> replies;                        // replace answers; 100 when empty
    std::deque<std::optional<std::string>> passwords;   // nullopt: refuse; empty queue: refuse
    int passwordAsks = 0;
    int stopAtService = -1;                             // 0-based service call that answers 1
    USERFUNCTIONS fns{};

    int32_t list(const std::string& archive) {
        dcl.nvflag = 1;
        dirText_ = "";
        return call(archive);
    }
    int32_t extract(const std::string& archive, const std::string& dir) {
        dcl.nvflag = 0;
        dirText_ = dir;
        return call(archive);
    }
    bool printed(const std::string& part) const {
        for (auto& p : prints)
            if (p.find(part) != std::string::npos) return true;
        return false;
    }
    std::string allPrints() const {
        std::string s;
        for (auto& p : prints) s += p + "\n";
        return s;
    }

private:
    int32_t call(const std::string& archive) {
        archiveText_ = archive;
        dcl.lpszZipFN = archiveText_.c_str();
        dcl.lpszExtractDir = dirText_.c_str();
        fill(includeList_, include);
        fill(excludeList_, exclude);
        fns = USERFUNCTIONS{};
        fns.print = &onPrint;
        fns.replace = &onReplace;
        fns.password = &onPassword;
        fns.listing = &onListing;
        fns.service = &onService;
        current() = this;
        UZEXTRA extra{};
        extra.structlen = sizeof extra;
        extra.context = this;
        extra.listing64 = &onListing64;
        extra.outcome = &onOutcome;
        int32_t rc = Wiz_SingleEntryUnzipEx(static_cast<int32_t>(include.size()), &includeList_,
                                            static_cast<int32_t>(exclude.size()), &excludeList_, &dcl, &fns, &extra);
        current() = nullptr;
        return rc;
    }
    void fill(UZNAMES& list, const std::vector<std::string>& names) {
        std::memset(&list, 0, sizeof list);
        for (std::size_t i = 0; i < names.size(); ++i) list.name[i] = names[i].c_str();
        list.name[names.size()] = "";
    }
    static Harness*& current() {
        thread_local Harness* h = nullptr;
        return h;
    }
    static int32_t onPrint(const char* text, uint32_t size) {
        EXPECT_NE(current(), nullptr) << "print callback off the calling thread";
        if (!current()) return 0;
        EXPECT_GT(size, 0u);
        EXPECT_EQ(std::strlen(text) + 1, size);
        current()->prints.emplace_back(text);
        return 0;
    }
    static int32_t onReplace(char* name) {
        EXPECT_NE(current(), nullptr);
        if (!current()) return 100;
        current()->replaceAsked.emplace_back(name);
        if (current()->replies.empty()) return 100;
        int32_t r = current()->replies.front();
        current()->replies.pop_front();
        return r;
    }
    static int32_t onPassword(char* buffer, int32_t, const char*, const char*) {
        EXPECT_NE(current(), nullptr);
        if (!current()) return 1;
        auto* h = current();
        ++h->passwordAsks;
        if (h->passwords.empty() || !h->passwords.front()) {
            if (!h->passwords.empty()) h->passwords.pop_front();
            return 1;
        }
        std::string pw = *h->passwords.front();
        h->passwords.pop_front();
        std::memcpy(buffer, pw.data(), std::min<std::size_t>(pw.size(), 254));  // no terminator, as the binding does
        return 0;
    }
    static void onListing(uint32_t comp, uint32_t size, uint32_t factor, uint32_t month, uint32_t day, uint32_t year,
                          uint32_t hour, uint32_t minute, char, const char* path, const char* method, uint32_t crc,
                          char enc) {
        EXPECT_NE(current(), nullptr);
        if (!current()) return;
        current()->listed.push_back(Listed{comp, size, factor, month, day, year, hour, minute, path, method, crc,
                                           static_cast<unsigned char>(enc)});
    }
    static void onListing64(void* context, const UZLISTING64* e) {
        EXPECT_EQ(context, current());
        static_cast<Harness*>(context)->listed64.push_back(Listed64{e->path, e->compressedSize, e->size});
    }
    static void onOutcome(void* context, const BRIXOUTCOME* o) {
        EXPECT_EQ(context, current());
        static_cast<Harness*>(context)->outcomes.emplace_back(o->name, o->kind);
    }
    static int32_t onService(const char* item, uint32_t size) {
        EXPECT_NE(current(), nullptr);
        if (!current()) return 0;
        EXPECT_EQ(std::strlen(item) + 1, size);
        auto* h = current();
        h->services.emplace_back(item);
        return static_cast<int>(h->services.size()) - 1 == h->stopAtService ? 1 : 0;
    }

    std::string archiveText_, dirText_;
    UZNAMES includeList_{}, excludeList_{};
};

// Runs a shell command in `dir`; fails the test when it fails.
inline void sh(const std::string& dir, const std::string& cmd) {
    std::string full = "cd '" + dir + "' && " + cmd + " >/dev/null 2>&1";
    ASSERT_EQ(std::system(full.c_str()), 0) << full;
}

// Runs a Python snippet in `dir` (zipfile is imported).
inline void py(const std::string& dir, const std::string& code) {
    std::string file = dir + "/make.py";
    pwtest::writeFile(file, "import zipfile, os, struct, time\n" + code + "\n");
    sh(dir, pwtest::python() + " make.py");
}

inline bool isFile(const std::string& p) {
    struct stat st;
    return ::lstat(p.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// Every name in `dir` (recursively) that looks like an engine temporary.
inline std::vector<std::string> leftovers(const std::string& dir) {
    std::vector<std::string> out;
    std::error_code ec;
    for (auto& e : std::filesystem::recursive_directory_iterator(dir, ec))
        if (e.path().filename().string().rfind(".pwuz-", 0) == 0) out.push_back(e.path().string());
    return out;
}

// A test with its own scratch folder `d()` and an extract folder `out()`
// inside it.
class ScratchTest : public ::testing::Test {
protected:
    pwtest::TempDir tmp;
    std::string d() const { return tmp.path().string(); }
    std::string out() const { return d() + "/out"; }
    std::string o(const std::string& rel) const { return out() + "/" + rel; }
};

}  // namespace uztest
