// The control object: appearance properties and library-wide settings, the
// listing table's bounds, the resize rule.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <thread>

#include "control/ctlPackwell.h"
#include "errors/Error.h"
#include "platform/FailureTrap.h"
#include "platform/LibrarySettings.h"
#include "support/Errors.h"
#include "support/ScriptedPlatform.h"

namespace {

using pwtest::errorNumberOf;

TEST(AppearanceProperties, ReadReturnsOwnCopyAndNeverClearsTheWindowsValue) {
    ctlPackwell c;
    c.formUnzipCaption("Your caption");
    EXPECT_EQ(c.formUnzipCaption(), "Your caption");
    EXPECT_EQ(c.formUnzipCaption(), "Your caption");
    EXPECT_EQ(pw::librarySettings().formUnzipCaption, "Your caption");
}

TEST(AppearanceProperties, TwoControlsShareWindowSettingsLastWriterWins) {
    ctlPackwell a, b;
    a.formOverwriteCaption("from a");
    b.formOverwriteCaption("from b");
    EXPECT_EQ(pw::librarySettings().formOverwriteCaption, "from b");
    EXPECT_EQ(a.formOverwriteCaption(), "from a");
    EXPECT_EQ(b.formOverwriteCaption(), "from b");
    a.formPasswordIcon("/x/a.ico");
    EXPECT_EQ(pw::librarySettings().formPasswordIcon, "/x/a.ico");
    EXPECT_EQ(b.formPasswordIcon(), "");
}

TEST(AppearanceProperties, EachPropertyHasItsOwnSetting) {
    ctlPackwell c;
    c.formUnzipIcon("1"); c.formExtractCaption("2"); c.formExtractIcon("3"); c.formOverwriteIcon("4");
    c.formPasswordCaption("5");
    auto& s = pw::librarySettings();
    EXPECT_EQ(s.formUnzipIcon, "1");
    EXPECT_EQ(s.formExtractCaption, "2");
    EXPECT_EQ(s.formExtractIcon, "3");
    EXPECT_EQ(s.formOverwriteIcon, "4");
    EXPECT_EQ(s.formPasswordCaption, "5");
}

TEST(AppearanceProperties, SettingsArePerThread) {
    ctlPackwell c;
    c.formExtractCaption("main thread");
    std::string seen = "unset";
    std::thread t([&] { seen = pw::librarySettings().formExtractCaption; });
    t.join();
    EXPECT_EQ(seen, "");
}

TEST(ListingTable, NewControlIsEmptyAndEveryIndexFailsWith9) {
    ctlPackwell c;
    EXPECT_EQ(c.ListCount(), 0);
    EXPECT_EQ(errorNumberOf([&] { c.getListFiles(1); }), 9);
    EXPECT_EQ(errorNumberOf([&] { c.getListFiles(0); }), 9);
    EXPECT_EQ(errorNumberOf([&] { c.getListFiles(-1); }), 9);
}

TEST(Resize, ControlAlwaysTakesThePictureSizeWithoutRecursing) {
    ctlPackwell c;
    int calls = 0, w = 0, h = 0;
    c.setResizer([&](int width, int height) {
        ++calls;
        w = width;
        h = height;
        c.UserControl_Resize();  // the host resizes us again while we resize
    });
    c.UserControl_Resize();
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(w, 66);
    EXPECT_EQ(h, 62);
}

TEST(FailureTrap, ShowsNumberColonDescriptionInTheLibrarysMessageBox) {
    pw::ScriptedPlatform p;
    pw::ScopedPlatform use(p);
    bool result = false;
    pw::trapFailures([&] {
        pw::raise(76);
        result = true;
    });
    EXPECT_FALSE(result);
    ASSERT_EQ(p.messages.size(), 1u);
    EXPECT_EQ(p.messages[0].text, "76: Path not found");
    EXPECT_EQ(p.messages[0].caption, "PackwellDEMO");
    EXPECT_EQ(p.messages[0].style, pw::MessageStyle::Plain);
}

TEST(FailureTrap, TurnsForeignExceptionsIntoNumberedErrors) {
    EXPECT_EQ(pw::toError(std::make_exception_ptr(std::bad_alloc())).number(), 7);
    auto fe = std::filesystem::filesystem_error("x", "/no/such", std::make_error_code(std::errc::permission_denied));
    EXPECT_EQ(pw::toError(std::make_exception_ptr(fe)).number(), 70);
    EXPECT_EQ(pw::failureText(pw::Error(9)), "9: Subscript out of range");
}

TEST(FileErrors, MapErrnoToClassicNumbers) {
    EXPECT_EQ(pw::fileError(ENOENT, "/tmp/missing-file-xyz").number(), 53);
    EXPECT_EQ(pw::fileError(ENOENT, "/no/such/folder/file").number(), 76);
    EXPECT_EQ(pw::fileError(EACCES, "/root/x").number(), 70);
    EXPECT_EQ(pw::fileError(ENOSPC, "/full/x").number(), 61);
    EXPECT_EQ(pw::fileError(EISDIR, "/tmp").number(), 75);
}

}  // namespace
