#include "dialogs/GCommonDialog.h"

#include "errors/Error.h"
#include "platform/Text.h"

namespace {

// A text in a chooser buffer of `chars` characters, NUL padded. A text that
// does not fit cannot be passed at all.
std::string padded(const std::string& text, std::uint32_t chars, const char* what) {
    const std::size_t have = pw::charCount(text);
    if (have > chars)
        throw pw::Error(pw::kInvalidProcedureCall, "GCommonDialog",
                        std::string("Invalid procedure call or argument (") + what + " longer than " +
                            std::to_string(chars) + " characters)");
    std::string out = text;
    out.append(chars - have, '\0');
    return out;
}

// Clears the event sink when the dialog ends, however it ends.
struct SinkScope {
    std::shared_ptr<GCommonDialogEventSink>& slot;
    ~SinkScope() { slot.reset(); }
};

}  // namespace

std::string GCommonDialog::ConvertFilter(const std::string& Filter) {
    std::string out;
    out.reserve(Filter.size() + 2);
    for (char c : Filter) out += (c == '|' || c == ':') ? '\0' : c;
    out += '\0';
    out += '\0';
    return out;
}

std::string GCommonDialog::FilterPair(const std::string& converted, std::int32_t index) {
    if (converted.empty() || index < 1) return "";
    std::size_t start = 0;
    for (;;) {
        const std::size_t descEnd = converted.find('\0', start);
        if (descEnd == std::string::npos) return "";
        const std::size_t patternEnd = converted.find('\0', descEnd + 1);
        if (index == 1)
            return converted.substr(start, patternEnd == std::string::npos ? std::string::npos : patternEnd - start);
        if (patternEnd == std::string::npos) return "";
        --index;
        start = patternEnd + 1;
        // The two closing NULs end the list: an empty description is no pair.
        if (start >= converted.size() || converted[start] == '\0') return "";
    }
}

bool GCommonDialog::run(bool save, std::string& FileName, std::string& FileTitle, std::uint32_t flags,
                        std::string& Filter, std::int32_t& FilterIndex, const std::string& InitDir,
                        const std::string& DlgTitle, const std::string& DefaultExt, pw::WindowHandle Owner,
                        std::int32_t& Flags, std::shared_ptr<GCommonDialogEventSink> EventSink, bool* ReadOnly) {
    m_lApiReturn = 0;
    m_lExtendedError = 0;
    // The caller's own flags join the ones its arguments give, but never a
    // hook or a template: this dialog has neither.
    flags |= static_cast<std::uint32_t>(Flags) & ~(pw::OFN_ENABLEHOOK | pw::OFN_ENABLETEMPLATE);
    pw::OpenFileName ofn;
    if (Owner != -1) ofn.hwndOwner = Owner;
    ofn.initialDir = InitDir;
    ofn.defExt = DefaultExt;
    ofn.title = DlgTitle;
    ofn.flags = flags;
    ofn.filter = ConvertFilter(Filter);
    ofn.nFilterIndex = static_cast<std::uint32_t>(FilterIndex);
    ofn.file = padded(FileName, kMaxPath, "FileName");
    ofn.nMaxFile = kMaxPath;
    ofn.fileTitle = padded(FileTitle, kMaxPath, "FileTitle");
    ofn.nMaxFileTitle = kMaxPath;

    // No hook is installed, so the sink is reachable only while the chooser
    // runs and only through a caller of DialogHook.
    m_oEventSink = std::move(EventSink);
    int r;
    {
        SinkScope scope{m_oEventSink};
        r = save ? pw::platform().getSaveFileName(ofn) : pw::platform().getOpenFileName(ofn);
    }
    m_lApiReturn = r;

    if (r == 1) {
        FileName = pw::cutAtNul(ofn.file);
        FileTitle = pw::cutAtNul(ofn.fileTitle);
        Flags = static_cast<std::int32_t>(ofn.flags);
        FilterIndex = static_cast<std::int32_t>(ofn.nFilterIndex);
        Filter = FilterPair(ofn.filter, FilterIndex);
        if (ReadOnly && (ofn.flags & pw::OFN_READONLY)) *ReadOnly = true;
        return true;
    }
    FileName.clear();
    FileTitle.clear();
    Flags = 0;
    FilterIndex = save ? 0 : -1;
    Filter.clear();
    if (r != 0) m_lExtendedError = static_cast<std::int32_t>(pw::platform().commDlgExtendedError());
    return false;
}

bool GCommonDialog::VBGetOpenFileName(std::string& FileName, std::string& FileTitle, bool FileMustExist,
                                      bool MultiSelect, bool& ReadOnly, bool HideReadOnly, std::string& Filter,
                                      std::int32_t& FilterIndex, const std::string& InitDir,
                                      const std::string& DlgTitle, const std::string& DefaultExt,
                                      pw::WindowHandle Owner, std::int32_t& Flags, bool Hook,
                                      std::shared_ptr<GCommonDialogEventSink> EventSink) {
    (void)Hook;
    std::uint32_t flags = 0;
    if (MultiSelect) flags |= pw::OFN_ALLOWMULTISELECT;
    if (ReadOnly) flags |= pw::OFN_READONLY;
    if (HideReadOnly) flags |= pw::OFN_HIDEREADONLY;
    if (FileMustExist) flags |= pw::OFN_FILEMUSTEXIST;
    return run(false, FileName, FileTitle, flags, Filter, FilterIndex, InitDir, DlgTitle, DefaultExt, Owner, Flags,
               std::move(EventSink), &ReadOnly);
}

bool GCommonDialog::VBGetSaveFileName(std::string& FileName, std::string& FileTitle, bool OverwritePrompt,
                                      std::string& Filter, std::int32_t& FilterIndex, const std::string& InitDir,
                                      const std::string& DlgTitle, const std::string& DefaultExt,
                                      pw::WindowHandle Owner, std::int32_t& Flags, bool Hook,
                                      std::shared_ptr<GCommonDialogEventSink> EventSink) {
    (void)Hook;
    std::uint32_t flags = pw::OFN_HIDEREADONLY;
    if (OverwritePrompt) flags |= pw::OFN_OVERWRITEPROMPT;
    return run(true, FileName, FileTitle, flags, Filter, FilterIndex, InitDir, DlgTitle, DefaultExt, Owner, Flags,
               std::move(EventSink), nullptr);
}

std::string GCommonDialog::VBGetFileTitle(const std::string& sFIle) {
    // The platform's title function fails for an empty path and for one that
    // ends in a folder separator (no file name in it).
    if (sFIle.empty() || sFIle.find('\0') != std::string::npos) return "";
    std::size_t slash = sFIle.rfind('/');
    std::string name = slash == std::string::npos ? sFIle : sFIle.substr(slash + 1);
    if (name.empty() || pw::charCount(name) >= kMaxPath) return "";
    return name;
}

pw::Variant GCommonDialog::DialogHook(std::int32_t hDlg, std::int32_t msg, std::intptr_t wParam,
                                      std::intptr_t lParam) {
    (void)wParam;
    if (!m_oEventSink) return {};
    // Keep the sink alive even if a handler ends the dialog.
    std::shared_ptr<GCommonDialogEventSink> sink = m_oEventSink;
    switch (msg) {
        case WM_INITDIALOG:
            return sink->InitDialog(hDlg);
        case WM_NCDESTROY:
            sink->DialogClose();
            return {};
        case WM_NOTIFY: {
            if (lParam == 0) return {};
            const auto* header = reinterpret_cast<const GCommonDialogNotifyHeader*>(lParam);
            switch (header->code) {
                case CDN_TYPECHANGE:
                    return sink->TypeChange(hDlg);
                case CDN_FILEOK:
                    if (!sink->ConfirmOK()) {
                        m_lMsgResult = 1;
                        return pw::Variant(std::int32_t{1});
                    }
                    m_lMsgResult = 0;
                    return {};
                case CDN_FOLDERCHANGE:
                    return sink->FolderChange(hDlg);
                case CDN_SELCHANGE:
                    return sink->FileChange(hDlg);
                default:
                    return {};
            }
        }
        default:
            return {};
    }
}
