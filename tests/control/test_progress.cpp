// Progress is told apart from the questions: who receives it, and how the
// console shows it.
#include <gtest/gtest.h>

#include "platform/ConsolePlatform.h"
#include "support/ScriptedPlatform.h"

namespace {

TEST(Progress, ReachesThePlatformInstalledForTheScopeAndNothingAfterIt) {
    pw::ScriptedPlatform outer;
    {
        pw::ScopedPlatform use(outer);
        pw::reportProgress("Splitting", 1, 3);
        pw::ConsolePlatform quietConsole;
        quietConsole.showProgress = false;
        {
            pw::ScopedPlatform inner(quietConsole);
            pw::reportProgress("Joining", 1, 2);
        }
        pw::reportProgress("Splitting", 2, 3);
    }
    pw::reportProgress("Splitting", 3, 3);
    ASSERT_EQ(outer.progressReports.size(), 2u);
    EXPECT_EQ(outer.progressReports[0].done, 1);
    EXPECT_EQ(outer.progressReports[1].done, 2);
    EXPECT_EQ(pw::setProgress(nullptr), nullptr);
}

TEST(Progress, ConsoleShowsStatusLinesOnlyWhenAskedAndEndsThemBeforeAMessage) {
    pw::ConsolePlatform console;
    console.showProgress = true;
    testing::internal::CaptureStderr();
    console.progress("adding: a.txt", 0, 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

    console.showStatusLines = true;
    testing::internal::CaptureStderr();
    console.progress("adding: a.txt\n", 0, 0);
    console.progress("adding: " + std::string(100, 'b'), 0, 0);
    console.messageBox("done", pw::MessageStyle::Plain, "PackwellDEMO");
    console.endProgressLine();
    std::string shown = testing::internal::GetCapturedStderr();
    EXPECT_EQ(shown, "\r\033[Kadding: a.txt\r\033[Kadding: " + std::string(69, 'b') + "\xE2\x80\xA6\nPackwellDEMO: done\n");
}

}  // namespace
