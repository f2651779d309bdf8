// Shared by the reliability tests: a scratch folder, the packwell program and
// the fault-injection library, and the checks every faulted run must pass.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "reliability/Summary.h"
#include "support/Process.h"
#include "support/TempDir.h"

namespace pwtest {

class FaultTest : public ::testing::Test {
protected:
    TempDir dir;

    std::string faultLibrary() const { return binDir() + "/libpw_faultinject.so"; }

    // The environment that preloads the fault library. A sanitizer build
    // wants its runtime first among the preloaded libraries; ours comes
    // first, so the check is turned off (interposition still works).
    RunOptions faulted() const {
        RunOptions o;
        o.env["LD_PRELOAD"] = faultLibrary();
        const char* asan = std::getenv("ASAN_OPTIONS");
        o.env["ASAN_OPTIONS"] = std::string(asan && *asan ? std::string(asan) + ":" : "") + "verify_asan_link_order=0";
        return o;
    }

    // Runs packwell with writes refused after `budget` bytes.
    RunResult runWithWriteBudget(const std::vector<std::string>& args, long long budget) {
        RunOptions o = faulted();
        o.env["PW_FAULT_WRITE_BUDGET"] = std::to_string(budget);
        o.fileSizeLimit = budget;  // writers that bypass the C library's entry points
        return run(packwellProgram(), args, o);
    }

    // Runs packwell with every rename refused.
    RunResult runWithRenameFailing(const std::vector<std::string>& args) {
        RunOptions o = faulted();
        o.env["PW_FAULT_RENAME"] = "1";
        return run(packwellProgram(), args, o);
    }

    RunResult runPackwell(const std::vector<std::string>& args) { return run(packwellProgram(), args); }

    // The helper that deletes archive entries through cZip (packwell has no
    // delete command).
    static std::string zipDeleteProgram() { return binDir() + "/pw_zipdelete"; }

    // Runs `program` (packwell or a helper) with writes refused after `budget` bytes.
    RunResult runWithWriteBudget(const std::string& program, const std::vector<std::string>& args, long long budget) {
        RunOptions o = faulted();
        o.env["PW_FAULT_WRITE_BUDGET"] = std::to_string(budget);
        o.fileSizeLimit = budget;
        return run(program, args, o);
    }
    RunResult runWithRenameFailing(const std::string& program, const std::vector<std::string>& args) {
        RunOptions o = faulted();
        o.env["PW_FAULT_RENAME"] = "1";
        return run(program, args, o);
    }

    // A failure reported the way the control reports one: one line
    // "PackwellDEMO: <number>: <description>", and exit status 1.
    static void expectNumberedFailure(const RunResult& r) {
        EXPECT_EQ(r.exitCode, 1) << r.err;
        EXPECT_TRUE(std::regex_search(r.err, std::regex(R"((^|\n)PackwellDEMO: \d+: \S)"))) << r.err;
    }

    // Fingerprints of every file under the scratch folder.
    std::map<std::string, std::string> snapshot() const {
        std::map<std::string, std::string> files;
        for (const auto& f : listFiles(dir.path().string())) files[f] = fingerprint(dir / f);
        return files;
    }

    // Every file of `before` is still there, byte for byte.
    static void expectOriginalsKept(const std::map<std::string, std::string>& before,
                                    const std::map<std::string, std::string>& after) {
        for (const auto& [name, print] : before) {
            auto it = after.find(name);
            ASSERT_NE(it, after.end()) << name << " was removed";
            EXPECT_EQ(it->second, print) << name << " was changed";
        }
    }

    // The files before and after a run under a fault, which reported a
    // numbered failure and kept every original file.
    struct Aftermath {
        std::map<std::string, std::string> before, after;
    };
    template <class Run>
    Aftermath failingRun(Run&& run) {
        Aftermath a;
        a.before = snapshot();
        expectNumberedFailure(run());
        a.after = snapshot();
        expectOriginalsKept(a.before, a.after);
        return a;
    }

    // Files that appeared, other than those `allowed` says may.
    template <class Pred>
    static std::vector<std::string> strayFiles(const std::map<std::string, std::string>& before,
                                               const std::map<std::string, std::string>& after, Pred allowed) {
        std::vector<std::string> stray;
        for (const auto& [name, print] : after)
            if (!before.count(name) && !allowed(name)) stray.push_back(name);
        return stray;
    }
};

}  // namespace pwtest
