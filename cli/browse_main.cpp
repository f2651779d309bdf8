// packwell-browse ARCHIVE: the process `packwell browse` becomes. The archive
// browser lives in the control library, which holds the one core of the
// process; the packwell program links the core itself and would otherwise
// carry a second copy with its own globals. Not for people to call: packwell
// has checked the archive and the display before.
#include <iostream>

#include "control/BrowseEntry.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: packwell browse [ARCHIVE]" << std::endl;
        return 2;
    }
    char error[1024] = {};
    int rc = PackwellBrowse(argv[1], error, sizeof error);
    if (error[0]) std::cerr << "packwell: " << error << std::endl;
    return rc == 0 ? 0 : 1;
}
