#include "cli/RestoreCommand.h"

#include "cli/Text.h"
#include "engine/FileWalk.h"

#include <algorithm>

namespace fs = std::filesystem;

namespace qwz::cli {
namespace {

const char* StatusKey(RestoreStatus s) {
    switch (s) {
    case RestoreStatus::Restored: return "restored";
    case RestoreStatus::Skipped: return "skipped";
    case RestoreStatus::Failed: break;
    }
    return "failed";
}

RestoreResult PathResult(const fs::path& path, RestoreStatus status, StatusCode code, std::string reason) {
    RestoreResult r;
    r.file = path;
    r.status = status;
    r.code = code;
    r.reason = std::move(reason);
    return r;
}

}  // namespace

size_t RestoreReport::Count(RestoreStatus s) const {
    return size_t(std::count_if(files.begin(), files.end(), [s](const RestoreResult& r) { return r.status == s; }));
}

int RestoreReport::ExitCode() const { return Count(RestoreStatus::Failed) == 0 ? kExitOk : kExitFailed; }

RestoreReport RunRestore(const Options& options, const FileHooks<RestoreResult>& hooks, platform::FileOps& ops) {
    RestoreReport report;
    report.dryRun = options.dryRun;
    const auto add = [&](RestoreResult r) {
        report.files.push_back(std::move(r));
        if (hooks.done) hooks.done(report.files.back());
    };
    // The walk skips backups beside their files, so a folder gives the
    // files by their own names and the backups left without them.
    const std::vector<WalkEntry> entries = CollectFiles(options.paths, options.recursive, ops);
    fs::path folder;
    size_t looked = 0, withBackup = 0;
    auto endFolder = [&] {
        if (looked != 0 && withBackup == 0)
            add(PathResult(folder, RestoreStatus::Skipped, StatusCode::NoBackup, "folder nie zawiera kopii zapasowych *_org.qwz"));
        looked = withBackup = 0;
    };
    size_t i = 0;
    for (; i < entries.size() && !(hooks.stop && hooks.stop()); ++i) {
        const WalkEntry& e = entries[i];
        if (e.folder != folder) {
            endFolder();
            folder = e.folder;
        }
        if (hooks.started) hooks.started(i + 1, entries.size(), e.path);
        // A missing path named may still have its backup beside it.
        if (!e.error.empty() && !e.missing) {
            add(PathResult(e.path, RestoreStatus::Failed, e.code, e.error));
            continue;
        }
        RestoreResult r = RestoreQwz(e.path, RestoreRequest{!options.dryRun, options.keepNewer}, ops);
        if (!e.folder.empty()) {
            ++looked;
            // In a folder, a file without a backup is not the restore's business.
            if (r.status == RestoreStatus::Skipped && r.backup.empty()) continue;
            ++withBackup;
        }
        add(std::move(r));
    }
    report.notStarted = entries.size() - i;
    // A folder cut short by a stop is not judged on the files it did not get to.
    if (i == entries.size() || entries[i].folder != folder) endFolder();
    return report;
}

nlohmann::ordered_json RestoreResultToJson(const RestoreResult& r) {
    nlohmann::ordered_json j;
    PutPath(j, "file", r.file);
    j["status"] = StatusKey(r.status);
    j["code"] = StatusCodeName(r.code);
    if (!r.reason.empty()) j["reason"] = r.reason;
    if (!r.backup.empty()) PutPath(j, "backup", r.backup);
    if (!r.kept.empty()) PutPath(j, "kept", r.kept);
    return j;
}

nlohmann::ordered_json RestoreToJson(const RestoreReport& report) {
    nlohmann::ordered_json files = nlohmann::ordered_json::array();
    for (const RestoreResult& r : report.files) files.push_back(RestoreResultToJson(r));
    return {{"format", kJsonFormat},
            {"dry_run", report.dryRun},
            {"files", std::move(files)},
            {"summary",
             {{"files", report.files.size()},
              {"restored", report.Count(RestoreStatus::Restored)},
              {"skipped", report.Count(RestoreStatus::Skipped)},
              {"failed", report.Count(RestoreStatus::Failed)}}}};
}

std::string RestoreLine(const RestoreResult& r, bool dryRun) {
    const std::string path = PathForText(r.file);
    const std::string reason = r.reason.empty() ? "" : " — " + platform::EscapeControl(r.reason);
    switch (r.status) {
    case RestoreStatus::Restored:
        return (dryRun ? "do przywrócenia: " : "przywrócony: ") + path + " z kopii " + PathForText(r.backup) +
               reason + "\n";
    case RestoreStatus::Skipped: return (dryRun ? "do pominięcia: " : "pominięty: ") + path + reason + "\n";
    case RestoreStatus::Failed: break;
    }
    return "błąd: " + path + reason + "\n";
}

std::string RestoreSummaryLine(const RestoreReport& report) {
    const std::string files = std::to_string(report.files.size());
    const std::string restored = std::to_string(report.Count(RestoreStatus::Restored));
    const std::string skipped = std::to_string(report.Count(RestoreStatus::Skipped));
    const std::string failed = std::to_string(report.Count(RestoreStatus::Failed));
    if (report.dryRun)
        return "Próba bez zapisu — pliki: " + files + "; do przywrócenia " + restored + ", do pominięcia " + skipped +
               ", błędy " + failed + "\n";
    return "Pliki: " + files + "; przywrócone " + restored + ", pominięte " + skipped + ", błędy " + failed + "\n";
}

}  // namespace qwz::cli
