// The platform for the packwell command-line host: messages on stderr as
// "<caption>: <text>", questions on the terminal when there is one, or the
// answers given on the command line when there is none.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace pw {

class ConsolePlatform : public Platform, public Progress {
public:
    ConsolePlatform();

    // Answers given on the command line, used when there is no terminal
    // (and before asking the terminal, when set).
    std::optional<OverwriteAnswer> presetOverwrite;   // --answer yes|no|all|none
    std::optional<std::string> presetPassword;        // --password-file
    std::deque<std::vector<std::string>> presetFiles; // chooser answers, one list per dialog
    bool showProgress = false;                        // a progress bar on stderr
    bool showStatusLines = false;                     // and lines without a measure, as one status line
    bool interactive = false;                         // a terminal to ask on

    int messageBox(const std::string& text, MessageStyle style, const std::string& caption) override;
    std::string inputBox(const std::string& prompt, const std::string& title,
                         const std::string& defaultText) override;
    int getOpenFileName(OpenFileName& ofn) override;
    int getSaveFileName(OpenFileName& ofn) override;
    std::uint32_t commDlgExtendedError() override { return lastError_; }
    OverwriteAnswer overwritePrompt(const std::string& question, WindowHandle owner) override;
    PasswordAnswer passwordPrompt(WindowHandle owner) override;
    void doEvents() override {}
    void setMousePointer(MousePointer) override {}
    void progress(std::string_view task, std::int64_t done, std::int64_t total) override;
    void openArchiveBrowser() override;
    ShellFileInfo shellFileInfo(const std::string& path) override;

    // Reads one line from the terminal after showing `prompt`; with
    // `noEcho` the typed characters are not shown. nullopt at end of input.
    std::optional<std::string> askLine(const std::string& prompt, bool noEcho = false);

    // Ends the progress line or status line on stderr, if one is open.
    void endProgressLine();

    // Counts the messages shown (the CLI reports failures by exit status).
    int messagesShown = 0;

private:
    int chooseFiles(OpenFileName& ofn, bool save);
    std::uint32_t lastError_ = 0;
    bool progressLineOpen_ = false;
};

// Fills the chooser record's results for the chosen paths (one path, or a
// multi-selection with folder and names), as the platform's chooser does.
// Shared by every chooser implementation.
void fillChooserResult(OpenFileName& ofn, const std::vector<std::string>& paths, int filterIndex);

}  // namespace pw
