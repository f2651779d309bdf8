// Times 10,000 value writes and 10,000 reads through cRegistry, each with its
// own open and close of the key, as the browser's settings do. Goals on the
// build machine: reads under 1 s, writes under 3 s.
//
// Usage: bench_registry [count] (uses $PACKWELL_REGISTRY_DIR, or a folder of
// its own under /tmp).
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <unistd.h>

#include "registry/cRegistry.h"

namespace {

double seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

}  // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 10000;
    std::string folder;
    if (const char* dir = std::getenv("PACKWELL_REGISTRY_DIR"); dir && *dir) {
        folder = dir;
    } else {
        folder = (std::filesystem::temp_directory_path() / ("pw-bench-registry-" + std::to_string(::getpid()))).string();
        ::setenv("PACKWELL_REGISTRY_DIR", folder.c_str(), 1);
    }
    // Keep an earlier run's database aside rather than deleting it.
    const std::string file = pw::reg::rootFile(HKEY_CURRENT_USER);
    for (const char* ext : {"", "-wal", "-shm"})
        if (std::filesystem::exists(file + ext)) std::filesystem::rename(file + ext, file + ".old" + ext);

    cRegistry r;
    r.ClassKey(HKEY_CURRENT_USER);
    r.SectionKey("SOFTWARE\\brix\\Marlo\\Bench");
    // Warm-up: creates the database and the key.
    r.ValueType(REG_SZ);
    r.ValueKey("warm");
    r.Value(pw::RegVariant("up"));

    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < count; ++i) {
        r.ValueType(i % 2 ? REG_SZ : REG_DWORD);
        r.ValueKey("Item" + std::to_string(i));
        if (i % 2) r.Value(pw::RegVariant("/home/user/archives/file" + std::to_string(i) + ".zip"));
        else r.Value(pw::RegVariant(std::int32_t(i)));
    }
    const double writes = seconds(start);

    start = std::chrono::steady_clock::now();
    long long check = 0;
    for (int i = 0; i < count; ++i) {
        r.ValueKey("Item" + std::to_string(i));
        check += r.Value().toString().size();
    }
    const double reads = seconds(start);

    std::cout << "registry folder: " << folder << "\n"
              << count << " writes: " << writes << " s (goal < 3 s, ratio " << writes / 3.0 << ")\n"
              << count << " reads:  " << reads << " s (goal < 1 s, ratio " << reads / 1.0 << ")\n"
              << "(checksum " << check << ")\n";
    return writes < 3.0 && reads < 1.0 ? 0 : 1;
}
