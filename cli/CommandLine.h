// The command line of qwz: which command, its options and its paths.
#pragma once

#include "model/KeepFlags.h"

#include <bitset>
#include <filesystem>
#include <string>
#include <vector>

namespace qwz::cli {

enum class Command { None, Info, Check, Convert, Restore };

// What `--drop` names, by row of kKeepFlags; everything not named is kept.
using DropSet = std::bitset<kKeepFlagCount>;

struct Options {
    Command command = Command::None;
    std::vector<std::filesystem::path> paths;
    bool json = false;
    bool recursive = false;  // folders: their sub-folders too
    bool dryRun = false;     // convert, restore: nothing written
    // convert only
    int target = 0;
    DropSet drop;
    bool noBackup = false;
    // restore only: a file changed after its conversion is kept beside it
    bool keepNewer = false;
};

// Exit codes of the tool.
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

struct ParsedCommandLine {
    bool run = false;     // false: print `out` / `err` and exit with exitCode
    int exitCode = kExitOk;
    std::string out;      // help or version text
    std::string err;      // the usage error, in Polish
    Options options;
};

// Parses the arguments after the program name (UTF-8).
ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args);

}  // namespace qwz::cli
