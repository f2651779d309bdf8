// Running the packwell program from tests: arguments, extra environment,
// limits, and what it printed.
#pragma once

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace pwtest {

struct RunResult {
    int exitCode = -1;      // exit status, or -1 when killed by a signal
    int signal = 0;         // the signal that ended it, 0 when it exited
    std::string out, err;
};

struct RunOptions {
    std::map<std::string, std::string> env;        // added to (or replacing in) this process's environment
    std::optional<long long> fileSizeLimit;        // RLIMIT_FSIZE in bytes; SIGXFSZ is ignored
    std::optional<std::chrono::milliseconds> killAfter;  // SIGKILL after this long
    std::string stdinText;                         // fed to the program's stdin
    std::string workingDir;
};

// Runs `program` with `args` and waits for it.
RunResult run(const std::string& program, const std::vector<std::string>& args, const RunOptions& options = {});

// A shell command's exit status (-1 when a signal ended it or it could not
// start) and what it wrote to its standard output.
struct ShellResult {
    int status = -1;
    std::string out;
};
ShellResult shell(const std::string& command);

// The packwell program of this build ($PACKWELL_BIN_DIR/packwell).
std::string packwellProgram();

// The folder of the build's programs and libraries ($PACKWELL_BIN_DIR).
std::string binDir();

// The source tree the build came from ($PACKWELL_SOURCE_DIR), for files
// shipped with the sources.
std::string sourceDir();

// Every regular file under `folder` (relative paths, sorted).
std::vector<std::string> listFiles(const std::string& folder);

// A fast content fingerprint (size + FNV-1a of the bytes), for "unchanged" checks.
std::string fingerprint(const std::string& path);

// This process's resident size (VmRSS) in KiB, and its open descriptors
// (the count's own directory stream left out); -1 when unknown.
long residentKib();
int openDescriptors();

// How much resident size a load test allows to grow by. AddressSanitizer
// keeps freed memory resident (its quarantine), so resident size says
// nothing there; its leak checker watches the same cycles instead.
constexpr long rssTolerance(long kib) {
#if defined(__SANITIZE_ADDRESS__)
    return kib + 1024L * 1024 * 1024;
#else
    return kib;
#endif
}

}  // namespace pwtest
