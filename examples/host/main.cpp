// A minimal host: zips one file, lists the archive through the control's
// listing table, splits the archive into pieces and joins them back.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "control/ctlPackwell.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: packwell_host WORK_FOLDER\n";
        return 2;
    }
    const std::string work = argv[1];
    const std::string file = work + "/hello.txt";
    {
        std::ofstream out(file);
        unsigned x = 12345;
        for (int i = 0; i < 20000; ++i) {
            x = x * 1103515245u + 12345u;
            out << (x >> 8) << (i % 10 ? ' ' : '\n');
        }
    }

    ctlPackwell control;
    const std::string archive = work + "/hello.zip";
    if (!control.zipONEfile(file, archive, false)) return 1;
    if (!control.ListFilesFromZip(archive)) return 1;
    for (int i = 1; i <= control.ListCount(); ++i) {
        const ctlListing entry = control.getListFiles(i);
        std::cout << entry.FileName << " " << entry.FileSize << " " << entry.FileCompressionRatio << " %\n";
    }
    std::string pieces = work + "/pieces";
    std::filesystem::create_directories(pieces);
    if (!control.SPLITfile(archive, 10, pieces)) return 1;  // pieces now ends in "/"
    const std::string joined = control.JOINfiles(pieces + "hello.001");
    if (joined.empty()) return 1;
    std::cout << "joined " << joined << "\n";
    return 0;
}
