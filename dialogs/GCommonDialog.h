// GCommonDialog: the open-file and save-file choosers behind one function
// each. Every option is an argument; results come back through the
// by-reference arguments and the Boolean result. A caller creates one object
// per dialog, uses it once and drops it.
//
// The chooser itself is the platform's (pw::platform().getOpenFileName /
// getSaveFileName); this class only fills its record and reads it back.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/Variant.h"
#include "platform/Platform.h"

// The object that receives a hooked dialog's notifications (DialogHook).
// Every method may be left as it is: it then answers empty.
class GCommonDialogEventSink {
public:
    virtual ~GCommonDialogEventSink() = default;
    virtual pw::Variant InitDialog(std::int32_t hDlg) { (void)hDlg; return {}; }
    virtual void DialogClose() {}
    virtual pw::Variant TypeChange(std::int32_t hDlg) { (void)hDlg; return {}; }
    // False keeps the dialog open.
    virtual bool ConfirmOK() { return true; }
    virtual pw::Variant FolderChange(std::int32_t hDlg) { (void)hDlg; return {}; }
    virtual pw::Variant FileChange(std::int32_t hDlg) { (void)hDlg; return {}; }
};

// The header of a dialog notification (WM_NOTIFY's lParam points to one).
struct GCommonDialogNotifyHeader {
    std::int32_t hwndFrom = 0;
    std::uintptr_t idFrom = 0;
    std::int32_t code = 0;
};

class GCommonDialog {
public:
    // Messages and notification codes that DialogHook forwards.
    static constexpr std::int32_t WM_INITDIALOG = 272;
    static constexpr std::int32_t WM_NCDESTROY = 130;
    static constexpr std::int32_t WM_NOTIFY = 78;
    static constexpr std::int32_t CDN_SELCHANGE = -602;
    static constexpr std::int32_t CDN_FOLDERCHANGE = -603;
    static constexpr std::int32_t CDN_FILEOK = -606;
    static constexpr std::int32_t CDN_TYPECHANGE = -607;
    // Buffer size of the file name and title, in characters.
    static constexpr std::uint32_t kMaxPath = 260;

    // True when the user chose a file: FileName is then its full path (with
    // MultiSelect, the text before the first NUL: the folder when several
    // files were chosen). False on cancel or failure, with the outputs
    // cleared and FilterIndex -1.
    bool VBGetOpenFileName(std::string& FileName, std::string& FileTitle, bool FileMustExist, bool MultiSelect,
                           bool& ReadOnly, bool HideReadOnly, std::string& Filter, std::int32_t& FilterIndex,
                           const std::string& InitDir, const std::string& DlgTitle, const std::string& DefaultExt,
                           pw::WindowHandle Owner, std::int32_t& Flags, bool Hook,
                           std::shared_ptr<GCommonDialogEventSink> EventSink);

    // As VBGetOpenFileName for saving; on cancel or failure FilterIndex is 0.
    bool VBGetSaveFileName(std::string& FileName, std::string& FileTitle, bool OverwritePrompt, std::string& Filter,
                           std::int32_t& FilterIndex, const std::string& InitDir, const std::string& DlgTitle,
                           const std::string& DefaultExt, pw::WindowHandle Owner, std::int32_t& Flags, bool Hook,
                           std::shared_ptr<GCommonDialogEventSink> EventSink);

    // The display name of a file (its name without folder); "" for a path
    // that names no file.
    std::string VBGetFileTitle(const std::string& sFIle);

    // The last dialog function's return value, and the chooser's extended
    // error when that value was neither 1 nor 0.
    std::int32_t APIReturn() const { return m_lApiReturn; }
    std::int32_t ExtendedError() const { return m_lExtendedError; }

    // Forwards a hooked dialog's notifications to the event sink of the
    // dialog in progress. `lParam` of WM_NOTIFY points to a
    // GCommonDialogNotifyHeader.
    pw::Variant DialogHook(std::int32_t hDlg, std::int32_t msg, std::intptr_t wParam, std::intptr_t lParam);
    // The dialog's message result as the hook last set it (DWL_MSGRESULT).
    std::int32_t DialogMessageResult() const { return m_lMsgResult; }

    // The caller's "desc|pattern|..." filter in the chooser's form: every
    // "|" and every ":" becomes a NUL, then two NULs close it.
    static std::string ConvertFilter(const std::string& Filter);
    // The "description NUL pattern" pair number `index` (from 1) of a
    // converted filter; "" when there is none.
    static std::string FilterPair(const std::string& converted, std::int32_t index);

private:
    bool run(bool save, std::string& FileName, std::string& FileTitle, std::uint32_t flags, std::string& Filter,
             std::int32_t& FilterIndex, const std::string& InitDir, const std::string& DlgTitle,
             const std::string& DefaultExt, pw::WindowHandle Owner, std::int32_t& Flags,
             std::shared_ptr<GCommonDialogEventSink> EventSink, bool* ReadOnly);

    std::int32_t m_lApiReturn = 0;
    std::int32_t m_lExtendedError = 0;
    std::int32_t m_lMsgResult = 0;
    std::shared_ptr<GCommonDialogEventSink> m_oEventSink;
};
