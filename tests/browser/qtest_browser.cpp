// The archive browser window driven as a user drives it, offscreen, with the
// scripted platform answering its questions and the stand-in unzip engine
// listing and "extracting": loading, the list's rows, icons, selection,
// extraction through the extract-to dialog, prompts, recent archives,
// remembered settings, the launch from the control and the resize rule.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPointer>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QTreeView>
#include <QWindow>
#include <filesystem>
#include <functional>

#include "../unzip/FakeEngineSupport.h"
#include "browser/qt/frmExtractTo.h"
#include "browser/qt/frmUnzip.h"
#include "browser/qt/frmUnzipList.h"
#include "control/ctlPackwell.h"
#include "control/qt/QtPlatform.h"
#include "errors/Error.h"
#include "platform/LibrarySettings.h"
#include "platform/OleDate.h"
#include "registry/RegistryApi.h"
#include "registry/cRegistry.h"
#include "support/ScriptedPlatform.h"
#include "support/TempDir.h"
#include "unzip/cUnzip.h"
#include "support/QtApp.h"

namespace fs = std::filesystem;
using pwtest::FakeUnzipEngine;

namespace {

QApplication& app() {
    return pwtest::qtApp([] {
        // A fresh registry for every run, before anything has opened it.
        if (const char* dir = std::getenv("PACKWELL_REGISTRY_DIR")) {
            std::error_code ec;
            fs::remove_all(dir, ec);
        }
    });
}

FakeUnzipEngine& engine() { return FakeUnzipEngine::get(); }

// One listing line of the stand-in engine: packed = size * ratio / 100.
std::string entry(const std::string& path, unsigned size = 1000, unsigned ratio = 45, bool encrypted = false) {
    return "list\t5\t" + std::to_string(size) + "\t" + std::to_string(ratio) + "\t7\t14\t2001\t9\t30\t32\t" + path +
           "\tDeflated\t0x1234\t" + (encrypted ? "0x40" : "0") + "\n";
}

const char* kKey = "SOFTWARE\\brix\\Marlo";

void clearHive(HKEY hive) {
    for (const char* k : {"SOFTWARE\\brix\\Marlo\\ExtractToMRU", "SOFTWARE\\brix\\Marlo\\FileOpenMRU", kKey})
        pw::reg::RegDeleteKey(hive, k);
}

void writeSettings(HKEY hive, bool useFolderNames, bool overwritePrompt, const std::vector<std::string>& files,
                   bool withFileList = true) {
    cRegistry r;
    r.ClassKey(hive);
    r.SectionKey(kKey);
    r.CreateKey();
    r.ValueType(REG_DWORD);
    r.ValueKey("UseFolderNames");
    r.Value(pw::RegVariant(std::int32_t(useFolderNames ? 1 : 0)));
    r.ValueKey("OverwritePrompt");
    r.Value(pw::RegVariant(std::int32_t(overwritePrompt ? 1 : 0)));
    cMRU empty;
    r.SectionKey(std::string(kKey) + "\\ExtractToMRU");
    r.CreateKey();
    empty.Serialise(r);
    if (!withFileList) return;
    cMRU list;
    for (auto it = files.rbegin(); it != files.rend(); ++it) list.Add(*it);
    r.SectionKey(std::string(kKey) + "\\FileOpenMRU");
    r.CreateKey();
    list.Serialise(r);
}

std::int32_t readDword(HKEY hive, const std::string& name) {
    cRegistry r;
    r.ClassKey(hive);
    r.SectionKey(kKey);
    r.ValueType(REG_DWORD);
    r.ValueKey(name);
    return r.Value().toLongOr(-1);
}

cMRU readList(HKEY hive, const std::string& sub) {
    cRegistry r;
    r.ClassKey(hive);
    r.SectionKey(std::string(kKey) + "\\" + sub);
    cMRU m;
    m.DeSerialise(r);
    return m;
}

frmExtractTo* visibleExtractTo() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* d = dynamic_cast<frmExtractTo*>(w); d && d->isVisible()) return d;
    return nullptr;
}

// Runs `step` on the extract-to dialog once it is up.
void onExtractTo(std::function<void(frmExtractTo&)> step) {
    QTimer::singleShot(0, [step = std::move(step)] {
        frmExtractTo* d = visibleExtractTo();
        ASSERT_NE(d, nullptr);
        step(*d);
    });
}

// Scripted answers, but the desktop's real file types, so icons are real.
class TestPlatform : public pw::ScriptedPlatform {
public:
    pw::ShellFileInfo shellFileInfo(const std::string& path) override {
        return pw::qt::qtPlatform().shellFileInfo(path);
    }
};

class BrowserTest : public ::testing::Test {
protected:
    void SetUp() override {
        app();
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        engine().script("");
        pw::librarySettings() = pw::LibrarySettings{};
        clearHive(HKEY_LOCAL_MACHINE);
        clearHive(HKEY_CURRENT_USER);
        scripted.onOpenArchiveBrowser = [] { frmUnzip::OpenNew(); };
        archive = tmp / "sample.zip";
        pwtest::writeFile(archive, "PK");
        fs::create_directories(tmp.path() / "dest");
    }
    void TearDown() override {
        QList<QPointer<QWidget>> windows;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (dynamic_cast<frmUnzip*>(w)) windows.append(w);
        for (auto& w : windows) delete w.data();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // A loaded window, the archive path handed over as the control does.
    std::unique_ptr<frmUnzip> load(const std::string& script = "", const std::string& path = "") {
        engine().script(script);
        pw::librarySettings().browserArchivePath = path;
        auto w = std::make_unique<frmUnzip>();
        w->Form_Load();
        w->show();
        return w;
    }
    static QPushButton* button(frmUnzip& w, const char* name) { return w.findChild<QPushButton*>(name); }
    static QString cell(frmUnzip& w, int row, int col) {
        return w.listModel().index(row, col).data().toString();
    }
    static void select(frmUnzip& w, std::initializer_list<int> rows) {
        for (int r : rows)
            w.lvwZip()->selectionModel()->select(w.listModel().index(r, 0),
                                                 QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    static std::vector<bool> selectedFlags(frmUnzip& w) {
        std::vector<bool> v;
        for (std::int32_t i = 1; i <= w.unzipObject()->FileCount(); ++i) v.push_back(w.unzipObject()->FileSelected(i));
        return v;
    }

    pwtest::TempDir tmp;
    std::string archive;
    TestPlatform scripted;
    pw::ScopedPlatform usePlatform{scripted};
};

const std::string kThree = entry("a.txt") + entry("docs/B.TXT", 2000, 50) + entry("notes.doc", 10, 0, true);

TEST_F(BrowserTest, LoadsEmptyWithItsInitialStates) {
    auto w = load();
    EXPECT_EQ(w->windowTitle(), "");
    EXPECT_EQ(w->listModel().rowCount(), 0);
    EXPECT_TRUE(button(*w, "cmdOpen")->isEnabled());
    for (const char* b : {"cmdExtract", "cmdAll", "cmdInvert"}) EXPECT_FALSE(button(*w, b)->isEnabled()) << b;
    EXPECT_TRUE(w->mnuFile(0)->isEnabled());
    EXPECT_FALSE(w->mnuFile(1)->isEnabled());
    EXPECT_EQ(w->mnuFile(0)->shortcut(), QKeySequence("Ctrl+O"));
    EXPECT_EQ(w->mnuFile(1)->shortcut(), QKeySequence("F5"));
    EXPECT_EQ(w->mnuEdit(0)->shortcut(), QKeySequence("Ctrl+A"));
    for (int i = 2; i <= 6; ++i) EXPECT_FALSE(w->mnuFile(i)->isVisible()) << i;
    EXPECT_TRUE(w->mnuFile(7)->isVisible());
    // Separators are plain lines: no text that a menu would show as a title.
    for (int i : {2, 7}) {
        EXPECT_TRUE(w->mnuFile(i)->isSeparator()) << i;
        EXPECT_TRUE(w->mnuFile(i)->text().isEmpty()) << i;
    }
    EXPECT_EQ(w->mnuFile(8)->text(), "&Close");
    EXPECT_FALSE(w->mnuEdit(0)->isEnabled());
    EXPECT_FALSE(w->mnuEdit(1)->isEnabled());
    EXPECT_TRUE(w->mnuHelp(0)->isEnabled());
    const QStringList headers = {"Filename", "Size", "Date", "Packed", "Folder"};
    for (int c = 0; c < 5; ++c) EXPECT_EQ(w->listModel().headerData(c, Qt::Horizontal).toString(), headers[c]);
    EXPECT_GE(w->lvwZip()->header()->sectionSize(0), 160);
    EXPECT_EQ(w->lvwZip()->selectionMode(), QAbstractItemView::ExtendedSelection);
    EXPECT_EQ(w->m_sRegKey(), "SOFTWARE\\brix\\Marlo");
    EXPECT_EQ(engine().calls(), 0);  // no archive, no listing
}

TEST_F(BrowserTest, ListsEntriesWithKeysColumnsAndSharedIcons) {
    pw::librarySettings().formUnzipCaption = "My archives";
    auto w = load(kThree, archive);
    EXPECT_EQ(w->windowTitle(), "My archives");
    ASSERT_EQ(w->listModel().rowCount(), 3);
    EXPECT_EQ(w->listModel().key(0), "File1");
    EXPECT_EQ(w->listModel().key(2), "File3");
    EXPECT_EQ(cell(*w, 0, 0), "a.txt");
    EXPECT_EQ(cell(*w, 0, 1), "1000");
    EXPECT_TRUE(cell(*w, 0, 2).startsWith("7/14/01 9:30"));
    EXPECT_EQ(cell(*w, 0, 3), "450");
    EXPECT_EQ(cell(*w, 0, 4), "");
    EXPECT_EQ(cell(*w, 1, 0), "B.TXT");
    EXPECT_EQ(cell(*w, 1, 3), "1000");
    EXPECT_EQ(cell(*w, 1, 4), "docs");
    EXPECT_EQ(cell(*w, 2, 0), "notes.doc+");
    // a.txt and B.TXT share one cached image.
    EXPECT_EQ(w->listModel().row(0).iconKey, ".TXT");
    EXPECT_EQ(w->listModel().row(1).iconKey, ".TXT");
    EXPECT_TRUE(w->ilsIcons16().HasKey(".TXT"));
    EXPECT_FALSE(w->listModel().index(0, 0).data(Qt::DecorationRole).value<QIcon>().isNull());
    for (const char* b : {"cmdExtract", "cmdAll", "cmdInvert"}) EXPECT_TRUE(button(*w, b)->isEnabled()) << b;
    EXPECT_TRUE(w->mnuFile(1)->isEnabled());
    EXPECT_TRUE(w->mnuEdit(1)->isEnabled());
    // The opened archive is the first recent entry, without a check at load time... and with one now.
    EXPECT_EQ(w->m_cFileMRU().Item(1), archive);
    EXPECT_TRUE(w->mnuFile(3)->isVisible());
    EXPECT_EQ(w->mnuFile(3)->text().toStdString(), "&1) " + archive);
    EXPECT_TRUE(w->mnuFile(3)->isChecked());
}

TEST_F(BrowserTest, AnOpenedArchiveShowsItsCountAndSizeWhileTheReadingShowsABusyPointer) {
    auto w = load();
    engine().script(entry("a.txt", 1000) + entry("b.txt", 2500000));
    w->OpenZip(archive);
    EXPECT_EQ(w->statusText(), "2 files, 2,501,000 bytes");
    EXPECT_EQ(scripted.pointers, (std::vector<pw::MousePointer>{pw::MousePointer::Wait, pw::MousePointer::Default}));
    engine().script(entry("one.txt", 1));
    w->OpenZip(archive);
    EXPECT_EQ(w->statusText(), "1 file, 1 byte");
    // An archive the engine cannot read gives the pointer back and lists nothing.
    scripted.pointers.clear();
    engine().script("print\terror: not a zip archive\nreturn\t9\n");
    w->OpenZip(archive);
    EXPECT_EQ(w->listModel().rowCount(), 0);
    EXPECT_EQ(scripted.pointers, (std::vector<pw::MousePointer>{pw::MousePointer::Wait, pw::MousePointer::Default}));
}

TEST_F(BrowserTest, HeaderClicksSortUpDownAndBackToDirectoryOrderKeepingKeys) {
    auto w = load(entry("b.txt", 30) + entry("c.txt", 10) + entry("A.txt", 20) + entry("d.txt", 20), archive);
    auto names = [&] {
        QStringList n;
        for (int r = 0; r < w->listModel().rowCount(); ++r) n << cell(*w, r, 0);
        return n;
    };
    const QStringList directory = {"b.txt", "c.txt", "A.txt", "d.txt"};
    EXPECT_EQ(names(), directory);
    select(*w, {1});  // c.txt
    w->lvwZip_ColumnClick(0);
    EXPECT_EQ(names(), (QStringList{"A.txt", "b.txt", "c.txt", "d.txt"}));
    EXPECT_EQ(w->listModel().key(0), "File3");
    EXPECT_TRUE(w->lvwZip()->header()->isSortIndicatorShown());
    w->lvwZip_ColumnClick(0);
    EXPECT_EQ(names(), (QStringList{"d.txt", "c.txt", "b.txt", "A.txt"}));
    w->lvwZip_ColumnClick(0);
    EXPECT_EQ(names(), directory);
    EXPECT_FALSE(w->lvwZip()->header()->isSortIndicatorShown());
    // By size, equal sizes in directory order; a new column starts ascending.
    w->lvwZip_ColumnClick(1);
    EXPECT_EQ(names(), (QStringList{"c.txt", "A.txt", "d.txt", "b.txt"}));
    // The selection followed its row, and Extract maps rows back by their keys.
    EXPECT_TRUE(w->lvwZip()->selectionModel()->isRowSelected(0));
    onExtractTo([&](frmExtractTo& d) {
        d.ICaptureBF_SelectionChanged((tmp.path() / "dest").string());
        d.findChild<QPushButton*>("cmdExtract")->click();
    });
    w->cmdExtract_Click();
    EXPECT_EQ(w->unzipObject()->LastIncludeList(), std::vector<std::string>{"c.txt"});
    // Another archive is listed in its own order.
    engine().script(entry("z.txt") + entry("y.txt"));
    w->OpenZip(archive);
    EXPECT_EQ(names(), (QStringList{"z.txt", "y.txt"}));
}

TEST_F(BrowserTest, NumbersAreNeverCutAndTimesShowMinutesOnly) {
    auto w = load(entry("small.txt", 10, 50) + entry("big.bin", 123456789, 1), archive);
    QHeaderView* header = w->lvwZip()->header();
    const QFontMetrics fm(w->lvwZip()->font());
    EXPECT_GT(header->sectionSize(1), fm.horizontalAdvance("123456789"));
    EXPECT_GT(header->sectionSize(3), fm.horizontalAdvance("1234567"));
    // Small numbers keep the designed width.
    const int sizeWidth = header->sectionSize(1);
    w->OpenZip(archive);
    EXPECT_EQ(header->sectionSize(1), sizeWidth);
    engine().script(entry("tiny.txt", 5, 20));
    w->OpenZip(archive);
    EXPECT_EQ(header->sectionSize(1), sizeWidth);
    // The C locale's short time has seconds; the list shows the minute.
    QLocale::setDefault(QLocale::c());
    EXPECT_EQ(frmUnzipListModel::formatDate(pw::makeOleDate(2001, 7, 14, 9, 30)).toStdString(), "14 Jul 2001 09:30");
}

TEST_F(BrowserTest, ProgressIsPaintedWhileTheEngineRuns) {
    auto w = load(kThree, archive);
    QApplication::processEvents();
    // Paints of the status text that happen before control returns to the
    // event loop: the only ones a user sees during a long extraction.
    struct PaintSpy : QObject {
        QStringList painted;
        bool eventFilter(QObject* o, QEvent* e) override {
            if (e->type() == QEvent::Paint) painted << static_cast<QLabel*>(o)->text();
            return false;
        }
    } spy;
    auto* panel = w->findChild<QLabel*>("sbrPanel1");
    ASSERT_NE(panel, nullptr);
    panel->installEventFilter(&spy);
    engine().script("print\tinflating: a.txt\n");
    onExtractTo([&](frmExtractTo& d) {
        d.ICaptureBF_SelectionChanged((tmp.path() / "dest").string());
        d.findChild<QPushButton*>("cmdExtract")->click();
    });
    w->cmdExtract_Click();
    EXPECT_TRUE(spy.painted.contains("inflating: a.txt"));
    panel->removeEventFilter(&spy);
}

TEST_F(BrowserTest, AnArchiveThatCannotBeReadLeavesEverythingEmpty) {
    auto w = load("return\t9\n", archive);
    EXPECT_EQ(w->listModel().rowCount(), 0);
    EXPECT_FALSE(button(*w, "cmdExtract")->isEnabled());
    EXPECT_EQ(w->m_cFileMRU().Count(), 0);
    EXPECT_FALSE(w->mnuFile(3)->isVisible());
    EXPECT_TRUE(scripted.messages.empty());
}

TEST_F(BrowserTest, EntriesOf2GiBAndMoreShowTheirTrueSizesAndTheRowsAfterThem) {
    auto w = load();
    // The packed size (2,000,000,000 x 200%) is past the 32-bit range that
    // once stopped the listing with an overflow.
    engine().script(entry("a.txt") + entry("big.bin", 2000000000, 200) + entry("huge.bin", 0xfffffff0u, 50) +
                    entry("c.txt"));
    scripted.chooserAnswers.push_back(pw::ScriptedPlatform::ChooserAnswer::choose({archive}));
    w->cmdOpen_Click();
    ASSERT_EQ(scripted.chooserRecords.size(), 1u);
    EXPECT_EQ(scripted.chooserRecords[0].title, "Choose Zip File to Open");
    ASSERT_EQ(w->listModel().rowCount(), 4);
    EXPECT_EQ(cell(*w, 1, 1), "2000000000");
    EXPECT_EQ(cell(*w, 1, 3), "4000000000");
    EXPECT_EQ(cell(*w, 2, 1), "4294967280");
    EXPECT_EQ(cell(*w, 2, 3), "2147483640");
    EXPECT_TRUE(scripted.messages.empty());
    EXPECT_TRUE(w->isVisible());
}

TEST_F(BrowserTest, ABigEntryWhileLoadingOpensTheWindowAsAnyOther) {
    engine().script(entry("big.bin", 2000000000, 200));
    ctlPackwell control;
    control.ListZipContent(archive);
    frmUnzip* shown = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* f = dynamic_cast<frmUnzip*>(w)) shown = f;
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->listModel().rowCount(), 1);
}

TEST_F(BrowserTest, IconThatIsNoPictureFailsTheLaunch) {
    pwtest::writeFile(tmp / "bad.ico", "not a picture");
    ctlPackwell control;
    control.formUnzipIcon(tmp / "bad.ico");
    try {
        control.ListZipContent();
        FAIL() << "no error";
    } catch (const pw::Error& e) {
        EXPECT_EQ(e.number(), 481);
    }
}

TEST_F(BrowserTest, SelectAllAndInvert) {
    auto w = load(kThree, archive);
    auto* sel = w->lvwZip()->selectionModel();
    w->cmdInvert_Click();  // nothing selected: everything
    EXPECT_EQ(sel->selectedRows().size(), 3);
    w->cmdInvert_Click();
    EXPECT_EQ(sel->selectedRows().size(), 0);
    w->mnuEdit_Click(0);
    EXPECT_EQ(sel->selectedRows().size(), 3);
    w->mnuEdit_Click(1);
    EXPECT_EQ(sel->selectedRows().size(), 0);
    select(*w, {1});
    w->cmdInvert_Click();
    EXPECT_TRUE(sel->isRowSelected(0));
    EXPECT_FALSE(sel->isRowSelected(1));
    EXPECT_TRUE(sel->isRowSelected(2));
}

TEST_F(BrowserTest, ExtractsExactlyTheSelectedEntriesToTheChosenFolder) {
    auto w = load(kThree, archive);
    select(*w, {0, 2});
    const std::string dest = (tmp.path() / "dest").string();
    engine().script("print\tinflating: a.txt\noutcome\t0\ta.txt\noutcome\t0\tnotes.doc\n");
    const int callsBefore = engine().calls();
    onExtractTo([&](frmExtractTo& d) {
        EXPECT_FALSE(w->isEnabled());
        d.ICaptureBF_SelectionChanged(dest);
        d.findChild<QPushButton*>("cmdExtract")->click();
    });
    w->cmdExtract_Click();
    ASSERT_EQ(engine().calls(), callsBefore + 1);
    EXPECT_EQ(engine().last().extractDir, dest);
    EXPECT_EQ(w->unzipObject()->LastIncludeList(), (std::vector<std::string>{"a.txt", "notes.doc"}));
    EXPECT_EQ(selectedFlags(*w), (std::vector<bool>{true, false, true}));
    EXPECT_EQ(w->m_cExtractMRU().Item(1), dest);
    EXPECT_EQ(w->statusText(), "2 files extracted");
    EXPECT_TRUE(scripted.messages.empty());
    EXPECT_TRUE(w->isEnabled());

    // Something did not come out: a message names it and why.
    engine().script("outcome\t0\ta.txt\noutcome\t2\t../notes.doc\t0\tleaves the folder\nreturn\t1\n");
    onExtractTo([&](frmExtractTo& d) {
        d.ICaptureBF_SelectionChanged(dest);
        d.findChild<QPushButton*>("cmdExtract")->click();
    });
    w->cmdExtract_Click();
    EXPECT_EQ(scripted.messageTexts(), std::vector<std::string>{"Unable to extract " + archive +
                                                                ": ../notes.doc (refused as unsafe: leaves the folder)"});
}

TEST_F(BrowserTest, ExtractWithNothingSelectedExtractsEverything) {
    auto w = load(kThree, archive);
    w->unzipObject()->FileSelected(2, false);  // left over from before
    engine().script("");
    onExtractTo([&](frmExtractTo& d) {
        d.ICaptureBF_SelectionChanged((tmp.path() / "dest").string());
        d.findChild<QPushButton*>("cmdExtract")->click();
    });
    w->mnuFile_Click(1);
    EXPECT_TRUE(w->unzipObject()->LastIncludeList().empty());
    EXPECT_EQ(selectedFlags(*w), (std::vector<bool>{true, true, true}));
}

TEST_F(BrowserTest, CancelledOrClosedDialogExtractsNothingAndKeepsOptions) {
    auto w = load(kThree, archive);
    w->unzipObject()->PromptToOverwrite(true);
    const int callsBefore = engine().calls();
    onExtractTo([&](frmExtractTo& d) {
        EXPECT_TRUE(d.OverwritePrompt());
        EXPECT_FALSE(d.UseFolderNames());
        d.UseFolderNames(true);
        d.findChild<QPushButton*>("cmdCancel")->click();
    });
    w->cmdExtract_Click();
    onExtractTo([&](frmExtractTo& d) {
        d.ICaptureBF_SelectionChanged((tmp.path() / "dest").string());
        d.close();  // the close box
    });
    w->cmdExtract_Click();
    EXPECT_EQ(engine().calls(), callsBefore);
    EXPECT_FALSE(w->unzipObject()->UseFolderNames());
    EXPECT_EQ(w->m_cExtractMRU().Count(), 0);
    EXPECT_TRUE(w->isEnabled());
}

TEST_F(BrowserTest, WithoutRecentFoldersTheTreeStartsAtHomeSelectedAndNothingEmptyIsRemembered) {
    auto w = load(kThree, archive);
    std::string shownSelected;
    onExtractTo([&](frmExtractTo& d) {
        shownSelected = d.SelectedFolder();
        d.findChild<QPushButton*>("cmdCancel")->click();
    });
    w->cmdExtract_Click();
    EXPECT_EQ(shownSelected, QDir::homePath().toStdString());
    // A recent folder that has gone is no start either.
    w->m_cExtractMRU().Add((tmp.path() / "gone").string());
    onExtractTo([&](frmExtractTo& d) {
        shownSelected = d.SelectedFolder();
        d.findChild<QPushButton*>("cmdCancel")->click();
    });
    w->cmdExtract_Click();
    EXPECT_EQ(shownSelected, QDir::homePath().toStdString());
    EXPECT_EQ(w->m_cExtractMRU().Count(), 1);
}

TEST_F(BrowserTest, TheOpenDialogHidesItsReadOnlyBox) {
    auto w = load();
    scripted.chooserAnswers.push_back(pw::ScriptedPlatform::ChooserAnswer::cancel());
    w->cmdOpen_Click();
    ASSERT_EQ(scripted.chooserRecords.size(), 1u);
    EXPECT_TRUE(scripted.chooserRecords[0].flags & pw::OFN_HIDEREADONLY);
}

TEST_F(BrowserTest, ConfirmedOptionsGoToTheUnzipObjectAndTheRecentFolderStartsTheTree) {
    auto w = load(kThree, archive);
    const std::string dest = (tmp.path() / "dest").string();
    w->m_cExtractMRU().Add(dest);
    engine().script("");
    onExtractTo([&](frmExtractTo& d) {
        auto* cbo = d.findChild<QComboBox*>("cboExtractTo");
        EXPECT_EQ(cbo->itemText(0).toStdString(), dest);
        // The recent folder starts selected, so the field shows it.
        EXPECT_EQ(cbo->currentText().toStdString(), dest);
        d.findChild<QCheckBox*>("chkUseFolderNames")->click();
        d.findChild<QCheckBox*>("chkOverwritePrompt")->click();
        cbo->setEditText(QString::fromStdString(dest));
        d.findChild<QPushButton*>("cmdPick")->click();
        d.findChild<QPushButton*>("cmdExtract")->click();
    });
    w->cmdExtract_Click();
    EXPECT_TRUE(w->unzipObject()->UseFolderNames());
    EXPECT_TRUE(w->unzipObject()->PromptToOverwrite());
    EXPECT_EQ(engine().last().extractDir, dest);
}

TEST_F(BrowserTest, OverwriteAnswersBecomeEngineCodes) {
    auto w = load(kThree, archive);
    engine().script("replace\tx/a.txt\nreplace\tb\nreplace\tc\nreplace\td\nreplace\te\n");
    scripted.overwriteAnswers = {{6, false}, {6, true}, {7, false}, {7, true}, {2, false}};
    onExtractTo([&](frmExtractTo& d) {
        d.ICaptureBF_SelectionChanged((tmp.path() / "dest").string());
        d.findChild<QPushButton*>("cmdExtract")->click();
    });
    w->cmdExtract_Click();
    ASSERT_EQ(scripted.overwriteQuestions.size(), 5u);
    EXPECT_EQ(scripted.overwriteQuestions[0], "Do you want to overwrite the existing copy of x/a.txt?");
    EXPECT_EQ(engine().last().replies, (std::vector<std::int32_t>{102, 103, 100, 104, 104}));
}

TEST_F(BrowserTest, PasswordAnswersReachTheEngine) {
    auto w = load(kThree, archive);
    engine().script("password\npassword\n");
    pw::PasswordAnswer given;
    given.password = "secret";
    given.cancelled = false;
    scripted.passwordAnswers = {given, pw::PasswordAnswer{}};
    onExtractTo([&](frmExtractTo& d) {
        d.ICaptureBF_SelectionChanged((tmp.path() / "dest").string());
        d.findChild<QPushButton*>("cmdExtract")->click();
    });
    w->cmdExtract_Click();
    ASSERT_GE(engine().last().passwords.size(), 1u);
    EXPECT_EQ(engine().last().passwords[0], "secret");
    EXPECT_EQ(scripted.passwordAnswers.size(), 0u);  // the refusal was asked too
}

TEST_F(BrowserTest, RecentArchivesShowFourTheNewestFirstAndSurviveAVanishedFile) {
    auto w = load();
    std::vector<std::string> paths;
    for (int i = 1; i <= 5; ++i) {
        paths.push_back(tmp / ("a" + std::to_string(i) + ".zip"));
        engine().script(entry("x.txt"));
        w->OpenZip(paths.back());
    }
    EXPECT_EQ(w->m_cFileMRU().Count(), 5);
    for (int k = 1; k <= 4; ++k) {
        EXPECT_TRUE(w->mnuFile(k + 2)->isVisible());
        EXPECT_EQ(w->mnuFile(k + 2)->text().toStdString(), "&" + std::to_string(k) + ") " + paths[5 - k]);
        EXPECT_EQ(w->mnuFile(k + 2)->data().toString().toStdString(), paths[5 - k]);
    }
    EXPECT_TRUE(w->mnuFile(2)->isVisible());
    // The archive of entry 3 has gone: the engine lists nothing.
    engine().script("return\t9\n");
    w->mnuFile_Click(5);
    EXPECT_EQ(w->listModel().rowCount(), 0);
    EXPECT_FALSE(button(*w, "cmdExtract")->isEnabled());
    EXPECT_EQ(w->m_cFileMRU().Count(), 5);
    EXPECT_EQ(w->m_cFileMRU().Item(1), paths[4]);
    EXPECT_EQ(engine().last().zipFN, paths[2]);
}

TEST_F(BrowserTest, SettingsComeFromTheMachineFirstAndGoToBothOnClose) {
    writeSettings(HKEY_LOCAL_MACHINE, true, false, {"/m/one.zip"});
    writeSettings(HKEY_CURRENT_USER, false, true, {"/u/two.zip"});
    {
        auto w = load();
        EXPECT_TRUE(w->unzipObject()->UseFolderNames());
        EXPECT_FALSE(w->unzipObject()->PromptToOverwrite());
        EXPECT_EQ(w->m_cFileMRU().Item(1), "/m/one.zip");
        EXPECT_TRUE(w->mnuFile(3)->isVisible());
        EXPECT_FALSE(w->mnuFile(3)->isChecked());  // nothing open at load
        w->m_cExtractMRU().Add("/out");
        w->close();
    }
    for (HKEY hive : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        EXPECT_EQ(readDword(hive, "UseFolderNames"), 1);
        EXPECT_EQ(readDword(hive, "OverwritePrompt"), 0);
        EXPECT_EQ(readList(hive, "FileOpenMRU").Item(1), "/m/one.zip");
        EXPECT_EQ(readList(hive, "ExtractToMRU").Item(1), "/out");
    }
}

TEST_F(BrowserTest, SettingsComeFromTheUserWhenTheMachineHasNoCompleteSet) {
    writeSettings(HKEY_LOCAL_MACHINE, true, true, {}, false);
    writeSettings(HKEY_CURRENT_USER, false, true, {"/u/two.zip"});
    auto w = load();
    EXPECT_FALSE(w->unzipObject()->UseFolderNames());
    EXPECT_TRUE(w->unzipObject()->PromptToOverwrite());
    EXPECT_EQ(w->m_cFileMRU().Item(1), "/u/two.zip");
}

TEST_F(BrowserTest, LaunchFromTheControl) {
    ctlPackwell control;
    control.ListZipContent(tmp / "missing.zip");
    ASSERT_EQ(scripted.messages.size(), 1u);
    EXPECT_EQ(scripted.messages[0].text, "Unable to locate " + tmp / "missing.zip");
    EXPECT_EQ(scripted.messages[0].caption, "PackwellDEMO");
    EXPECT_EQ(scripted.browsersOpened, 0);

    control.ListZipContent();
    auto* first = static_cast<frmUnzip*>(pw::librarySettings().newestBrowserWindow);
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->isVisible());
    EXPECT_EQ(first->listModel().rowCount(), 0);

    engine().script(kThree);
    {
        ctlPackwell second;
        second.ListZipContent(archive);
    }  // the control goes; its windows stay
    auto* newest = static_cast<frmUnzip*>(pw::librarySettings().newestBrowserWindow);
    ASSERT_NE(newest, first);
    EXPECT_TRUE(first->isVisible());
    EXPECT_EQ(newest->listModel().rowCount(), 3);
    EXPECT_EQ(pw::librarySettings().browserArchivePath, archive);

    // The older window's dialog gives the focus back to the older window.
    onExtractTo([&](frmExtractTo& d) {
        EXPECT_FALSE(first->isEnabled());
        EXPECT_TRUE(newest->isEnabled());
        d.findChild<QPushButton*>("cmdCancel")->click();
    });
    engine().script(kThree);
    first->OpenZip(archive);
    first->cmdExtract_Click();
    EXPECT_TRUE(first->isEnabled());

    // Closing the newest clears the library-wide reference.
    newest->close();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(pw::librarySettings().newestBrowserWindow, nullptr);
}

TEST_F(BrowserTest, ResizeFollowsTheClientAreaAndIgnoresNegativeSizes) {
    auto w = load();
    QWidget* client = w->centralWidget();
    auto* sbr = w->findChild<QStatusBar*>("sbrMain");
    w->resize(700, 500);
    QApplication::processEvents();
    const QRect list = w->lvwZip()->geometry();
    EXPECT_EQ(list.left(), 4);
    EXPECT_EQ(list.top(), 28);
    EXPECT_EQ(list.width(), client->width() - 8);
    EXPECT_EQ(list.height(), client->height() - 28 - sbr->height() - 4);
    EXPECT_EQ(sbr->geometry().bottom(), client->height() - 1);
    EXPECT_EQ(sbr->width(), client->width());
    client->resize(5, 5);
    EXPECT_EQ(w->lvwZip()->size(), list.size());
}

TEST_F(BrowserTest, AboutBoxAndClose) {
    auto w = load();
    w->mnuHelp_Click(0);
    ASSERT_EQ(scripted.messages.size(), 1u);
    EXPECT_NE(scripted.messages[0].text.find("https://"), std::string::npos);
    EXPECT_EQ(scripted.messages[0].caption, "PackwellDEMO");
    w->mnuFile_Click(8);
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(readList(HKEY_CURRENT_USER, "FileOpenMRU").Count(), 0);
    cRegistry r;
    r.ClassKey(HKEY_CURRENT_USER);
    r.SectionKey(kKey);
    EXPECT_TRUE(r.KeyExists());
}

}  // namespace
