// The command line of qwz: which command, its options and its paths.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace qwz::cli {

enum class Command { None, Info, Check, Convert };

// What `--drop` names; everything not named is kept.
struct DropSet {
    bool lines = false;
    bool polylines = false;
    bool arcs = false;
    bool circles = false;
    bool uv = false;
    bool zones = false;
    bool other = false;
};

struct Options {
    Command command = Command::None;
    std::vector<std::filesystem::path> paths;
    bool json = false;
    // convert only
    int target = 0;
    DropSet drop;
    bool noBackup = false;
    bool recursive = false;
    bool dryRun = false;
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
