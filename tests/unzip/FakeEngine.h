// A stand-in for the unzip engine, for tests of the binding: it records what
// a run passed to Wiz_SingleEntryUnzip(Ex) and drives the callbacks from a
// script, one command a line, fields separated by TABs:
//   list  csize size factor month day year hour minute flag path method crc enc
//   print TEXT            (byte count = the text's length)
//   printn COUNT TEXT     (byte count given)
//   service TEXT          (a reply of 1 ends the run with code 80)
//   replace NAME
//   password              (a zeroed 256-byte buffer)
//   outcome KIND NAME [ERRNO [REASON]]  (through Wiz_SingleEntryUnzipEx's callback)
//   return CODE
// Numbers take C notation (0x...). "\0" in a text is a NUL, "\t" a TAB.
// The script comes from FakeUz_SetScript, or else from the file named by
// $FAKE_UZ_SCRIPT_FILE; the record of each call is appended to the file named
// by $FAKE_UZ_LOG_FILE when set (one "key: value" line each).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "brixuzip1.h"

struct FakeUzCall {
    std::int32_t includeCount = 0, excludeCount = 0;
    std::vector<std::string> include, exclude;  // slots up to the first null
    int includeNonNull = 0, excludeNonNull = 0;  // non-null slots of the 1024
    DCL dcl{};
    bool zipNull = true, extractNull = true;
    std::string zipFN, extractDir;
    bool soundNull = false, totalsZero = false;
    std::vector<std::int32_t> replies;   // each callback's return, in order
    std::vector<std::string> passwords;  // the buffer after each password call
};

extern "C" {
typedef void (*FakeUzSetScriptFn)(const char* script);
typedef const FakeUzCall* (*FakeUzLastCallFn)(void);
typedef int (*FakeUzCallCountFn)(void);
}
