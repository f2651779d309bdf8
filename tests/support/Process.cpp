#include "support/Process.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>

extern char** environ;

namespace pwtest {

RunResult run(const std::string& program, const std::vector<std::string>& args, const RunOptions& options) {
    int outPipe[2], errPipe[2], inPipe[2];
    if (pipe2(outPipe, O_CLOEXEC) || pipe2(errPipe, O_CLOEXEC) || pipe2(inPipe, O_CLOEXEC))
        throw std::runtime_error("pipe failed");

    // Build argv and envp before forking: the child only calls async-safe functions.
    std::vector<std::string> argStore{program};
    argStore.insert(argStore.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : argStore) argv.push_back(a.data());
    argv.push_back(nullptr);

    std::map<std::string, std::string> envMap;
    for (char** e = environ; *e; ++e) {
        std::string kv = *e;
        auto eq = kv.find('=');
        if (eq != std::string::npos) envMap[kv.substr(0, eq)] = kv.substr(eq + 1);
    }
    for (const auto& [k, v] : options.env) envMap[k] = v;
    std::vector<std::string> envStore;
    for (const auto& [k, v] : envMap) envStore.push_back(k + "=" + v);
    std::vector<char*> envp;
    for (auto& e : envStore) envp.push_back(e.data());
    envp.push_back(nullptr);

    pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        dup2(inPipe[0], 0);
        dup2(outPipe[1], 1);
        dup2(errPipe[1], 2);
        if (!options.workingDir.empty() && chdir(options.workingDir.c_str()) != 0) _exit(127);
        if (options.fileSizeLimit) {
            signal(SIGXFSZ, SIG_IGN);
            rlimit lim{static_cast<rlim_t>(*options.fileSizeLimit), static_cast<rlim_t>(*options.fileSizeLimit)};
            setrlimit(RLIMIT_FSIZE, &lim);
        }
        execve(program.c_str(), argv.data(), envp.data());
        _exit(127);
    }
    close(inPipe[0]);
    close(outPipe[1]);
    close(errPipe[1]);
    if (!options.stdinText.empty()) {
        ssize_t ignored = ::write(inPipe[1], options.stdinText.data(), options.stdinText.size());
        (void)ignored;
    }
    close(inPipe[1]);

    RunResult result;
    const auto start = std::chrono::steady_clock::now();
    bool killed = false;
    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    int open = 2;
    while (open > 0) {
        int timeout = -1;
        if (options.killAfter && !killed) {
            auto left = *options.killAfter - std::chrono::duration_cast<std::chrono::milliseconds>(
                                                  std::chrono::steady_clock::now() - start);
            timeout = static_cast<int>(std::max<long long>(0, left.count()));
        }
        int n = poll(fds, 2, timeout);
        if (n == 0 && options.killAfter && !killed) {
            kill(pid, SIGKILL);
            killed = true;
            continue;
        }
        if (n < 0) {
            if (errno == EINTR) continue;
            break;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            char buf[65536];
            ssize_t got = ::read(fds[i].fd, buf, sizeof buf);
            if (got > 0) {
                (i == 0 ? result.out : result.err).append(buf, static_cast<std::size_t>(got));
            } else if (got == 0 || errno != EINTR) {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status)) {
        result.exitCode = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.signal = WTERMSIG(status);
    }
    return result;
}

ShellResult shell(const std::string& command) {
    ShellResult r;
    FILE* p = ::popen(command.c_str(), "r");
    if (!p) return r;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    const int status = ::pclose(p);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

std::string binDir() {
    const char* dir = std::getenv("PACKWELL_BIN_DIR");
    return dir ? dir : ".";
}

std::string sourceDir() {
    const char* dir = std::getenv("PACKWELL_SOURCE_DIR");
    return dir ? dir : ".";
}

std::string packwellProgram() { return binDir() + "/packwell"; }

std::vector<std::string> listFiles(const std::string& folder) {
    std::vector<std::string> files;
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(folder, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_regular_file()) files.push_back(std::filesystem::relative(it->path(), folder).string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::string fingerprint(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return "missing";
    std::uint64_t hash = 1469598103934665603ull, size = 0;
    char buf[65536];
    while (in.read(buf, sizeof buf) || in.gcount() > 0) {
        for (std::streamsize i = 0; i < in.gcount(); ++i) {
            hash = (hash ^ static_cast<unsigned char>(buf[i])) * 1099511628211ull;
        }
        size += static_cast<std::uint64_t>(in.gcount());
    }
    return std::to_string(size) + ":" + std::to_string(hash);
}

long residentKib() {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}

int openDescriptors() {
    int n = 0;
    DIR* d = ::opendir("/proc/self/fd");
    if (!d) return -1;
    while (dirent* e = ::readdir(d))
        if (e->d_name[0] != '.') ++n;
    ::closedir(d);
    return n - 1;  // the directory stream itself
}

}  // namespace pwtest
