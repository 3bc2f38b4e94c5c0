// Writes the bash completions of qwz and qwz-downgrader: qwz's commands and
// each command's options as its own help lists them, qwz-downgrader's
// options as its help (a file) names them, the versions of --to and -v from
// the version table and the kinds of --drop from the table of keep flags,
// so that the completion offers what the programs take. A value goes after
// a space or an "=" alike; a comma list offers only what it does not hold.
// usage: qwz_bash_completion QWZ_OUTPUT DOWNGRADER_HELP DOWNGRADER_OUTPUT
#include "cli/CommandLine.h"
#include "format/VersionTable.h"
#include "model/KeepFlags.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string HelpOf(const std::vector<std::string>& args) { return qwz::cli::ParseCommandLine(args).out; }

// The entries of a help text: indented lines "  TERM  TEXT", their TERM.
std::vector<std::string> Terms(const std::string& help) {
    std::vector<std::string> terms;
    std::istringstream lines(help);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("  ", 0) != 0 || line.size() < 3 || line[2] == ' ') continue;
        terms.push_back(line.substr(2, line.find("  ", 2) - 2));
    }
    return terms;
}

// Commands: entries that are one lower-case word.
std::vector<std::string> Commands(const std::string& help) {
    std::vector<std::string> commands;
    for (const std::string& term : Terms(help))
        if (term.find_first_not_of("abcdefghijklmnopqrstuvwxyz-") == std::string::npos && term[0] != '-')
            commands.push_back(term);
    return commands;
}

// Every option a text names ("-v", "--help"), once, in the order named.
std::vector<std::string> OptionsIn(const std::string& text) {
    std::vector<std::string> options;
    static const std::regex option(R"((^|[\s,|\[])(--?[a-z][a-z-]*))");
    for (std::sregex_iterator it(text.begin(), text.end(), option), end; it != end; ++it) {
        const std::string name = (*it)[2];
        if (std::find(options.begin(), options.end(), name) == options.end()) options.push_back(name);
    }
    return options;
}

// Options of a help's entries: "-h,--help" gives -h and --help, "--to WERSJA" gives --to.
std::vector<std::string> Options(const std::string& help) {
    std::string names;
    for (const std::string& term : Terms(help))
        if (term[0] == '-') names += " " + term.substr(0, term.find(' '));
    return OptionsIn(names);
}

std::string Words(const std::vector<std::string>& words, const char* between = " ") {
    std::string text;
    for (const std::string& w : words) text += (text.empty() ? "" : between) + w;
    return text;
}

bool Has(const std::vector<std::string>& words, const std::string& word) {
    return std::find(words.begin(), words.end(), word) != words.end();
}

// Shared by both scripts: the word being completed and the option whose
// value it is, "--to 2", "--to=2" and "--to=" alike (bash makes "=" a word
// of its own), and qwz's *.qwz files and folders.
const char* kPrologue =
    "    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}\n"
    "    if [[ $cur == = ]]; then cur=\"\"\n"
    "    elif [[ $prev == = ]]; then prev=${COMP_WORDS[COMP_CWORD-2]}\n"
    "    fi\n";
const char* kFiles =
    "    if [[ $cur == -* ]]; then\n"
    "        COMPREPLY=($(compgen -W \"$options\" -- \"$cur\"))\n"
    "    else\n"
    "        compopt -o filenames 2>/dev/null\n"
    "        mapfile -t COMPREPLY < <(compgen -d -- \"$cur\"; compgen -f -X '!*.[qQ][wW][zZ]' -- \"$cur\")\n"
    "    fi\n";

// The comma list: of the words in $1, those the list before the last comma
// does not hold yet, after that part of the list.
const char* kCommaList =
    "_qwz_comma_list() {\n"
    "    local cur=$2 head=\"\" word item items=() offer=()\n"
    "    [[ $cur == *,* ]] && head=${cur%,*},\n"
    "    IFS=, read -ra items <<<\"$head\"\n"
    "    for word in $1; do\n"
    "        local held=\"\"\n"
    "        for item in \"${items[@]}\"; do [[ ${item// /} == \"$word\" ]] && held=1; done\n"
    "        [[ $held ]] || offer+=(\"$word\")\n"
    "    done\n"
    "    COMPREPLY=($(compgen -P \"$head\" -W \"${offer[*]}\" -- \"${cur##*,}\"))\n"
    "}\n";

std::string QwzScript(const std::vector<std::string>& versions, const std::vector<std::string>& kinds) {
    const std::vector<std::string> commands = Commands(HelpOf({"--help"}));
    std::ostringstream cases;
    bool hasTo = false, hasDrop = false;
    for (const std::string& command : commands) {
        const std::vector<std::string> options = Options(HelpOf({command, "--help"}));
        if (command == "convert") hasTo = Has(options, "--to"), hasDrop = Has(options, "--drop");
        cases << "    " << command << ") options=\"" << Words(options) << "\" ;;\n";
    }
    if (commands.empty() || !hasTo || !hasDrop) return "";
    // `qwz help COMMAND`: the commands.
    const std::string helpCase =
        Has(commands, "help") ? "    help:*) [[ $cur == -* ]] || { COMPREPLY=($(compgen -W \"" + Words(commands) +
                                    "\" -- \"$cur\")); return; } ;;\n"
                              : "";
    std::ostringstream s;
    s << "# bash completion of qwz, written at build time from the program's help and tables.\n"
      << kCommaList << "_qwz() {\n"
      << kPrologue
      << "    local command=\"\" options i\n"
         "    for ((i = 1; i < COMP_CWORD; i++)); do\n"
         "        case ${COMP_WORDS[i]} in\n"
         "        " << Words(commands, "|") << ") command=${COMP_WORDS[i]}; break ;;\n"
         "        esac\n"
         "    done\n"
         "    case $command:$prev in\n"
         "    convert:--to|watch:--to) COMPREPLY=($(compgen -W \"" << Words(versions) << "\" -- \"$cur\")); return ;;\n"
         "    convert:--drop|watch:--drop) _qwz_comma_list \"" << Words(kinds) << "\" \"$cur\"; return ;;\n"
      << helpCase << "    esac\n"
         "    case $command in\n"
         "    \"\") COMPREPLY=($(compgen -W \"" << Words(commands) << " " << Words(Options(HelpOf({"--help"})))
      << "\" -- \"$cur\")); return ;;\n"
      << cases.str() << "    esac\n"
      << kFiles << "}\n"
      << "complete -F _qwz qwz\n";
    return s.str();
}

// qwz-downgrader: the options its help names; "-v WERSJA" takes a version.
std::string DowngraderScript(const std::string& help, const std::vector<std::string>& versions) {
    std::vector<std::string> options = OptionsIn(help);
    if (!Has(options, "-v") || !Has(options, "--version")) return "";
    std::ostringstream s;
    s << "# bash completion of qwz-downgrader, written at build time from the program's help and tables.\n"
         "_qwz_downgrader() {\n"
      << kPrologue
      << "    local options=\"" << Words(options) << "\"\n"
         "    case $prev in\n"
         "    -[vV]) COMPREPLY=($(compgen -W \"" << Words(versions) << "\" -- \"$cur\")); return ;;\n"
         "    esac\n"
      << kFiles << "}\n"
      << "complete -F _qwz_downgrader qwz-downgrader\n";
    return s.str();
}

bool WriteFile(const char* path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) std::perror(path);
    return bool(out);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::cerr << "usage: qwz_bash_completion QWZ_OUTPUT DOWNGRADER_HELP DOWNGRADER_OUTPUT\n";
        return 2;
    }
    std::vector<std::string> versions;
    for (int v : qwz::WrittenVersions()) versions.push_back(std::to_string(v));
    std::vector<std::string> kinds;
    for (const qwz::KeepFlag& flag : qwz::kKeepFlags)
        if (flag.dropName) kinds.push_back(flag.dropName);

    const std::string qwz = QwzScript(versions, kinds);
    if (qwz.empty()) {
        std::cerr << "qwz_bash_completion: the help of qwz lists no commands, or convert no --to and --drop\n";
        return 1;
    }
    std::ifstream helpFile(argv[2], std::ios::binary);
    std::ostringstream help;
    help << helpFile.rdbuf();
    const std::string downgrader = DowngraderScript(help.str(), versions);
    if (downgrader.empty()) {
        std::cerr << "qwz_bash_completion: " << argv[2] << " names no -v and --version\n";
        return 1;
    }
    return WriteFile(argv[1], qwz) && WriteFile(argv[3], downgrader) ? 0 : 1;
}
