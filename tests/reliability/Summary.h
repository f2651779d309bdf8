// What the reliability tests tried and what held, one TSV row per case, for
// scripts/reliability-report. Each test program writes its own file,
// <build>/test-scratch/reliability/<program>.tsv, afresh on every run.
//
// Columns: area, operation, what was tried, tries, tries that held, what
// holds.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace pwtest {

class Summary {
public:
    // Appends one row.
    static void row(const std::string& area, const std::string& operation, const std::string& tried, long tries,
                    long held, const std::string& holds) {
        std::string path = file();
        if (path.empty()) return;
        static bool started = false;
        std::ofstream out(path, started ? std::ios::app : std::ios::trunc);
        started = true;
        out << clean(area) << '\t' << clean(operation) << '\t' << clean(tried) << '\t' << tries << '\t' << held
            << '\t' << clean(holds) << '\n';
    }

private:
    // The test-scratch folder is two levels above $PACKWELL_TEST_ROOT
    // (<build>/test-scratch/<program>/root); "" when run by hand without it.
    static std::string file() {
        const char* root = std::getenv("PACKWELL_TEST_ROOT");
        if (!root || !*root) return "";
        std::filesystem::path r(root);
        std::filesystem::path program = r.parent_path().filename();
        std::filesystem::path folder = r.parent_path().parent_path() / "reliability";
        std::error_code ec;
        std::filesystem::create_directories(folder, ec);
        return (folder / (program.string() + ".tsv")).string();
    }
    static std::string clean(std::string s) {
        for (char& c : s)
            if (c == '\t' || c == '\n') c = ' ';
        return s;
    }
};

// Counts the tries of one case and those that ended without a new test
// failure; writes the case's row when it goes out of scope.
class Tally {
public:
    Tally(std::string area, std::string operation, std::string tried, std::string holds)
        : area_(std::move(area)), operation_(std::move(operation)), tried_(std::move(tried)),
          holds_(std::move(holds)) {}
    ~Tally() { Summary::row(area_, operation_, tried_, tries_, held_, holds_); }
    Tally(const Tally&) = delete;
    Tally& operator=(const Tally&) = delete;

    // Call before a try; then end() after its checks.
    void begin() { failuresBefore_ = failures(); }
    void end() {
        ++tries_;
        if (failures() == failuresBefore_) ++held_;
    }
    // Extra detail for the "tried" column, known only after the tries.
    void note(const std::string& more) { tried_ += more; }

    long tries() const { return tries_; }

private:
    // Failed checks of the running test so far.
    static int failures() {
        const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
        if (!info) return 0;
        const ::testing::TestResult* r = info->result();
        int n = 0;
        for (int i = 0; i < r->total_part_count(); ++i) n += r->GetTestPartResult(i).failed() ? 1 : 0;
        return n;
    }

    std::string area_, operation_, tried_, holds_;
    long tries_ = 0, held_ = 0;
    int failuresBefore_ = 0;
};

}  // namespace pwtest
