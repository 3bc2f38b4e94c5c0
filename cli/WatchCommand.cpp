#include "cli/WatchCommand.h"

#include "cli/ConvertCommand.h"
#include "cli/Reporter.h"
#include "cli/Text.h"
#include "watch/Watcher.h"

#include <string>

namespace fs = std::filesystem;

namespace qwz::cli {
namespace {

// "5 s", "0,5 s": a time as a user reads it.
std::string SecondsText(std::chrono::milliseconds time) {
    std::string text = std::to_string(time.count() / 1000);
    if (const int64_t part = time.count() % 1000; part != 0) {
        std::string digits = std::to_string(1000 + part).substr(1);
        digits.erase(digits.find_last_not_of('0') + 1);
        text += "," + digits;
    }
    return text + " s";
}

// What is watched and how, said once at the start.
std::string StartLine(const watch::WatchSettings& settings, bool polling) {
    std::string folders;
    for (const fs::path& folder : settings.folders) folders += (folders.empty() ? "" : ", ") + PathForText(folder);
    return "qwz: pilnuję wersji " + std::to_string(settings.request.target) + " w " + folders + " (z podfolderami); " +
           (polling ? "foldery czytane co " + SecondsText(settings.poll) : std::string("powiadomienia systemu")) +
           ", plik konwertowany po " + SecondsText(settings.settle) + " bez zmian; Ctrl+C kończy\n";
}

}  // namespace

int RunWatchCommand(const Options& o, Console& console, platform::FileOps& ops,
                    std::unique_ptr<platform::FolderEvents> events, std::function<watch::TimePoint()> now) {
    Reporter reporter(console, o);
    watch::WatchSettings settings;
    settings.folders = o.paths;
    settings.request = RequestFromOptions(o);
    settings.jobs = o.jobs;
    if (o.settle) settings.settle = *o.settle;
    if (o.poll) {
        settings.poll = *o.poll;
        settings.pollOnly = true;
    }
    if (!now) now = [] { return std::chrono::steady_clock::now(); };
    watch::Watcher watcher(settings, ops, std::move(events), std::move(now),
                           [&](const fs::path& path, const ConversionOutcome& outcome) {
                               FileOutcome file;
                               static_cast<ConversionOutcome&>(file) = outcome;
                               file.path = path;
                               const bool failed = file.status == FileStatus::Failed;
                               if (o.jsonLines) reporter.JsonLine(OutcomeToJson(file));
                               else reporter.FileText(OutcomeLine(file, false), failed, failed);
                           });
    Reason why;
    if (!watcher.Start(why)) {
        reporter.Err("qwz: " + why + "\n");
        return kExitFailed;
    }
    if (!o.quiet) reporter.Err(StartLine(settings, watcher.Polling()));
    watch::RunWatch(watcher, [&reporter] { return reporter.Stopping(); });
    const int signal = console.StopSignal();
    if (signal != 0)
        reporter.Err("qwz: koniec pilnowania (" + SignalName(signal) + ") — rozpoczęte pliki dokończono\n");
    return EndOfRun(reporter, console, signal, kExitOk);
}

}  // namespace qwz::cli
