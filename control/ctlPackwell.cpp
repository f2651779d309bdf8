// ctlPackwell: the object itself, its appearance properties, the listing
// table and the resize rule. The operations live in one file per group.
#include "control/ctlPackwell.h"

#include "errors/Error.h"
#include "platform/LibrarySettings.h"
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

ctlListing ctlPackwell::getListFiles(std::int32_t nIndex) const {
    if (nIndex < 1 || nIndex > m_lListCount || static_cast<std::size_t>(nIndex) > m_aListing.size())
        pw::raise(pw::kSubscriptOutOfRange);
    return m_aListing[static_cast<std::size_t>(nIndex - 1)];
}

const ctlPackwell::TrueSizes& ctlPackwell::listingSizes(std::int32_t nIndex) const {
    if (nIndex < 1 || nIndex > m_lListCount || static_cast<std::size_t>(nIndex) > m_aListingSizes.size())
        pw::raise(pw::kSubscriptOutOfRange);
    return m_aListingSizes[static_cast<std::size_t>(nIndex - 1)];
}

std::uint64_t ctlPackwell::getListFileSize64(std::int32_t nIndex) const { return listingSizes(nIndex).size; }
std::uint64_t ctlPackwell::getListFilePackedSize64(std::int32_t nIndex) const { return listingSizes(nIndex).packed; }

// The details vector is filled with the table, so the sizes' index check
// covers it too.
std::string ctlPackwell::getListFileMethod(std::int32_t nIndex) const {
    listingSizes(nIndex);
    return m_aListingDetails.at(static_cast<std::size_t>(nIndex - 1)).method;
}
std::uint32_t ctlPackwell::getListFileCRC(std::int32_t nIndex) const {
    listingSizes(nIndex);
    return m_aListingDetails.at(static_cast<std::size_t>(nIndex - 1)).crc;
}
bool ctlPackwell::getListFileEncrypted(std::int32_t nIndex) const {
    listingSizes(nIndex);
    return m_aListingDetails.at(static_cast<std::size_t>(nIndex - 1)).encrypted;
}

void ctlPackwell::UserControl_Resize() {
    // Setting our own size resizes us again; the flag stops that second round.
    if (m_bResizing) return;
    m_bResizing = true;
    if (m_resizer) m_resizer(pictureWidth(), pictureHeight());
    m_bResizing = false;
}
