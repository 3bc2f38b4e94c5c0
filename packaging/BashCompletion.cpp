// Writes the bash completion of qwz: its commands and each command's
// options as its own help lists them, the versions of --to from the version
// table and the kinds of --drop from the table of keep flags, so that the
// completion offers what the program takes.
// usage: qwz_bash_completion OUTPUT
#include "cli/CommandLine.h"
#include "format/VersionTable.h"
#include "model/KeepFlags.h"

#include <cstdio>
#include <fstream>
#include <iostream>
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

// Options: "-h,--help" gives -h and --help, "--to WERSJA" gives --to.
std::string Options(const std::string& help) {
    std::string options;
    for (const std::string& term : Terms(help)) {
        if (term[0] != '-') continue;
        std::istringstream names(term.substr(0, term.find(' ')));
        for (std::string name; std::getline(names, name, ',');) options += (options.empty() ? "" : " ") + name;
    }
    return options;
}

std::string Words(const std::vector<std::string>& words) {
    std::string text;
    for (const std::string& w : words) text += (text.empty() ? "" : " ") + w;
    return text;
}

std::string Bar(const std::vector<std::string>& words) {
    std::string text;
    for (const std::string& w : words) text += (text.empty() ? "" : "|") + w;
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: qwz_bash_completion OUTPUT\n";
        return 2;
    }
    const std::vector<std::string> commands = Commands(HelpOf({"--help"}));
    std::vector<std::string> versions;
    for (int v : qwz::WrittenVersions()) versions.push_back(std::to_string(v));
    std::vector<std::string> kinds;
    for (const qwz::KeepFlag& flag : qwz::kKeepFlags)
        if (flag.dropName) kinds.push_back(flag.dropName);

    std::ostringstream cases;
    bool hasTo = false, hasDrop = false;
    for (const std::string& command : commands) {
        const std::string options = Options(HelpOf({command, "--help"}));
        if (command == "convert") {
            hasTo = (" " + options + " ").find(" --to ") != std::string::npos;
            hasDrop = (" " + options + " ").find(" --drop ") != std::string::npos;
        }
        cases << "    " << command << ") options=\"" << options << "\" ;;\n";
    }
    if (commands.empty() || !hasTo || !hasDrop) {
        std::cerr << "qwz_bash_completion: the help of qwz lists no commands, or convert no --to and --drop\n";
        return 1;
    }

    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out << "# bash completion of qwz, written at build time from the program's help and tables.\n"
           "_qwz() {\n"
           "    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}\n"
           "    local command=\"\" options i\n"
           "    for ((i = 1; i < COMP_CWORD; i++)); do\n"
           "        case ${COMP_WORDS[i]} in\n"
           "        " << Bar(commands) << ") command=${COMP_WORDS[i]}; break ;;\n"
           "        esac\n"
           "    done\n"
           "    case $command:$prev in\n"
           "    convert:--to) COMPREPLY=($(compgen -W \"" << Words(versions) << "\" -- \"$cur\")); return ;;\n"
           "    convert:--drop)\n"
           "        # a list after a comma: the kinds after what is already there\n"
           "        local done=\"\"\n"
           "        [[ $cur == *,* ]] && done=${cur%,*},\n"
           "        COMPREPLY=($(compgen -P \"$done\" -W \"" << Words(kinds) << "\" -- \"${cur##*,}\")); return ;;\n"
           "    esac\n"
           "    case $command in\n"
           "    \"\") COMPREPLY=($(compgen -W \"" << Words(commands) << " " << Options(HelpOf({"--help"}))
        << "\" -- \"$cur\")); return ;;\n"
        << cases.str()
        << "    esac\n"
           "    if [[ $cur == -* ]]; then\n"
           "        COMPREPLY=($(compgen -W \"$options\" -- \"$cur\"))\n"
           "    else\n"
           "        compopt -o filenames 2>/dev/null\n"
           "        mapfile -t COMPREPLY < <(compgen -d -- \"$cur\"; compgen -f -X '!*.[qQ][wW][zZ]' -- \"$cur\")\n"
           "    fi\n"
           "}\n"
           "complete -F _qwz qwz\n";
    out.close();
    if (!out) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}
