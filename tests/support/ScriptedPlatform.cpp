#include "support/ScriptedPlatform.h"

#include <stdexcept>

#include "platform/ConsolePlatform.h"
#include "platform/Text.h"

namespace pw {

std::vector<std::string> ScriptedPlatform::messageTexts() const {
    std::vector<std::string> out;
    for (const auto& m : messages) out.push_back(m.text);
    return out;
}

int ScriptedPlatform::messageBox(const std::string& text, MessageStyle style, const std::string& caption) {
    messages.push_back({text, style, caption});
    return 1;
}

bool ScriptedPlatform::askYesNo(const std::string& text, const std::string&) {
    yesNoQuestions.push_back(text);
    if (yesNoAnswers.empty()) throw std::logic_error("unexpected question: " + text);
    const bool yes = yesNoAnswers.front();
    yesNoAnswers.pop_front();
    return yes;
}

bool ScriptedPlatform::openDocument(const std::string& path) {
    openedDocuments.push_back(path);
    return openDocumentResult;
}

std::string ScriptedPlatform::inputBox(const std::string& prompt, const std::string& title,
                                       const std::string& defaultText) {
    inputBoxes.push_back({prompt, title, defaultText});
    if (inputAnswers.empty()) throw std::logic_error("unexpected input box: " + prompt);
    std::string a = inputAnswers.front();
    inputAnswers.pop_front();
    return a;
}

int ScriptedPlatform::choose(OpenFileName& ofn) {
    chooserRecords.push_back(ofn);
    if (chooserAnswers.empty()) throw std::logic_error("unexpected file chooser: " + ofn.title);
    ChooserAnswer a = chooserAnswers.front();
    chooserAnswers.pop_front();
    lastError_ = 0;
    if (a.kind == ChooserAnswer::Cancel) return 0;
    if (a.kind == ChooserAnswer::Fail) { lastError_ = a.extendedError; return 2; }
    std::size_t need = 0;
    for (const auto& p : a.paths) need += charCount(p) + 1;
    if (need + 1 > ofn.nMaxFile) { lastError_ = FNERR_BUFFERTOOSMALL; return 2; }
    fillChooserResult(ofn, a.paths, a.filterIndex);
    if (a.readOnly) ofn.flags |= OFN_READONLY;
    return 1;
}

int ScriptedPlatform::getOpenFileName(OpenFileName& ofn) { return choose(ofn); }
int ScriptedPlatform::getSaveFileName(OpenFileName& ofn) { return choose(ofn); }

OverwriteAnswer ScriptedPlatform::overwritePrompt(const std::string& question, WindowHandle) {
    overwriteQuestions.push_back(question);
    if (overwriteAnswers.empty()) throw std::logic_error("unexpected overwrite prompt: " + question);
    OverwriteAnswer a = overwriteAnswers.front();
    overwriteAnswers.pop_front();
    return a;
}

PasswordAnswer ScriptedPlatform::passwordPrompt(WindowHandle owner) {
    passwordOwners.push_back(owner);
    if (passwordAnswers.empty()) throw std::logic_error("unexpected password prompt");
    PasswordAnswer a = passwordAnswers.front();
    passwordAnswers.pop_front();
    return a;
}

void ScriptedPlatform::doEvents() {
    ++doEventsCount;
    if (onDoEvents) onDoEvents();
}

void ScriptedPlatform::progress(std::string_view task, std::int64_t done, std::int64_t total) {
    progressReports.push_back({std::string(task), done, total});
}

void ScriptedPlatform::openArchiveBrowser() {
    ++browsersOpened;
    if (onOpenArchiveBrowser) onOpenArchiveBrowser();
}

ShellFileInfo ScriptedPlatform::shellFileInfo(const std::string& path) {
    std::size_t dot = path.rfind('.');
    std::string ext = dot == std::string::npos ? std::string() : toUpper(path.substr(dot + 1));
    return {ext.empty() ? "File" : ext + " File", ""};
}

}  // namespace pw
