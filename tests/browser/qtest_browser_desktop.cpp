// The archive browser's desktop side against real archives and the real
// unzip engine: stopping an extraction from its progress window, opening an
// entry from the window's private folder, dragging entries out and dropping
// an archive on the window.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <QApplication>
#include <QDropEvent>
#include <QLabel>
#include <QLocale>
#include <QMimeData>
#include <QPushButton>
#include <QTreeView>
#include <QUrl>
#include <cstdlib>
#include <filesystem>
#include <set>

#include "browser/qt/frmProgress.h"
#include "browser/qt/frmUnzip.h"
#include "browser/qt/frmUnzipList.h"
#include "platform/LibrarySettings.h"
#include "support/ScriptedPlatform.h"
#include "support/TempDir.h"
#include "unzip/cUnzip.h"
#include "support/QtApp.h"

namespace fs = std::filesystem;

namespace {

QApplication& app() {
    return pwtest::qtApp([] { unsetenv("PACKWELL_ENGINE_DIR"); });  // the real engine beside the binaries
}

// Three stored entries of distinct sizes, made by Python's zipfile.
void makeArchive(const std::string& archive) {
    pwtest::TempDir t;
    pwtest::writeFile(t / "mk.py",
                      "import zipfile, sys\n"
                      "with zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED) as z:\n"
                      "  z.writestr('a.txt', 'alpha' * 100)\n"
                      "  z.writestr('docs/b.txt', 'beta' * 2000)\n"
                      "  z.writestr('c.txt', 'gamma' * 5000)\n");
    const std::string py = fs::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3";
    const int rc = std::system((py + " '" + (t / "mk.py") + "' '" + archive + "'").c_str());
    ASSERT_TRUE(WIFEXITED(rc) && WEXITSTATUS(rc) == 0);
}

std::set<std::string> filesUnder(const fs::path& dir) {
    std::set<std::string> names;
    for (const auto& e : fs::recursive_directory_iterator(dir))
        if (e.is_regular_file()) names.insert(fs::relative(e.path(), dir).string());
    return names;
}

class BrowserDesktopTest : public ::testing::Test {
protected:
    void SetUp() override {
        app();
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        pw::librarySettings() = pw::LibrarySettings{};
        archive = tmp / "three.zip";
        makeArchive(archive);
        dest = tmp.path() / "dest";
        fs::create_directories(dest);
    }
    std::unique_ptr<frmUnzip> load() {
        auto w = std::make_unique<frmUnzip>();
        w->Form_Load();
        w->show();
        w->OpenZip(archive);
        return w;
    }
    // Extracts everything to `dest` with the progress window, as Extract does.
    bool extractAll(frmUnzip& w) {
        for (std::int32_t i = 1; i <= w.unzipObject()->FileCount(); ++i) w.unzipObject()->FileSelected(i, true);
        w.unzipObject()->UseFolderNames(true);
        w.unzipObject()->UnzipFolder(dest.string());
        return w.RunExtraction(true);
    }

    pwtest::TempDir tmp;
    std::string archive;
    fs::path dest;
    pw::ScriptedPlatform scripted;
    pw::ScopedPlatform usePlatform{scripted};
};

TEST_F(BrowserDesktopTest, CancelStopsAfterTheEntryInProgressAndLeavesNoPartialFile) {
    auto w = load();
    ASSERT_EQ(w->unzipObject()->FileCount(), 3);
    // Cancel is pressed while the second entry is being written.
    QString shownWhenCancelled;
    auto before = w->unzipObject()->Cancel;
    w->unzipObject()->Cancel = [&](const std::string& sMsg, bool& bCancel) {
        before(sMsg, bCancel);
        frmProgress* p = w->progressWindow();
        ASSERT_NE(p, nullptr);
        EXPECT_TRUE(p->isVisible());
        if (sMsg == "docs/b.txt") {
            shownWhenCancelled = p->lblCount->text();
            p->cmdCancel->click();
        }
    };
    EXPECT_FALSE(extractAll(*w));
    EXPECT_EQ(shownWhenCancelled, "1 of 3 files, 500 of 33,500 bytes");
    // a.txt was written before and b.txt finished; c.txt was never begun and left nothing.
    EXPECT_EQ(filesUnder(dest), (std::set<std::string>{"a.txt", "docs/b.txt"}));
    EXPECT_EQ(w->progressWindow(), nullptr);

    // Without Cancel the same run writes everything.
    w->unzipObject()->Cancel = before;
    fs::remove_all(dest);
    fs::create_directories(dest);
    EXPECT_TRUE(extractAll(*w));
    EXPECT_EQ(filesUnder(dest), (std::set<std::string>{"a.txt", "c.txt", "docs/b.txt"}));
}

TEST_F(BrowserDesktopTest, OpenedEntriesComeFromAPrivateFolderRemovedAtClose) {
    auto w = load();
    w->unzipObject()->UseFolderNames(false);
    w->unzipObject()->FileSelected(1, false);
    w->lvwZip_Activated(1);  // docs/b.txt
    ASSERT_EQ(scripted.openedDocuments.size(), 1u);
    const std::string opened = scripted.openedDocuments[0];
    std::string beta;
    for (int i = 0; i < 2000; ++i) beta += "beta";
    EXPECT_EQ(pwtest::readFile(opened), beta);
    EXPECT_EQ(fs::path(opened).filename(), "b.txt");
    const std::string folder = w->PrivateFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(opened.rfind(folder + "/", 0), 0u);
    struct stat st {};
    ASSERT_EQ(::stat(folder.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    // The user's options and selection are left as they were.
    EXPECT_FALSE(w->unzipObject()->UseFolderNames());
    EXPECT_FALSE(w->unzipObject()->FileSelected(1));

    // A drag carries the same kind of files, as file URLs.
    QMimeData* data = w->listModel().mimeData({w->listModel().index(0, 0), w->listModel().index(0, 1),
                                               w->listModel().index(2, 0)});
    ASSERT_NE(data, nullptr);
    ASSERT_EQ(data->urls().size(), 2);
    EXPECT_EQ(fs::file_size(data->urls()[0].toLocalFile().toStdString()), 500u);
    EXPECT_EQ(fs::file_size(data->urls()[1].toLocalFile().toStdString()), 25000u);
    delete data;

    // An application that cannot be started is told.
    scripted.openDocumentResult = false;
    w->lvwZip_Activated(0);
    EXPECT_EQ(scripted.messages.size(), 1u);

    w->close();
    EXPECT_FALSE(fs::exists(folder));
    EXPECT_EQ(w->PrivateFolder(), "");
}

TEST_F(BrowserDesktopTest, AnArchiveDroppedOnTheWindowOpensAndOtherFilesDoNot) {
    auto w = std::make_unique<frmUnzip>();
    w->Form_Load();
    w->show();
    const std::string renamed = tmp / "archive.bin", text = tmp / "notes.txt";
    fs::copy_file(archive, renamed);
    pwtest::writeFile(text, "not an archive");
    auto drop = [&](const std::string& path) {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(QString::fromStdString(path))});
        QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(w.get(), &enter);
        const bool accepted = enter.isAccepted();
        QDropEvent dropped(QPointF(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(w.get(), &dropped);
        return accepted;
    };
    EXPECT_FALSE(drop(text));
    EXPECT_EQ(w->listModel().rowCount(), 0);
    EXPECT_TRUE(drop(renamed));  // known by its first bytes
    EXPECT_EQ(w->listModel().rowCount(), 3);
    EXPECT_EQ(w->unzipObject()->ZipFile(), renamed);
    EXPECT_TRUE(drop(archive));
    EXPECT_EQ(w->unzipObject()->ZipFile(), archive);
}

}  // namespace
