#include "cli/CheckCommand.h"

#include "cli/InfoCommand.h"
#include "cli/Text.h"

#include <algorithm>

namespace qwz::cli {

CheckEntry CheckFile(const std::filesystem::path& path, platform::FileOps& ops) {
    CheckEntry e;
    e.path = path;
    KlasaQwz doc;
    e.load = LoadDocument(path, doc, ops);
    if (e.load.ok) e.version = doc.Version;
    // A FIFO, a device or a missing name gave no bytes to judge: an error
    // of the path, as for a folder without files, not damage.
    if (e.load.noFile) {
        e.pathError = e.load.reason;
        e.pathCode = e.load.code;
    }
    return e;
}

CheckEntry CheckFile(const WalkEntry& walked, platform::FileOps& ops) {
    if (walked.error.empty()) return CheckFile(walked.path, ops);
    CheckEntry e;
    e.path = walked.path;
    e.pathError = walked.error;
    e.pathCode = walked.code;
    return e;
}

size_t CountDamaged(const std::vector<CheckEntry>& entries) {
    return size_t(std::count_if(entries.begin(), entries.end(), [](const CheckEntry& e) { return e.Damaged(); }));
}

size_t CountPathErrors(const std::vector<CheckEntry>& entries) {
    return size_t(
        std::count_if(entries.begin(), entries.end(), [](const CheckEntry& e) { return !e.pathError.empty(); }));
}

int CheckReport::ExitCode() const { return CountDamaged(files) + CountPathErrors(files) == 0 ? kExitOk : kExitFailed; }

CheckReport RunCheck(const Options& options, const FileHooks<CheckEntry>& hooks, platform::FileOps& ops) {
    CheckReport report;
    const std::vector<WalkEntry> entries = CollectFiles(options.paths, options.recursive, ops);
    size_t i = 0;
    for (; i < entries.size() && !(hooks.stop && hooks.stop()); ++i) {
        if (hooks.started) hooks.started(i + 1, entries.size(), entries[i].path);
        report.files.push_back(CheckFile(entries[i], ops));
        if (hooks.done) hooks.done(report.files.back());
    }
    report.notStarted = entries.size() - i;
    return report;
}

nlohmann::ordered_json CheckEntryToJson(const CheckEntry& e) {
    nlohmann::ordered_json j;
    PutPath(j, "file", e.path);
    j["ok"] = !e.Damaged() && e.pathError.empty();
    // A file read whole whose reader stopped early is damaged too.
    j["code"] = StatusCodeName(!e.pathError.empty() ? e.pathCode
                                         : !e.load.ok         ? e.load.code
                                         : e.Damaged()        ? StatusCode::Damaged
                                                              : StatusCode::Readable);
    if (e.version != 0) j["version"] = e.version;
    if (!e.pathError.empty()) j["error"] = {{"reason", e.pathError}};
    else if (!e.load.ok) j["error"] = LoadFailureToJson(e.load);
    if (!e.load.notes.empty()) j["notes"] = e.load.notes;
    return j;
}

nlohmann::ordered_json CheckToJson(const std::vector<CheckEntry>& entries) {
    nlohmann::ordered_json files = nlohmann::ordered_json::array();
    for (const CheckEntry& e : entries) files.push_back(CheckEntryToJson(e));
    const size_t failed = CountPathErrors(entries);
    return {{"format", kJsonFormat},
            {"files", std::move(files)},
            {"checked", entries.size() - failed},
            {"damaged", CountDamaged(entries)},
            {"failed", failed}};
}

std::string CheckLine(const CheckEntry& e) {
    const std::string path = PathForText(e.path);
    if (!e.pathError.empty()) return "błąd: " + path + " — " + platform::EscapeControl(e.pathError) + "\n";
    if (!e.load.ok) return "uszkodzony: " + path + " — " + platform::EscapeControl(e.load.reason) + "\n";
    if (!e.load.notes.empty()) {
        std::string s = "uszkodzony: " + path + " — wersja " + std::to_string(e.version) +
                        ", odczyt przerwany:";
        for (const std::string& n : e.load.notes) s += " " + platform::EscapeControl(n);
        return s + "\n";
    }
    return "w porządku: " + path + " (wersja " + std::to_string(e.version) + ")\n";
}

std::string CheckSummaryLine(const std::vector<CheckEntry>& entries) {
    const size_t failed = CountPathErrors(entries);
    std::string s = "Sprawdzone pliki: " + std::to_string(entries.size() - failed) +
                    "; uszkodzone: " + std::to_string(CountDamaged(entries));
    if (failed != 0) s += "; błędy: " + std::to_string(failed);
    return s + "\n";
}

}  // namespace qwz::cli
