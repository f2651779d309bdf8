// Zip operations of ctlPackwell: each checks its paths, fills a new cZip and
// asks it to zip. Every operation traps its failures (one message box), and
// is True only when the zip object's run did all it was asked.
#include <filesystem>

#include "control/ctlPackwell.h"
#include "dialogs/CFileDialog.h"
#include "errors/Error.h"
#include "platform/FailureTrap.h"
#include "platform/FileCheck.h"
#include "platform/LibraryLoader.h"
#include "platform/Platform.h"
#include "zip/cZip.h"

namespace {

namespace fs = std::filesystem;

void unableToFind(const std::string& path) { pw::platform().messageBox("Unable to find " + path); }

// The files-to-zip chooser: the selected full paths, none when cancelled.
std::vector<std::string> chooseFilesToZip(std::int32_t hwnd) {
    auto dialog = std::make_unique<CFileDialog>();
    dialog->DialogMode(1);
    // The root of the folder that holds the library (its "drive").
    dialog->Path(fs::path(pw::thisBinaryFolder()).root_path().string());
    dialog->Flags(528900);
    dialog->hwndOwner(hwnd);
    dialog->Mask("All (*.*)| *.*");
    dialog->Title("Choose files to zip");
    CFileDialog::FileNameValue value = dialog->FileName();
    if (auto* list = std::get_if<std::vector<std::string>>(&value)) return *list;
    const std::string& one = std::get<std::string>(value);
    if (one.empty()) return {};
    return {one};
}

// Zip reports nothing itself; an archive the engine did not write, or wrote
// without some of the files asked for, must not read as done: the run's
// failure becomes the operation's.
void requireSucceeded(const cZip& z) {
    if (!z.Succeeded()) throw z.RunError();
}

// The common end of the operations: the archive, the files in the order
// given, the keep-folder choice, then zip.
void configureAndZip(cZip& z, const std::string& zipPath_and_Filename, const std::vector<std::string>& files,
                     bool keepFolder) {
    z.ZipFile(zipPath_and_Filename);
    z.RecurseSubDirs(false);
    z.ClearFileSpecs();
    for (const auto& f : files) z.AddFileSpec(f);
    z.StoreFolderNames(keepFolder);
    z.Zip();
    requireSucceeded(z);
}

}  // namespace

void ctlPackwell::m_cZ_Progress(std::int32_t, const std::string& sMsg) {
    // Nothing to decide here; a host that shows progress sees the line.
    pw::reportProgress(sMsg, 0, 0);
}

void ctlPackwell::m_cZ_PasswordRequest(std::string& sPassword, bool& bCancel) {
    if (m_zipPassword) {
        sPassword = *m_zipPassword;
        return;
    }
    pw::PasswordAnswer answer = pw::platform().passwordPrompt(0);
    sPassword = answer.password;
    bCancel = answer.cancelled;
}

// A new zip object in m_cZ, with its events connected and the host's
// options and encryption choice.
void ctlPackwell::newZipObject() {
    m_cZ = std::make_shared<cZip>();
    m_cZ->Progress = [this](std::int32_t n, const std::string& m) { m_cZ_Progress(n, m); };
    applyZipOptions(*m_cZ);
    if (m_zipEncryption == ZipEncryption::None) return;
    m_cZ->Encrypt(true);
    m_cZ->TraditionalEncryption(m_zipEncryption == ZipEncryption::Traditional);
    m_cZ->PasswordRequest = [this](std::string& p, bool& cancel) { m_cZ_PasswordRequest(p, cancel); };
}

bool ctlPackwell::zipONEfile(const std::string& Path_and_Filename_to_zip, const std::string& zipPath_and_Filename,
                             bool keepFolder) {
    bool result = false;
    pw::trapFailures([&] {
        if (!pw::isRegularFile(Path_and_Filename_to_zip)) {
            unableToFind(Path_and_Filename_to_zip);
            return;
        }
        newZipObject();
        configureAndZip(*m_cZ, zipPath_and_Filename, {Path_and_Filename_to_zip}, keepFolder);
        result = true;
    });
    return result;
}

bool ctlPackwell::zipFolder(const std::string& zipPath_and_Filename, const std::string& folder,
                            const std::string& filesPattern, bool keepFolderPattern) {
    bool result = false;
    pw::trapFailures([&] {
        newZipObject();
        if (!pw::isFileOrFolder(folder)) {
            unableToFind(folder);
            return;
        }
        cZip& z = *m_cZ;
        z.ZipFile(zipPath_and_Filename);
        z.BasePath(folder);
        z.ClearFileSpecs();
        z.AddFileSpec(filesPattern);
        z.StoreFolderNames(keepFolderPattern);
        z.RecurseSubDirs(true);
        z.Zip();
        requireSucceeded(z);
        result = true;
    });
    return result;
}

bool ctlPackwell::zipFiles_with_dialog(const std::string& zipPath_and_Filename, std::int32_t hwnd, bool keepFolder) {
    bool result = false;
    pw::trapFailures([&] {
        std::vector<std::string> selection = chooseFilesToZip(hwnd);
        newZipObject();
        if (selection.empty()) return;
        configureAndZip(*m_cZ, zipPath_and_Filename, selection, keepFolder);
        result = true;
    });
    return result;
}

bool ctlPackwell::addFilesToZip_with_dialog(const std::string& zipPath_and_Filename, std::int32_t hwnd,
                                            bool keepFolder) {
    bool result = false;
    pw::trapFailures([&] {
        if (!pw::isRegularFile(zipPath_and_Filename)) {
            unableToFind(zipPath_and_Filename);
            return;
        }
        std::vector<std::string> selection = chooseFilesToZip(hwnd);
        newZipObject();
        if (selection.empty()) return;
        configureAndZip(*m_cZ, zipPath_and_Filename, selection, keepFolder);
        result = true;
    });
    return result;
}

bool ctlPackwell::addFileToZip(const std::string& Path_and_Filename_to_add, const std::string& zipPath_and_Filename,
                               bool keepFolder) {
    bool result = false;
    pw::trapFailures([&] {
        if (!pw::isRegularFile(zipPath_and_Filename)) {
            unableToFind(zipPath_and_Filename);
            return;
        }
        if (!pw::isRegularFile(Path_and_Filename_to_add)) {
            unableToFind(Path_and_Filename_to_add);
            return;
        }
        newZipObject();
        configureAndZip(*m_cZ, zipPath_and_Filename, {Path_and_Filename_to_add}, keepFolder);
        result = true;
    });
    return result;
}

void ctlPackwell::applyZipOptions(cZip& z) const {
    z.UpdateOnlyIfNewer(m_zipOptions.UpdateOnlyIfNewer);
    z.FreshenFiles(m_zipOptions.FreshenFiles);
    z.StoreDirectories(m_zipOptions.StoreDirectories);
    z.IncludeSystemAndHiddenFiles(m_zipOptions.IncludeSystemAndHiddenFiles);
    z.ConvertCRLFToLF(m_zipOptions.ConvertCRLFToLF);
    z.ConvertLFToCRLF(m_zipOptions.ConvertLFToCRLF);
}

bool ctlPackwell::zipDelete(const std::string& zipPath_and_Filename, const std::vector<std::string>& entrySpecs) {
    bool result = false;
    pw::trapFailures([&] {
        if (!pw::isRegularFile(zipPath_and_Filename)) {
            unableToFind(zipPath_and_Filename);
            return;
        }
        newZipObject();
        cZip& z = *m_cZ;
        z.ZipFile(zipPath_and_Filename);
        z.ClearFileSpecs();
        for (const auto& s : entrySpecs) z.AddFileSpec(s);
        z.Delete();
        requireSucceeded(z);
        result = true;
    });
    return result;
}
