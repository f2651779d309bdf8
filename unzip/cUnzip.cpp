#include "unzip/cUnzip.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "errors/Error.h"
#include "platform/Text.h"

namespace {
// Failed entries a failure message names before it only counts the rest.
constexpr std::size_t kFailuresShown = 5;
}  // namespace

cUnzip::cUnzip() = default;
cUnzip::~cUnzip() = default;

// --- Options ---

bool cUnzip::ExtractOnlyNewer() const { return m_udtRecord.flags.ExtractOnlyNewer != 0; }
void cUnzip::ExtractOnlyNewer(bool bState) { m_udtRecord.flags.ExtractOnlyNewer = bState ? 1 : 0; }
bool cUnzip::SpaceToUnderScore() const { return m_udtRecord.flags.SpaceToUnderscore != 0; }
void cUnzip::SpaceToUnderScore(bool bState) { m_udtRecord.flags.SpaceToUnderscore = bState ? 1 : 0; }
bool cUnzip::PromptToOverwrite() const { return m_udtRecord.flags.PromptToOverwrite != 0; }
void cUnzip::PromptToOverwrite(bool bState) { m_udtRecord.flags.PromptToOverwrite = bState ? 1 : 0; }
std::int32_t cUnzip::MessageLevel() const { return m_udtRecord.flags.fQuiet; }
void cUnzip::MessageLevel(std::int32_t eLevel) { m_udtRecord.flags.fQuiet = eLevel; }
bool cUnzip::TestZip() const { return m_udtRecord.flags.ntflag != 0; }
void cUnzip::TestZip(bool bState) { m_udtRecord.flags.ntflag = bState ? 1 : 0; }
bool cUnzip::UseFolderNames() const { return m_udtRecord.flags.ndflag != 0; }
void cUnzip::UseFolderNames(bool bState) { m_udtRecord.flags.ndflag = bState ? 1 : 0; }
bool cUnzip::OverwriteExisting() const { return m_udtRecord.flags.noflag != 0; }
void cUnzip::OverwriteExisting(bool bState) { m_udtRecord.flags.noflag = bState ? 1 : 0; }
bool cUnzip::ConvertCRToCRLF() const { return m_udtRecord.flags.naflag != 0; }
void cUnzip::ConvertCRToCRLF(bool bState) { m_udtRecord.flags.naflag = bState ? 1 : 0; }
bool cUnzip::CaseSensitiveFileNames() const { return m_udtRecord.flags.C_flag != 0; }
void cUnzip::CaseSensitiveFileNames(bool bState) { m_udtRecord.flags.C_flag = bState ? 1 : 0; }

// --- The directory ---

const UnzipEntry& cUnzip::entry(std::int32_t lIndex) const {
    if (lIndex < 1 || lIndex > m_lCount || static_cast<std::size_t>(lIndex) > m_aEntries.size())
        pw::raise(pw::kSubscriptOutOfRange);
    return m_aEntries[static_cast<std::size_t>(lIndex - 1)];
}
UnzipEntry& cUnzip::entry(std::int32_t lIndex) {
    return const_cast<UnzipEntry&>(static_cast<const cUnzip*>(this)->entry(lIndex));
}

std::string cUnzip::FileName(std::int32_t lIndex) const { return entry(lIndex).name; }
std::string cUnzip::FileDirectory(std::int32_t lIndex) const { return m_asFolders[entry(lIndex).folder]; }
std::int32_t cUnzip::FileSize(std::int32_t lIndex) const { return entry(lIndex).size; }
std::int32_t cUnzip::FileCompressionRatio(std::int32_t lIndex) const { return entry(lIndex).ratio; }
double cUnzip::FileDate(std::int32_t lIndex) const { return entry(lIndex).date; }
std::int32_t cUnzip::FileCRC(std::int32_t lIndex) const { return static_cast<std::int32_t>(entry(lIndex).crc); }
std::string cUnzip::FileCompressionMethod(std::int32_t lIndex) const { return m_asMethods[entry(lIndex).method]; }
bool cUnzip::FileEncrypted(std::int32_t lIndex) const { return entry(lIndex).encrypted; }
bool cUnzip::FileSelected(std::int32_t lIndex) const { return entry(lIndex).selected; }
void cUnzip::FileSelected(std::int32_t lIndex, bool bState) { entry(lIndex).selected = bState; }

std::int32_t cUnzip::FilePackedSize(std::int32_t lIndex) const {
    const UnzipEntry& e = entry(lIndex);
    // The product of two 32-bit values needs 64 bits; only the packed size
    // itself has to fit the signed 32-bit result.
    std::int64_t packed = static_cast<std::int64_t>(e.ratio) * static_cast<std::int64_t>(e.size) / 100;
    if (packed > std::numeric_limits<std::int32_t>::max() || packed < std::numeric_limits<std::int32_t>::min())
        pw::raise(pw::kOverflow);
    return static_cast<std::int32_t>(packed);
}

std::uint64_t cUnzip::FileSize64(std::int32_t lIndex) const { return entry(lIndex).size64; }
std::uint64_t cUnzip::FilePackedSize64(std::int32_t lIndex) const { return entry(lIndex).packed64; }

void cUnzip::AddDirectoryEntry(const std::string& name, const std::string& folder, double date, std::int32_t size,
                               std::uint32_t crc, bool encrypted, std::int32_t ratio, const std::string& method) {
    const std::uint64_t size64 = size > 0 ? static_cast<std::uint64_t>(size) : 0;
    const std::uint64_t packed64 = ratio > 0 ? size64 * static_cast<std::uint64_t>(ratio) / 100 : 0;
    AddDirectoryEntry(name, folder, date, size, crc, encrypted, ratio, method, size64, packed64);
}

void cUnzip::AddDirectoryEntry(const std::string& name, const std::string& folder, double date, std::int32_t size,
                               std::uint32_t crc, bool encrypted, std::int32_t ratio, const std::string& method,
                               std::uint64_t size64, std::uint64_t packed64) {
    // Folder entries have no name part: they never become entries.
    if (name.empty() || name == std::string(1, '\0')) return;
    UnzipEntry e;
    e.name = name;
    e.folder = folderOf(folder);
    e.date = date;
    e.size = size;
    e.crc = crc;
    e.encrypted = encrypted;
    e.ratio = ratio;
    e.method = methodOf(method);
    e.selected = true;
    e.size64 = size64;
    e.packed64 = packed64;
    m_aEntries.resize(static_cast<std::size_t>(m_lCount));
    m_aEntries.push_back(std::move(e));
    ++m_lCount;
}

void cUnzip::ReserveEntries(std::uint64_t count) {
    const auto most = static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max());
    // Only a hint: without the room, the entries still come one by one.
    try {
        m_aEntries.reserve(m_aEntries.size() + static_cast<std::size_t>(std::min(count, most)));
    } catch (const std::exception&) {
    }
}

std::uint32_t cUnzip::folderOf(const std::string& folder) {
    // Entries come folder by folder in most archives.
    if (m_asFolders[m_lLastFolder] == folder) return m_lLastFolder;
    if (folder.empty()) return m_lLastFolder = 0;
    auto [it, added] = m_folderIndex.try_emplace(folder, static_cast<std::uint32_t>(m_asFolders.size()));
    if (added) m_asFolders.push_back(folder);
    return m_lLastFolder = it->second;
}

std::uint16_t cUnzip::methodOf(const std::string& method) {
    for (std::size_t k = 0; k < m_asMethods.size(); ++k)
        if (m_asMethods[k] == method) return static_cast<std::uint16_t>(k);
    // The engine names a handful of methods; should one ever give more
    // than 65,535 names, the last slot stands for the rest.
    if (m_asMethods.size() > 0xFFFF) return 0xFFFF;
    m_asMethods.push_back(method);
    return static_cast<std::uint16_t>(m_asMethods.size() - 1);
}

void cUnzip::clearDirectory() {
    m_lCount = 0;
    m_aEntries.clear();
    m_asFolders.assign(1, std::string());
    m_folderIndex.clear();
    m_asMethods.assign(1, std::string());
    m_lLastFolder = 0;
}

std::string cUnzip::EntryPath(const std::string& folder, const std::string& name) {
    if (folder.empty() || folder == std::string(1, '\0')) return name;
    return pw::replaceAll(folder + "/" + name, "\\", "/");
}

// --- Runs ---

std::int32_t cUnzip::Directory() {
    m_udtRecord.archivePath = m_sZipFile;
    m_udtRecord.extractFolder = std::string();
    m_udtRecord.flags.nvflag = 1;
    m_asNotes.clear();
    m_lLastResult = mUnzip::RunUnzip(*this, m_udtRecord, 0, {}, 0, {}, &m_outcomes);
    // Room reserved from the engine's count leaves little spare (its folder
    // entries); room left by doubling, without a count, is given back.
    if (m_aEntries.capacity() - m_aEntries.size() > m_aEntries.size() / 8) m_aEntries.shrink_to_fit();
    return 0;
}

bool cUnzip::Unzip() {
    if (m_sZipFile.empty()) return false;
    std::vector<std::string> include;
    for (std::int32_t i = 1; i <= m_lCount; ++i) {
        const UnzipEntry& e = entry(i);
        if (e.selected) include.push_back(EntryPath(m_asFolders[e.folder], e.name));
    }
    // Every entry (or none) selected: an empty list makes the engine take
    // the whole archive.
    if (include.size() == static_cast<std::size_t>(m_lCount)) include.clear();
    m_asInclude = include;
    m_udtRecord.archivePath = m_sZipFile;
    m_udtRecord.flags.nvflag = 0;
    m_udtRecord.extractFolder = m_sUnzipFolder;
    m_asNotes.clear();
    m_lLastResult = mUnzip::RunUnzip(*this, m_udtRecord, static_cast<std::int32_t>(m_asInclude.size()), m_asInclude,
                                     0, {}, &m_outcomes);
    // The engine's 0 is success and 1 warnings; a warning may be a kept file
    // as well as a refused one, so the entries' outcomes decide.
    const bool ran = m_lLastResult == PK_OK || m_lLastResult == PK_WARN;
    if (!m_outcomes.reported) return ran;
    return ran && m_outcomes.list.allSucceeded();
}

std::string cUnzip::FailureText() const {
    // An engine without outcomes gave its reason as its last message line.
    if (!m_outcomes.reported) return m_asNotes.empty() ? std::string() : pw::trimBlanks(m_asNotes.back());
    std::string why = DescribeFailures(m_sZipFile, m_outcomes.list);
    if (why.empty() && m_lLastResult != PK_OK && m_lLastResult != PK_WARN)
        why = "the unzip engine failed (code " + std::to_string(m_lLastResult) + ")";
    return why;
}

void cUnzip::UnzipFolder(const std::string& sFolder) { m_sUnzipFolder = sFolder; }

void cUnzip::ZipFile(const std::string& sFIle) {
    m_sZipFile = sFIle;
    clearDirectory();
}

void cUnzip::GetVersion(std::int32_t& lMajor, std::int32_t& lMinor, std::int32_t& lRevision, std::int32_t& lFourth,
                        std::string& sBeta) {
    (void)lFourth;
    UzpVer2 v{};
    v.structlen = sizeof(UzpVer2);
    v.flag = 0;
    std::memset(v.betalevel, ' ', sizeof v.betalevel - 1);
    std::memset(v.date, ' ', sizeof v.date - 1);
    std::memset(v.zlib_version, ' ', sizeof v.zlib_version - 1);
    mUnzip::QueryVersion(v);
    lMajor = v.windll[0];
    lMinor = v.windll[1];
    lRevision = v.windll[2];
    std::string beta = pw::cutAtNul(std::string_view(v.betalevel, sizeof v.betalevel));
    std::size_t chars = pw::charCount(beta);
    if (chars < 10)
        beta.append(10 - chars, ' ');
    else
        beta = pw::leftChars(beta, 10);
    sBeta = beta;
}

// --- Events ---

void cUnzip::RaiseCancel(const std::string& sMsg, bool& bCancel) {
    if (Cancel) Cancel(sMsg, bCancel);
}
void cUnzip::RaiseOverWritePrompt(const std::string& sFIle, std::int32_t& eResponse) {
    if (OverWritePrompt) OverWritePrompt(sFIle, eResponse);
}
void cUnzip::RaisePasswordRequest(std::string& sPassword, bool& bCancel) {
    if (PasswordRequest) PasswordRequest(sPassword, bCancel);
}
void cUnzip::RaiseProgress(std::int32_t lCount, const std::string& sMsg) {
    noteLine(sMsg);
    if (Progress) Progress(lCount, sMsg);
}

namespace {
bool isRoutineLine(const std::string& line) {
    std::string t = pw::trimBlanks(line);
    for (const char* p : {"inflating:", "extracting:", "creating:", "testing:", "linking:", "Archive:"})
        if (pw::startsWith(t, p)) return true;
    return t.empty();
}
}  // namespace

void cUnzip::noteLine(const std::string& sMsg) {
    // Bounded: a hostile archive may make the engine complain about every
    // one of a million entries.
    if (isRoutineLine(sMsg) || m_asNotes.size() >= 1000) return;
    std::string t = pw::replaceAll(pw::replaceAll(sMsg, "\r", ""), "\n", " ");
    while (!t.empty() && t.back() == ' ') t.pop_back();
    m_asNotes.push_back(t);
}

std::string DescribeFailures(const std::string& archive, const pw::OutcomeList& outcomes) {
    const std::size_t failed = outcomes.failures();
    if (failed == 0) return {};
    // The archive itself could not be read: its reason is the whole story.
    for (const auto& e : outcomes.entries())
        if (failed == 1 && !pw::isSuccess(e.kind) && e.name == archive)
            return std::string(pw::outcomeText(e.kind)) + ": " + e.reason;
    const std::string summary = outcomes.failureSummary(kFailuresShown);
    if (failed == 1) return summary;
    return std::to_string(failed) + " entries did not come out: " + summary;
}

std::string UnzipFailureMessage(const std::string& archive, const std::string& why) {
    return "Unable to extract " + archive + (why.empty() ? "" : ": " + why);
}

std::string UnzipSuccessText(const cUnzip& u) {
    const std::size_t done = u.ExtractedCount(), kept = u.Outcomes().count(pw::Outcome::Kept);
    std::string s = std::to_string(done) + (done == 1 ? " file extracted" : " files extracted");
    if (kept) s += ", " + std::to_string(kept) + " kept";
    return s;
}

std::string OverwriteQuestion(const std::string& file) {
    return "Do you want to overwrite the existing copy of " + file + "?";
}

std::int32_t OverwriteResponse(int response, bool applyToAll) {
    if (response == 6) return applyToAll ? IDM_REPLACE_ALL : IDM_REPLACE_YES;
    if (response == 7) return applyToAll ? IDM_REPLACE_NONE : IDM_REPLACE_NO;
    return IDM_REPLACE_NONE;
}
