#include "client/SamplePaths.h"

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace pw::samples {

std::string programFolder() {
    std::error_code ec;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return ".";
    std::string folder = exe.parent_path().string();
    return folder.empty() ? "/" : folder;
}

std::string testRoot() {
    if (const char* root = std::getenv("PACKWELL_TEST_ROOT"); root && *root) return root;
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : "/tmp") + "/packwell-test-root";
}

std::string mapDrivePath(const std::string& windowsPath) {
    // "X:" followed by "\" or nothing: the drive becomes the test root.
    if (windowsPath.size() < 2 || windowsPath[1] != ':' || !std::isalpha(static_cast<unsigned char>(windowsPath[0])))
        return windowsPath;
    std::string rest = windowsPath.substr(2);
    for (char& c : rest)
        if (c == '\\') c = '/';
    if (rest.empty() || rest[0] != '/') rest.insert(rest.begin(), '/');
    std::string root = testRoot();
    while (root.size() > 1 && root.back() == '/') root.pop_back();
    return root + rest;
}

std::string sampleArchive() { return programFolder() + "/Test_brix.zip"; }
std::string sampleIcon() { return programFolder() + "/brix3.ico"; }
std::string listingArchive() { return programFolder() + "/DocZipTest.zip"; }
std::string sampleFolderToZip() { return programFolder() + "/testrecursive"; }

std::string oneFileToZip() { return mapDrivePath("C:\\testToZip\\DocZipTest2.doc"); }
std::string fileToAdd() { return mapDrivePath("C:\\testrecursive\\level1\\DocZipTest3.doc"); }
std::string fileToSplit() { return mapDrivePath("C:\\testsplit\\GLOBE.AVI"); }
std::string firstPieceToJoin() { return mapDrivePath("C:\\testsplit\\Test_brix.001"); }
std::string joinedArchive() { return mapDrivePath("C:\\testsplit\\Test_brix.zip"); }
std::string extractFolder() { return mapDrivePath("C:\\testExtract"); }
std::string joinFolder() { return mapDrivePath("c:\\testjoin"); }
std::string splitFolder() { return mapDrivePath("c:\\testsplit"); }

}  // namespace pw::samples
