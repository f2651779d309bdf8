#include "cli/Reference.h"

#include <iostream>
#include <sstream>
#include <vector>

namespace pw::cli {

namespace {

constexpr const char* kProgram = "packwell";

struct Command {
    std::string path;  // "" for the program itself, "zip", "reg list", ...
    const CLI::App* app;
    std::string fullName() const { return path.empty() ? kProgram : std::string(kProgram) + " " + path; }
};

std::vector<const CLI::App*> visibleSubcommands(const CLI::App& app) {
    return app.get_subcommands([](const CLI::App* s) {
        return !s->get_name().empty() && !s->get_group().empty() && !s->get_disabled();
    });
}

void collect(const CLI::App& app, const std::string& path, std::vector<Command>& out) {
    out.push_back({path, &app});
    for (const CLI::App* sub : visibleSubcommands(app))
        collect(*sub, path.empty() ? sub->get_name() : path + " " + sub->get_name(), out);
}

// Every command in the order --help lists them, parents before children.
std::vector<Command> commands(const CLI::App& app) {
    std::vector<Command> out;
    collect(app, "", out);
    return out;
}

std::vector<const CLI::Option*> visibleOptions(const CLI::App& app) {
    return app.get_options([](const CLI::Option* o) { return !o->get_group().empty(); });
}

// The formatter --help uses, so the texts here are the ones it prints.
std::shared_ptr<CLI::Formatter> formatterOf(const CLI::App& app) {
    if (auto f = std::dynamic_pointer_cast<CLI::Formatter>(app.get_formatter())) return f;
    return std::make_shared<CLI::Formatter>();
}

std::string trimmed(std::string s) {
    while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
    return s;
}

std::string usageOf(const Command& c) {
    std::string u = trimmed(formatterOf(*c.app)->make_usage(c.app, c.fullName()));
    const auto colon = u.find(": ");
    return colon == std::string::npos ? u : u.substr(colon + 2);
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

// One line of text as roff: backslashes and hyphens escaped, and a leading
// dot or quote kept from being read as a request.
std::string roff(const std::string& line) {
    std::string out;
    if (!line.empty() && (line[0] == '.' || line[0] == '\'')) out = "\\&";
    for (char ch : line) {
        if (ch == '\\') out += "\\e";
        else if (ch == '-') out += "\\-";
        else out += ch;
    }
    return out;
}

// A text of several lines as one paragraph that keeps its line breaks.
std::string roffParagraph(const std::string& text) {
    std::string out;
    for (const std::string& line : lines(trimmed(text))) {
        if (!out.empty()) out += ".br\n";
        out += roff(line) + "\n";
    }
    return out;
}

void manOptions(std::ostream& out, const CLI::App& app, bool withHelp) {
    const auto f = formatterOf(app);
    for (const CLI::Option* o : visibleOptions(app)) {
        if (!withHelp && o == app.get_help_ptr()) continue;
        const bool positional = !o->nonpositional();
        out << ".TP\n"
            << (positional ? "\\fI" : "\\fB") << roff(f->make_option_name(o, positional)) << "\\fR";
        const std::string opts = f->make_option_opts(o);
        if (!opts.empty()) out << "\\fI" << roff(opts) << "\\fR";
        out << "\n" << roffParagraph(o->get_description());
    }
}

std::string upper(std::string s) {
    for (char& ch : s) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    return s;
}

// How bash completes an argument, judged by its name and value type: an
// archive, the first piece of a set, a folder, any file, one of a fixed set of
// words ("words:a b c"), or nothing to offer.
std::string argumentKind(const std::string& name, const std::string& type) {
    const auto open = type.find('{'), close = type.rfind('}');
    if (open != std::string::npos && close != std::string::npos && close > open) {
        std::string words = type.substr(open + 1, close - open - 1);
        for (char& ch : words)
            if (ch == ',') ch = ' ';
        return "words:" + words;
    }
    const std::string n = upper(name) + " " + upper(type);
    if (n.find("ARCHIVE") != std::string::npos) return "zip";
    if (n.find("PIECE") != std::string::npos) return "piece";
    if (n.find("FOLDER") != std::string::npos || n.find("DIR") != std::string::npos) return "dir";
    if (n.find("FILE") != std::string::npos || n.find("PATH") != std::string::npos) return "file";
    return "none";
}

std::string shellQuoted(const std::string& s) {
    std::string out = "'";
    for (char ch : s) out += ch == '\'' ? std::string("'\\''") : std::string(1, ch);
    return out + "'";
}

}  // namespace

std::string manPage(const CLI::App& app) {
    const auto all = commands(app);
    std::ostringstream out;
    std::string summary = app.get_description();
    if (summary.rfind(std::string(kProgram) + ": ", 0) == 0) summary = summary.substr(std::string(kProgram).size() + 2);
    out << ".TH " << upper(kProgram) << " 1 \"\" \"" << kProgram << " " << PACKWELL_VERSION << "\" \"User Commands\"\n"
        << ".SH NAME\n" << kProgram << " \\- " << roff(trimmed(summary)) << "\n"
        << ".SH SYNOPSIS\n";
    bool first = true;
    for (const Command& c : all) {
        if (!c.path.empty() && !visibleSubcommands(*c.app).empty()) continue;  // a group: its members are listed
        if (!first) out << ".br\n";
        first = false;
        out << roff(usageOf(c)) << "\n";
    }
    out << ".SH DESCRIPTION\n" << roffParagraph(app.get_description()) << ".SH OPTIONS\n";
    manOptions(out, app, true);
    out << ".SH COMMANDS\n";
    for (const Command& c : all) {
        if (c.path.empty()) continue;
        out << ".SS \"" << roff(usageOf(c)) << "\"\n" << roffParagraph(c.app->get_description());
        manOptions(out, *c.app, false);
        if (!c.app->get_footer().empty()) out << ".PP\n" << roffParagraph(c.app->get_footer());
    }
    if (!app.get_footer().empty()) out << ".SH NOTES\n" << roffParagraph(app.get_footer());
    return out.str();
}

std::string markdownReference(const CLI::App& app) {
    std::ostringstream out;
    for (const Command& c : commands(app)) {
        out << "### `" << c.fullName() << "`\n\n```text\n"
            << trimmed(c.app->get_formatter()->make_help(c.app, c.fullName(), CLI::AppFormatMode::Normal))
            << "\n```\n\n";
    }
    std::string text = out.str();
    return text.substr(0, text.size() - 1);
}

std::string bashCompletion(const CLI::App& app) {
    std::ostringstream out;
    out << "# bash completion for " << kProgram << "; made by `" << kProgram
        << " --reference bash` from the program's own commands and options.\n"
        << "# For one command (words before the cursor): its sub-commands, its options,\n"
        << "# the options that take a value with what that value is, and what each\n"
        << "# positional argument is.\n"
        << "_packwell_command() {\n"
        << "  case \"$1\" in\n";
    for (const Command& c : commands(app)) {
        std::string subs, opts, valued, positionals;
        for (const CLI::App* s : visibleSubcommands(*c.app)) subs += (subs.empty() ? "" : " ") + s->get_name();
        for (const CLI::Option* o : visibleOptions(*c.app)) {
            if (!o->nonpositional()) {
                std::string kind = argumentKind(o->get_name(true, false), o->get_type_name());
                if (o->get_items_expected_max() > 1) kind += "...";
                positionals += (positionals.empty() ? "" : "|") + kind;
                continue;
            }
            std::vector<std::string> names;
            for (const auto& s : o->get_snames()) names.push_back("-" + s);
            for (const auto& l : o->get_lnames()) names.push_back("--" + l);
            for (const auto& n : names) {
                opts += (opts.empty() ? "" : " ") + n;
                if (o->get_expected_max() != 0)
                    valued += (valued.empty() ? "" : "|") + n + "=" + argumentKind(n, o->get_type_name());
            }
        }
        out << "    " << shellQuoted(c.path) << ")\n"
            << "      _pw_subs=" << shellQuoted(subs) << " _pw_opts=" << shellQuoted(opts)
            << " _pw_valued=" << shellQuoted(valued) << " _pw_positionals=" << shellQuoted(positionals) << " ;;\n";
    }
    out << "  esac\n"
           "}\n"
           "\n"
           "# The kind of value that option $1 takes, or nothing when it takes none.\n"
           "_packwell_value_kind() {\n"
           "  local entry\n"
           "  local IFS='|'\n"
           "  for entry in $_pw_valued; do\n"
           "    [[ ${entry%%=*} == \"$1\" ]] && { printf '%s' \"${entry#*=}\"; return 0; }\n"
           "  done\n"
           "  return 1\n"
           "}\n"
           "\n"
           "_packwell_complete_kind() {\n"
           "  local cur=$2\n"
           "  case \"$1\" in\n"
           "    zip) compopt -o filenames 2>/dev/null\n"
           "      mapfile -t COMPREPLY < <(compgen -f -X '!*.[zZ][iI][pP]' -- \"$cur\"; compgen -d -- \"$cur\") ;;\n"
           "    piece) compopt -o filenames 2>/dev/null\n"
           "      mapfile -t COMPREPLY < <(compgen -f -X '!*.001' -- \"$cur\"; compgen -d -- \"$cur\") ;;\n"
           "    dir) compopt -o filenames 2>/dev/null\n"
           "      mapfile -t COMPREPLY < <(compgen -d -- \"$cur\") ;;\n"
           "    file) compopt -o filenames 2>/dev/null\n"
           "      mapfile -t COMPREPLY < <(compgen -f -- \"$cur\") ;;\n"
           "    words:*) mapfile -t COMPREPLY < <(compgen -W \"${1#words:}\" -- \"$cur\") ;;\n"
           "    *) COMPREPLY=() ;;\n"
           "  esac\n"
           "}\n"
           "\n"
           "_packwell() {\n"
           "  local cur=${COMP_WORDS[COMP_CWORD]} path='' word kind i count=0 pending=''\n"
           "  local _pw_subs _pw_opts _pw_valued _pw_positionals\n"
           "  _packwell_command ''\n"
           "  for ((i = 1; i < COMP_CWORD; i++)); do\n"
           "    word=${COMP_WORDS[i]}\n"
           "    if [[ -n $pending ]]; then pending=''; continue; fi\n"
           "    if [[ $word == -* ]]; then\n"
           "      [[ $word != *=* ]] && _packwell_value_kind \"$word\" >/dev/null && pending=$word\n"
           "      continue\n"
           "    fi\n"
           "    if [[ -n $_pw_subs && \" $_pw_subs \" == *\" $word \"* ]]; then\n"
           "      path=${path:+$path }$word\n"
           "      _packwell_command \"$path\"\n"
           "      count=0\n"
           "    else\n"
           "      count=$((count + 1))\n"
           "    fi\n"
           "  done\n"
           "  if [[ -n $pending ]]; then\n"
           "    _packwell_complete_kind \"$(_packwell_value_kind \"$pending\")\" \"$cur\"\n"
           "  elif [[ $cur == -* ]]; then\n"
           "    mapfile -t COMPREPLY < <(compgen -W \"$_pw_opts\" -- \"$cur\")\n"
           "  elif [[ -n $_pw_subs ]]; then\n"
           "    mapfile -t COMPREPLY < <(compgen -W \"$_pw_subs\" -- \"$cur\")\n"
           "  else\n"
           "    local IFS='|'\n"
           "    local -a kinds=($_pw_positionals)\n"
           "    unset IFS\n"
           "    kind=''\n"
           "    if ((count < ${#kinds[@]})); then kind=${kinds[count]}\n"
           "    elif ((${#kinds[@]} > 0)) && [[ ${kinds[-1]} == *... ]]; then kind=${kinds[-1]}\n"
           "    fi\n"
           "    _packwell_complete_kind \"${kind%...}\" \"$cur\"\n"
           "  fi\n"
           "}\n"
           "complete -F _packwell packwell\n";
    return out.str();
}

void addReferenceOption(CLI::App& app) {
    auto* opt = app.add_option_function<std::string>(
        "--reference",
        [&app](const std::string& format) {
            if (format == "man") std::cout << manPage(app);
            else if (format == "bash") std::cout << bashCompletion(app);
            else if (format == "markdown") std::cout << markdownReference(app) << "\n";
            // The option is hidden, so CLI11 would report it without its name.
            else throw CLI::ValidationError("--reference", format + " is none of man, bash, markdown");
            std::cout.flush();
            throw CLI::Success();
        },
        "Print the man page, the bash completion or the Markdown command reference");
    opt->type_name("FORMAT")->trigger_on_parse()->group("");
}

}  // namespace pw::cli
