// Where a command's results go while it runs: a file's text as soon as it
// is known (failures on standard error, everything else on standard output,
// and with --quiet only the failures), JSON one value a line, and the
// progress line of a terminal kept out of their way. The first write to
// standard output that fails is kept: nothing more goes there, and the run
// starts no further file. Safe to call from several threads.
#pragma once

#include "cli/CommandLine.h"
#include "cli/ProgressLine.h"
#include "cli/Run.h"

#include <nlohmann/json.hpp>

#include <filesystem>
#include <mutex>
#include <optional>
#include <string>

namespace qwz::cli {

class Reporter {
public:
    Reporter(Console& console, const Options& options);

    // True once the run is to start no further file: a signal asked it to
    // stop, or standard output cannot be written.
    bool Stopping();

    // File `index` of `count` is being started: the progress line.
    void Started(size_t index, size_t count, const std::filesystem::path& path);
    // One file's text: on standard error for an error; on standard output
    // otherwise, with --quiet only when the file counts against success
    // (`failed`: a damaged file that `check` found).
    void FileText(const std::string& text, bool error, bool failed);
    // One JSON value on a line of its own.
    void JsonLine(const nlohmann::ordered_json& value);
    // Text for standard output whatever --quiet says (the summary, the document).
    void Out(const std::string& text);
    // Text for standard error (the progress line is blanked first).
    void Err(const std::string& text);
    // Blanks the progress line for good.
    void EndProgress();

    // Why standard output could not be written; empty while it could.
    std::string OutFailure();

private:
    void OutLocked(const std::string& text);
    void ErrLocked(const std::string& text);

    Console& console_;
    const bool quiet_;
    std::mutex mutex_;
    std::optional<ProgressLine> progress_;
    std::string outFailure_;
};

// "SIGINT", "SIGTERM" or "sygnał N", for the line that says a run stopped.
std::string SignalName(int signal);

// How the run ended beyond its files: the output's failure said on
// standard error (not when its reader closed it: it chose to stop), and
// the exit code that tells a stop by `signal`, a closed output and a
// failed output apart from `commandCode`.
int EndOfRun(Reporter& reporter, const Console& console, int signal, int commandCode);

}  // namespace qwz::cli
