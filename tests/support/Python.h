// What the tests that make archives with Python share.
#pragma once

#include <filesystem>
#include <string>

namespace pwtest {

// The system's Python: a version manager's shim costs seconds per start.
inline std::string python() {
    return std::filesystem::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3";
}

// Python (needs zipfile and struct): passes(z, name, w), whether the wrong
// password `w` (bytes) gets past the traditional check byte of entry `name`
// of the ZipFile `z`. The reader takes the CRC's or the time's high byte, so
// a wrong password passes about twice in 256 tries; tests make their archive
// again until none of theirs does, so that their counts hold every run.
inline const char* passwordCheckPython() {
    return "def passes(z, n, w):\n"
           "    i = z.getinfo(n)\n"
           "    f = open(z.filename, 'rb'); f.seek(i.header_offset)\n"
           "    h = f.read(30); f.seek(i.header_offset + 30 + struct.unpack('<H', h[26:28])[0] + struct.unpack('<H', h[28:30])[0])\n"
           "    last = zipfile._ZipDecrypter(w)(f.read(12))[11]\n"
           "    return last in ((i.CRC >> 24) & 0xff, (i._raw_time >> 8) & 0xff)\n";
}

}  // namespace pwtest
