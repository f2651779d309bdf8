/* bench_zipengine ARCHIVE FOLDER [LEVEL]: zips a folder's whole tree ("*.*"
 * with recursion, folder entries kept), as the folder operation does. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "brixzip1.h"

static int32_t print_line(const char* text, uint32_t size) {
    fwrite(text, 1, size, stderr);
    fputc('\n', stderr);
    return 0;
}

int main(int argc, char** argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: %s ARCHIVE FOLDER [LEVEL]\n", argv[0]);
        return 2;
    }
    ZIPUSERFUNCTIONS fn = {print_line, NULL, NULL, NULL};
    ZpInit(&fn);
    ZPOPT o;
    memset(&o, 0, sizeof o);
    o.szRootDir = argv[2];
    o.fRecurse = 2;
    o.fQuiet = 1;
    o.fLevel = (char)(argc > 3 ? atoi(argv[3]) : 0);
    ZpSetOptions(&o);
    ZIPNAMES names;
    memset(&names, 0, sizeof names);
    names.name[0] = "*.*";
    names.name[2] = "";
    int32_t rc = ZpArchive(1, argv[1], &names);
    if (rc != ZE_OK) fprintf(stderr, "zip engine result %d\n", rc);
    return rc;
}
