#include "zip/cZip.h"

#include "errors/Error.h"

namespace {
const char* const kSource = "PackwellDEMO.cZip";
}

cZip::cZip() {
    StoreDirectories(false);
    StoreFolderNames(false);
    RecurseSubDirs(false);
}

std::string cZip::BasePath() const { return m_tZipOptions.szRootDir.value_or(std::string()); }

void cZip::BasePath(const std::string& sBasePath) { m_tZipOptions.szRootDir = sBasePath; }

std::int32_t cZip::MessageLevel() const {
    if (m_tZipOptions.fVerbose != 0) return 0;
    if (m_tZipOptions.fQuiet != 0) return 1;
    return 2;
}

void cZip::MessageLevel(std::int32_t eLevel) {
    switch (eLevel) {
    case 0: m_tZipOptions.fVerbose = 1; m_tZipOptions.fQuiet = 0; break;
    case 1: m_tZipOptions.fVerbose = 0; m_tZipOptions.fQuiet = 1; break;
    case 2: m_tZipOptions.fVerbose = 0; m_tZipOptions.fQuiet = 0; break;
    default: break;
    }
}

void cZip::ClearFileSpecs() {
    m_lFileSpecCount = 0;
    m_asFileSpecs.clear();
}

std::int32_t cZip::AddFileSpec(const std::string& sSpec) {
    if (m_lFileSpecCount == INT32_MAX) pw::raise(pw::kOverflow, kSource);
    m_asFileSpecs.push_back(sSpec);
    ++m_lFileSpecCount;
    return 0;
}

std::string cZip::FileSpec(std::int32_t nIndex) const {
    if (nIndex < 1 || nIndex > m_lFileSpecCount) pw::raise(pw::kSubscriptOutOfRange, kSource);
    return m_asFileSpecs[static_cast<std::size_t>(nIndex - 1)];
}

std::int32_t cZip::run() {
    m_sLastMessage.clear();
    m_outcomes.clear();
    // The binding holds the object until its next run; an object that is not
    // shared (made on the stack) is lent for the run only.
    std::shared_ptr<mZip::ZipRunObject> self = weak_from_this().lock();
    if (!self) self = std::shared_ptr<mZip::ZipRunObject>(this, [](mZip::ZipRunObject*) {});
    m_lLastResult = -1;
    m_bLastRunDeleted = m_tZipOptions.fDeleteEntries != 0;
    m_lLastResult = mZip::RunZip(self, m_tZipOptions, m_asFileSpecs, m_lFileSpecCount, &m_outcomes);
    return m_lLastResult;
}

void cZip::Zip() { run(); }

void cZip::Delete() {
    m_tZipOptions.fDeleteEntries = 1;
    try {
        (void)FileSpec(1);
        run();
    } catch (...) {
        m_tZipOptions.fDeleteEntries = 0;
        throw;
    }
    m_tZipOptions.fDeleteEntries = 0;
}

void cZip::RaiseCancel(const std::string& sMsg, bool& bCancel) {
    if (Cancel) Cancel(sMsg, bCancel);
}

void cZip::RaisePasswordRequest(std::string& sPassword, bool& bCancel) {
    if (PasswordRequest) PasswordRequest(sPassword, bCancel);
}

void cZip::RaiseProgress(std::int32_t lCount, const std::string& sMsg) {
    m_sLastMessage = sMsg;
    if (Progress) Progress(lCount, sMsg);
}
