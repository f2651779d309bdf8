// A scratch folder per fuzz process, emptied before every input, with a
// check that nothing was written beside the folder the code was given.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace pwfuzz {

class Scratch {
public:
    Scratch() {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/pwfuzz-XXXXXX";
        if (!::mkdtemp(pattern.data())) std::abort();
        base_ = pattern;
        work_ = base_ / "work";
    }
    ~Scratch() {
        std::error_code ec;
        std::filesystem::remove_all(base_, ec);
    }
    // An empty work folder inside the base.
    const std::filesystem::path& fresh() {
        std::error_code ec;
        // Hostile input may leave folders without write or search permission.
        for (auto& e : std::filesystem::recursive_directory_iterator(
                 base_, std::filesystem::directory_options::skip_permission_denied, ec))
            if (e.is_directory(ec) && !e.is_symlink(ec))
                std::filesystem::permissions(e.path(), std::filesystem::perms::owner_all,
                                             std::filesystem::perm_options::add, ec);
        for (auto& e : std::filesystem::directory_iterator(base_, ec)) std::filesystem::remove_all(e.path(), ec);
        std::filesystem::create_directories(work_, ec);
        return work_;
    }
    // The base holds only the work folder (and what the caller named): a
    // write that escaped the work folder is a fault worth a crash report.
    void checkContained(const std::string& allowed = "") const {
        std::error_code ec;
        for (auto& e : std::filesystem::directory_iterator(base_, ec)) {
            std::string n = e.path().filename().string();
            if (n == "work" || (!allowed.empty() && n == allowed)) continue;
            std::fprintf(stderr, "written outside the work folder: %s\n", e.path().c_str());
            std::abort();
        }
    }
    const std::filesystem::path& base() const { return base_; }
    const std::filesystem::path& work() const { return work_; }

private:
    std::filesystem::path base_, work_;
};

inline void writeBytes(const std::string& path, const std::uint8_t* data, std::size_t size) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) std::abort();
    if (size && std::fwrite(data, 1, size, f) != size) std::abort();
    std::fclose(f);
}

}  // namespace pwfuzz
