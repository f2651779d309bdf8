// Turning the caller's names into the list of files and folders to store.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

namespace brixzip {

struct Item {
    std::string path;  // what to open (relative to the process's current folder, or absolute)
    std::string name;  // the stored name; folders end with "/"
    bool dir = false;
    mode_t mode = 0;
    std::time_t mtime = 0;
    std::uint64_t size = 0;
};

struct ScanOptions {
    std::string root;        // folder that relative names are taken from ("" = current folder)
    bool recurse = false;    // also match names in every subfolder
    bool hidden = false;     // include names starting with "."
    bool junk = false;       // store names without their folders
    bool noDirEntries = false;
    std::string archive;     // the archive being written, never stored in itself
    // Told of each item as it is taken, by its place in `items`, and again
    // when a later file of the same stored name takes that place.
    std::function<void(std::size_t place, const Item& item)> taken;
};

// A name or pattern of the caller's that could not be taken, or a file it
// matched that could not be read: one per-entry outcome of the run.
struct Problem {
    std::string name;  // as the caller gave it, or the matched file's path relative to the root
    int kind = 0;      // BRIX_NOT_FOUND or BRIX_READ_FAILED
    int err = 0;       // errno, 0 when the system gave none
    std::string reason;
};

struct ScanResult {
    std::vector<Item> items;
    std::vector<std::string> warnings;  // complete message lines
    std::vector<Problem> problems;      // what was asked for and is not in `items`
};

// `*.*` and any pattern ending in ".*" also match names without a dot, as on
// the platform the callers come from.
bool matchName(const std::string& pattern, const std::string& name);
bool hasWildcard(const std::string& s);
// The stored form of a relative or absolute path: no "./", "..", leading "/"
// or doubled slashes.
std::string storedName(const std::string& path);

ScanResult scan(const std::vector<std::string>& specs, const ScanOptions& options);

}  // namespace brixzip
