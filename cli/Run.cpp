#include "cli/Run.h"

#include "cli/CheckCommand.h"
#include "cli/CommandLine.h"
#include "cli/ConvertCommand.h"
#include "engine/FileWalk.h"
#include "cli/InfoCommand.h"
#include "cli/RestoreCommand.h"
#include "cli/Text.h"

#include <nlohmann/json.hpp>

namespace qwz::cli {
namespace {

std::string Dump(const nlohmann::ordered_json& j) {
    // Replacement characters rather than an exception should some text not
    // be UTF-8 (a reader's debug line is 8-bit text).
    return j.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

int RunInfo(const Options& o, Console& console) {
    int code = kExitOk;
    nlohmann::ordered_json files = nlohmann::ordered_json::array();
    for (const WalkEntry& walked : CollectFiles(o.paths, o.recursive)) {
        FileInfo info = BuildFileInfo(walked);
        if (!info.load.ok) code = kExitFailed;
        if (o.json) files.push_back(InfoToJson(info));
        else console.Out(InfoToText(info));
    }
    if (o.json) console.Out(Dump({{"format", kJsonFormat}, {"files", std::move(files)}}));
    return code;
}

int RunCheck(const Options& o, Console& console) {
    std::vector<CheckEntry> entries;
    for (const WalkEntry& walked : CollectFiles(o.paths, o.recursive)) {
        entries.push_back(CheckFile(walked));
        if (!o.json) console.Out(CheckLine(entries.back()));
    }
    if (o.json) console.Out(Dump(CheckToJson(entries)));
    else console.Out(CheckSummaryLine(entries));
    return CountDamaged(entries) + CountPathErrors(entries) == 0 ? kExitOk : kExitFailed;
}

// One line on standard error, rewritten in place for each file.
class ProgressLine {
public:
    explicit ProgressLine(Console& console) : console_(console) {}
    void Show(size_t index, size_t count, const std::filesystem::path& path) {
        std::string text = "[" + std::to_string(index) + "/" + std::to_string(count) + "] " + PathForText(path);
        std::string line = "\r" + text;
        if (text.size() < shown_) line += std::string(shown_ - text.size(), ' ');
        shown_ = text.size();
        console_.Err(line);
    }
    void Clear() {
        if (shown_ != 0) console_.Err("\r" + std::string(shown_, ' ') + "\r");
        shown_ = 0;
    }

private:
    Console& console_;
    size_t shown_ = 0;
};

// A command that walks files and reports each (convert, restore): the
// progress line on a terminal, then a line per file and a summary, or JSON.
template <class Report, class Run, class ToJson, class Line, class Summary>
int RunFileCommand(const Options& o, Console& console, Run run, ToJson toJson, Line line, Summary summary) {
    ProgressLine progress(console);
    Progress onFile;
    if (console.ErrIsTerminal())
        onFile = [&progress](size_t i, size_t n, const std::filesystem::path& p) { progress.Show(i, n, p); };
    const Report report = run(o, onFile);
    progress.Clear();
    if (o.json) {
        console.Out(Dump(toJson(report)));
    } else {
        for (const auto& f : report.files) console.Out(line(f, report.dryRun));
        console.Out(summary(report));
    }
    return report.ExitCode();
}

int RunConvertCommand(const Options& o, Console& console) {
    return RunFileCommand<ConvertReport>(o, console, RunConvert, ConvertToJson, OutcomeLine, SummaryLine);
}

int RunRestoreCommand(const Options& o, Console& console) {
    return RunFileCommand<RestoreReport>(o, console, RunRestore, RestoreToJson, RestoreLine, RestoreSummaryLine);
}

}  // namespace

int RunCli(const std::vector<std::string>& args, Console& console) {
    ParsedCommandLine parsed = ParseCommandLine(args);
    if (!parsed.run) {
        if (!parsed.out.empty()) console.Out(parsed.out);
        if (!parsed.err.empty()) console.Err(parsed.err);
        return parsed.exitCode;
    }
    const Options& o = parsed.options;
    try {
        switch (o.command) {
        case Command::Info: return RunInfo(o, console);
        case Command::Check: return RunCheck(o, console);
        case Command::Convert: return RunConvertCommand(o, console);
        case Command::Restore: return RunRestoreCommand(o, console);
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
