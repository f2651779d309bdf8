// The platform seam on a Qt desktop: message boxes, the input box, the file
// choosers, the overwrite and password prompts, the shell's file types.
//
// The control library installs it by itself when a QApplication starts (or
// when the library is loaded into a running one), unless a host installed a
// platform of its own first; it is removed again when the application ends.
#pragma once

#include <functional>

#include "platform/Platform.h"

namespace pw::qt {

class QtPlatform : public Platform {
public:
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
    void setMousePointer(MousePointer pointer) override;
    void openArchiveBrowser() override;
    ShellFileInfo shellFileInfo(const std::string& path) override;

private:
    std::uint32_t lastError_ = 0;
    bool waitCursor_ = false;
};

// The one Qt platform of the library.
QtPlatform& qtPlatform();

// Installs the Qt platform unless another one is installed; true when the
// Qt platform is the one in use afterwards. Needs a QApplication.
bool ensureQtPlatform();

// How openArchiveBrowser opens a new window: the library's archive browser
// unless another way is registered here. Returns the factory registered
// before.
using ArchiveBrowserFactory = std::function<void()>;
ArchiveBrowserFactory setArchiveBrowserFactory(ArchiveBrowserFactory factory);

}  // namespace pw::qt
