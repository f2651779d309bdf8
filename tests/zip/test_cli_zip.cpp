// The packwell zip commands as a user runs them, over the fake engine: exit
// statuses, messages, what reaches the engine, the password options.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>

#include "support/TempDir.h"
#include "support/Process.h"

namespace {

struct Outcome {
    int status = -1;
    std::string err;
    std::string log;  // what the fake engine received
};

class CliZip : public ::testing::Test {
protected:
    pwtest::TempDir dir;
    std::string src, zip;

    void SetUp() override {
        src = dir / "a.txt";
        zip = dir / "out.zip";
        pwtest::writeFile(src, "hello");
    }

    // Runs packwell in the scratch folder with stdin from /dev/null.
    Outcome packwell(const std::string& args, const std::string& script = "") {
        std::string log = dir / "engine.log", err = dir / "stderr.txt";
        std::remove(log.c_str());
        std::string cmd = "cd '" + dir.path().string() + "' && FAKE_ZIP_LOG='" + log + "' FAKE_ZIP_SCRIPT='" + script +
                          "' '" + pwtest::packwellProgram() + "' " + args + " </dev/null >/dev/null 2>'" +
                          err + "'";
        int raw = std::system(cmd.c_str());
        Outcome o;
        o.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        o.err = pwtest::readFile(err);
        if (pwtest::exists(log)) o.log = pwtest::readFile(log);
        return o;
    }
    static bool has(const std::string& text, const std::string& part) {
        return text.find(part) != std::string::npos;
    }
};

TEST_F(CliZip, ZipOneFileSucceedsWithAbsolutePaths) {
    Outcome o = packwell("zip out.zip a.txt --keep-folder");
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_TRUE(has(o.log, "archive=" + zip + "\n")) << o.log;
    EXPECT_TRUE(has(o.log, "name=" + src + "\n")) << o.log;
    EXPECT_TRUE(has(o.log, "junk=0")) << o.log;
    EXPECT_TRUE(has(o.log, "encrypt=0")) << o.log;
}

TEST_F(CliZip, MissingFileIsAMessageAndStatusOne) {
    Outcome o = packwell("zip out.zip nope.txt");
    EXPECT_EQ(o.status, 1);
    EXPECT_TRUE(has(o.err, "PackwellDEMO: Unable to find " + (dir / "nope.txt"))) << o.err;
    EXPECT_EQ(o.log, "");
}

TEST_F(CliZip, UsageErrorsAreStatusTwoAndHelpHasAnExample) {
    EXPECT_EQ(packwell("zip out.zip").status, 2);
    EXPECT_EQ(packwell("zip-folder out.zip .").status, 2);
    Outcome help = packwell("zip-folder --help");
    EXPECT_EQ(help.status, 0);
}

TEST_F(CliZip, ZipFolderKeepsTheArchiveWhereTheUserMeantIt) {
    std::filesystem::create_directory(dir / "tree");
    Outcome o = packwell("zip-folder out.zip tree '*.*' --keep-folder");
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_TRUE(has(o.log, "archive=" + zip + "\n")) << o.log;
    EXPECT_TRUE(has(o.log, "name=*.*\n")) << o.log;
    EXPECT_TRUE(has(o.log, "cwd=" + (dir / "tree") + "\n")) << o.log;
    EXPECT_TRUE(has(o.log, "recurse=2")) << o.log;
}

TEST_F(CliZip, EngineFailureIsStatusOneWithTheReason) {
    Outcome o = packwell("zip out.zip a.txt", "result:15");
    EXPECT_EQ(o.status, 1);
    EXPECT_TRUE(has(o.err, "PackwellDEMO: 75: The archive " + zip + " was not written")) << o.err;
}

TEST_F(CliZip, AddNeedsTheArchive) {
    Outcome o = packwell("add out.zip a.txt");
    EXPECT_EQ(o.status, 1);
    EXPECT_TRUE(has(o.err, "Unable to find " + zip)) << o.err;
    pwtest::writeFile(zip, "PK");
    EXPECT_EQ(packwell("add out.zip a.txt").status, 0);
}

TEST_F(CliZip, ZipFilesTakesTheChoosersPathsAndCancelsWithout) {
    pwtest::writeFile(dir / "b.txt", "b");
    Outcome o = packwell("zip-files out.zip --select a.txt --select b.txt");
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_TRUE(has(o.log, "count=2\nname=" + src + "\nname=" + (dir / "b.txt") + "\n")) << o.log;
    Outcome none = packwell("zip-files out.zip");
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.err, "");
    EXPECT_EQ(packwell("add-files out.zip --select a.txt").status, 1);
}

TEST_F(CliZip, PasswordFileEncryptsAndAnswersTheRequest) {
    pwtest::writeFile(dir / "pw.txt", "  s3cret word \nsecond line\n");
    Outcome o = packwell("zip out.zip a.txt --password-file pw.txt", "password");
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_TRUE(has(o.log, "encrypt=1 encryption=0")) << o.log;
    EXPECT_TRUE(has(o.log, "outcome=0 password=s3cret word\n")) << o.log;
}

TEST_F(CliZip, ZipCryptoSelectsTraditionalEncryption) {
    pwtest::writeFile(dir / "pw.txt", "pw\n");
    Outcome o = packwell("zip-folder out.zip . '*.txt' --zipcrypto --password-file pw.txt", "password");
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_TRUE(has(o.log, "encrypt=1 encryption=1")) << o.log;
    EXPECT_TRUE(has(o.log, "recurse=2")) << o.log;
}

TEST_F(CliZip, EmptyPasswordFileIsRefused) {
    pwtest::writeFile(dir / "pw.txt", "   \n");
    Outcome o = packwell("zip out.zip a.txt --password-file pw.txt", "password;result:9");
    EXPECT_EQ(o.status, 1);
    EXPECT_TRUE(has(o.log, "outcome=1\n")) << o.log;
}

TEST_F(CliZip, MissingPasswordFileFailsBeforeTheEngine) {
    Outcome o = packwell("zip out.zip a.txt --password-file none.txt");
    EXPECT_EQ(o.status, 1);
    EXPECT_TRUE(has(o.err, "PackwellDEMO: 53: ")) << o.err;
    EXPECT_EQ(o.log, "");
}

}  // namespace
