// packwell list / packwell unzip: the control's listing and direct
// extraction (with its folder names, entry selection and password additions).
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "errors/Outcome.h"
#include "platform/FailureTrap.h"
#include "platform/OleDate.h"
#include "platform/Text.h"
#include "platform/Utf8.h"
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

void appendNumber(std::string& out, std::uint64_t v) {
    char buf[24];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
    (void)ec;
    out.append(buf, end);
}

// The length of the well-formed UTF-8 character at s[i], 0 when there is none
// (the decoder gives a byte that starts none as U+DC00 + byte).
std::size_t utf8Length(const std::string& s, std::size_t i) {
    std::size_t next = i;
    const char32_t cp = utf8::decode(s, next);
    const std::size_t len = next - i;
    // The decoder takes overlong forms and code points past U+10FFFF as they
    // come; neither is well-formed, so both are escaped byte by byte.
    static constexpr char32_t kMin[5] = {0, 0, 0x80, 0x800, 0x10000};
    if ((cp >= 0xDC80 && cp <= 0xDCFF) || cp < kMin[len] || cp > 0x10FFFF) return 0;
    return len;
}

// A name field on one line whatever it holds: the backslash and control
// characters (C0, DEL and C1) become escapes, \n \t \\ or \xHH per byte,
// and so does every byte that is not part of well-formed UTF-8.
void appendEscaped(std::string& out, const std::string& text) {
    static const char kHex[] = "0123456789abcdef";
    auto hex = [&](unsigned char c) {
        const char esc[4] = {'\\', 'x', kHex[c >> 4], kHex[c & 15]};
        out.append(esc, 4);
    };
    for (std::size_t i = 0; i < text.size();) {
        // Printable ASCII other than the backslash goes as it is, a run at a time.
        std::size_t run = i;
        while (run < text.size()) {
            const unsigned char b = static_cast<unsigned char>(text[run]);
            if (b < 0x20 || b >= 0x7F || b == '\\') break;
            ++run;
        }
        if (run > i) {
            out.append(text, i, run - i);
            i = run;
            if (i == text.size()) break;
        }
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const std::size_t len = utf8Length(text, i);
        if (c == '\\') out += "\\\\";
        else if (c == '\n') out += "\\n";
        else if (c == '\t') out += "\\t";
        else if (len == 0 || c < 0x20 || c == 0x7F) hex(c);
        else if (len == 2 && c == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0) {
            hex(c);  // C1 controls, U+0080 to U+009F
            hex(static_cast<unsigned char>(text[i + 1]));
            i += 2;
            continue;
        } else {
            out.append(text, i, len);
            i += len;
            continue;
        }
        ++i;
    }
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
    if (p.year >= 0 && p.year <= 9999 && p.month >= 0 && p.month <= 99 && p.day >= 0 && p.day <= 99 &&
        p.hour >= 0 && p.hour <= 99 && p.minute >= 0 && p.minute <= 99) {
        // The usual case in one piece, without a call per field.
        auto two = [](char* at, int v) {
            at[0] = static_cast<char>('0' + v / 10);
            at[1] = static_cast<char>('0' + v % 10);
        };
        char text[16];
        two(text, p.year / 100);
        two(text + 2, p.year % 100);
        text[4] = '-';
        two(text + 5, p.month);
        text[7] = '-';
        two(text + 8, p.day);
        text[10] = ' ';
        two(text + 11, p.hour);
        text[13] = ':';
        two(text + 14, p.minute);
        out.append(text, sizeof text);
        return;
    }
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

// The share of the size that compression saved, in percent rounded to the
// nearest, as unzip -v shows it (negative when the entry grew).
long long savedPercent(std::uint64_t size, std::uint64_t packed) {
    if (size == 0) return 0;
    const long double saved = 100.0L - 100.0L * static_cast<long double>(packed) / static_cast<long double>(size);
    return std::llround(saved);
}

void appendAligned(std::string& out, const std::string& text, std::size_t width, bool right) {
    const std::size_t n = charCount(text);
    if (right && n < width) out.append(width - n, ' ');
    out += text;
    if (!right && n < width) out.append(width - n, ' ');
}

// `packwell list --verbose`: unzip -v's table with the true sizes, an
// encryption column, and the totals line.
void printVerbose(const ctlPackwell& c) {
    struct Row {
        std::string size, packed, saved, method, date, crc, encrypted, path;
    };
    const std::int32_t count = c.ListCount();
    std::vector<Row> rows;
    rows.reserve(static_cast<std::size_t>(count));
    std::uint64_t totalSize = 0, totalPacked = 0;
    auto number = [](std::uint64_t v) {
        std::string t;
        appendNumber(t, v);
        return t;
    };
    auto percent = [](long long v) { return std::to_string(v) + "%"; };
    for (std::int32_t i = 1; i <= count; ++i) {
        const ctlListing r = c.getListFiles(i);
        const std::uint64_t size = c.getListFileSize64(i), packed = c.getListFilePackedSize64(i);
        totalSize += size;
        totalPacked += packed;
        Row row{number(size), number(packed), percent(savedPercent(size, packed)), c.getListFileMethod(i), {}, {},
                c.getListFileEncrypted(i) ? "yes" : "no", {}};
        appendMinuteText(row.date, r.FileDate);
        char crc[9];
        std::snprintf(crc, sizeof crc, "%08x", static_cast<unsigned>(c.getListFileCRC(i)));
        row.crc = crc;
        appendEscaped(row.path, cUnzip::EntryPath(r.FileDirectory, r.FileName));
        rows.push_back(std::move(row));
    }
    const std::string sizeTotal = number(totalSize), packedTotal = number(totalPacked),
                      savedTotal = percent(savedPercent(totalSize, totalPacked)),
                      files = std::to_string(count) + (count == 1 ? " file" : " files");
    std::size_t wSize = std::max<std::size_t>(8, sizeTotal.size()), wPacked = std::max<std::size_t>(8, packedTotal.size()),
                wSaved = std::max<std::size_t>(4, savedTotal.size()), wMethod = 6;
    for (const Row& r : rows) {
        wSaved = std::max(wSaved, r.saved.size());
        wMethod = std::max(wMethod, charCount(r.method));
    }
    // Date and time (16), CRC (8) and the mark (3) have fixed widths.
    auto line = [&](const std::string& size, const std::string& method, const std::string& packed,
                    const std::string& saved, const std::string& date, const std::string& crc,
                    const std::string& enc, const std::string& path) {
        std::string out;
        appendAligned(out, size, wSize, true);
        out += "  ";
        appendAligned(out, method, wMethod, false);
        out += "  ";
        appendAligned(out, packed, wPacked, true);
        out += ' ';
        appendAligned(out, saved, wSaved, true);
        out += "  ";
        appendAligned(out, date, 16, false);
        out += "  ";
        appendAligned(out, crc, 8, false);
        out += "  ";
        appendAligned(out, enc, 3, false);
        out += "  ";
        out += path;
        while (!out.empty() && out.back() == ' ') out.pop_back();
        out += '\n';
        return out;
    };
    auto dashes = [](std::size_t n) { return std::string(n, '-'); };
    std::string block = line("Length", "Method", "Size", "Cmpr", "Date       Time", "CRC-32", "Enc", "Name");
    block += line(dashes(wSize), dashes(wMethod), dashes(wPacked), dashes(wSaved), dashes(16), dashes(8), dashes(3),
                  dashes(4));
    for (const Row& r : rows) {
        block += line(r.size, r.method, r.packed, r.saved, r.date, r.crc, r.encrypted, r.path);
        if (block.size() >= (1 << 16)) {
            std::cout.write(block.data(), static_cast<std::streamsize>(block.size()));
            block.clear();
        }
    }
    block += line(dashes(wSize), "", dashes(wPacked), dashes(wSaved), "", "", "", dashes(files.size()));
    block += line(sizeTotal, "", packedTotal, savedTotal, "", "", "", files);
    std::cout.write(block.data(), static_cast<std::streamsize>(block.size()));
    std::cout.flush();
}

struct UnzipOptions {
    std::string archive, folder, answer, passwordFile;
    std::vector<std::string> entries;
    bool prompt = false, folderNames = false;
    ctlPackwell::UnzipOptions members;  // the cUnzip options the control applies
};

// The overwrite answer of the command line, for when there is no terminal,
// and the password of the password file. False when that file is unreadable.
bool prepareAnswers(Context& ctx, const UnzipOptions& o, std::string& password) {
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
        std::getline(in, password);
        if (!password.empty() && password.back() == '\r') password.pop_back();
    }
    return true;
}

// Gets the options' answers ready, runs one member of the control, then
// prints its entries' outcomes; the member's result is the exit status.
template <class Member, class Outcomes>
void runWithAnswers(Context& ctx, const UnzipOptions& o, Member member, Outcomes outcomes) {
    std::string password;
    if (!prepareAnswers(ctx, o, password)) {
        ctx.exitCode = kFailed;
        return;
    }
    bool ok = false;
    trapFailures([&] { ok = member(ctx.control(), password); });
    reportFailures(outcomes(ctx.control()));
    ctx.result(ok);
}

void runUnzip(Context& ctx, const UnzipOptions& o) {
    runWithAnswers(
        ctx, o,
        [&](ctlPackwell& c, const std::string& password) {
            c.UnzipPassword(password);
            c.UnzipFolderNames(o.folderNames);
            c.UnzipEntries(o.entries);
            c.unzipOptions(o.members);
            return c.UnzipDirectly(o.archive, o.folder, o.prompt);
        },
        [](ctlPackwell& c) -> const pw::OutcomeList& { return c.UnzipOutcomes(); });
}

void runTest(Context& ctx, const UnzipOptions& o) {
    runWithAnswers(
        ctx, o,
        [&](ctlPackwell& c, const std::string& password) {
            c.UnzipPassword(password);
            return c.TestZipFile(o.archive);
        },
        [](ctlPackwell& c) -> const pw::OutcomeList& { return c.TestOutcomes(); });
}

}  // namespace

// Outside the namespace above: the zip commands report with it too.
void reportFailures(const OutcomeList& outcomes) {
    for (const auto& e : outcomes.entries()) {
        if (isSuccess(e.kind)) continue;
        std::cerr << "packwell: " << e.name << ": " << outcomeText(e.kind);
        if (!e.reason.empty() && e.reason != outcomeText(e.kind)) std::cerr << ": " << e.reason;
        std::cerr << "\n";
    }
    std::cerr << std::flush;
}

void addUnzipCommands(CLI::App& app, Context& ctx) {
    auto archive = std::make_shared<std::string>();
    CLI::App* list = app.add_subcommand("list", "List an archive's files: one line each, TAB-separated: name, size, "
                                                "packed size, folder, date (YYYY-MM-DD HH:MM), ratio in percent. In names, "
                                                "the backslash and control characters are escaped (\\\\, \\n, \\t, \\xHH).");
    auto verbose = std::make_shared<bool>(false);
    list->add_option("ARCHIVE", *archive, "The zip archive")->required();
    list->add_flag("--verbose,-v", *verbose,
                   "One aligned row per entry instead, as unzip -v shows them: size, method, packed size, the share "
                   "saved, date and time, CRC-32, whether it is encrypted, and the path; then the totals");
    list->footer("Example: packwell list backup.zip\nExit status 1 when the archive is missing, empty or unreadable.");
    list->callback([&ctx, archive, verbose] {
        bool ok = false;
        trapFailures([&] {
            ctlPackwell& c = ctx.control();
            ok = c.ListFilesFromZip(*archive);
            if (!ok) return;
            if (*verbose) return printVerbose(c);
            // Lines are gathered into blocks and written with one call each:
            // stream insertion per field cost a third of a 100,000-entry listing.
            std::string block;
            block.reserve(1 << 16);
            const std::int32_t count = c.ListCount();
            for (std::int32_t i = 1; i <= count; ++i) {
                const ctlListing r = c.getListFiles(i);
                appendEscaped(block, r.FileName);
                block += '\t';
                appendNumber(block, c.getListFileSize64(i));
                block += '\t';
                appendNumber(block, c.getListFilePackedSize64(i));
                block += '\t';
                appendEscaped(block, r.FileDirectory);
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
    unzip->add_option("ENTRY", o->entries,
                      "Extract only these entries, named as `packwell list` shows them: folder/name, or the "
                      "name alone for a file at the top");
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
        "Exit status 1 when an entry asked for did not come out (refused as unsafe, no or wrong password, damaged, "
        "not found, not written); one line on stderr names each with its reason. Files kept by an answer of no or "
        "none, or because overwriting was not asked for, do not count as failures.");
    unzip->add_flag("--only-newer", o->members.ExtractOnlyNewer,
                    "Keep an existing file that is not older than its entry, without asking; an older one is "
                    "still kept unless --prompt lets you overwrite it");
    unzip->add_flag("--spaces-to-underscores", o->members.SpaceToUnderScore,
                    "Write blanks in the entries' names as underscores");
    unzip->add_flag("--case-sensitive", o->members.CaseSensitiveFileNames,
                    "An ENTRY names only the entry of exactly that letter case (default: an ENTRY that names "
                    "none exactly names one that differs from it only in case)");
    unzip->add_flag("--convert-crlf", o->members.ConvertCRToCRLF,
                    "Write text entries with their CR-LF and lone CR line ends as LF");
    unzip->callback([&ctx, o] { runUnzip(ctx, *o); });

    auto t = std::make_shared<UnzipOptions>();
    CLI::App* test = app.add_subcommand("test", "Check every entry of an archive (its data and CRC) without "
                                                "writing anything (cUnzip TestZip)");
    test->add_option("ARCHIVE", t->archive, "The zip archive")->required();
    test->add_option("--password-file", t->passwordFile,
                     "Read the password for encrypted entries from the first line of this file");
    test->footer("Example: packwell test backup.zip\n"
                 "Exit status 0 when every entry checks out, 1 otherwise; one line on stderr names each bad entry "
                 "with its reason.");
    test->callback([&ctx, t] { runTest(ctx, *t); });
}

}  // namespace pw::cli
