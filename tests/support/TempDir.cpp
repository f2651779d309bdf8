#include "support/TempDir.h"

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace pwtest {

TempDir::TempDir() {
    const char* root = std::getenv("PACKWELL_TEST_ROOT");
    std::filesystem::path base = root && *root ? std::filesystem::path(root) : std::filesystem::temp_directory_path();
    std::filesystem::create_directories(base);
    std::string templ = (base / "pwtest-XXXXXX").string();
    if (!mkdtemp(templ.data())) throw std::runtime_error("mkdtemp failed");
    path_ = templ;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) throw std::runtime_error("cannot write " + path);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::string patternBytes(std::size_t size, std::uint32_t seed) {
    std::mt19937 gen(seed);
    std::string s(size, '\0');
    for (auto& c : s) c = static_cast<char>(gen() & 0xFF);
    return s;
}

bool exists(const std::string& path) { return std::filesystem::exists(path); }

}  // namespace pwtest
