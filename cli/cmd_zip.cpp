// packwell zip, zip-folder, add, zip-files, add-files, delete: the control's
// zip operations. With --password-file or --zipcrypto the control encrypts
// (ctlPackwell::zipEncryption), with the password read up front from the file
// or the terminal; the update, folder-entry, hidden-file and line-end options
// go to ctlPackwell::zipOptions. The exit status is the operation's result.
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>

#include "cli/Commands.h"
#include "errors/Error.h"
#include "platform/FailureTrap.h"
#include "platform/Text.h"
#include "zip/cZip.h"

namespace pw::cli {

namespace {

namespace fs = std::filesystem;

struct ZipArgs {
    std::string archive, file, folder, pattern;
    bool keepFolder = false;
    std::string passwordFile;
    bool zipCrypto = false;
    std::vector<std::string> selection;  // chooser answers given on the command line
    ctlPackwell::ZipOptions options;
    bool encrypted() const { return zipCrypto || !passwordFile.empty(); }
};

// The first line of `path`, or of the terminal (without echo) for "-".
std::string readPassword(ConsolePlatform& console, const std::string& path) {
    if (path == "-") {
        auto line = console.askLine("Password: ", true);
        return line.value_or("");
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) throw fileError(errno, path);
    std::string line;
    std::getline(in, line);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

enum class Op { One, Folder, Add, Files, AddFiles };

// A relative path on the command line means the shell's folder, also after
// zip-folder has made its folder the current one.
std::string absolute(const std::string& p) {
    if (p.empty()) return p;
    std::error_code ec;
    fs::path abs = fs::absolute(p, ec);
    return ec ? p : abs.lexically_normal().string();
}

void run(Op op, ZipArgs a, Context& ctx) {
    a.archive = absolute(a.archive);
    a.file = absolute(a.file);
    a.folder = absolute(a.folder);
    // The engine's lines on a terminal: one status line, ended before
    // anything else is written.
    ctx.console.showStatusLines = true;
    if (!a.selection.empty()) {
        std::vector<std::string> paths;
        for (const auto& p : a.selection) paths.push_back(absolute(p));
        ctx.console.presetFiles.push_back(paths);
    }
    ctlPackwell& c = ctx.control();
    c.zipOptions(a.options);
    if (a.encrypted()) {
        c.zipEncryption(a.zipCrypto ? ctlPackwell::ZipEncryption::Traditional : ctlPackwell::ZipEncryption::Aes256);
        bool failed = false;
        trapFailures([&] {
            failed = true;
            c.zipPassword(readPassword(ctx.console, a.passwordFile.empty() ? "-" : a.passwordFile));
            failed = false;
        });
        if (failed) return ctx.result(false);
    }
    bool ok = false;
    switch (op) {
    case Op::One: ok = c.zipONEfile(a.file, a.archive, a.keepFolder); break;
    case Op::Folder: ok = c.zipFolder(a.archive, a.folder, a.pattern, a.keepFolder); break;
    case Op::Add: ok = c.addFileToZip(a.file, a.archive, a.keepFolder); break;
    case Op::Files: ok = c.zipFiles_with_dialog(a.archive, 0, a.keepFolder); break;
    case Op::AddFiles: ok = c.addFilesToZip_with_dialog(a.archive, 0, a.keepFolder); break;
    }
    ctx.console.endProgressLine();
    if (!ok && c.zipObject()) reportFailures(c.zipObject()->Outcomes());
    ctx.result(ok);
}

void commonOptions(CLI::App* cmd, ZipArgs& a, bool dialog) {
    cmd->add_flag("--keep-folder", a.keepFolder, "Store the files' folder names with them");
    cmd->add_option("--password-file", a.passwordFile,
                    "Encrypt (AES-256) with the password on the first line of FILE; \"-\" asks on the terminal")
        ->type_name("FILE");
    cmd->add_flag("--zipcrypto", a.zipCrypto,
                  "Encrypt with traditional zip encryption instead of AES-256, for old readers only "
                  "(it is weak); the password comes from --password-file or the terminal");
    ctlPackwell::ZipOptions& o = a.options;
    cmd->add_flag("--update", o.UpdateOnlyIfNewer,
                  "Keep an entry of the archive that is not older than its file; new files are still added");
    cmd->add_flag("--freshen", o.FreshenFiles,
                  "Replace only entries whose files are newer, and add no new entries (the archive must exist)");
    cmd->add_flag("--dir-entries", o.StoreDirectories,
                  "Store an entry for each folder too (with --keep-folder)");
    cmd->add_flag("--hidden", o.IncludeSystemAndHiddenFiles,
                  "Take files and folders whose names start with \".\" too");
    auto* toLf = cmd->add_flag("--crlf-to-lf", o.ConvertCRLFToLF, "Store text files with their CR-LF line ends as LF");
    cmd->add_flag("--lf-to-crlf", o.ConvertLFToCRLF, "Store text files with their LF line ends as CR-LF")
        ->excludes(toLf);
    if (dialog)
        cmd->add_option("--select", a.selection,
                        "Answer the file chooser with these paths (one folder) instead of asking")
            ->type_name("PATH");
}

}  // namespace

void addZipCommands(CLI::App& app, Context& ctx) {
    auto args = std::make_shared<ZipArgs>();

    auto* zip = app.add_subcommand("zip", "Create (or update) ARCHIVE with FILE (zipONEfile)");
    zip->add_option("ARCHIVE", args->archive, "The zip archive")->required();
    zip->add_option("FILE", args->file, "The file to zip")->required();
    commonOptions(zip, *args, false);
    zip->footer("Example: packwell zip /tmp/notes.zip ~/notes.txt --keep-folder");
    zip->callback([&ctx, args] { run(Op::One, *args, ctx); });

    auto* folder = app.add_subcommand("zip-folder",
                                      "Zip every file of FOLDER and its subfolders matching PATTERN (zipFolder)");
    folder->add_option("ARCHIVE", args->archive, "The zip archive")->required();
    folder->add_option("FOLDER", args->folder, "The folder to zip")->required();
    folder->add_option("PATTERN", args->pattern, "Names to take, wildcards allowed (\"*.*\": everything)")->required();
    commonOptions(folder, *args, false);
    folder->footer("Example: packwell zip-folder /tmp/src.zip ~/project '*.*' --keep-folder");
    folder->callback([&ctx, args] { run(Op::Folder, *args, ctx); });

    auto* add = app.add_subcommand("add", "Add FILE to the existing ARCHIVE (addFileToZip)");
    add->add_option("ARCHIVE", args->archive, "The existing zip archive")->required();
    add->add_option("FILE", args->file, "The file to add")->required();
    commonOptions(add, *args, false);
    add->footer("Example: packwell add /tmp/notes.zip ~/todo.txt");
    add->callback([&ctx, args] { run(Op::Add, *args, ctx); });

    auto* files = app.add_subcommand("zip-files", "Zip files picked in the file chooser (zipFiles_with_dialog)");
    files->add_option("ARCHIVE", args->archive, "The zip archive")->required();
    commonOptions(files, *args, true);
    files->footer("Example: packwell zip-files /tmp/picked.zip --select ~/a.txt --select ~/b.txt");
    files->callback([&ctx, args] { run(Op::Files, *args, ctx); });

    auto* addFiles = app.add_subcommand("add-files",
                                        "Add files picked in the file chooser to the existing ARCHIVE "
                                        "(addFilesToZip_with_dialog)");
    addFiles->add_option("ARCHIVE", args->archive, "The existing zip archive")->required();
    commonOptions(addFiles, *args, true);
    addFiles->footer("Example: packwell add-files /tmp/picked.zip --select ~/c.txt");
    addFiles->callback([&ctx, args] { run(Op::AddFiles, *args, ctx); });

    auto del = std::make_shared<std::pair<std::string, std::vector<std::string>>>();
    auto* remove = app.add_subcommand("delete", "Delete entries from the existing ARCHIVE (cZip Delete)");
    remove->add_option("ARCHIVE", del->first, "The existing zip archive")->required();
    remove->add_option("ENTRY", del->second,
                       "The entries to delete, named as stored (folder/name); \"*\" and \"?\" match any "
                       "characters and any one character")
        ->required();
    remove->footer("Example: packwell delete backup.zip docs/old.txt 'tmp/*'\n"
                   "Exit status 1 when an ENTRY names no entry (one line on stderr names it) or the archive "
                   "was not written.");
    remove->callback([&ctx, del] {
        ctx.console.showStatusLines = true;
        ctlPackwell& c = ctx.control();
        const bool ok = c.zipDelete(absolute(del->first), del->second);
        ctx.console.endProgressLine();
        if (!ok && c.zipObject()) reportFailures(c.zipObject()->Outcomes());
        ctx.result(ok);
    });
}

}  // namespace pw::cli
