#include "platform/ConsolePlatform.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>

#include "errors/Error.h"
#include "platform/Text.h"

namespace pw {

ConsolePlatform::ConsolePlatform() {
    interactive = isatty(STDIN_FILENO) && isatty(STDERR_FILENO);
    showProgress = isatty(STDERR_FILENO);
}

int ConsolePlatform::messageBox(const std::string& text, MessageStyle, const std::string& caption) {
    endProgressLine();
    // One line per message: the host's log stays one message a line.
    std::string line = replaceAll(replaceAll(text, "\r\n", " "), "\n", " ");
    std::cerr << caption << ": " << line << std::endl;
    ++messagesShown;
    return 1;
}

std::optional<std::string> ConsolePlatform::askLine(const std::string& prompt, bool noEcho) {
    int fd = open("/dev/tty", O_RDWR | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    endProgressLine();
    (void)!write(fd, prompt.data(), prompt.size());
    termios saved{};
    bool restore = false;
    if (noEcho && tcgetattr(fd, &saved) == 0) {
        termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        restore = tcsetattr(fd, TCSAFLUSH, &quiet) == 0;
    }
    std::string line;
    char c;
    bool any = false;
    while (read(fd, &c, 1) == 1) {
        any = true;
        if (c == '\n') break;
        line += c;
    }
    if (restore) {
        tcsetattr(fd, TCSAFLUSH, &saved);
        (void)!write(fd, "\n", 1);
    }
    close(fd);
    if (!any) return std::nullopt;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

std::string ConsolePlatform::inputBox(const std::string& prompt, const std::string& title,
                                      const std::string& defaultText) {
    if (!interactive) return defaultText;
    std::string p = (title.empty() ? std::string() : title + ": ") + prompt;
    if (!defaultText.empty()) p += " [" + defaultText + "]";
    auto line = askLine(p + " ");
    if (!line) return "";
    return line->empty() ? defaultText : *line;
}

int ConsolePlatform::chooseFiles(OpenFileName& ofn, bool save) {
    lastError_ = 0;
    std::vector<std::string> paths;
    if (!presetFiles.empty()) {
        paths = presetFiles.front();
        presetFiles.pop_front();
    } else if (interactive) {
        bool multi = (ofn.flags & OFN_ALLOWMULTISELECT) != 0;
        std::string title = ofn.title.empty() ? (save ? "Save As" : "Open") : ofn.title;
        std::string prompt = title + (multi ? " (one path a line, empty line to end): " : ": ");
        for (;;) {
            auto line = askLine(paths.empty() ? prompt : "> ");
            if (!line || line->empty()) break;
            paths.push_back(*line);
            if (!multi) break;
        }
    }
    if (paths.empty()) return 0;
    // A multi-selection comes from one folder, as in a real chooser.
    std::size_t need = 0;
    for (const auto& p : paths) need += charCount(p) + 1;
    if (need + 1 > ofn.nMaxFile) { lastError_ = FNERR_BUFFERTOOSMALL; return 2; }
    fillChooserResult(ofn, paths, ofn.nFilterIndex == 0 ? 1 : static_cast<int>(ofn.nFilterIndex));
    return 1;
}

int ConsolePlatform::getOpenFileName(OpenFileName& ofn) { return chooseFiles(ofn, false); }
int ConsolePlatform::getSaveFileName(OpenFileName& ofn) { return chooseFiles(ofn, true); }

OverwriteAnswer ConsolePlatform::overwritePrompt(const std::string& question, WindowHandle) {
    if (presetOverwrite) return *presetOverwrite;
    if (interactive) {
        for (;;) {
            auto line = askLine(question + " [y]es, [n]o, [A]ll, [N]one, [c]ancel: ");
            if (!line) break;
            if (*line == "y" || *line == "yes") return {6, false};
            if (*line == "n" || *line == "no") return {7, false};
            if (*line == "A" || *line == "all") return {6, true};
            if (*line == "N" || *line == "none") return {7, true};
            if (*line == "c" || *line == "cancel") return {2, true};
        }
    }
    // Without a terminal and without an answer: keep every existing file.
    return {7, true};
}

PasswordAnswer ConsolePlatform::passwordPrompt(WindowHandle) {
    if (presetPassword) {
        std::string pw = trimBlanks(*presetPassword);
        if (pw.empty()) return {"", true};
        return {pw, false};
    }
    if (!interactive) return {"", true};
    auto line = askLine("Password: ", true);
    if (!line) return {"", true};
    std::string pw = trimBlanks(*line);
    if (pw.empty()) return {"", true};
    return {pw, false};
}

void ConsolePlatform::endProgressLine() {
    if (progressLineOpen_) std::cerr << '\n' << std::flush;
    progressLineOpen_ = false;
}

void ConsolePlatform::progress(std::string_view task, std::int64_t done, std::int64_t total) {
    if (!showProgress) return;
    if (total <= 0) {
        // One status line, rewritten for each item, cut to the terminal's
        // usual 80 columns.
        if (!showStatusLines) return;
        std::string shown = trimBlanks(replaceAll(std::string(task), "\n", " "));
        if (shown.empty()) return;
        if (charCount(shown) > 78) shown = leftChars(shown, 77) + "\xE2\x80\xA6";
        std::cerr << "\r\033[K" << shown << std::flush;
        progressLineOpen_ = true;
        return;
    }
    const int width = 30;
    int filled = static_cast<int>(width * done / total);
    std::string bar(static_cast<std::size_t>(filled), '#');
    bar.append(static_cast<std::size_t>(width - filled), ' ');
    std::fprintf(stderr, "\r%.*s [%s] %lld/%lld", static_cast<int>(task.size()), task.data(), bar.c_str(),
                 static_cast<long long>(done), static_cast<long long>(total));
    progressLineOpen_ = done < total;
    if (!progressLineOpen_) std::fputc('\n', stderr);
    std::fflush(stderr);
}

void ConsolePlatform::openArchiveBrowser() {
    throw Error(kInvalidProcedureCall, kLibrarySource, "The archive browser needs a display");
}

ShellFileInfo ConsolePlatform::shellFileInfo(const std::string& path) {
    std::size_t dot = path.rfind('.');
    std::size_t slash = path.rfind('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {"File", ""};
    return {toUpper(path.substr(dot + 1)) + " File", ""};
}

}  // namespace pw
