#include "cli/Run.h"

#include "cli/CheckCommand.h"
#include "cli/CommandLine.h"
#include "cli/ConvertCommand.h"
#include "cli/InfoCommand.h"
#include "cli/Reporter.h"
#include "cli/RestoreCommand.h"
#include "cli/Text.h"
#include "cli/WatchCommand.h"
#include "platform/Interrupt.h"

#include <nlohmann/json.hpp>

#include <functional>

namespace qwz::cli {
namespace {

using nlohmann::ordered_json;

std::string Dump(const ordered_json& j) {
    // Replacement characters rather than an exception should some text not
    // be UTF-8 (a reader's debug line is 8-bit text).
    return j.dump(2, ' ', false, ordered_json::error_handler_t::replace) + "\n";
}

// A command that works through files, as the printing sees it.
template <class Entry, class Report>
struct FileCommand {
    std::function<Report(const Options&, const FileHooks<Entry>&)> run;
    std::function<ordered_json(const Entry&)> entryJson;
    std::function<std::string(const Entry&)> text;
    std::function<bool(const Entry&)> error;   // its text goes to standard error
    std::function<bool(const Entry&)> failed;  // it counts against success
    // The JSON document; `files` holds the entries' JSON when collectJson.
    std::function<ordered_json(const Report&, ordered_json&& files)> document;
    bool collectJson = false;
    std::function<std::string(const Report&)> summary;  // empty: no summary line
};

// Each file's part printed as soon as it is known, in the files' order,
// then what was left undone when the run was stopped, then the summary or
// the document (with --json-lines: the document without its files).
template <class Entry, class Report>
int RunFiles(const Options& o, Console& console, const FileCommand<Entry, Report>& c) {
    Reporter reporter(console, o);
    ordered_json files = ordered_json::array();
    FileHooks<Entry> hooks;
    hooks.stop = [&reporter] { return reporter.Stopping(); };
    hooks.started = [&reporter](size_t i, size_t n, const std::filesystem::path& p) { reporter.Started(i, n, p); };
    hooks.done = [&](const Entry& e) {
        if (o.jsonLines) reporter.JsonLine(c.entryJson(e));
        else if (o.json && c.collectJson) files.push_back(c.entryJson(e));
        else if (!o.json) reporter.FileText(c.text(e), c.error(e), c.failed(e));
    };
    const Report report = c.run(o, hooks);
    reporter.EndProgress();
    const int signal = console.StopSignal();
    if (signal != 0)
        reporter.Err("qwz: przerwano (" + SignalName(signal) + ") — rozpoczęte pliki dokończono, nierozpoczęte: " +
                     std::to_string(report.notStarted) + "\n");
    if (o.json || o.jsonLines) {
        ordered_json j = c.document(report, std::move(files));
        if (signal != 0) {
            j["interrupted"] = true;
            j["not_started"] = report.notStarted;
        }
        if (o.jsonLines) {
            j.erase("files");
            reporter.JsonLine(j);
        } else {
            reporter.Out(Dump(j));
        }
    } else if (c.summary) {
        reporter.Out(c.summary(report));
    }
    return EndOfRun(reporter, console, signal, report.ExitCode());
}

int RunInfoCommand(const Options& o, Console& console, platform::FileOps& ops) {
    FileCommand<FileInfo, InfoReport> c;
    c.run = [&ops](const Options& options, const FileHooks<FileInfo>& hooks) { return RunInfo(options, hooks, ops); };
    c.entryJson = InfoToJson;
    c.text = InfoToText;
    c.error = c.failed = [](const FileInfo& f) { return !f.load.ok; };
    c.collectJson = true;
    c.document = [](const InfoReport&, ordered_json&& files) {
        return ordered_json{{"format", kJsonFormat}, {"files", std::move(files)}};
    };
    return RunFiles(o, console, c);
}

int RunCheckCommand(const Options& o, Console& console, platform::FileOps& ops) {
    FileCommand<CheckEntry, CheckReport> c;
    c.run = [&ops](const Options& options, const FileHooks<CheckEntry>& hooks) { return RunCheck(options, hooks, ops); };
    c.entryJson = CheckEntryToJson;
    c.text = CheckLine;
    // A damaged file is what the check found: a result, on standard output.
    c.error = [](const CheckEntry& e) { return !e.pathError.empty(); };
    c.failed = [](const CheckEntry& e) { return e.Damaged() || !e.pathError.empty(); };
    c.document = [](const CheckReport& r, ordered_json&&) { return CheckToJson(r.files); };
    c.summary = [](const CheckReport& r) { return CheckSummaryLine(r.files); };
    return RunFiles(o, console, c);
}

int RunConvertCommand(const Options& o, Console& console, platform::FileOps& ops) {
    if (const std::string refused = OutputRefused(o, ops); !refused.empty()) {
        console.Err("qwz: " + refused + "\nPomoc: qwz convert --help\n");
        return kExitUsage;
    }
    FileCommand<FileOutcome, ConvertReport> c;
    c.run = [&ops](const Options& options, const FileHooks<FileOutcome>& hooks) { return RunConvert(options, hooks, ops); };
    c.entryJson = OutcomeToJson;
    c.text = [&o](const FileOutcome& f) { return OutcomeLine(f, o.dryRun); };
    c.error = c.failed = [](const FileOutcome& f) { return f.status == FileStatus::Failed; };
    c.document = [](const ConvertReport& r, ordered_json&&) { return ConvertToJson(r); };
    c.summary = SummaryLine;
    return RunFiles(o, console, c);
}

int RunRestoreCommand(const Options& o, Console& console, platform::FileOps& ops) {
    FileCommand<RestoreResult, RestoreReport> c;
    c.run = [&ops](const Options& options, const FileHooks<RestoreResult>& hooks) { return RunRestore(options, hooks, ops); };
    c.entryJson = RestoreResultToJson;
    c.text = [&o](const RestoreResult& r) { return RestoreLine(r, o.dryRun); };
    c.error = c.failed = [](const RestoreResult& r) { return r.status == RestoreStatus::Failed; };
    c.document = [](const RestoreReport& r, ordered_json&&) { return RestoreToJson(r); };
    c.summary = RestoreSummaryLine;
    return RunFiles(o, console, c);
}

// Help, the version or a usage error: printed, and a help that cannot be
// written is an error like any other output.
int PrintParsed(const ParsedCommandLine& parsed, Console& console) {
    if (!parsed.out.empty()) {
        const std::string failure = console.Out(parsed.out);
        if (!failure.empty() && console.OutGone()) return platform::InterruptExitCode(platform::BrokenPipeSignal());
        if (!failure.empty()) {
            console.Err("qwz: nie można zapisać wyniku na standardowe wyjście: " + failure + "\n");
            return kExitOutput;
        }
    }
    if (!parsed.err.empty()) console.Err(parsed.err);
    return parsed.exitCode;
}

}  // namespace

int RunCli(const std::vector<std::string>& args, Console& console, platform::FileOps& ops) {
    const size_t columns = console.OutColumns();
    ParsedCommandLine parsed = ParseCommandLine(args, columns != 0 ? columns : 80);
    if (!parsed.run) return PrintParsed(parsed, console);
    const Options& o = parsed.options;
    try {
        switch (o.command) {
        case Command::Info: return RunInfoCommand(o, console, ops);
        case Command::Check: return RunCheckCommand(o, console, ops);
        case Command::Convert: return RunConvertCommand(o, console, ops);
        case Command::Restore: return RunRestoreCommand(o, console, ops);
        case Command::Watch: return RunWatchCommand(o, console, ops);
        case Command::None: break;
        }
    } catch (const std::exception& e) {
        // "qwz: za mało pamięci" for std::bad_alloc, never its what().
        console.Err("qwz: " + ExceptionText(e) + "\n");
        return kExitFailed;
    } catch (...) {
        console.Err("qwz: nieoczekiwany błąd programu\n");
        return kExitFailed;
    }
    return kExitUsage;
}

}  // namespace qwz::cli
