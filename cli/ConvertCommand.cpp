#include "cli/ConvertCommand.h"

#include "cli/InOrder.h"
#include "cli/LoadFile.h"
#include "cli/Text.h"
#include "engine/ConvertEach.h"
#include "engine/FileWalk.h"
#include "platform/PathNames.h"

#include <algorithm>
#include <map>

namespace fs = std::filesystem;

namespace qwz::cli {
namespace {

const char* StatusKey(FileStatus s) {
    switch (s) {
    case FileStatus::Converted: return "converted";
    case FileStatus::Skipped: return "skipped";
    case FileStatus::Failed: break;
    }
    return "failed";
}

std::string Versions(const FileOutcome& o) {
    return " (" + std::to_string(o.fromVersion) + " → " + std::to_string(o.toVersion) + ")";
}

nlohmann::ordered_json DroppedJson(const Dropped& d) {
    nlohmann::ordered_json j = nlohmann::ordered_json::object();
    for (size_t i : ReportedFlags()) {
        const KeepFlag& flag = kKeepFlags[i];
        const DropCount& c = d.byFlag[i];
        if (!flag.jsonKey) continue;
        if (flag.kind == KeepKind::Group) j[flag.jsonKey] = {{"names", c.names}, {"records", c.records}};
        else j[flag.jsonKey] = {{"blocks", c.blocks}};
    }
    return j;
}

}  // namespace

size_t ConvertReport::Count(FileStatus s) const {
    return size_t(std::count_if(files.begin(), files.end(), [s](const FileOutcome& o) { return o.status == s; }));
}

int ConvertReport::ExitCode() const { return Count(FileStatus::Failed) == 0 ? kExitOk : kExitFailed; }

TQWZSaveParams ParamsFromOptions(const Options& o) {
    TQWZSaveParams p;
    for (size_t i = 0; i < kKeepFlagCount; ++i)
        if (kKeepFlags[i].dropName) p.*kKeepFlags[i].member = !o.drop[i];
    p.KeepOriginal = !o.noBackup;
    return p;
}

ConversionRequest RequestFromOptions(const Options& options) {
    ConversionRequest request;
    request.target = options.target;
    request.params = ParamsFromOptions(options);
    request.write = !options.dryRun;
    request.outputFolder = options.out;
    request.force = options.force;
    request.refuseLoss = options.failOnLoss;
    return request;
}

fs::path OutputPlace(const fs::path& file, const fs::path& namedFolder) {
    return namedFolder.empty() ? file.filename() : file.lexically_relative(namedFolder);
}

std::string OutputRefused(const Options& options, platform::FileOps& ops) {
    platform::FileState out, named;
    if (options.out.empty() || ops.Examine(options.out, true, &out) != platform::NameKind::Folder) return {};
    for (const fs::path& p : options.paths)
        if (ops.Examine(p, true, &named) == platform::NameKind::Folder && named.SameFile(out))
            return "folder docelowy --out nie może być folderem źródłowym: " + PathForText(p);
    return {};
}

namespace {

// For each file of the walk, the earlier file that has its output name
// (empty: none): a later file of the same name, from another folder named,
// would replace it. Decided in the walk's order, whatever order the files
// are converted in. On Windows names differing in letter case are one.
std::vector<fs::path> OutputTakenBy(const std::vector<WalkEntry>& entries) {
    std::map<fs::path::string_type, fs::path> claimed;
    std::vector<fs::path> takenBy(entries.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        if (!entries[i].error.empty() || entries[i].keptBackup) continue;
        fs::path place = OutputPlace(entries[i].path, entries[i].folder);
#ifdef _WIN32
        const fs::path::string_type key = platform::AsciiLower(place.make_preferred().native());
#else
        const fs::path::string_type key = place.native();
#endif
        const auto [at, fresh] = claimed.emplace(key, entries[i].path);
        if (!fresh) takenBy[i] = at->second;
    }
    return takenBy;
}

}  // namespace

ConvertReport RunConvert(const Options& options, const FileHooks<FileOutcome>& hooks, platform::FileOps& ops) {
    ConvertReport report;
    report.dryRun = options.dryRun;
    report.target = options.target;
    const ConversionRequest request = RequestFromOptions(options);
    const std::vector<WalkEntry> entries = CollectFiles(options.paths, options.recursive, ops, options.out);
    const std::vector<fs::path> takenBy = OutputTakenBy(entries);
    std::vector<fs::path> paths;
    for (const WalkEntry& e : entries) paths.push_back(e.path);
    report.files.resize(entries.size());
    InOrder done(entries.size(), [&](size_t i) {
        if (hooks.done) hooks.done(report.files[i]);
    });
    const auto start = [&](size_t i) {
        if (hooks.stop && hooks.stop()) return false;
        if (hooks.started) hooks.started(i + 1, entries.size(), entries[i].path);
        return true;
    };
    const size_t started = ConvertEach(paths, options.jobs, start, [&](size_t i) {
        const WalkEntry& e = entries[i];
        FileOutcome& o = report.files[i];
        o.path = e.path;
        if (!e.error.empty()) {
            o.code = e.code;
            o.reason = e.error;
        } else if (e.keptBackup) {
            static_cast<ConversionOutcome&>(o) = KeptBackupSkip(e, ops);
        } else if (options.out.empty()) {
            static_cast<ConversionOutcome&>(o) = ConvertQwz(e.path, request, ops);
        } else {
            ConversionRequest own = request;
            own.outputRelative = OutputPlace(e.path, e.folder);
            if (!takenBy[i].empty()) {
                o.code = StatusCode::OutputTaken;
                o.reason = "plik " + platform::PathForMessage(options.out / own.outputRelative) +
                           " w folderze docelowym zapisuje już plik " + platform::PathForMessage(takenBy[i]);
            } else {
                static_cast<ConversionOutcome&>(o) = ConvertQwz(e.path, own, ops);
            }
        }
        done.Done(i);
    }, ops);
    report.files.resize(started);
    report.notStarted = entries.size() - started;
    return report;
}

nlohmann::ordered_json OutcomeToJson(const FileOutcome& o) {
    nlohmann::ordered_json j;
    PutPath(j, "file", o.path);
    j["status"] = StatusKey(o.status);
    j["code"] = StatusCodeName(o.code);
    if (!o.reason.empty()) j["reason"] = o.reason;
    if (o.fromVersion) j["from_version"] = o.fromVersion;
    if (o.status == FileStatus::Converted) {
        j["to_version"] = o.toVersion;
        if (!o.backup.empty()) PutPath(j, "backup", o.backup);
        j["dropped"] = DroppedJson(o.dropped);
        j["bytes"] = o.sizeAfter;
        j["max_vertex_error"] = o.maxVertexError;
    }
    if (o.status != FileStatus::Failed) j["size_before"] = o.sizeBefore;
    if (!o.output.empty()) PutPath(j, "output", o.output);
    if (o.code == StatusCode::WouldLose) j["dropped"] = DroppedJson(o.dropped);
    return j;
}

nlohmann::ordered_json ConvertToJson(const ConvertReport& r) {
    nlohmann::ordered_json files = nlohmann::ordered_json::array();
    for (const FileOutcome& o : r.files) files.push_back(OutcomeToJson(o));
    return {{"format", kJsonFormat},
            {"dry_run", r.dryRun},
            {"target", r.target},
            {"files", std::move(files)},
            {"summary",
             {{"files", r.files.size()},
              {"converted", r.Count(FileStatus::Converted)},
              {"skipped", r.Count(FileStatus::Skipped)},
              {"failed", r.Count(FileStatus::Failed)}}}};
}

std::string OutcomeLine(const FileOutcome& o, bool dryRun) {
    const std::string path = PathForText(o.path);
    switch (o.status) {
    case FileStatus::Converted: {
        std::string s = (dryRun ? "do konwersji: " : "przekonwertowany: ") + path + Versions(o);
        if (!o.backup.empty()) s += ", kopia: " + PathForText(o.backup);
        if (!o.output.empty()) s += ", do: " + PathForText(o.output);
        if (dryRun)
            s += o.dropped.Any() ? "; usunięte zostałyby: " + DroppedText(o.dropped) : "; nic nie zostałoby usunięte";
        else
            s += o.dropped.Any() ? "; usunięte: " + DroppedText(o.dropped) : "; nic nie usunięto";
        if (o.maxVertexError != 0) s += "; największa zmiana współrzędnej " + ChangeText(o.maxVertexError);
        if (!o.reason.empty()) s += "; " + platform::EscapeControl(o.reason);
        return s + "\n";
    }
    case FileStatus::Skipped: {
        std::string s = (dryRun ? "do pominięcia: " : "pominięty: ") + path + " — " + platform::EscapeControl(o.reason);
        if (!o.output.empty()) s += (dryRun ? "; zostałby skopiowany do: " : "; skopiowany do: ") + PathForText(o.output);
        return s + "\n";
    }
    case FileStatus::Failed: break;
    }
    return "błąd: " + path + " — " + platform::EscapeControl(o.reason) + "\n";
}

std::string SummaryLine(const ConvertReport& r) {
    const std::string counts = std::to_string(r.files.size());
    if (r.dryRun)
        return "Próba bez zapisu — pliki: " + counts + "; do konwersji " +
               std::to_string(r.Count(FileStatus::Converted)) + ", do pominięcia " +
               std::to_string(r.Count(FileStatus::Skipped)) + ", błędy " +
               std::to_string(r.Count(FileStatus::Failed)) + "\n";
    return "Pliki: " + counts + "; przekonwertowane " + std::to_string(r.Count(FileStatus::Converted)) +
           ", pominięte " + std::to_string(r.Count(FileStatus::Skipped)) + ", błędy " +
           std::to_string(r.Count(FileStatus::Failed)) + "\n";
}

}  // namespace qwz::cli
