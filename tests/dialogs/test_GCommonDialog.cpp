// GCommonDialog's file functions: the chooser record they fill, the filter
// conversion with its colon quirk, and the outputs on choice, cancel and
// failure.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "dialogs/GCommonDialog.h"
#include "errors/Error.h"
#include "support/ScriptedPlatform.h"

namespace {

using Answer = pw::ScriptedPlatform::ChooserAnswer;
using namespace std::string_literals;

// The arguments of one VBGetOpenFileName call, as the system's callers pass
// them unless a test changes them.
struct OpenArgs {
    std::string fileName, fileTitle;
    bool fileMustExist = true, multiSelect = false, readOnly = false, hideReadOnly = false;
    std::string filter = "Zip Files (*.ZIP)|*.ZIP|All Files (*.*)|*.*";
    std::int32_t filterIndex = 1;
    std::string initDir, title = "Choose Zip File to Open", defaultExt = "ZIP";
    pw::WindowHandle owner = 17;
    std::int32_t flags = 0;
    std::shared_ptr<GCommonDialogEventSink> sink;
};

class GCommonDialogTest : public ::testing::Test {
protected:
    pw::ScriptedPlatform ui;
    pw::ScopedPlatform scope{ui};
    GCommonDialog dlg;

    bool open(OpenArgs& a) {
        return dlg.VBGetOpenFileName(a.fileName, a.fileTitle, a.fileMustExist, a.multiSelect, a.readOnly,
                                     a.hideReadOnly, a.filter, a.filterIndex, a.initDir, a.title, a.defaultExt,
                                     a.owner, a.flags, false, a.sink);
    }
    bool save(OpenArgs& a, bool overwritePrompt) {
        return dlg.VBGetSaveFileName(a.fileName, a.fileTitle, overwritePrompt, a.filter, a.filterIndex, a.initDir,
                                     a.title, a.defaultExt, a.owner, a.flags, false, a.sink);
    }
    const pw::OpenFileName& record() const { return ui.chooserRecords.back(); }
};

TEST(FilterConversion, BarsAndColonsBecomeNulsThenTwoNuls) {
    EXPECT_EQ(GCommonDialog::ConvertFilter("All Files (*.*)|*.*"), "All Files (*.*)\0*.*\0\0"s);
    EXPECT_EQ(GCommonDialog::ConvertFilter("Drive C: files|*.txt"), "Drive C\0 files\0*.txt\0\0"s);
    EXPECT_EQ(GCommonDialog::ConvertFilter(""), "\0\0"s);
}

TEST(FilterConversion, PairLookupByIndex) {
    const std::string f = GCommonDialog::ConvertFilter("Zip Files (*.ZIP)|*.ZIP|All Files (*.*)|*.*");
    EXPECT_EQ(GCommonDialog::FilterPair(f, 1), "Zip Files (*.ZIP)\0*.ZIP"s);
    EXPECT_EQ(GCommonDialog::FilterPair(f, 2), "All Files (*.*)\0*.*"s);
    EXPECT_EQ(GCommonDialog::FilterPair(f, 3), "");
    EXPECT_EQ(GCommonDialog::FilterPair(f, 0), "");
    EXPECT_EQ(GCommonDialog::FilterPair(f, -1), "");
    EXPECT_EQ(GCommonDialog::FilterPair("", 1), "");
    EXPECT_EQ(GCommonDialog::FilterPair("no nul at all", 1), "");
    EXPECT_EQ(GCommonDialog::FilterPair("desc\0pattern"s, 1), "desc\0pattern"s);
}

TEST_F(GCommonDialogTest, OpenFillsTheRecordFromItsArguments) {
    ui.chooserAnswers.push_back(Answer::cancel());
    OpenArgs a;
    a.initDir = "/home/u";
    a.flags = 0x20 | 0x40 | pw::OFN_NOCHANGEDIR;  // hook and template bits never reach the chooser
    a.hideReadOnly = true;
    open(a);
    const auto& r = record();
    EXPECT_EQ(r.hwndOwner, 17);
    EXPECT_EQ(r.title, "Choose Zip File to Open");
    EXPECT_EQ(r.initialDir, "/home/u");
    EXPECT_EQ(r.defExt, "ZIP");
    EXPECT_EQ(r.filter, "Zip Files (*.ZIP)\0*.ZIP\0All Files (*.*)\0*.*\0\0"s);
    EXPECT_EQ(r.nFilterIndex, 1u);
    EXPECT_EQ(r.flags, pw::OFN_FILEMUSTEXIST | pw::OFN_HIDEREADONLY | pw::OFN_NOCHANGEDIR);
    EXPECT_EQ(r.nMaxFile, 260u);
    EXPECT_EQ(r.file, std::string(260, '\0'));
    EXPECT_EQ(r.nMaxFileTitle, 260u);
}

TEST_F(GCommonDialogTest, OpenFlagsFollowTheBooleans) {
    ui.chooserAnswers.push_back(Answer::cancel());
    OpenArgs a;
    a.fileMustExist = false;
    a.multiSelect = true;
    a.readOnly = true;
    a.owner = -1;  // no owner
    open(a);
    EXPECT_EQ(record().flags, pw::OFN_ALLOWMULTISELECT | pw::OFN_READONLY);
    EXPECT_EQ(record().hwndOwner, 0);
}

TEST_F(GCommonDialogTest, ChoiceFillsTheOutputs) {
    ui.chooserAnswers.push_back(Answer::choose({"/data/b.zip"}, 2));
    OpenArgs a;
    a.fileName = "start.zip";
    EXPECT_TRUE(open(a));
    EXPECT_EQ(record().file.substr(0, 10), "start.zip\0"s);
    EXPECT_EQ(a.fileName, "/data/b.zip");
    EXPECT_EQ(a.fileTitle, "b.zip");
    EXPECT_EQ(a.filterIndex, 2);
    EXPECT_EQ(a.filter, "All Files (*.*)\0*.*"s);
    EXPECT_EQ(a.flags, static_cast<std::int32_t>(pw::OFN_FILEMUSTEXIST));
    EXPECT_FALSE(a.readOnly);
    EXPECT_EQ(dlg.APIReturn(), 1);
    EXPECT_EQ(dlg.ExtendedError(), 0);
}

TEST_F(GCommonDialogTest, ReadOnlyComesBackOnlyWhenTicked) {
    Answer ticked = Answer::choose({"/data/r.zip"});
    ticked.readOnly = true;
    ui.chooserAnswers.push_back(ticked);
    OpenArgs a;
    EXPECT_TRUE(open(a));
    EXPECT_TRUE(a.readOnly);

    // Not ticked: the value passed in stays (it was asked for, so it is set).
    ui.chooserAnswers.push_back(Answer::choose({"/data/r.zip"}));
    OpenArgs b;
    b.readOnly = true;
    EXPECT_TRUE(open(b));
    EXPECT_TRUE(b.readOnly);
}

TEST_F(GCommonDialogTest, ColonInTheFilterCutsIt) {
    ui.chooserAnswers.push_back(Answer::choose({"/x/a.txt"}, 2));
    OpenArgs a;
    a.filter = "Text: plain|*.txt";
    EXPECT_TRUE(open(a));
    EXPECT_EQ(record().filter, "Text\0 plain\0*.txt\0\0"s);
    // The second pair is now "*.txt" with an empty pattern.
    EXPECT_EQ(a.filter, "*.txt\0"s);
}

TEST_F(GCommonDialogTest, MultiSelectionGivesTheFolderFirst) {
    ui.chooserAnswers.push_back(Answer::choose({"/data/a.zip", "/data/b.zip"}));
    OpenArgs a;
    a.multiSelect = true;
    EXPECT_TRUE(open(a));
    EXPECT_EQ(a.fileName, "/data");
}

TEST_F(GCommonDialogTest, CancelClearsTheOutputs) {
    ui.chooserAnswers.push_back(Answer::cancel());
    OpenArgs a;
    a.fileName = "x.zip";
    a.fileTitle = "x";
    a.flags = pw::OFN_NOCHANGEDIR;
    EXPECT_FALSE(open(a));
    EXPECT_EQ(a.fileName, "");
    EXPECT_EQ(a.fileTitle, "");
    EXPECT_EQ(a.filter, "");
    EXPECT_EQ(a.filterIndex, -1);
    EXPECT_EQ(a.flags, 0);
    EXPECT_EQ(dlg.APIReturn(), 0);
    EXPECT_EQ(dlg.ExtendedError(), 0);

    ui.chooserAnswers.push_back(Answer::cancel());
    OpenArgs s;
    EXPECT_FALSE(save(s, true));
    EXPECT_EQ(s.filterIndex, 0);
    EXPECT_EQ(s.filter, "");
}

TEST_F(GCommonDialogTest, FailureReportsTheExtendedError) {
    ui.chooserAnswers.push_back(Answer::fail(pw::CDERR_INITIALIZATION));
    OpenArgs a;
    EXPECT_FALSE(open(a));
    EXPECT_EQ(dlg.APIReturn(), 2);
    EXPECT_EQ(dlg.ExtendedError(), static_cast<std::int32_t>(pw::CDERR_INITIALIZATION));
    EXPECT_EQ(a.filterIndex, -1);
    // The next call starts clean.
    ui.chooserAnswers.push_back(Answer::cancel());
    open(a);
    EXPECT_EQ(dlg.ExtendedError(), 0);
}

TEST_F(GCommonDialogTest, NameLongerThanTheBufferIsAnError) {
    OpenArgs a;
    a.fileName = std::string(261, 'n');
    try {
        open(a);
        FAIL() << "no error";
    } catch (const pw::Error& e) {
        EXPECT_EQ(e.number(), pw::kInvalidProcedureCall);
    }
    EXPECT_TRUE(ui.chooserRecords.empty());
    // 260 characters of two bytes each still fit: the buffer counts characters.
    std::string wide;
    for (int i = 0; i < 260; ++i) wide += "\xC3\xA9";
    OpenArgs b;
    b.fileName = wide;
    ui.chooserAnswers.push_back(Answer::cancel());
    EXPECT_FALSE(open(b));
}

TEST_F(GCommonDialogTest, SaveAlwaysHidesReadOnlyAndAsksBeforeOverwriting) {
    ui.chooserAnswers.push_back(Answer::choose({"/out/new.zip"}));
    OpenArgs a;
    a.flags = 0x40 | pw::OFN_PATHMUSTEXIST;
    EXPECT_TRUE(save(a, true));
    EXPECT_EQ(record().flags, pw::OFN_HIDEREADONLY | pw::OFN_OVERWRITEPROMPT | pw::OFN_PATHMUSTEXIST);
    EXPECT_EQ(a.fileName, "/out/new.zip");
    EXPECT_EQ(a.fileTitle, "new.zip");

    ui.chooserAnswers.push_back(Answer::cancel());
    OpenArgs b;
    save(b, false);
    EXPECT_EQ(record().flags, pw::OFN_HIDEREADONLY);
}

TEST_F(GCommonDialogTest, FileTitleIsTheNameWithoutFolder) {
    EXPECT_EQ(dlg.VBGetFileTitle("/a/b/report.txt"), "report.txt");
    EXPECT_EQ(dlg.VBGetFileTitle("report.txt"), "report.txt");
    EXPECT_EQ(dlg.VBGetFileTitle("/a/b/"), "");
    EXPECT_EQ(dlg.VBGetFileTitle(""), "");
}

// A sink that records what the hook forwards to it.
class RecordingSink : public GCommonDialogEventSink {
public:
    std::vector<std::string> calls;
    bool confirm = true;
    pw::Variant InitDialog(std::int32_t hDlg) override {
        calls.push_back("InitDialog " + std::to_string(hDlg));
        return pw::Variant(std::int32_t{5});
    }
    void DialogClose() override { calls.push_back("DialogClose"); }
    pw::Variant TypeChange(std::int32_t) override { calls.push_back("TypeChange"); return {}; }
    bool ConfirmOK() override { calls.push_back("ConfirmOK"); return confirm; }
    pw::Variant FolderChange(std::int32_t) override { calls.push_back("FolderChange"); return {}; }
    pw::Variant FileChange(std::int32_t) override { calls.push_back("FileChange"); return {}; }
};

// A chooser that sends the dialog's notifications while it is open.
class HookingPlatform : public pw::ScriptedPlatform {
public:
    GCommonDialog* dialog = nullptr;
    std::vector<pw::Variant> results;
    std::vector<std::int32_t> msgResults;
    int getOpenFileName(pw::OpenFileName& ofn) override {
        auto notify = [&](std::int32_t code) {
            GCommonDialogNotifyHeader h;
            h.code = code;
            results.push_back(dialog->DialogHook(9, GCommonDialog::WM_NOTIFY, 0, reinterpret_cast<std::intptr_t>(&h)));
            msgResults.push_back(dialog->DialogMessageResult());
        };
        results.push_back(dialog->DialogHook(9, GCommonDialog::WM_INITDIALOG, 0, 0));
        notify(GCommonDialog::CDN_TYPECHANGE);
        notify(GCommonDialog::CDN_FOLDERCHANGE);
        notify(GCommonDialog::CDN_SELCHANGE);
        notify(GCommonDialog::CDN_FILEOK);
        notify(-1);
        results.push_back(dialog->DialogHook(9, GCommonDialog::WM_NCDESTROY, 0, 0));
        return ScriptedPlatform::getOpenFileName(ofn);
    }
};

TEST(DialogHook, ForwardsNotificationsOnlyWhileADialogRuns) {
    HookingPlatform ui;
    pw::ScopedPlatform scope(ui);
    GCommonDialog dlg;
    ui.dialog = &dlg;
    auto sink = std::make_shared<RecordingSink>();
    sink->confirm = false;
    EXPECT_TRUE(dlg.DialogHook(9, GCommonDialog::WM_INITDIALOG, 0, 0).isEmpty());

    ui.chooserAnswers.push_back(Answer::cancel());
    std::string name, title, filter = "All|*.*";
    bool ro = false;
    std::int32_t index = 1, flags = 0;
    dlg.VBGetOpenFileName(name, title, true, false, ro, false, filter, index, "", "", "", -1, flags, true, sink);
    EXPECT_THAT(sink->calls, ::testing::ElementsAre("InitDialog 9", "TypeChange", "FolderChange", "FileChange",
                                                    "ConfirmOK", "DialogClose"));
    ASSERT_EQ(ui.results.size(), 7u);
    EXPECT_EQ(ui.results[0], pw::Variant(std::int32_t{5}));
    // ConfirmOK said no: the dialog stays open.
    EXPECT_EQ(ui.results[4], pw::Variant(std::int32_t{1}));
    EXPECT_EQ(ui.msgResults[3], 1);
    EXPECT_TRUE(ui.results[5].isEmpty());
    // The hook is never installed, so no hook flag reaches the chooser.
    EXPECT_EQ(ui.chooserRecords.back().flags & pw::OFN_ENABLEHOOK, 0u);

    // After the dialog the sink is released.
    EXPECT_EQ(sink.use_count(), 1);
    EXPECT_TRUE(dlg.DialogHook(9, GCommonDialog::WM_INITDIALOG, 0, 0).isEmpty());
}

}  // namespace
