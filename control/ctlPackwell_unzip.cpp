// Listing and unzip operations of ctlPackwell: reading an archive's directory
// into the listing table, and extracting a whole archive without a window.
#include <cmath>

#include "control/ctlPackwell.h"
#include "errors/Error.h"
#include "platform/FileCheck.h"
#include "platform/OleDate.h"
#include "platform/Platform.h"
#include "platform/Text.h"
#include "unzip/cUnzip.h"

bool ctlPackwell::ListFilesFromZip(const std::string& zip_path_name_file) {
    if (!pw::isRegularFile(zip_path_name_file)) {
        pw::platform().messageBox("Unable to locate " + zip_path_name_file);
        return false;
    }
    auto unzip = std::make_shared<cUnzip>();
    unzip->ZipFile(zip_path_name_file);
    unzip->Directory();
    std::int32_t n = unzip->FileCount();

    if (n == 0) {
        m_listing.reset();
        m_lListCount = 0;
        // An unreadable archive lists nothing, as an empty one does; say why.
        if (unzip->LastResult() > PK_WARN) {
            std::string why = unzip->FailureText();
            pw::platform().messageBox("Unable to read " + zip_path_name_file + (why.empty() ? "" : ": " + why));
        }
        return false;
    }

    // Every record's packed size must fit the table's 32-bit field: checked
    // before the table changes, so a failure leaves it as it was.
    for (std::int32_t i = 1; i <= n; ++i) unzip->FilePackedSize(i);
    m_listing = std::move(unzip);
    m_lListCount = n;
    return true;
}

bool ctlPackwell::UnzipDirectly(const std::string& Path_Filename_To_Unzip, const std::string& where_Path,
                                bool Overwrite) {
    m_unzipOutcomes.clear();
    if (!pw::isRegularFile(Path_Filename_To_Unzip)) {
        pw::platform().messageBox("Unable to find " + Path_Filename_To_Unzip);
        return false;
    }
    if (!pw::isFileOrFolder(where_Path)) {
        pw::platform().messageBox("Unable to find folder: " + where_Path);
        return false;
    }
    m_cUnzip = std::make_shared<cUnzip>();
    m_cUnzip->OverWritePrompt = [this](const std::string& sFIle, std::int32_t& eResponse) {
        m_cUnzip_OverWritePrompt(sFIle, eResponse);
    };
    // Encrypted entries are asked for through the password prompt; without
    // an answer the engine could only skip them.
    m_cUnzip->PasswordRequest = [this](std::string& sPassword, bool& bCancel) {
        m_cUnzip_PasswordRequest(sPassword, bCancel);
    };
    m_cUnzip->ZipFile(Path_Filename_To_Unzip);
    m_cUnzip->UnzipFolder(where_Path);
    m_cUnzip->PromptToOverwrite(Overwrite);
    m_cUnzip->UseFolderNames(m_bUnzipFolderNames);
    m_cUnzip->ExtractOnlyNewer(m_unzipOptions.ExtractOnlyNewer);
    m_cUnzip->SpaceToUnderScore(m_unzipOptions.SpaceToUnderScore);
    m_cUnzip->CaseSensitiveFileNames(m_unzipOptions.CaseSensitiveFileNames);
    m_cUnzip->ConvertCRToCRLF(m_unzipOptions.ConvertCRToCRLF);
    m_bUnzipPasswordOffered = false;

    const std::vector<std::string> missing = selectUnzipEntries();
    // Asked-for entries of which none exists: nothing to extract (an empty
    // selection would mean the whole archive).
    const bool anyAsked = m_asUnzipEntries.empty() || missing.size() < m_asUnzipEntries.size();
    const bool ok = anyAsked && m_cUnzip->Unzip();
    if (anyAsked) m_unzipOutcomes = m_cUnzip->Outcomes();
    for (const std::string& name : missing)
        m_unzipOutcomes.add(pw::EntryOutcome{name, pw::Outcome::NotFound, 0, "no entry of that name"});
    if (ok && missing.empty()) return true;

    // The entries' outcomes when the engine reported them; otherwise (an
    // engine without them) its own reason.
    const std::string why = missing.empty() ? m_cUnzip->FailureText()
                                            : DescribeFailures(Path_Filename_To_Unzip, m_unzipOutcomes);
    pw::platform().messageBox(UnzipFailureMessage(Path_Filename_To_Unzip, why));
    return false;
}

// Marks the entries UnzipEntries named; returns the paths that name none.
// A path names the entry of exactly that path; without case-sensitive names,
// a path that names none so names the entries that differ from it only in
// letter case, as the engine matches names.
std::vector<std::string> ctlPackwell::selectUnzipEntries() {
    if (m_asUnzipEntries.empty()) return {};
    m_cUnzip->Directory();
    const std::int32_t n = m_cUnzip->FileCount();
    std::vector<std::string> paths;
    paths.reserve(static_cast<std::size_t>(n));
    for (std::int32_t i = 1; i <= n; ++i)
        paths.push_back(cUnzip::EntryPath(m_cUnzip->FileDirectory(i), m_cUnzip->FileName(i)));
    std::vector<bool> wanted(paths.size(), false);
    std::vector<std::string> missing;
    for (const std::string& asked : m_asUnzipEntries) {
        const std::string want = pw::replaceAll(asked, "\\", "/");
        bool found = false;
        for (std::size_t i = 0; i < paths.size(); ++i)
            if (paths[i] == want) wanted[i] = found = true;
        if (!found && !m_unzipOptions.CaseSensitiveFileNames)
            for (std::size_t i = 0; i < paths.size(); ++i)
                if (pw::equalsNoCase(paths[i], want)) wanted[i] = found = true;
        if (!found) missing.push_back(asked);
    }
    for (std::int32_t i = 1; i <= n; ++i) m_cUnzip->FileSelected(i, wanted[static_cast<std::size_t>(i - 1)]);
    return missing;
}

bool ctlPackwell::TestZipFile(const std::string& zip_path_name_file) {
    m_testOutcomes.clear();
    if (!pw::isRegularFile(zip_path_name_file)) {
        pw::platform().messageBox("Unable to find " + zip_path_name_file);
        return false;
    }
    m_cUnzip = std::make_shared<cUnzip>();
    m_cUnzip->PasswordRequest = [this](std::string& sPassword, bool& bCancel) {
        m_cUnzip_PasswordRequest(sPassword, bCancel);
    };
    m_cUnzip->ZipFile(zip_path_name_file);
    m_cUnzip->TestZip(true);
    m_bUnzipPasswordOffered = false;
    const bool ok = m_cUnzip->Unzip();
    m_testOutcomes = m_cUnzip->Outcomes();
    if (ok) return true;
    std::string why = m_cUnzip->FailureText();
    pw::platform().messageBox("Errors found in " + zip_path_name_file + (why.empty() ? "" : ": " + why));
    return false;
}

void ctlPackwell::m_cUnzip_PasswordRequest(std::string& sPassword, bool& bCancel) {
    // The host's password first, once per extraction; the engine keeps
    // using it for the entries it opens and asks again only for others.
    if (!m_sUnzipPassword.empty() && !m_bUnzipPasswordOffered) {
        m_bUnzipPasswordOffered = true;
        sPassword = m_sUnzipPassword;
        return;
    }
    pw::PasswordAnswer answer = pw::platform().passwordPrompt(0);
    sPassword = answer.password;
    bCancel = answer.cancelled;
}

void ctlPackwell::m_cUnzip_OverWritePrompt(const std::string& sFIle, std::int32_t& eResponse) {
    pw::OverwriteAnswer answer = pw::platform().overwritePrompt(OverwriteQuestion(sFIle), 0);
    eResponse = OverwriteResponse(answer.response, answer.applyToAll);
}
