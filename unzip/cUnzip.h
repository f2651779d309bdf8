// cUnzip: reads an archive's table of contents and extracts entries through
// the unzip engine (mUnzip). A caller sets ZipFile, calls Directory, reads and
// selects entries by index (1 to FileCount), sets UnzipFolder and the options
// and calls Unzip. The option properties read and write the engine's command
// record kept inside the object.
//
// Create with std::make_shared: a run keeps a reference to its object until
// the next run on the same thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/Export.h"
#include "unzip/mUnzip.h"

// One file of the archive's directory (folder entries are never listed).
// Its folder and method are texts the directory shares among its entries
// (cUnzip::FolderText, cUnzip::MethodText): an archive of many entries in
// few folders keeps each folder once.
struct UnzipEntry {
    std::string name;            // the file name without its folder
    double date = 0;             // modification date-time (automation date), to the minute
    std::uint64_t size64 = 0;    // the true uncompressed size
    std::uint64_t packed64 = 0;  // the true packed size
    std::int32_t size = 0;       // the size the engine listed (clamped to the signed 32-bit range)
    std::int32_t ratio = 0;      // compression ratio in percent, as listed
    std::uint32_t crc = 0;       // CRC-32
    std::uint32_t folder = 0;    // the folder: cUnzip::FolderText(folder)
    std::uint16_t method = 0;    // the method name: cUnzip::MethodText(method)
    bool encrypted = false;
    bool selected = true;        // takes part in the next Unzip
};

class PACKWELL_API cUnzip : public std::enable_shared_from_this<cUnzip> {
public:
    cUnzip();
    ~cUnzip();
    cUnzip(const cUnzip&) = delete;
    cUnzip& operator=(const cUnzip&) = delete;

    // --- Options: fields of the command record (a setter stores 1 or 0) ---
    bool ExtractOnlyNewer() const;
    void ExtractOnlyNewer(bool bState);
    bool SpaceToUnderScore() const;
    void SpaceToUnderScore(bool bState);
    bool PromptToOverwrite() const;
    void PromptToOverwrite(bool bState);
    std::int32_t MessageLevel() const;
    void MessageLevel(std::int32_t eLevel);
    bool TestZip() const;
    void TestZip(bool bState);
    bool UseFolderNames() const;
    void UseFolderNames(bool bState);
    bool OverwriteExisting() const;
    void OverwriteExisting(bool bState);
    bool ConvertCRToCRLF() const;
    void ConvertCRToCRLF(bool bState);
    bool CaseSensitiveFileNames() const;
    void CaseSensitiveFileNames(bool bState);

    // --- The directory (lIndex 1 to FileCount; error 9 otherwise) ---
    std::int32_t FileCount() const { return m_lCount; }
    std::string FileName(std::int32_t lIndex) const;
    std::string FileDirectory(std::int32_t lIndex) const;
    // The size as the 32-bit interface has it: an entry of 2 GiB or more
    // reads 2,147,483,647. FileSize64 has the true size.
    std::int32_t FileSize(std::int32_t lIndex) const;
    // ratio x size / 100 (truncated), from the 32-bit size, so for an entry
    // of 2 GiB or more it is the clamped size's share; error 6 when the
    // result does not fit in a signed 32-bit number. FilePackedSize64 has
    // the true packed size.
    std::int32_t FilePackedSize(std::int32_t lIndex) const;
    // True sizes, whatever their magnitude. When the engine gave no 64-bit
    // sizes they are FileSize and ratio x size / 100.
    std::uint64_t FileSize64(std::int32_t lIndex) const;
    std::uint64_t FilePackedSize64(std::int32_t lIndex) const;
    std::int32_t FileCompressionRatio(std::int32_t lIndex) const;
    double FileDate(std::int32_t lIndex) const;
    std::int32_t FileCRC(std::int32_t lIndex) const;
    std::string FileCompressionMethod(std::int32_t lIndex) const;
    bool FileEncrypted(std::int32_t lIndex) const;
    bool FileSelected(std::int32_t lIndex) const;
    void FileSelected(std::int32_t lIndex, bool bState);

    // Lists the archive into the directory, adding to what it holds (only
    // setting ZipFile empties it). Returns 0; run failures are raised.
    std::int32_t Directory();

    // Extracts the selected entries (every entry when all or none are
    // selected) into UnzipFolder. True only when every entry asked for came
    // out or was kept by the caller's choice (Outcomes); false otherwise, or
    // without a run when ZipFile is empty. With an engine that reports no
    // outcomes, true when its result code is 0 or warnings only. Run
    // failures are raised.
    bool Unzip();

    void UnzipFolder(const std::string& sFolder);
    std::string UnzipFolder() const { return m_sUnzipFolder; }
    std::string ZipFile() const { return m_sZipFile; }
    // Stores the path and empties the directory.
    void ZipFile(const std::string& sFIle);

    // The version library's version: the fourth quad's first three bytes,
    // and the beta text cut at NUL and padded with blanks to 10 characters.
    // `lFourth` is left as it is. A missing library raises 48.
    void GetVersion(std::int32_t& lMajor, std::int32_t& lMinor, std::int32_t& lRevision, std::int32_t& lFourth,
                    std::string& sBeta);

    // --- Events (raised during Directory and Unzip, on the caller's thread) ---
    // An item the engine processes; set bCancel to stop the run.
    std::function<void(const std::string& sMsg, bool& bCancel)> Cancel;
    // An existing file would be overwritten; eResponse starts at 100 and
    // takes 100 no, 102 yes, 103 all, 104 none.
    std::function<void(const std::string& sFIle, std::int32_t& eResponse)> OverWritePrompt;
    // The engine needs a password; leave it empty or set bCancel to refuse
    // (then no further request of the run is raised).
    std::function<void(std::string& sPassword, bool& bCancel)> PasswordRequest;
    // A message line of the engine; lCount is always 1.
    std::function<void(std::int32_t lCount, const std::string& sMsg)> Progress;

    // --- The engine binding's side ---
    void RaiseCancel(const std::string& sMsg, bool& bCancel);
    void RaiseOverWritePrompt(const std::string& sFIle, std::int32_t& eResponse);
    void RaisePasswordRequest(std::string& sPassword, bool& bCancel);
    void RaiseProgress(std::int32_t lCount, const std::string& sMsg);
    // Appends one entry (selected); nothing when `name` is empty or a lone NUL.
    void AddDirectoryEntry(const std::string& name, const std::string& folder, double date, std::int32_t size,
                           std::uint32_t crc, bool encrypted, std::int32_t ratio, const std::string& method);
    // The same, with the entry's true sizes.
    void AddDirectoryEntry(const std::string& name, const std::string& folder, double date, std::int32_t size,
                           std::uint32_t crc, bool encrypted, std::int32_t ratio, const std::string& method,
                           std::uint64_t size64, std::uint64_t packed64);
    // The archive path of an entry: `name` when `folder` is empty (or a lone
    // NUL), else folder + "/" + name, with every "\" turned into "/".
    // Room for the entries a listing is about to bring (the engine's count,
    // a hint: entries that are folders never arrive).
    void ReserveEntries(std::uint64_t count);
    static std::string EntryPath(const std::string& folder, const std::string& name);

    // The engine's record as the last run left it, and that run's result code.
    const UnzipCommandRecord& CommandRecord() const { return m_udtRecord; }
    std::int32_t LastResult() const { return m_lLastResult; }
    // The engine's message lines of the last run other than its routine
    // per-entry lines ("inflating:", "creating:", ...): its warnings and
    // reasons, in order.
    const std::vector<std::string>& Notes() const { return m_asNotes; }
    // What became of each entry the last Directory or Unzip asked about, in
    // archive order (include names that matched nothing last); when the
    // archive itself could not be read, one outcome names the archive.
    // Listing reports only such a failure. Hosts read these, never Notes.
    const pw::OutcomeList& Outcomes() const { return m_outcomes.list; }
    // Entries extracted (or tested) by the last Unzip, and those that did
    // not come out.
    std::size_t ExtractedCount() const { return m_outcomes.list.count(pw::Outcome::Done); }
    std::size_t FailedCount() const { return m_outcomes.list.failures(); }
    // Why the last run failed, for people: the first few entries that did
    // not come out with their reasons and a count ("" when none failed).
    std::string FailureText() const;
    // The include list the last Unzip passed (empty: every entry).
    const std::vector<std::string>& LastIncludeList() const { return m_asInclude; }
    // The directory itself, and the texts its entries share: the folder
    // inside the archive ("/" between parts, no trailing "/"; 0 is the top)
    // and the compression method name, as listed.
    const std::vector<UnzipEntry>& Entries() const { return m_aEntries; }
    const std::string& FolderText(std::uint32_t folder) const { return m_asFolders[folder]; }
    const std::string& MethodText(std::uint16_t method) const { return m_asMethods[method]; }

private:
    void noteLine(const std::string& sMsg);
    const UnzipEntry& entry(std::int32_t lIndex) const;
    UnzipEntry& entry(std::int32_t lIndex);

    std::string m_sZipFile;
    std::string m_sUnzipFolder;
    UnzipCommandRecord m_udtRecord;
    std::uint32_t folderOf(const std::string& folder);
    std::uint16_t methodOf(const std::string& method);
    void clearDirectory();

    std::vector<UnzipEntry> m_aEntries;  // index 0 holds entry 1
    std::vector<std::string> m_asFolders{std::string()};  // shared by the entries; 0 is ""
    std::unordered_map<std::string, std::uint32_t> m_folderIndex;
    std::vector<std::string> m_asMethods{std::string()};  // a handful: found by looking
    std::uint32_t m_lLastFolder = 0;
    std::int32_t m_lCount = 0;
    std::int32_t m_lLastResult = 0;
    std::vector<std::string> m_asInclude;
    std::vector<std::string> m_asNotes;
    mUnzip::RunOutcomes m_outcomes;
};

// What did not come out of `archive` and why, for people: the first few
// failed entries with their reasons and a count ("" when none failed).
std::string DescribeFailures(const std::string& archive, const pw::OutcomeList& outcomes);
// The message a host shows when an extraction failed: "Unable to extract "
// + the archive + ": " + why.
std::string UnzipFailureMessage(const std::string& archive, const std::string& why);
// The confirmation after a good extraction: "3 files extracted", with ", 2
// kept" when existing files were kept.
std::string UnzipSuccessText(const cUnzip& u);

// The question the overwrite prompt asks about `file`, and the engine's
// answer code for what the prompt answered: Yes 103 (to all) or 102, No 104
// (to all) or 100, anything else 104.
std::string OverwriteQuestion(const std::string& file);
std::int32_t OverwriteResponse(int response, bool applyToAll);
