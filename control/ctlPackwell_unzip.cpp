// Listing and unzip operations of ctlPackwell: reading an archive's directory
// into the listing table, and extracting a whole archive without a window.
#include <sys/stat.h>

#include <cmath>

#include "control/ctlPackwell.h"
#include "platform/Error.h"
#include "platform/OleDate.h"
#include "platform/Platform.h"
#include "platform/Text.h"
#include "unzip/cUnzip.h"

namespace {

bool isFile(const std::string& path) {
    struct stat st {};
    return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool existsAtAll(const std::string& path) {
    struct stat st {};
    return !path.empty() && stat(path.c_str(), &st) == 0;
}

// The date as the user sees it in the short date and short time formats:
// date, hours and minutes, no seconds.
double toTheMinute(double date) {
    pw::DateParts p = pw::splitOleDate(date);
    return pw::makeOleDate(p.year, p.month, p.day, p.hour, p.minute, 0);
}

// The engine's reason for a failed run: its last note, if it gave one.
std::string reasonOf(const cUnzip& u) {
    const auto& notes = u.Notes();
    return notes.empty() ? std::string() : pw::trimBlanks(notes.back());
}

}  // namespace

bool ctlPackwell::ListFilesFromZip(const std::string& zip_path_name_file) {
    if (!isFile(zip_path_name_file)) {
        pw::platform().messageBox("Unable to locate " + zip_path_name_file);
        return false;
    }
    auto unzip = std::make_shared<cUnzip>();
    unzip->ZipFile(zip_path_name_file);
    unzip->Directory();
    std::int32_t n = unzip->FileCount();

    if (n == 0) {
        m_aListing.clear();
        m_lListCount = 0;
        // An unreadable archive lists nothing, as an empty one does; say why.
        if (unzip->LastResult() > PK_WARN) {
            std::string why = reasonOf(*unzip);
            pw::platform().messageBox("Unable to read " + zip_path_name_file + (why.empty() ? "" : ": " + why));
        }
        return false;
    }

    // Built aside, so a failure while reading the entries leaves the table
    // as it was.
    std::vector<ctlListing> table(static_cast<std::size_t>(n));
    for (std::int32_t i = 1; i <= n; ++i) {
        ctlListing& r = table[static_cast<std::size_t>(i - 1)];
        r.FileName = unzip->FileName(i);
        r.FileSize = unzip->FileSize(i);
        r.FileDate = toTheMinute(unzip->FileDate(i));
        r.FilePackedSize = unzip->FilePackedSize(i);
        r.FileDirectory = unzip->FileDirectory(i);
        r.FileCompressionRatio = unzip->FileCompressionRatio(i);
    }
    m_aListing = std::move(table);
    m_lListCount = n;
    return true;
}

bool ctlPackwell::UnzipDirectly(const std::string& Path_Filename_To_Unzip, const std::string& where_Path,
                                bool Overwrite) {
    if (!isFile(Path_Filename_To_Unzip)) {
        pw::platform().messageBox("Unable to find " + Path_Filename_To_Unzip);
        return false;
    }
    if (!existsAtAll(where_Path)) {
        pw::platform().messageBox("Unable to find folder: " + where_Path);
        return false;
    }
    m_cUnzip = std::make_shared<cUnzip>();
    m_cUnzip->OverWritePrompt = [this](const std::string& sFIle, std::int32_t& eResponse) {
        m_cUnzip_OverWritePrompt(sFIle, eResponse);
    };
    // Encrypted entries are asked for through the password prompt; without
    // an answer the engine could only skip them.
    m_cUnzip->PasswordRequest = [](std::string& sPassword, bool& bCancel) {
        pw::PasswordAnswer answer = pw::platform().passwordPrompt(0);
        sPassword = answer.password;
        bCancel = answer.cancelled;
    };
    m_cUnzip->ZipFile(Path_Filename_To_Unzip);
    m_cUnzip->UnzipFolder(where_Path);
    m_cUnzip->PromptToOverwrite(Overwrite);
    if (m_cUnzip->Unzip()) return true;

    std::string why = reasonOf(*m_cUnzip);
    pw::platform().messageBox("Unable to extract " + Path_Filename_To_Unzip + (why.empty() ? "" : ": " + why));
    return false;
}

void ctlPackwell::m_cUnzip_OverWritePrompt(const std::string& sFIle, std::int32_t& eResponse) {
    pw::OverwriteAnswer answer = pw::platform().overwritePrompt(OverwriteQuestion(sFIle), 0);
    eResponse = OverwriteResponse(answer.response, answer.applyToAll);
}
