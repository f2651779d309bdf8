// packwell list / packwell unzip: the control's listing and direct
// extraction, and an extraction that keeps the archive's folders.
#include <sys/stat.h>

#include <charconv>
#include <cstdio>
#include <fstream>
#include <iostream>

#include "cli/Commands.h"
#include "platform/FailureTrap.h"
#include "platform/OleDate.h"
#include "platform/Text.h"
#include "unzip/cUnzip.h"

namespace pw::cli {

namespace {

// Appends N decimal digits of V (zero-padded), or the plain number when it
// needs more: cheaper than snprintf, which dominated listing 100,000 entries.
void appendPadded(std::string& out, int v, int n) {
    char buf[16];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v < 0 ? -v : v);
    (void)ec;
    if (v < 0) out += '-';
    for (int k = static_cast<int>(end - buf); k < n; ++k) out += '0';
    out.append(buf, end);
}

void appendNumber(std::string& out, std::int32_t v) {
    char buf[16];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
    (void)ec;
    out.append(buf, end);
}

// "YYYY-MM-DD HH:MM".
void appendMinuteText(std::string& out, double date) {
    DateParts p = splitOleDate(date);
    appendPadded(out, p.year, 4);
    out += '-';
    appendPadded(out, p.month, 2);
    out += '-';
    appendPadded(out, p.day, 2);
    out += ' ';
    appendPadded(out, p.hour, 2);
    out += ':';
    appendPadded(out, p.minute, 2);
}

bool isFile(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool existsAtAll(const std::string& path) {
    struct stat st {};
    return !path.empty() && stat(path.c_str(), &st) == 0;
}

// A file kept because the user (or the options) chose to keep it is not a
// refusal; every other note of the engine means an entry did not come out.
bool isRefusal(const std::string& note) {
    return note.find("(file exists, kept)") == std::string::npos &&
           note.find("existing file is not older") == std::string::npos;
}

// Shows the engine's notes of the run; true when one of them tells of an
// entry that was refused or failed.
bool reportNotes(const cUnzip& u) {
    bool refused = false;
    for (const auto& n : u.Notes()) {
        std::cerr << "packwell: " << trimBlanks(n) << "\n";
        refused = refused || isRefusal(n);
    }
    return refused;
}

struct UnzipOptions {
    std::string archive, folder, answer, passwordFile;
    bool prompt = false, folderNames = false;
};

// The answers of the terminal, or of the command line when there is none.
bool prepareAnswers(Context& ctx, const UnzipOptions& o) {
    if (!o.answer.empty()) {
        OverwriteAnswer a;
        if (o.answer == "yes") a = {6, false};
        else if (o.answer == "no") a = {7, false};
        else if (o.answer == "all") a = {6, true};
        else a = {7, true};
        ctx.console.presetOverwrite = a;
    }
    if (!o.passwordFile.empty()) {
        std::ifstream in(o.passwordFile, std::ios::binary);
        if (!in) {
            ctx.console.messageBox("Unable to read the password file " + o.passwordFile, MessageStyle::Plain,
                                   kLibraryTitle);
            return false;
        }
        std::string line;
        std::getline(in, line);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        ctx.console.presetPassword = line;
    }
    return true;
}

void runUnzip(Context& ctx, const UnzipOptions& o) {
    if (!prepareAnswers(ctx, o)) {
        ctx.exitCode = kFailed;
        return;
    }
    bool ok = false;
    std::shared_ptr<cUnzip> u;
    trapFailures([&] {
        if (!o.folderNames) {
            ok = ctx.control().UnzipDirectly(o.archive, o.folder, o.prompt);
            u = ctx.control().unzipObject();
            return;
        }
        // The control has no member that keeps the archive's folders; the
        // unzip object does, with the control's checks and questions.
        if (!isFile(o.archive)) {
            platform().messageBox("Unable to find " + o.archive);
            return;
        }
        if (!existsAtAll(o.folder)) {
            platform().messageBox("Unable to find folder: " + o.folder);
            return;
        }
        u = std::make_shared<cUnzip>();
        u->OverWritePrompt = [](const std::string& sFIle, std::int32_t& eResponse) {
            OverwriteAnswer a = platform().overwritePrompt(OverwriteQuestion(sFIle), 0);
            eResponse = OverwriteResponse(a.response, a.applyToAll);
        };
        u->PasswordRequest = [](std::string& sPassword, bool& bCancel) {
            PasswordAnswer a = platform().passwordPrompt(0);
            sPassword = a.password;
            bCancel = a.cancelled;
        };
        u->ZipFile(o.archive);
        u->UnzipFolder(o.folder);
        u->UseFolderNames(true);
        u->PromptToOverwrite(o.prompt);
        ok = u->Unzip();
        if (!ok) {
            std::string why = u->Notes().empty() ? std::string() : trimBlanks(u->Notes().back());
            platform().messageBox("Unable to extract " + o.archive + (why.empty() ? "" : ": " + why));
        }
    });
    bool refused = u && ok && reportNotes(*u);
    ctx.result(ok && !refused);
}

}  // namespace

void addUnzipCommands(CLI::App& app, Context& ctx) {
    auto archive = std::make_shared<std::string>();
    CLI::App* list = app.add_subcommand("list", "List an archive's files: one line each, TAB-separated: name, size, "
                                                "packed size, folder, date (YYYY-MM-DD HH:MM), ratio in percent.");
    list->add_option("ARCHIVE", *archive, "The zip archive")->required();
    list->footer("Example: packwell list backup.zip\nExit status 1 when the archive is missing, empty or unreadable.");
    list->callback([&ctx, archive] {
        bool ok = false;
        trapFailures([&] {
            ctlPackwell& c = ctx.control();
            ok = c.ListFilesFromZip(*archive);
            if (!ok) return;
            // Lines are gathered into blocks and written with one call each:
            // stream insertion per field cost a third of a 100,000-entry listing.
            std::string block;
            block.reserve(1 << 16);
            const std::int32_t count = c.ListCount();
            for (std::int32_t i = 1; i <= count; ++i) {
                const ctlListing r = c.getListFiles(i);
                block += r.FileName;
                block += '\t';
                appendNumber(block, r.FileSize);
                block += '\t';
                appendNumber(block, r.FilePackedSize);
                block += '\t';
                block += r.FileDirectory;
                block += '\t';
                appendMinuteText(block, r.FileDate);
                block += '\t';
                appendNumber(block, r.FileCompressionRatio);
                block += '\n';
                if (block.size() >= (1 << 16) - 1024 || i == count) {
                    std::cout.write(block.data(), static_cast<std::streamsize>(block.size()));
                    block.clear();
                }
            }
            std::cout.flush();
        });
        ctx.result(ok);
    });

    auto o = std::make_shared<UnzipOptions>();
    CLI::App* unzip = app.add_subcommand(
        "unzip", "Extract a whole archive into an existing folder. Files land directly in FOLDER unless "
                 "--folder-names is given; existing files are kept unless --prompt lets you overwrite them.");
    unzip->add_option("ARCHIVE", o->archive, "The zip archive")->required();
    unzip->add_option("FOLDER", o->folder, "The folder to extract into (it must exist)")->required();
    unzip->add_flag("--prompt,--overwrite", o->prompt,
                    "Ask before overwriting an existing file (on the terminal, or as --answer says)");
    unzip->add_flag("--folder-names", o->folderNames, "Recreate the archive's folders below FOLDER");
    unzip->add_option("--answer", o->answer,
                      "The answer to every overwrite question when there is no terminal (default: none)")
        ->check(CLI::IsMember({"yes", "no", "all", "none"}));
    unzip->add_option("--password-file", o->passwordFile,
                      "Read the password for encrypted entries from the first line of this file");
    unzip->footer(
        "Example: packwell unzip backup.zip restored --folder-names --prompt --answer all\n"
        "Exit status 1 when the extraction failed or an entry was refused (unsafe name, no password).");
    unzip->callback([&ctx, o] { runUnzip(ctx, *o); });
}

}  // namespace pw::cli
