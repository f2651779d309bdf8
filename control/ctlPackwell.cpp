// ctlPackwell: the object itself, its appearance properties, the listing
// table and the resize rule. The operations live in one file per group.
#include "control/ctlPackwell.h"

#include "errors/Error.h"
#include "platform/LibrarySettings.h"
#include "platform/OleDate.h"
#include "unzip/cUnzip.h"
#include "zip/cZip.h"

ctlPackwell::ctlPackwell() = default;

// A host may keep an object we handed out (zipObject, unzipObject) after we
// are gone: its events must not call into a destroyed control.
ctlPackwell::~ctlPackwell() {
    if (m_cZ) {
        m_cZ->Progress = nullptr;
        m_cZ->PasswordRequest = nullptr;
        m_cZ->Cancel = nullptr;
    }
    if (m_cUnzip) {
        m_cUnzip->OverWritePrompt = nullptr;
        m_cUnzip->PasswordRequest = nullptr;
        m_cUnzip->Progress = nullptr;
        m_cUnzip->Cancel = nullptr;
    }
}

// Each appearance property keeps the control's own copy (what reads return)
// and the library-wide value (what windows use when they load).
void ctlPackwell::formUnzipCaption(const std::string& value) {
    m_formUnzipCaption = value;
    pw::librarySettings().formUnzipCaption = value;
}
void ctlPackwell::formUnzipIcon(const std::string& value) {
    m_formUnzipIcon = value;
    pw::librarySettings().formUnzipIcon = value;
}
void ctlPackwell::formExtractCaption(const std::string& value) {
    m_formExtractCaption = value;
    pw::librarySettings().formExtractCaption = value;
}
void ctlPackwell::formExtractIcon(const std::string& value) {
    m_formExtractIcon = value;
    pw::librarySettings().formExtractIcon = value;
}
void ctlPackwell::formOverwriteIcon(const std::string& value) {
    m_formOverwriteIcon = value;
    pw::librarySettings().formOverwriteIcon = value;
}
void ctlPackwell::formOverwriteCaption(const std::string& value) {
    m_formOverwriteCaption = value;
    pw::librarySettings().formOverwriteCaption = value;
}
void ctlPackwell::formPasswordIcon(const std::string& value) {
    m_formPasswordIcon = value;
    pw::librarySettings().formPasswordIcon = value;
}
void ctlPackwell::formPasswordCaption(const std::string& value) {
    m_formPasswordCaption = value;
    pw::librarySettings().formPasswordCaption = value;
}

const cUnzip& ctlPackwell::listed(std::int32_t nIndex) const {
    if (nIndex < 1 || nIndex > m_lListCount || !m_listing) pw::raise(pw::kSubscriptOutOfRange);
    return *m_listing;
}

ctlListing ctlPackwell::getListFiles(std::int32_t nIndex) const {
    const cUnzip& u = listed(nIndex);
    ctlListing r;
    r.FileName = u.FileName(nIndex);
    r.FileSize = u.FileSize(nIndex);
    r.FilePackedSize = u.FilePackedSize(nIndex);
    r.FileDirectory = u.FileDirectory(nIndex);
    // As the user sees it in the short date and time formats: no seconds.
    const pw::DateParts p = pw::splitOleDate(u.FileDate(nIndex));
    r.FileDate = pw::makeOleDate(p.year, p.month, p.day, p.hour, p.minute, 0);
    r.FileCompressionRatio = u.FileCompressionRatio(nIndex);
    return r;
}

std::uint64_t ctlPackwell::getListFileSize64(std::int32_t nIndex) const { return listed(nIndex).FileSize64(nIndex); }
std::uint64_t ctlPackwell::getListFilePackedSize64(std::int32_t nIndex) const {
    return listed(nIndex).FilePackedSize64(nIndex);
}
std::string ctlPackwell::getListFileMethod(std::int32_t nIndex) const {
    return listed(nIndex).FileCompressionMethod(nIndex);
}
std::uint32_t ctlPackwell::getListFileCRC(std::int32_t nIndex) const {
    return static_cast<std::uint32_t>(listed(nIndex).FileCRC(nIndex));
}
bool ctlPackwell::getListFileEncrypted(std::int32_t nIndex) const { return listed(nIndex).FileEncrypted(nIndex); }

void ctlPackwell::UserControl_Resize() {
    // Setting our own size resizes us again; the flag stops that second round.
    if (m_bResizing) return;
    m_bResizing = true;
    if (m_resizer) m_resizer(pictureWidth(), pictureHeight());
    m_bResizing = false;
}
