// The command line of qwz: which command, its options and its paths.
#pragma once

#include "model/KeepFlags.h"

#include <bitset>
#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace qwz::cli {

enum class Command { None, Info, Check, Convert, Restore, Watch };

// What `--drop` names, by row of kKeepFlags; everything not named is kept.
using DropSet = std::bitset<kKeepFlagCount>;

struct Options {
    Command command = Command::None;
    std::vector<std::filesystem::path> paths;
    bool json = false;       // one JSON document at the end
    bool jsonLines = false;  // one JSON object a line: each file as it is done, then the rest
    bool quiet = false;      // text: only the failures and the summary
    bool recursive = false;  // folders: their sub-folders too
    bool dryRun = false;     // convert, restore: nothing written
    // convert and watch
    int target = 0;
    DropSet drop;
    bool noBackup = false;
    unsigned jobs = 0;  // files converted at once; 0: one per processor
    // Set: the converted tree goes under this folder; the sources stay.
    std::filesystem::path out;
    bool force = false;       // with `out`: replace files there that are not older
    bool failOnLoss = false;  // a file whose conversion would drop content fails
    // restore only: a file changed after its conversion is kept beside it
    bool keepNewer = false;
    // watch only: how long a file stays unchanged before it is converted,
    // and how often the folders are read again instead of waiting for the
    // system's notices; unset: the watch's own defaults
    std::optional<std::chrono::milliseconds> settle, poll;
};

// Exit codes of the tool.
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitOutput = 3;  // standard output could not be written
// A signal that stopped the run: 128 + its number (platform::InterruptExitCode).

struct ParsedCommandLine {
    bool run = false;     // false: print `out` / `err` and exit with exitCode
    int exitCode = kExitOk;
    std::string out;      // help or version text
    std::string err;      // the usage error, in Polish
    Options options;
};

// Parses the arguments after the program name (UTF-8). Help is wrapped to
// `helpColumns` columns.
ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args, size_t helpColumns = 80);

}  // namespace qwz::cli
