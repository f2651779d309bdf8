// The unzip object, the control and packwell on real archives, made by
// Python's zipfile and Info-ZIP zip, through the real engine beside the
// binaries: listing, selection, folders, overwrite answers, passwords, and
// hostile or damaged archives.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>

#include "control/ctlPackwell.h"
#include "platform/OleDate.h"
#include "support/ScriptedPlatform.h"
#include "support/TempDir.h"
#include "unzip/cUnzip.h"
#include "support/Process.h"
#include "RealArchive.h"

namespace fs = std::filesystem;

namespace {

using pwtest::pyZip;
using pwtest::python;
using pwtest::sh;
using ArchiveTest = pwtest::RealArchiveTest;

const char* kThreeFiles =
    "z.writestr(zipfile.ZipInfo('docs/', (2001,7,14,9,30,0)), '')\n"
    "z.writestr(zipfile.ZipInfo('docs/readme.txt', (2001,7,14,9,30,58)), 'read me\\n' * 1000, zipfile.ZIP_DEFLATED)\n"
    "z.writestr(zipfile.ZipInfo('a.txt', (2038,1,19,3,14,8)), 'alpha', zipfile.ZIP_STORED)\n"
    "z.writestr(zipfile.ZipInfo('deep/er/b.bin', (1999,12,31,23,59,0)), bytes(range(256)) * 40, zipfile.ZIP_DEFLATED)\n";

TEST_F(ArchiveTest, DirectoryListsFilesWithTheirValues) {
    pyZip(archive, kThreeFiles);
    auto u = std::make_shared<cUnzip>();
    u->ZipFile(archive);
    EXPECT_EQ(u->Directory(), 0);
    ASSERT_EQ(u->FileCount(), 3);
    EXPECT_EQ(u->FileName(1), "readme.txt");
    EXPECT_EQ(u->FileDirectory(1), "docs");
    EXPECT_EQ(u->FileSize(1), 8000);
    EXPECT_EQ(u->FileCompressionMethod(1), "Deflated");
    EXPECT_DOUBLE_EQ(u->FileDate(1), pw::makeOleDate(2001, 7, 14, 9, 30, 0));
    EXPECT_EQ(u->FileName(2), "a.txt");
    EXPECT_EQ(u->FileCompressionMethod(2), "Stored");
    EXPECT_EQ(u->FilePackedSize(2), 5);
    EXPECT_EQ(pw::splitOleDate(u->FileDate(2)).year, 2038);
    EXPECT_EQ(u->FileCRC(2), static_cast<std::int32_t>(0xd0e0396au));
    EXPECT_EQ(u->FileDirectory(3), "deep/er");
    EXPECT_EQ(pw::splitOleDate(u->FileDate(3)).year, 1999);
    EXPECT_FALSE(u->FileEncrypted(1));
}

TEST_F(ArchiveTest, ListFilesFromZipAndThePackedSize) {
    pyZip(archive, kThreeFiles);
    ctlPackwell c;
    ASSERT_TRUE(c.ListFilesFromZip(archive));
    ASSERT_EQ(c.ListCount(), 3);
    ctlListing r = c.getListFiles(1);
    // The packed size comes from a percentage: within 1% of the real one.
    pwtest::TempDir t;
    pwtest::writeFile(t / "cs.py", "import zipfile,sys\nprint(zipfile.ZipFile(sys.argv[1]).getinfo('docs/readme.txt').compress_size)\n");
    std::string real = dir / "cs.txt";
    ASSERT_EQ(sh(python() + " '" + (t / "cs.py") + "' '" + archive + "' > '" + real + "'"), 0);
    int packed = std::stoi(pwtest::readFile(real));
    EXPECT_NEAR(r.FilePackedSize, packed, 8000 / 100 + 1);
    EXPECT_EQ(pw::splitOleDate(r.FileDate).second, 0);

    // An archive without entries empties the table, silently.
    pyZip(dir / "empty.zip", "");
    EXPECT_FALSE(c.ListFilesFromZip(dir / "empty.zip"));
    EXPECT_EQ(c.ListCount(), 0);
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(ArchiveTest, UnzipDirectlyPutsEveryFileIntoTheFolderAndAsksBeforeOverwriting) {
    pyZip(archive, kThreeFiles);
    pwtest::writeFile(out + "/a.txt", "mine");
    pwtest::writeFile(out + "/b.bin", "mine too");
    ctlPackwell c;
    ui.overwriteAnswers = {{7, false}, {6, false}};  // keep a.txt, replace b.bin
    EXPECT_TRUE(c.UnzipDirectly(archive, out, true));
    EXPECT_EQ(ui.overwriteQuestions.size(), 2u);
    EXPECT_EQ(pwtest::readFile(out + "/a.txt"), "mine");
    EXPECT_EQ(pwtest::readFile(out + "/b.bin").size(), 256u * 40);
    EXPECT_EQ(pwtest::readFile(out + "/readme.txt").size(), 8000u);
    EXPECT_FALSE(fs::exists(out + "/docs"));

    // Without Overwrite an existing file is kept and nobody is asked.
    pwtest::writeFile(out + "/a.txt", "kept");
    EXPECT_TRUE(c.UnzipDirectly(archive, out));
    EXPECT_EQ(pwtest::readFile(out + "/a.txt"), "kept");
    EXPECT_EQ(ui.overwriteQuestions.size(), 2u);
}

TEST_F(ArchiveTest, SelectedEntriesWithTheirFolders) {
    pyZip(archive, kThreeFiles);
    auto u = std::make_shared<cUnzip>();
    u->ZipFile(archive);
    u->Directory();
    u->FileSelected(2, false);
    u->UnzipFolder(out);
    u->UseFolderNames(true);
    EXPECT_TRUE(u->Unzip());
    EXPECT_EQ(u->LastIncludeList(), (std::vector<std::string>{"docs/readme.txt", "deep/er/b.bin"}));
    EXPECT_TRUE(fs::exists(out + "/docs/readme.txt"));
    EXPECT_TRUE(fs::exists(out + "/deep/er/b.bin"));
    EXPECT_FALSE(fs::exists(out + "/a.txt"));
}

// A selected entry whose name holds wildcard characters is still extracted:
// the include list names it literally.
TEST_F(ArchiveTest, SelectedNamesWithBracketsAreExtracted) {
    pyZip(archive,
          "z.writestr('photo [1].jpg', 'one')\n"
          "z.writestr('photo 1.jpg', 'other')\n"
          "z.writestr('b.txt', 'b')\n");
    auto u = std::make_shared<cUnzip>();
    u->ZipFile(archive);
    u->Directory();
    ASSERT_EQ(u->FileCount(), 3);
    u->FileSelected(2, false);
    u->UnzipFolder(out);
    EXPECT_TRUE(u->Unzip());
    EXPECT_EQ(pwtest::readFile(out + "/photo [1].jpg"), "one");
    EXPECT_FALSE(fs::exists(out + "/photo 1.jpg"));
    EXPECT_TRUE(fs::exists(out + "/b.txt"));
}

TEST_F(ArchiveTest, EncryptedEntriesAskUntilTheRightPasswordOrARefusal) {
    pwtest::writeFile(dir / "secret.txt", "top secret");
    // The archive is made again until "wrong" is turned away by the check.
    pwtest::writeFile(dir / "mk.py",
                      std::string("import os, struct, zipfile\n") + pwtest::passwordCheckPython() +
                      "for attempt in range(64):\n"
                      "    os.system('rm -f enc.zip; zip -q -P right enc.zip secret.txt')\n"
                      "    if not passes(zipfile.ZipFile('enc.zip'), 'secret.txt', b'wrong'): break\n");
    ASSERT_EQ(sh("cd '" + dir.path().string() + "' && " + pwtest::python() + " mk.py"), 0);
    auto u = std::make_shared<cUnzip>();
    u->ZipFile(dir / "enc.zip");
    u->Directory();
    ASSERT_EQ(u->FileCount(), 1);
    EXPECT_TRUE(u->FileEncrypted(1));

    std::vector<std::string> answers = {"wrong", " right "};
    std::size_t asked = 0;
    u->PasswordRequest = [&](std::string& p, bool&) { p = asked < answers.size() ? answers[asked] : ""; ++asked; };
    u->UnzipFolder(out);
    EXPECT_TRUE(u->Unzip());
    EXPECT_EQ(asked, 2u);
    EXPECT_EQ(pwtest::readFile(out + "/secret.txt"), "top secret");

    // Refused: nothing written, the run fails.
    fs::remove(out + "/secret.txt");
    u->PasswordRequest = [](std::string&, bool& cancel) { cancel = true; };
    EXPECT_FALSE(u->Unzip());
    EXPECT_FALSE(fs::exists(out + "/secret.txt"));
}

TEST_F(ArchiveTest, HostileNamesNeverLeaveTheFolder) {
    pyZip(archive,
          "z.writestr('../evil.txt', 'x')\n"
          "z.writestr('/abs/evil2.txt', 'x')\n"
          "z.writestr('..\\\\evil3.txt', 'x')\n"
          "z.writestr('good.txt', 'fine')\n");
    fs::create_directories(out + "/inner");
    auto u = std::make_shared<cUnzip>();
    u->ZipFile(archive);
    u->UnzipFolder(out + "/inner");
    u->UseFolderNames(true);
    u->Unzip();
    EXPECT_EQ(pwtest::readFile(out + "/inner/good.txt"), "fine");
    EXPECT_FALSE(fs::exists(out + "/evil.txt"));
    EXPECT_FALSE(fs::exists(out + "/evil3.txt"));
    EXPECT_FALSE(fs::exists("/abs/evil2.txt"));
    EXPECT_FALSE(u->Notes().empty());

    std::string cmd = "'" + pwtest::packwellProgram() + "' unzip '" + archive + "' '" +
                      out + "/inner' --folder-names --answer all >/dev/null 2>&1 </dev/null";
    EXPECT_EQ(sh(cmd), 1);
}

TEST_F(ArchiveTest, DamagedArchivesAreReportedAndDamageNothing) {
    pyZip(archive, kThreeFiles);
    std::string bytes = pwtest::readFile(archive);
    pwtest::writeFile(dir / "cut.zip", bytes.substr(0, bytes.size() / 2));
    pwtest::writeFile(out + "/readme.txt", "precious");
    ctlPackwell c;
    EXPECT_FALSE(c.ListFilesFromZip(dir / "cut.zip"));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text.rfind("Unable to read " + (dir / "cut.zip"), 0), 0u);
    EXPECT_FALSE(c.UnzipDirectly(dir / "cut.zip", out, true));
    EXPECT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(pwtest::readFile(out + "/readme.txt"), "precious");
}

TEST_F(ArchiveTest, CommandLineListAndUnzipWithFolders) {
    pyZip(archive, kThreeFiles);
    std::string bin = pwtest::packwellProgram();
    ASSERT_EQ(sh("'" + bin + "' list '" + archive + "' > '" + (dir / "list.txt") + "'"), 0);
    std::string list = pwtest::readFile(dir / "list.txt");
    EXPECT_NE(list.find("readme.txt\t8000\t"), std::string::npos) << list;
    EXPECT_NE(list.find("\tdocs\t2001-07-14 09:30\t"), std::string::npos) << list;
    ASSERT_EQ(sh("'" + bin + "' unzip '" + archive + "' '" + out + "' --folder-names </dev/null"), 0);
    EXPECT_EQ(pwtest::readFile(out + "/a.txt"), "alpha");
    EXPECT_TRUE(fs::exists(out + "/deep/er/b.bin"));
}

}  // namespace
