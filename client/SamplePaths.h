// The test client's sample paths. Four are built from the program's own
// folder; the others were drive-letter paths on the platform the client comes
// from and live here under one test root, keeping their folder and file names
// and letter case ("C:\testsplit\GLOBE.AVI" is <test root>/testsplit/GLOBE.AVI).
#pragma once

#include <string>

namespace pw::samples {

// The folder holding the running program, without a trailing "/" (a root
// folder is reported as "/", so paths built from it hold a doubled "/";
// they are passed on unchanged).
std::string programFolder();

// $PACKWELL_TEST_ROOT, or ~/packwell-test-root when it is not set.
std::string testRoot();

// The test root's counterpart of a drive-letter path ("C:\testsplit" ->
// <test root>/testsplit). Anything else is returned unchanged.
std::string mapDrivePath(const std::string& windowsPath);

// Built from the program folder by plain concatenation.
std::string sampleArchive();       // <program folder>/Test_brix.zip
std::string sampleIcon();          // <program folder>/brix3.ico
std::string listingArchive();      // <program folder>/DocZipTest.zip
std::string sampleFolderToZip();   // <program folder>/testrecursive

// The fixed paths.
std::string oneFileToZip();        // C:\testToZip\DocZipTest2.doc
std::string fileToAdd();           // C:\testrecursive\level1\DocZipTest3.doc
std::string fileToSplit();         // C:\testsplit\GLOBE.AVI
std::string firstPieceToJoin();    // C:\testsplit\Test_brix.001
std::string joinedArchive();       // C:\testsplit\Test_brix.zip
std::string extractFolder();       // C:\testExtract
std::string joinFolder();          // c:\testjoin
std::string splitFolder();         // c:\testsplit

// The piece size both split buttons pass (units of 1,024 bytes).
inline constexpr int kPieceSizeKiB = 720;

}  // namespace pw::samples
