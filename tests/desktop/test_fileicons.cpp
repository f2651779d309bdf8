// File-type icon keys: extension rules, the cache in the image list, the
// probe file's life and its safe creation in a private folder.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "browser/mFileIcons.h"
#include "errors/Error.h"
#include "support/ScriptedPlatform.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

// A shell that records every question and what the probe file held then.
class ProbeShell : public pw::ScriptedPlatform {
public:
    struct Question {
        std::string path;
        std::string contentThen;  // "<missing>" when the file was not there
    };
    std::vector<Question> questions;
    std::string iconlessExtension = ".NOICON";

    pw::ShellFileInfo shellFileInfo(const std::string& path) override {
        std::string content = "<missing>";
        struct stat st {};
        if (::lstat(path.c_str(), &st) == 0) content = S_ISREG(st.st_mode) ? pwtest::readFile(path) : "<not a file>";
        questions.push_back({path, content});
        if (pwtest::exists(path) && path.size() >= iconlessExtension.size() &&
            path.compare(path.size() - iconlessExtension.size(), std::string::npos, iconlessExtension) == 0)
            return {"Odd", ""};
        std::string ext = path.substr(path.rfind('.') + 1);
        return {ext + " document", "icon-" + ext};
    }
};

class FileIcons : public ::testing::Test {
protected:
    void SetUp() override {
        const char* old = std::getenv("TMPDIR");
        hadTmp_ = old != nullptr;
        if (old) oldTmp_ = old;
        ::setenv("TMPDIR", tmp.path().c_str(), 1);
    }
    void TearDown() override {
        if (hadTmp_) ::setenv("TMPDIR", oldTmp_.c_str(), 1);
        else ::unsetenv("TMPDIR");
    }
    std::string probeDir() const { return (tmp.path() / ("packwell-icons-" + std::to_string(::getuid()))).string(); }
    // Every file under the temporary folder whose name starts with VBUZTEMP.
    std::vector<std::string> leftoverProbes() const {
        std::vector<std::string> out;
        for (const auto& e : fs::recursive_directory_iterator(tmp.path()))
            if (e.path().filename().string().rfind("VBUZTEMP", 0) == 0) out.push_back(e.path().string());
        return out;
    }

    pwtest::TempDir tmp;
    ProbeShell shell;
    pw::ScopedPlatform scoped{shell};
    mFileIcons::MemoryImageList images;

private:
    bool hadTmp_ = false;
    std::string oldTmp_;
};

TEST_F(FileIcons, NamesWithoutExtensionAndProgramsGetTheDefaultKey) {
    EXPECT_EQ(mFileIcons::GetIconKey("README", images, "DEFAULT"), "DEFAULT");
    EXPECT_EQ(mFileIcons::GetIconKey("setup.exe", images, "DEFAULT"), "DEFAULT");
    EXPECT_EQ(mFileIcons::GetIconKey("SETUP.EXE", images, "DEFAULT"), "DEFAULT");
    // A dot in a folder name is not the file's extension.
    EXPECT_EQ(mFileIcons::GetIconKey("v1.2/Makefile", images, "DEFAULT"), "DEFAULT");
    EXPECT_TRUE(shell.questions.empty());
    EXPECT_TRUE(images.entries.empty());
}

TEST_F(FileIcons, SameExtensionInAnyCaseSharesOneCachedImage) {
    EXPECT_EQ(mFileIcons::GetIconKey("a.txt", images, "DEFAULT"), ".TXT");
    ASSERT_EQ(shell.questions.size(), 2u);  // icon and type name
    EXPECT_EQ(shell.questions[0].path, probeDir() + "/VBUZTEMP.TXT");
    EXPECT_EQ(shell.questions[0].contentThen, "TEMP");
    EXPECT_EQ(shell.questions[1].contentThen, "TEMP");

    EXPECT_EQ(mFileIcons::GetIconKey("B.TXT", images, "DEFAULT"), ".TXT");
    EXPECT_EQ(shell.questions.size(), 2u) << "the second name must not make a probe file";

    ASSERT_EQ(images.entries.size(), 1u);
    const auto& entry = images.entries.at(".TXT");
    EXPECT_EQ(entry.tag, "TXT document");
    ASSERT_TRUE(entry.picture);
    EXPECT_EQ(entry.picture->iconName, "icon-TXT");
    EXPECT_EQ(entry.picture->size, 16);
}

TEST_F(FileIcons, OnlyTheLastExtensionCounts) {
    EXPECT_EQ(mFileIcons::GetIconKey("archive.tar.gz", images, "DEFAULT"), ".GZ");
    EXPECT_EQ(mFileIcons::GetIconKey("photo.JPG", images, "DEFAULT"), ".JPG");
    EXPECT_EQ(mFileIcons::GetIconKey("thumb.jpg", images, "DEFAULT"), ".JPG");
    EXPECT_EQ(images.entries.size(), 2u);
}

TEST_F(FileIcons, NoProbeFileIsLeftBehind) {
    mFileIcons::GetIconKey("a.txt", images, "DEFAULT");
    mFileIcons::GetIconKey("b.noicon", images, "DEFAULT");
    EXPECT_TRUE(leftoverProbes().empty());
}

TEST_F(FileIcons, NoIconFromTheShellGivesTheDefaultAndCachesNothing) {
    EXPECT_EQ(mFileIcons::GetIconKey("b.noicon", images, "DEFAULT"), "DEFAULT");
    EXPECT_TRUE(images.entries.empty());
    // Not cached, so the next name with that extension asks again.
    std::size_t asked = shell.questions.size();
    EXPECT_EQ(mFileIcons::GetIconKey("c.noicon", images, "DEFAULT"), "DEFAULT");
    EXPECT_GT(shell.questions.size(), asked);
}

TEST_F(FileIcons, WithoutTemporaryFolderEveryNewExtensionGetsTheDefault) {
    ::setenv("TMPDIR", (tmp.path() / "missing").c_str(), 1);
    EXPECT_THROW(mFileIcons::GetTempDir(), pw::Error);
    EXPECT_EQ(mFileIcons::GetIconKey("a.txt", images, "DEFAULT"), "DEFAULT");
    EXPECT_TRUE(images.entries.empty());
    EXPECT_TRUE(shell.questions.empty());
}

TEST_F(FileIcons, TempDirEndsWithOneSlash) {
    EXPECT_EQ(mFileIcons::GetTempDir(), tmp.path().string() + "/");
    ::setenv("TMPDIR", (tmp.path().string() + "/").c_str(), 1);
    EXPECT_EQ(mFileIcons::GetTempDir(), tmp.path().string() + "/");
}

TEST_F(FileIcons, ProbeFolderIsPrivate) {
    mFileIcons::GetIconKey("a.txt", images, "DEFAULT");
    struct stat st {};
    ASSERT_EQ(::lstat(probeDir().c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0700u);
}

TEST_F(FileIcons, PlantedLinkAtTheProbeNameIsNotFollowed) {
    std::string victim = tmp / "victim.txt";
    pwtest::writeFile(victim, "precious");
    ASSERT_EQ(::mkdir(probeDir().c_str(), 0700), 0);
    ASSERT_EQ(::symlink(victim.c_str(), (probeDir() + "/VBUZTEMP.TXT").c_str()), 0);

    mFileIcons::GetIconKey("a.txt", images, "DEFAULT");
    EXPECT_EQ(pwtest::readFile(victim), "precious");
    // The link itself is gone, and so is the probe.
    EXPECT_TRUE(leftoverProbes().empty());
}

TEST_F(FileIcons, ProbeFolderThatIsALinkOrOpenToOthersIsRefused) {
    fs::create_directories(tmp.path() / "elsewhere");
    ASSERT_EQ(::symlink((tmp.path() / "elsewhere").c_str(), probeDir().c_str()), 0);
    EXPECT_EQ(mFileIcons::GetIconKey("a.txt", images, "DEFAULT"), "DEFAULT");
    EXPECT_TRUE(fs::is_empty(tmp.path() / "elsewhere"));
    EXPECT_TRUE(shell.questions.empty());

    ASSERT_EQ(::unlink(probeDir().c_str()), 0);
    ASSERT_EQ(::mkdir(probeDir().c_str(), 0777), 0);
    ASSERT_EQ(::chmod(probeDir().c_str(), 0777), 0);
    EXPECT_EQ(mFileIcons::GetIconKey("a.txt", images, "DEFAULT"), "DEFAULT");
    EXPECT_TRUE(shell.questions.empty());
}

TEST_F(FileIcons, ImageListThatRefusesGivesTheDefaultAndNoProbe) {
    class Refusing : public mFileIcons::MemoryImageList {
    public:
        void Add(const std::string&, const mFileIcons::PicturePtr&) override { throw std::runtime_error("full"); }
        bool HasKey(const std::string&) const override { throw std::runtime_error("broken"); }
    } refusing;
    EXPECT_EQ(mFileIcons::GetIconKey("a.txt", refusing, "DEFAULT"), "DEFAULT");
    EXPECT_TRUE(leftoverProbes().empty());
}

TEST_F(FileIcons, GetIconAsksForTheSizeAndIconToPictureNeedsAHandle) {
    std::string file = tmp / "x.doc";
    pwtest::writeFile(file, "x");
    auto big = mFileIcons::GetIcon(file, 2);
    ASSERT_TRUE(big);
    EXPECT_EQ(big->size, 32);
    EXPECT_EQ(mFileIcons::GetIcon(file, 0)->size, 16);
    EXPECT_EQ(mFileIcons::IconToPicture(""), nullptr);
    EXPECT_EQ(mFileIcons::GetFileTypeName(file), "doc document");
}

TEST_F(FileIcons, KillFileQuietlyIgnoresMissingFiles) {
    EXPECT_NO_THROW(mFileIcons::KillFileQuietly(tmp / "nothing-here"));
    std::string f = tmp / "gone";
    pwtest::writeFile(f, "x");
    mFileIcons::KillFileQuietly(f);
    EXPECT_FALSE(pwtest::exists(f));
}

}  // namespace
