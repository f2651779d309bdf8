#include "dialogs/CFileDialog.h"

#include "platform/Text.h"

namespace {

constexpr std::uint32_t kTitleBuffer = 260;
constexpr std::uint32_t kCustomFilterBuffer = 60;
constexpr std::uint32_t kSingleBuffer = 260;
constexpr std::uint32_t kMultiBuffer = 1024;

std::string padTo(const std::string& s, std::uint32_t chars) {
    std::string out = s;
    std::size_t have = pw::charCount(s);
    if (have < chars) out.append(chars - have, '\0');
    return out;
}

}  // namespace

void CFileDialog::DialogMode(std::int32_t mode) {
    m_lDialogMode = mode;
    Flags(mode == 1 ? kOpenFlags : mode == 2 ? kSaveFlags : 0);
}

void CFileDialog::FileName(const FileNameValue& v) {
    if (const auto* s = std::get_if<std::string>(&v)) m_tOFN.file = *s;
}

std::string CFileDialog::FileTitle() const { return pw::cutAtNul(m_tOFN.fileTitle); }

std::string CFileDialog::CustomFilter() const {
    // The pattern of a custom filter whose description is empty: after the
    // description's NUL, up to the pattern's.
    if (m_tOFN.customFilter.size() < 2) return "";
    return pw::cutAtNul(std::string_view(m_tOFN.customFilter).substr(1));
}

std::string CFileDialog::GetFileTitle(const std::string& FileName) const {
    std::string name = pw::cutAtNul(FileName);
    std::size_t slash = name.rfind('/');
    return slash == std::string::npos ? name : name.substr(slash + 1);
}

bool CFileDialog::run() {
    pw::OpenFileName& o = m_tOFN;
    o.fileTitle.assign(kTitleBuffer, '\0');
    o.nMaxFileTitle = kTitleBuffer;
    o.customFilter.assign(kCustomFilterBuffer, '\0');
    o.nMaxCustFilter = kCustomFilterBuffer;

    std::uint32_t size = (o.flags & pw::OFN_ALLOWMULTISELECT) ? kMultiBuffer : kSingleBuffer;
    if (pw::charCount(o.file) > size) {
        // The name cannot be padded into its buffer: fail without asking and
        // without clearing the record.
        m_lLastError = static_cast<std::int32_t>(pw::FNERR_BUFFERTOOSMALL);
        return false;
    }
    o.file = padTo(o.file, size);
    o.nMaxFile = size;

    if (!o.filter.empty()) {
        o.filter = pw::replaceAll(pw::trimBlanks(o.filter), "|", std::string(1, '\0'));
        o.filter.append(2, '\0');
    } else {
        o.filter = std::string("All Files (*.*)\0*.*\0\0", 21);
    }
    if (o.flags == 0) o.flags = static_cast<std::uint32_t>(m_lDialogMode == 2 ? kSaveFlags : kOpenFlags);
    m_lLastError = 0;

    int result = 0;
    bool asked = true;
    if (m_lDialogMode == 1) result = pw::platform().getOpenFileName(o);
    else if (m_lDialogMode == 2) result = pw::platform().getSaveFileName(o);
    else asked = false;

    if (result == 1) {
        if (!(o.flags & pw::OFN_ALLOWMULTISELECT)) {
            o.file = pw::cutAtNul(o.file);
            o.initialDir = pw::leftChars(o.file, o.nFileOffset);
            o.fileTitle = pw::cutAtNul(o.fileTitle);
            // No extension: the chooser reports offset 0.
            o.defExt = o.nFileExtension ? pw::midChars(o.file, o.nFileExtension) : std::string();
        } else {
            o.fileTitle.clear();
        }
        return true;
    }
    m_lLastError = asked ? static_cast<std::int32_t>(pw::platform().commDlgExtendedError()) : 0;
    m_tOFN = pw::OpenFileName();
    return false;
}

std::vector<std::string> CFileDialog::multiSelection() {
    const std::string& buf = m_tOFN.file;
    std::vector<std::string> list;
    if (pw::cutAtNul(buf).empty()) return list;
    std::size_t offsetBytes = pw::byteOffsetOfChar(buf, m_tOFN.nFileOffset);
    // One chosen file comes back as its full path. A name without extension
    // has extension offset 0, like a list of several; the character before
    // the name then is the folder separator, not the NUL after the folder.
    bool single = m_tOFN.nFileExtension != 0 || offsetBytes == 0 || offsetBytes > buf.size() ||
                  buf[offsetBytes - 1] != '\0';
    if (single) {
        list.push_back(pw::cutAtNul(buf));
        return list;
    }
    const char sep = (m_tOFN.flags & pw::OFN_EXPLORER) ? '\0' : ' ';
    // The folder ends at its NUL even when the name offset points further.
    std::string folder = pw::cutAtNul(buf.substr(0, offsetBytes - 1));
    m_tOFN.initialDir = folder;
    std::string prefix = pw::endsWith(folder, "/") ? folder : folder + "/";
    std::string rest = buf.substr(offsetBytes);
    // Blank-separated names end at the first NUL; a search for the next
    // blank must not run on into the padding.
    if (sep != '\0') rest = pw::cutAtNul(rest) + '\0';
    while (true) {
        std::size_t pos = rest.find(sep);
        if (pos == std::string::npos) pos = rest.find('\0');
        if (pos == std::string::npos || pos == 0) break;
        list.push_back(prefix + rest.substr(0, pos));
        rest.erase(0, pos + 1);
        if (rest.empty()) break;
    }
    return list;
}

CFileDialog::FileNameValue CFileDialog::FileName() {
    if (!run()) return std::string();
    if (m_tOFN.flags & pw::OFN_ALLOWMULTISELECT) {
        std::vector<std::string> list = multiSelection();
        if (list.empty()) return std::string();
        return list;
    }
    return m_tOFN.file;
}
