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

// Collects the engine's message lines of one run, to name the reason when
// the run fails. The engine indents its per-entry lines; its reasons are not.
class EngineLines {
public:
    void add(const std::string& line) {
        std::string t = pw::trimBlanks(pw::replaceAll(pw::replaceAll(line, "\r", ""), "\n", " "));
        if (t.empty()) return;
        last_ = t;
        if (line[0] != ' ') reason_ = t;
    }
    std::string reason() const { return reason_.empty() ? last_ : reason_; }

private:
    std::string last_, reason_;
};

}  // namespace

bool ctlPackwell::ListFilesFromZip(const std::string& zip_path_name_file) {
    if (!isFile(zip_path_name_file)) {
        pw::platform().messageBox("Unable to locate " + zip_path_name_file);
        return false;
    }
    auto unzip = std::make_shared<cUnzip>();
    EngineLines lines;
    unzip->Progress = [&lines](std::int32_t, const std::string& sMsg) { lines.add(sMsg); };
    unzip->ZipFile(zip_path_name_file);
    unzip->Directory();
    std::int32_t n = unzip->FileCount();

    if (n == 0) {
        m_aListing.clear();
        m_lListCount = 0;
        // An unreadable archive lists nothing, as an empty one does; say why.
        if (unzip->LastResult() > PK_WARN) {
            std::string why = lines.reason();
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
    auto lines = std::make_shared<EngineLines>();
    m_cUnzip->OverWritePrompt = [this](const std::string& sFIle, std::int32_t& eResponse) {
        m_cUnzip_OverWritePrompt(sFIle, eResponse);
    };
    m_cUnzip->Progress = [lines](std::int32_t, const std::string& sMsg) { lines->add(sMsg); };
    m_cUnzip->ZipFile(Path_Filename_To_Unzip);
    m_cUnzip->UnzipFolder(where_Path);
    m_cUnzip->PromptToOverwrite(Overwrite);
    if (m_cUnzip->Unzip()) return true;

    std::string why = lines->reason();
    pw::platform().messageBox("Unable to extract " + Path_Filename_To_Unzip + (why.empty() ? "" : ": " + why));
    return false;
}

void ctlPackwell::m_cUnzip_OverWritePrompt(const std::string& sFIle, std::int32_t& eResponse) {
    pw::OverwriteAnswer answer =
        pw::platform().overwritePrompt("Do you want to overwrite the existing copy of " + sFIle + "?", 0);
    if (answer.response == 6)
        eResponse = answer.applyToAll ? IDM_REPLACE_ALL : IDM_REPLACE_YES;
    else if (answer.response == 7)
        eResponse = answer.applyToAll ? IDM_REPLACE_NONE : IDM_REPLACE_NO;
    else
        eResponse = IDM_REPLACE_NONE;
}
