// Shared set-up of the split and join tests: a scratch folder and a scripted
// platform that records every message, pending-event call and progress report.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "support/ScriptedPlatform.h"
#include "support/TempDir.h"

namespace spantest {

inline const char* const kSmaller = "Le fichier est plus petit que la taille de coupe.";
inline const char* const kSizeMismatch = "Total size of spanned files does not match size of original file.";
inline const char* const kCopyMessage = "File already exists. Appending \"_Copy\" to the file name.";

class SpanTest : public ::testing::Test {
protected:
    pwtest::TempDir dir;
    pw::ScriptedPlatform ui;
    pw::ScopedPlatform scope{ui};

    std::string at(const std::string& name) const { return dir / name; }
    std::string folder() const { return dir.path().string() + "/"; }
    std::string make(const std::string& name, std::size_t size, std::uint32_t seed = 7) {
        std::string bytes = pwtest::patternBytes(size, seed);
        pwtest::writeFile(at(name), bytes);
        return bytes;
    }
    std::uintmax_t sizeOf(const std::string& name) const { return std::filesystem::file_size(at(name)); }
    // The names in the scratch folder, sorted.
    std::vector<std::string> names() const {
        std::vector<std::string> out;
        for (const auto& e : std::filesystem::directory_iterator(dir.path())) out.push_back(e.path().filename().string());
        std::sort(out.begin(), out.end());
        return out;
    }
};

}  // namespace spantest
