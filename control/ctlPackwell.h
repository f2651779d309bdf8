// ctlPackwell: the one public class of the control library. A host places it
// on a window (the desktop layer gives it a face, see control/qt) and calls
// its members directly or by dispatch identifier (control/Dispatch.h).
//
// Every member runs to completion on the caller's thread. String and Boolean
// arguments that the control changes for the caller are taken by reference.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "control/ctlListing.h"
#include "errors/Outcome.h"
#include "platform/Export.h"

class cZip;
class cUnzip;

class PACKWELL_API ctlPackwell {
public:
    ctlPackwell();
    ~ctlPackwell();
    ctlPackwell(const ctlPackwell&) = delete;
    ctlPackwell& operator=(const ctlPackwell&) = delete;

    // --- Zip operations (control/ctlPackwell_zip.cpp) ---
    bool zipONEfile(const std::string& Path_and_Filename_to_zip, const std::string& zipPath_and_Filename,
                    bool keepFolder);
    bool zipFolder(const std::string& zipPath_and_Filename, const std::string& folder,
                   const std::string& filesPattern, bool keepFolderPattern);
    bool addFilesToZip_with_dialog(const std::string& zipPath_and_Filename, std::int32_t hwnd, bool keepFolder);
    bool addFileToZip(const std::string& Path_and_Filename_to_add, const std::string& zipPath_and_Filename,
                      bool keepFolder);
    bool zipFiles_with_dialog(const std::string& zipPath_and_Filename, std::int32_t hwnd, bool keepFolder);
    // Each zip operation returns True only when the archive was written with
    // everything it was asked for (files kept by the update rules count as
    // done); zipObject()->Outcomes() then tells what became of each entry.

    // --- Zip encryption: a C++ addition for hosts, outside the dispatch table ---
    // The zip operations write plain entries unless asked here. Traditional
    // zip encryption is broken by known-plaintext attacks: only for readers
    // that know nothing else.
    enum class ZipEncryption { None, Aes256, Traditional };
    ZipEncryption zipEncryption() const { return m_zipEncryption; }
    void zipEncryption(ZipEncryption value) { m_zipEncryption = value; }
    // The password for encrypting operations, given up front; without one
    // (std::nullopt) the platform's password prompt asks when the engine
    // needs one. A blank password is a refusal: nothing is written.
    void zipPassword(std::optional<std::string> password) { m_zipPassword = std::move(password); }

    // --- Archive browser launch (control/ctlPackwell_browse.cpp) ---
    void ListZipContent(const std::string& zip_path_name_file = "");

    // --- Appearance properties (library-wide settings) ---
    std::string formUnzipCaption() const { return m_formUnzipCaption; }
    void formUnzipCaption(const std::string& value);
    std::string formUnzipIcon() const { return m_formUnzipIcon; }
    void formUnzipIcon(const std::string& value);
    std::string formExtractCaption() const { return m_formExtractCaption; }
    void formExtractCaption(const std::string& value);
    std::string formExtractIcon() const { return m_formExtractIcon; }
    void formExtractIcon(const std::string& value);
    std::string formOverwriteIcon() const { return m_formOverwriteIcon; }
    void formOverwriteIcon(const std::string& value);
    std::string formOverwriteCaption() const { return m_formOverwriteCaption; }
    void formOverwriteCaption(const std::string& value);
    std::string formPasswordIcon() const { return m_formPasswordIcon; }
    void formPasswordIcon(const std::string& value);
    std::string formPasswordCaption() const { return m_formPasswordCaption; }
    void formPasswordCaption(const std::string& value);

    // --- Split and join operations (control/ctlPackwell_span.cpp) ---
    // `destination` gets a trailing "/" appended when it lacks one.
    bool SPLITfile_with_dialog(std::int32_t hwnd, std::int32_t chunkSize, std::string& destination);
    bool SPLITfile_with_dialog(std::int32_t hwnd, std::int32_t chunkSize);
    bool SPLITfile(const std::string& Path_Filename_To_Span, std::int32_t chunkSize, std::string& destination);
    bool SPLITfile(const std::string& Path_Filename_To_Span, std::int32_t chunkSize);
    std::string JOINfiles_with_dialog(std::int32_t hwnd);
    std::string JOINfiles(const std::string& Path_Filename_To_Join);

    // --- Listing and unzip operations (control/ctlPackwell_unzip.cpp) ---
    bool UnzipDirectly(const std::string& Path_Filename_To_Unzip, const std::string& where_Path,
                       bool Overwrite = false);
    bool ListFilesFromZip(const std::string& zip_path_name_file);

    // --- Direct extraction: additions for C++ hosts (ctlPackwell_unzip.cpp) ---
    // Not on the dispatch interface. They shape the following UnzipDirectly
    // calls and read back the last one; left unset, UnzipDirectly behaves as
    // it always did.
    // The password offered first for encrypted entries ("" none); the
    // password prompt is shown only when it does not open an entry.
    void UnzipPassword(const std::string& password) { m_sUnzipPassword = password; }
    // Recreate the archive's folders below the destination (default: every
    // file lands directly in it).
    void UnzipFolderNames(bool useFolderNames) { m_bUnzipFolderNames = useFolderNames; }
    // Extract only these entries, named by their paths as the listing shows
    // folder and name ("docs/a.txt"); empty: the whole archive. A path that
    // names no entry is reported as not found and makes the call False.
    void UnzipEntries(std::vector<std::string> entryPaths) { m_asUnzipEntries = std::move(entryPaths); }
    // What became of each entry the last UnzipDirectly asked about (empty
    // before the first one, or when its paths were refused).
    const pw::OutcomeList& UnzipOutcomes() const { return m_unzipOutcomes; }

    // --- The listing table ---
    // Record nIndex (1 to ListCount); error 9 for any other index.
    ctlListing getListFiles(std::int32_t nIndex) const;
    std::int32_t ListCount() const { return m_lListCount; }
    // The true sizes of record nIndex, for hosts that show entries of 2 GiB
    // and more: the record's own FileSize and FilePackedSize keep the
    // published 32-bit fields and so stop at 2,147,483,647. Error 9 as above.
    std::uint64_t getListFileSize64(std::int32_t nIndex) const;
    std::uint64_t getListFilePackedSize64(std::int32_t nIndex) const;

    // --- Visible face: the control's size follows its picture ---
    // The host calls this whenever it resizes the control; the control sets
    // its own size back to the picture's through `setOwnSize`.
    void UserControl_Resize();
    std::int32_t pictureWidth() const { return 66; }
    std::int32_t pictureHeight() const { return 62; }
    // Set by the face: how the control resizes itself (width, height in pixels).
    void setResizer(std::function<void(int, int)> resizer) { m_resizer = std::move(resizer); }

    // The objects of the last zip and direct-extraction operations.
    const std::shared_ptr<cZip>& zipObject() const { return m_cZ; }
    const std::shared_ptr<cUnzip>& unzipObject() const { return m_cUnzip; }

private:
    // Event handlers of the held objects.
    void m_cZ_Progress(std::int32_t lCount, const std::string& sMsg);
    void m_cZ_PasswordRequest(std::string& sPassword, bool& bCancel);
    void newZipObject();
    void m_cUnzip_OverWritePrompt(const std::string& sFIle, std::int32_t& eResponse);
    void m_cUnzip_PasswordRequest(std::string& sPassword, bool& bCancel);
    std::vector<std::string> selectUnzipEntries();

    std::shared_ptr<cZip> m_cZ;
    std::shared_ptr<cUnzip> m_cUnzip;
    ZipEncryption m_zipEncryption = ZipEncryption::None;
    std::optional<std::string> m_zipPassword;

    std::string m_formUnzipCaption, m_formUnzipIcon;
    std::string m_formExtractCaption, m_formExtractIcon;
    std::string m_formOverwriteCaption, m_formOverwriteIcon;
    std::string m_formPasswordCaption, m_formPasswordIcon;

    // Direct extraction additions (see UnzipPassword and the members after it).
    std::string m_sUnzipPassword;
    bool m_bUnzipPasswordOffered = false;
    bool m_bUnzipFolderNames = false;
    std::vector<std::string> m_asUnzipEntries;
    pw::OutcomeList m_unzipOutcomes;

    // The listing table: the directory of the last archive listed, read
    // from the object that listed it (kept for that alone, never handed out),
    // so the entries are held once.
    std::shared_ptr<const cUnzip> m_listing;
    const cUnzip& listed(std::int32_t nIndex) const;  // error 9 unless 1 to ListCount
    std::int32_t m_lListCount = 0;

    bool m_bResizing = false;
    std::function<void(int, int)> m_resizer;

    // ===== Command-line host additions: C++ only, outside the dispatch table =====
    // The members below let a host reach the zip and unzip objects' other
    // members without building the objects itself; what they leave unset
    // behaves as the operations above always did.
public:
    // Options the following zip operations (and zipDelete) give their new
    // cZip, each named after the cZip member it sets.
    struct ZipOptions {
        bool UpdateOnlyIfNewer = false;             // keep entries that are not older than their files
        bool FreshenFiles = false;                  // as UpdateOnlyIfNewer, and add no new entries
        bool StoreDirectories = false;              // folder entries of their own (with folder names kept)
        bool IncludeSystemAndHiddenFiles = false;   // names starting with "." too
        bool ConvertCRLFToLF = false;               // text files: CR-LF becomes LF
        bool ConvertLFToCRLF = false;               // text files: LF becomes CR-LF
    };
    const ZipOptions& zipOptions() const { return m_zipOptions; }
    void zipOptions(const ZipOptions& options) { m_zipOptions = options; }
    // Removes the entries that match `entrySpecs` (stored names, "*" and "?"
    // allowed) from an existing archive through a new cZip in m_cZ (Delete).
    // True only when every specification named an entry and the archive was
    // written; zipObject()->Outcomes() tells each (NotFound for a
    // specification that named none). Failures are shown as the zip
    // operations show theirs; "Unable to find " for a missing archive.
    bool zipDelete(const std::string& zipPath_and_Filename, const std::vector<std::string>& entrySpecs);

    // Options the following UnzipDirectly calls give their new cUnzip, named
    // after its members. CaseSensitiveFileNames also decides how UnzipEntries
    // paths name entries: without it, a path that names no entry exactly
    // names the one that differs from it only in letter case.
    struct UnzipOptions {
        bool ExtractOnlyNewer = false;        // keep existing files that are not older
        bool SpaceToUnderScore = false;       // blanks in names become "_"
        bool CaseSensitiveFileNames = false;  // entry names match in letter case only
        bool ConvertCRToCRLF = false;         // text entries: CR-LF and lone CR become LF
    };
    const UnzipOptions& unzipOptions() const { return m_unzipOptions; }
    void unzipOptions(const UnzipOptions& options) { m_unzipOptions = options; }
    // Checks every entry of the archive without writing anything (cUnzip's
    // TestZip), through a new cUnzip in m_cUnzip, offering UnzipPassword
    // first for encrypted entries. True only when every entry checked out;
    // otherwise a message names the archive and what failed, and
    // TestOutcomes() tells each entry. "Unable to find " for a missing archive.
    bool TestZipFile(const std::string& zip_path_name_file);
    const pw::OutcomeList& TestOutcomes() const { return m_testOutcomes; }

    // The compression method name, CRC-32 and encryption of listing record
    // nIndex, which the published record has no room for. Error 9 as for
    // getListFiles.
    std::string getListFileMethod(std::int32_t nIndex) const;
    std::uint32_t getListFileCRC(std::int32_t nIndex) const;
    bool getListFileEncrypted(std::int32_t nIndex) const;

private:
    void applyZipOptions(cZip& z) const;
    ZipOptions m_zipOptions;
    UnzipOptions m_unzipOptions;
    pw::OutcomeList m_testOutcomes;
    // ===== End of the command-line host additions =====
};
