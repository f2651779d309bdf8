// The zip object and the control's operations with the real engine; the
// archives are checked with Info-ZIP unzip and 7-Zip.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>

#include "control/ctlPackwell.h"
#include "support/ScriptedPlatform.h"
#include "support/TempDir.h"
#include "zip/cZip.h"
#include "support/Process.h"

namespace {

namespace fs = std::filesystem;
using Texts = std::vector<std::string>;

// Runs a shell command; its exit status and output (standard error joined).
std::pair<int, std::string> shell(const std::string& cmd) {
    pwtest::ShellResult r = pwtest::shell(cmd + " 2>&1");
    return {r.status, std::move(r.out)};
}

bool haveTool(const std::string& tool) { return shell("command -v " + tool).first == 0; }

// The entry names of an archive, sorted, as Info-ZIP's zipinfo reads them.
Texts entryNames(const std::string& zip) {
    auto [rc, out] = shell("unzip -Z1 '" + zip + "' | LC_ALL=C sort");
    Texts names;
    if (rc != 0) return {"(unreadable) " + out};
    std::size_t start = 0;
    while (start < out.size()) {
        std::size_t end = out.find('\n', start);
        names.push_back(out.substr(start, end - start));
        start = end == std::string::npos ? out.size() : end + 1;
    }
    return names;
}

std::string entryBytes(const std::string& zip, const std::string& name) {
    return shell("unzip -p '" + zip + "' '" + name + "'").second;
}

class ZipEndToEnd : public ::testing::Test {
protected:
    pw::ScriptedPlatform platform;
    pw::ScopedPlatform scope{platform};
    pwtest::TempDir dir;
    fs::path saved = fs::current_path();
    std::string tree, zip, big;

    void SetUp() override {
        tree = dir / "tree";
        zip = dir / "out.zip";
        fs::create_directories(tree + "/sub/deeper");
        pwtest::writeFile(tree + "/one.txt", std::string(5000, 'a') + "end\n");
        pwtest::writeFile(tree + "/sub/two.bin", pwtest::patternBytes(70000, 7));
        pwtest::writeFile(tree + "/sub/deeper/three.txt", "three\n");
        pwtest::writeFile(tree + "/sub/empty.txt", "");
        pwtest::writeFile(tree + "/.hidden", "h");
    }
    void TearDown() override { fs::current_path(saved); }

    void expectValid(const std::string& archive) {
        auto [rc, out] = shell("unzip -t '" + archive + "'");
        EXPECT_EQ(rc, 0) << out;
        if (haveTool("7z")) {
            auto [rc7, out7] = shell("7z t '" + archive + "'");
            EXPECT_EQ(rc7, 0) << out7;
        }
    }
};

TEST_F(ZipEndToEnd, ZipFolderTakesTheWholeTreeWithFolderNames) {
    ctlPackwell control;
    EXPECT_TRUE(control.zipFolder(zip, tree, "*.*", true)) << testing::PrintToString(platform.messageTexts());
    expectValid(zip);
    EXPECT_EQ(entryNames(zip), (Texts{"one.txt", "sub/deeper/three.txt", "sub/empty.txt", "sub/two.bin"}));
    EXPECT_EQ(entryBytes(zip, "sub/two.bin"), pwtest::readFile(tree + "/sub/two.bin"));
    EXPECT_EQ(entryBytes(zip, "one.txt"), pwtest::readFile(tree + "/one.txt"));
    // A second reader agrees, CRCs included.
    auto [rc, out] = shell("python3 -c 'import sys,zipfile; sys.exit(zipfile.ZipFile(sys.argv[1]).testzip() is not None)' '" +
                           zip + "'");
    EXPECT_EQ(rc, 0) << out;
}

TEST_F(ZipEndToEnd, ZipFolderWithoutKeepFolderJunksNames) {
    ctlPackwell control;
    EXPECT_TRUE(control.zipFolder(zip, tree, "*.txt", false));
    expectValid(zip);
    EXPECT_EQ(entryNames(zip), (Texts{"empty.txt", "one.txt", "three.txt"}));
}

// A relative base folder is made current once: the names below it (and a
// relative archive name) are taken from that folder, not from base/base.
TEST_F(ZipEndToEnd, RelativeBasePathIsTakenFromTheFolderItNames) {
    fs::current_path(dir.path());
    auto z = std::make_shared<cZip>();
    z->ZipFile("../rel.zip");
    z->BasePath("tree");
    z->StoreFolderNames(true);
    z->AddFileSpec("one.txt");
    z->AddFileSpec("sub/two.bin");
    z->Zip();
    EXPECT_EQ(z->LastResult(), 0) << z->LastMessage();
    EXPECT_EQ(entryNames(dir / "rel.zip"), (Texts{"one.txt", "sub/two.bin"}));
}

TEST_F(ZipEndToEnd, OneFileThenAddAnother) {
    ctlPackwell control;
    EXPECT_TRUE(control.zipONEfile(tree + "/one.txt", zip, false));
    EXPECT_TRUE(control.addFileToZip(tree + "/sub/deeper/three.txt", zip, false));
    expectValid(zip);
    EXPECT_EQ(entryNames(zip), (Texts{"one.txt", "three.txt"}));
    EXPECT_TRUE(platform.messages.empty()) << platform.messages[0].text;
}

TEST_F(ZipEndToEnd, DialogSelectionEndsUpInTheArchive) {
    ctlPackwell control;
    platform.chooserAnswers.push_back(pw::ScriptedPlatform::ChooserAnswer::choose(
        {tree + "/sub/two.bin", tree + "/sub/empty.txt"}));
    EXPECT_TRUE(control.zipFiles_with_dialog(zip, 0, false));
    EXPECT_EQ(entryNames(zip), (Texts{"empty.txt", "two.bin"}));
}

TEST_F(ZipEndToEnd, ProgressLinesAndItemsArriveAsEvents) {
    auto z = std::make_shared<cZip>();
    Texts lines, items;
    z->Progress = [&](std::int32_t, const std::string& m) { lines.push_back(m); };
    z->Cancel = [&](const std::string& m, bool&) { items.push_back(m); };
    z->ZipFile(zip);
    z->BasePath(tree);
    z->StoreFolderNames(true);
    z->AddFileSpec("one.txt");
    z->AddFileSpec("sub/two.bin");
    z->Zip();
    EXPECT_EQ(z->LastResult(), 0);
    bool sawAdding = false;
    for (const auto& l : lines) sawAdding |= l.find("adding: sub/two.bin") != std::string::npos;
    EXPECT_TRUE(sawAdding) << testing::PrintToString(lines);
    EXPECT_FALSE(items.empty());
}

TEST_F(ZipEndToEnd, DeleteRemovesOnlyTheMatchingEntries) {
    ctlPackwell control;
    ASSERT_TRUE(control.zipFolder(zip, tree, "*.*", true));
    auto z = std::make_shared<cZip>();
    z->ZipFile(zip);
    z->AddFileSpec("sub/two.bin");
    z->Delete();
    EXPECT_EQ(z->LastResult(), 0);
    expectValid(zip);
    EXPECT_EQ(entryNames(zip), (Texts{"one.txt", "sub/deeper/three.txt", "sub/empty.txt"}));
}

TEST_F(ZipEndToEnd, CancelledRunLeavesTheArchiveUntouchedAndReadsFalse) {
    ctlPackwell control;
    ASSERT_TRUE(control.zipONEfile(tree + "/one.txt", zip, false));
    std::string before = pwtest::readFile(zip);
    auto z = std::make_shared<cZip>();
    z->ZipFile(zip);
    z->BasePath(tree);
    z->AddFileSpec("sub/two.bin");
    z->Cancel = [](const std::string&, bool& c) { c = true; };
    z->Zip();
    EXPECT_NE(z->LastResult(), 0);
    EXPECT_EQ(pwtest::readFile(zip), before);
    for (const auto& e : fs::directory_iterator(dir.path()))
        EXPECT_TRUE(e.path().filename() == "out.zip" || e.path().filename() == "tree") << e.path();
}

TEST_F(ZipEndToEnd, MissingPatternReadsFalseWithTheEnginesReason) {
    ctlPackwell control;
    EXPECT_FALSE(control.zipFolder(zip, tree, "*.nothing", true));
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0].text.rfind("53: ", 0), 0u) << platform.messages[0].text;
    EXPECT_FALSE(fs::exists(zip));
}

TEST_F(ZipEndToEnd, EncryptedWithAPasswordAndRefusedWithout) {
    auto z = std::make_shared<cZip>();
    z->ZipFile(zip);
    z->BasePath(tree);
    z->Encrypt(true);
    z->AddFileSpec("one.txt");
    int asked = 0;
    z->PasswordRequest = [&](std::string& p, bool&) {
        ++asked;
        p = "  correct horse ";
    };
    z->Zip();
    EXPECT_EQ(z->LastResult(), 0);
    EXPECT_EQ(asked, 1);
    if (haveTool("7z")) {
        EXPECT_EQ(shell("7z t -p'correct horse' '" + zip + "'").first, 0);
        EXPECT_NE(shell("7z t -pwrong '" + zip + "'").first, 0);
    }
    std::string before = pwtest::readFile(zip);
    z->PasswordRequest = [&](std::string&, bool& cancel) { cancel = true; };
    z->ClearFileSpecs();
    z->AddFileSpec("sub/two.bin");
    z->Zip();
    EXPECT_NE(z->LastResult(), 0);
    EXPECT_EQ(pwtest::readFile(zip), before);
}

TEST_F(ZipEndToEnd, CommandLineEncryptsWithTraditionalEncryptionOnRequest) {
    pwtest::writeFile(dir / "pw.txt", "s3cret\n");
    auto [rc, out] = shell("'" + pwtest::packwellProgram() + "' zip '" + zip + "' '" + tree + "/one.txt' --zipcrypto --password-file '" +
                           (dir / "pw.txt") + "' </dev/null");
    ASSERT_EQ(rc, 0) << out;
    // Info-ZIP unzip reads traditional encryption (not AES).
    auto [urc, uout] = shell("unzip -P s3cret -p '" + zip + "' one.txt");
    EXPECT_EQ(urc, 0);
    EXPECT_EQ(uout, pwtest::readFile(tree + "/one.txt"));
}

}  // namespace
