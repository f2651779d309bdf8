// cZip: the zip options object. A caller sets the archive path, an optional
// base folder, the options and a list of file specifications, then calls Zip
// (or Delete). Every option property reads or writes one field of the engine's
// option record kept inside the object, so the record can be handed to the
// engine unchanged (zip/mZip.h runs the engine).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/Export.h"
#include "zip/ZipOptionRecord.h"
#include "zip/mZip.h"

class PACKWELL_API cZip : public mZip::ZipRunObject, public std::enable_shared_from_this<cZip> {
public:
    // New objects store no folder entries, junk folder names and do not
    // recurse (set through the property setters, as a caller would).
    cZip();
    ~cZip() override = default;
    cZip(const cZip&) = delete;
    cZip& operator=(const cZip&) = delete;

    // --- The archive and the base folder ---
    std::string ZipFile() const override { return m_sZipFile; }
    void ZipFile(const std::string& sFileName) { m_sZipFile = sFileName; }
    std::string BasePath() const override;
    void BasePath(const std::string& sBasePath);

    // --- Options (each one field of the record) ---
    // The reader and the writer of the encryption option have different
    // names; both are part of the interface.
    bool Encrpyt() const { return m_tZipOptions.fEncrypt != 0; }
    void Encrypt(bool bState) { m_tZipOptions.fEncrypt = bState ? 1 : 0; }
    bool IncludeSystemAndHiddenFiles() const { return m_tZipOptions.fSystem != 0; }
    void IncludeSystemAndHiddenFiles(bool bState) { m_tZipOptions.fSystem = bState ? 1 : 0; }
    bool StoreVolumeLabel() const { return m_tZipOptions.fVolume != 0; }
    void StoreVolumeLabel(bool bState) { m_tZipOptions.fVolume = bState ? 1 : 0; }
    // Inverted: the record holds "no directory entries".
    bool StoreDirectories() const { return m_tZipOptions.fNoDirEntries == 0; }
    void StoreDirectories(bool bState) { m_tZipOptions.fNoDirEntries = bState ? 0 : 1; }
    // Inverted: the record holds "junk folder names".
    bool StoreFolderNames() const { return m_tZipOptions.fJunkDir == 0; }
    void StoreFolderNames(bool bState) { m_tZipOptions.fJunkDir = bState ? 0 : 1; }
    // The engine recurses when the field is 2.
    bool RecurseSubDirs() const { return m_tZipOptions.fRecurse != 0; }
    void RecurseSubDirs(bool bState) { m_tZipOptions.fRecurse = bState ? 2 : 0; }
    bool UpdateOnlyIfNewer() const { return m_tZipOptions.fUpdate != 0; }
    void UpdateOnlyIfNewer(bool bState) { m_tZipOptions.fUpdate = bState ? 1 : 0; }
    bool FreshenFiles() const { return m_tZipOptions.fFreshen != 0; }
    void FreshenFiles(bool bState) { m_tZipOptions.fFreshen = bState ? 1 : 0; }
    // 0 verbose, 1 quiet, 2 normal; any other value leaves the flags alone.
    std::int32_t MessageLevel() const;
    void MessageLevel(std::int32_t eLevel);
    bool ConvertCRLFToLF() const { return m_tZipOptions.fCRLF_LF != 0; }
    void ConvertCRLFToLF(bool bState) { m_tZipOptions.fCRLF_LF = bState ? 1 : 0; }
    bool ConvertLFToCRLF() const { return m_tZipOptions.fLF_CRLF != 0; }
    void ConvertLFToCRLF(bool bState) { m_tZipOptions.fLF_CRLF = bState ? 1 : 0; }

    // --- The file specification list (indexes 1 to FileSpecCount) ---
    void ClearFileSpecs();
    // Appends `sSpec`; returns 0.
    std::int32_t AddFileSpec(const std::string& sSpec);
    std::int32_t FileSpecCount() const { return m_lFileSpecCount; }
    // Error 9 for an index outside 1 to FileSpecCount.
    std::string FileSpec(std::int32_t nIndex) const;

    // Grow flag; true only when the field is exactly 1.
    bool AllowAppend() const { return m_tZipOptions.fGrow == 1; }
    void AllowAppend(bool bState) { m_tZipOptions.fGrow = bState ? 1 : 0; }

    // Compatibility option: traditional zip encryption instead of AES-256.
    // Traditional encryption is broken by known-plaintext attacks; use it
    // only for readers that know nothing else.
    bool TraditionalEncryption() const { return m_tZipOptions.fEncryption == 1; }
    void TraditionalEncryption(bool bState) { m_tZipOptions.fEncryption = bState ? 1 : 0; }

    // --- Runs ---
    // Runs the engine on the list. Engine load errors, a base folder that
    // cannot be made current and a list longer than 1,022 specifications are
    // raised; the engine's own result is kept in LastResult.
    void Zip();
    // Removes the entries matching the list from the archive. Error 9 (and
    // no engine call) when the list is empty.
    void Delete();

    // The engine's result code of the last run (0: done), and the last
    // message line it printed. Callers that must know whether the archive
    // was written read these; Zip itself reports nothing.
    std::int32_t LastResult() const { return m_lLastResult; }
    const std::string& LastMessage() const { return m_sLastMessage; }

    // What the last run did with each entry and name it was given: added,
    // updated or deleted (Done), kept by the update or freshen rule (Kept),
    // matched nothing (NotFound), could not be read or written (with the
    // errno). Counts by kind: Outcomes().count(pw::Outcome::Done).
    const pw::OutcomeList& Outcomes() const { return m_outcomes; }
    // The run's result: true only when the archive was written and every
    // entry and name asked for was done (or kept by the update rules).
    bool Succeeded() const { return mZip::RunSucceeded(m_lLastResult, m_outcomes); }
    // Why the last run did not succeed: the archive not written, or written
    // without the files named (mZip::RunError).
    pw::Error RunError() const {
        return mZip::RunError(m_lLastResult, m_sZipFile, m_outcomes, m_sLastMessage, m_bLastRunDeleted);
    }

    // The engine record as the properties left it.
    const ZipOptionRecord& OptionRecord() const { return m_tZipOptions; }

    // --- Events ---
    // The engine reports an item; set bCancel to stop the run.
    std::function<void(const std::string& sMsg, bool& bCancel)> Cancel;
    // The engine asks for a password; leave it empty or set bCancel to refuse.
    std::function<void(std::string& sPassword, bool& bCancel)> PasswordRequest;
    // The engine prints a message line (lCount is always 1).
    std::function<void(std::int32_t lCount, const std::string& sMsg)> Progress;

    // Raised by the engine binding only.
    void RaiseCancel(const std::string& sMsg, bool& bCancel) override;
    void RaisePasswordRequest(std::string& sPassword, bool& bCancel) override;
    void RaiseProgress(std::int32_t lCount, const std::string& sMsg) override;

private:
    std::int32_t run();

    std::string m_sZipFile;
    ZipOptionRecord m_tZipOptions;
    std::vector<std::string> m_asFileSpecs;  // index 0 holds specification 1
    std::int32_t m_lFileSpecCount = 0;
    std::int32_t m_lLastResult = 0;
    std::string m_sLastMessage;
    pw::OutcomeList m_outcomes;
    bool m_bLastRunDeleted = false;  // the last run was a Delete (for RunError's wording)
};
