// The platform seam: everything that needs a person or a screen goes through
// this one interface. Three implementations: Qt (the control library and the
// test client), console (the packwell command-line host) and scripted (tests).
//
// The core never shows a window itself; it asks platform() for a message box,
// a file chooser, an answer to an overwrite or password question, and so on.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Export.h"

namespace pw {

// Window handles as hosts pass them (signed 32-bit); 0 or -1: no owner.
using WindowHandle = std::int32_t;

enum class MessageStyle { Plain, Information, Exclamation, Critical };
enum class MousePointer { Default, Wait };

inline constexpr const char* kLibraryTitle = "PackwellDEMO";

// The open/save file chooser record, with the fields and meanings of the
// classic OPENFILENAME record (ANSI form). Texts are UTF-8. Buffers are
// std::strings that may hold NULs; capacities (nMaxFile, ...) and offsets
// (nFileOffset, nFileExtension) count characters (code points), not bytes.
struct OpenFileName {
    WindowHandle hwndOwner = 0;
    std::string filter;            // lpstrFilter: "desc\0pattern\0...\0\0"; empty: none
    std::string customFilter;      // lpstrCustomFilter buffer; empty: none
    std::uint32_t nMaxCustFilter = 0;
    std::uint32_t nFilterIndex = 0;
    std::string file;              // lpstrFile buffer, NUL padded to nMaxFile
    std::uint32_t nMaxFile = 0;
    std::string fileTitle;         // lpstrFileTitle buffer; empty: none
    std::uint32_t nMaxFileTitle = 0;
    std::string initialDir;        // lpstrInitialDir; empty: none
    std::string title;             // lpstrTitle; empty: the chooser's default
    std::uint32_t flags = 0;
    std::uint16_t nFileOffset = 0;
    std::uint16_t nFileExtension = 0;
    std::string defExt;            // lpstrDefExt, without the dot; empty: none
};

// Flag values of the record.
enum : std::uint32_t {
    OFN_READONLY = 0x1,
    OFN_OVERWRITEPROMPT = 0x2,
    OFN_HIDEREADONLY = 0x4,
    OFN_NOCHANGEDIR = 0x8,
    OFN_ENABLEHOOK = 0x20,
    OFN_ENABLETEMPLATE = 0x40,
    OFN_ALLOWMULTISELECT = 0x200,
    OFN_PATHMUSTEXIST = 0x800,
    OFN_FILEMUSTEXIST = 0x1000,
    OFN_CREATEPROMPT = 0x2000,
    OFN_EXPLORER = 0x80000,
};

// Extended errors of the chooser (CommDlgExtendedError).
enum : std::uint32_t {
    CDERR_GENERALCODES = 0,
    CDERR_INITIALIZATION = 0x0002,
    FNERR_BUFFERTOOSMALL = 0x3003,
    FNERR_INVALIDFILENAME = 0x3002,
};

// The overwrite prompt's answer, as its window gives it: response 6 Yes,
// 7 No, 2 Cancel or closed; applyToAll as the window reports it.
struct OverwriteAnswer {
    int response = 2;
    bool applyToAll = false;
};

// The password prompt's answer: the trimmed password, or cancelled.
struct PasswordAnswer {
    std::string password;
    bool cancelled = true;
};

// What the shell knows of a file type: its display name and the name of its
// icon (an icon theme name; empty when there is none).
struct ShellFileInfo {
    std::string typeName;
    std::string iconName;
};

class PACKWELL_API Platform {
public:
    virtual ~Platform() = default;

    // A modal message box with an OK button; returns 1 (OK).
    virtual int messageBox(const std::string& text, MessageStyle style = MessageStyle::Plain,
                           const std::string& caption = kLibraryTitle) = 0;

    // A modal question with Yes and No buttons; true for Yes. A host that
    // cannot ask answers No, so nothing is done without consent.
    virtual bool askYesNo(const std::string& text, const std::string& caption = kLibraryTitle) {
        (void)text; (void)caption;
        return false;
    }

    // Opens a file with the desktop's default application for its type;
    // false when none could be started (or the host has no desktop).
    virtual bool openDocument(const std::string& path) {
        (void)path;
        return false;
    }

    // A modal input box; "" when cancelled (as the classic InputBox).
    virtual std::string inputBox(const std::string& prompt, const std::string& title,
                                 const std::string& defaultText) = 0;

    // The open and save choosers. Return 1 when the user chose, 0 when the
    // user cancelled, anything else on failure (then commDlgExtendedError()).
    virtual int getOpenFileName(OpenFileName& ofn) = 0;
    virtual int getSaveFileName(OpenFileName& ofn) = 0;
    virtual std::uint32_t commDlgExtendedError() { return 0; }

    // The overwrite prompt (frmOverwrite) with its question text, and the
    // password prompt (frmPassword), modal to `owner`.
    virtual OverwriteAnswer overwritePrompt(const std::string& question, WindowHandle owner) = 0;
    virtual PasswordAnswer passwordPrompt(WindowHandle owner) = 0;

    // Lets the host's user interface process its pending events.
    virtual void doEvents() = 0;

    // The pointer of the whole program.
    virtual void setMousePointer(MousePointer pointer) = 0;

    // Opens a new archive browser window, modeless and without owner, on the
    // library-wide archive path, and makes it the newest browser window.
    // Failures of loading the window are raised to the caller.
    virtual void openArchiveBrowser() = 0;

    // The shell's information on a file type, found by the file's name.
    virtual ShellFileInfo shellFileInfo(const std::string& path) = 0;
};

// Progress of a long operation, apart from the questions above: a host that
// shows it installs one; nothing asks it anything back.
class PACKWELL_API Progress {
public:
    virtual ~Progress() = default;
    // `done` of `total` steps of `task` (a split's pieces); with `total` 0 a
    // line of text without a measure (an engine's current item).
    virtual void progress(std::string_view task, std::int64_t done, std::int64_t total) = 0;
};

// Tells the progress in use, if one is installed; nothing otherwise.
void reportProgress(std::string_view task, std::int64_t done, std::int64_t total);

// Installs `p` (not owned) as the progress in use; nullptr: none. Returns
// the one installed before.
PACKWELL_API Progress* setProgress(Progress* p);

// The platform in use. When nothing was installed, a console platform that
// writes messages to stderr and answers every question with its default.
PACKWELL_API Platform& platform();

// Installs `p` (not owned) as the platform in use; nullptr restores the
// default. Returns the one installed before.
PACKWELL_API Platform* setPlatform(Platform* p);

// Installs a platform for a scope (tests, hosts); one that shows progress
// too is installed as the progress in use as well.
class ScopedPlatform {
public:
    explicit ScopedPlatform(Platform& p) : previous_(setPlatform(&p)), progress_(dynamic_cast<Progress*>(&p)) {
        if (progress_) previousProgress_ = setProgress(progress_);
    }
    ~ScopedPlatform() {
        if (progress_) setProgress(previousProgress_);
        setPlatform(previous_);
    }
    ScopedPlatform(const ScopedPlatform&) = delete;
    ScopedPlatform& operator=(const ScopedPlatform&) = delete;

private:
    Platform* previous_;
    Progress* progress_;
    Progress* previousProgress_ = nullptr;
};

}  // namespace pw
