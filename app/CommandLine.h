// The program's command line: "-r", "-u", "-v" N and a file path, read from
// the first argument on, "-h", "--help" or "/?" for how to use it and
// "--version" for the program's version, and "-Embedding" (or
// "/Embedding"), with which COM starts the program as the local server of
// the Explorer command's selection. Only the first action counts; what
// follows it is ignored.
#pragma once

#include <string>
#include <vector>

namespace qwz {

struct CommandLineAction {
    enum Kind {
        OpenWindow,  // no action argument
        Register,    // "-r": the Explorer command, always for version 203
        Unregister,  // "-u"
        Convert,     // a file path
        Help,        // "-h", "--help", "/?": how to use the program
        Version,     // "--version": the program's name and version
        Embedding,   // "-Embedding": the Explorer command's server, for `target`
    };
    Kind kind = OpenWindow;
    int target = 203;  // the version for Convert and Embedding
    std::string path;  // the file for Convert, as given
    size_t pathArg = 0;  // its index in the arguments
};

// The target before any "-v".
constexpr int kDefaultTarget = 203;

// Decides what to do from the arguments after the program name (UTF-8).
// Switches are compared whole and without regard to case (so a file named
// "-h", "--help", "--version" or "-Embedding" is given as "./-h"). After "-v" a
// whole non-negative decimal number sets the target; anything else (a word,
// a negative number, a number too large) leaves it as it was.
CommandLineAction ParseCommandLine(const std::vector<std::string>& args);

}  // namespace qwz
