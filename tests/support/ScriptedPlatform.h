// The platform for tests: every question is answered from a queue, every
// message shown is recorded. An unanswered question is a test failure
// (it throws std::logic_error), so a test sees every prompt it did not expect.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace pw {

class ScriptedPlatform : public Platform, public Progress {
public:
    struct Message {
        std::string text;
        MessageStyle style;
        std::string caption;
    };
    // One chooser answer: cancel, fail with an extended error, or choose
    // these full paths (several: a multi-selection) with this filter index.
    struct ChooserAnswer {
        enum Kind { Choose, Cancel, Fail } kind = Choose;
        std::vector<std::string> paths;
        int filterIndex = 1;
        bool readOnly = false;
        std::uint32_t extendedError = 0;
        static ChooserAnswer choose(std::vector<std::string> p, int index = 1) {
            ChooserAnswer a; a.paths = std::move(p); a.filterIndex = index; return a;
        }
        static ChooserAnswer cancel() { ChooserAnswer a; a.kind = Cancel; return a; }
        static ChooserAnswer fail(std::uint32_t err) { ChooserAnswer a; a.kind = Fail; a.extendedError = err; return a; }
    };
    struct Progress {
        std::string task;
        std::int64_t done, total;
    };

    // Answers.
    std::deque<OverwriteAnswer> overwriteAnswers;
    std::deque<PasswordAnswer> passwordAnswers;
    std::deque<ChooserAnswer> chooserAnswers;
    std::deque<std::string> inputAnswers;
    std::deque<bool> yesNoAnswers;
    bool openDocumentResult = true;
    // Called on every doEvents (a test can run a "host event" there).
    std::function<void()> onDoEvents;
    // Called by openArchiveBrowser (the Qt layer plugs the real window in).
    std::function<void()> onOpenArchiveBrowser;

    // Records.
    std::vector<Message> messages;
    struct InputBox {
        std::string prompt, title, defaultText;
    };
    std::vector<InputBox> inputBoxes;
    std::vector<std::string> overwriteQuestions;
    std::vector<std::string> yesNoQuestions;
    std::vector<std::string> openedDocuments;
    std::vector<WindowHandle> passwordOwners;
    std::vector<OpenFileName> chooserRecords;  // the records as the callers filled them
    std::vector<MousePointer> pointers;
    std::vector<Progress> progressReports;
    int doEventsCount = 0;
    int browsersOpened = 0;

    // The texts of the messages shown, in order.
    std::vector<std::string> messageTexts() const;

    int messageBox(const std::string& text, MessageStyle style, const std::string& caption) override;
    bool askYesNo(const std::string& text, const std::string& caption) override;
    bool openDocument(const std::string& path) override;
    std::string inputBox(const std::string& prompt, const std::string& title,
                         const std::string& defaultText) override;
    int getOpenFileName(OpenFileName& ofn) override;
    int getSaveFileName(OpenFileName& ofn) override;
    std::uint32_t commDlgExtendedError() override { return lastError_; }
    OverwriteAnswer overwritePrompt(const std::string& question, WindowHandle owner) override;
    PasswordAnswer passwordPrompt(WindowHandle owner) override;
    void doEvents() override;
    void setMousePointer(MousePointer pointer) override { pointers.push_back(pointer); }
    void progress(std::string_view task, std::int64_t done, std::int64_t total) override;
    void openArchiveBrowser() override;
    ShellFileInfo shellFileInfo(const std::string& path) override;

private:
    int choose(OpenFileName& ofn);
    std::uint32_t lastError_ = 0;
};

}  // namespace pw
