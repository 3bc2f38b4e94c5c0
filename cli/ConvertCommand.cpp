#include "cli/ConvertCommand.h"

#include "app/ConvertFile.h"
#include "bytes/FormatError.h"
#include "cli/FileWalk.h"
#include "cli/LoadFile.h"
#include "cli/Text.h"
#include "format/VersionTable.h"
#include "model/Downgrade.h"
#include "platform/FileRead.h"
#include "platform/SafeReplace.h"

#include <algorithm>

namespace fs = std::filesystem;

namespace qwz::cli {
namespace {

bool Exists(const fs::path& p) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(p, ec));
}

// The version byte of the file now on disk; 0 when it has none.
int VersionOnDisk(const fs::path& path) {
    KlasaQwz probe;
    int v = probe.ReadHeader(path);
    return v < 0 ? 0 : v;
}

std::string SkipReason(int version) {
    return version > 0 ? "już w wersji " + std::to_string(version) + ", nic do zmiany" : "nic do zmiany";
}

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

// The rows of kKeepFlags that reports name, in the order they name them.
std::vector<size_t> ReportedFlags() {
    std::vector<size_t> rows;
    for (size_t i = 0; i < kKeepFlagCount; ++i)
        if (kKeepFlags[i].reportOrder >= 0) rows.push_back(i);
    std::sort(rows.begin(), rows.end(),
              [](size_t a, size_t b) { return kKeepFlags[a].reportOrder < kKeepFlags[b].reportOrder; });
    return rows;
}

std::string DroppedText(const Dropped& d) {
    std::string s;
    for (size_t i : ReportedFlags()) {
        const KeepFlag& flag = kKeepFlags[i];
        const DropCount& c = d.byFlag[i];
        std::string part;
        if (flag.kind == KeepKind::Group && c.names != 0)
            part = " (nazwy " + std::to_string(c.names) + ", rekordy " + std::to_string(c.records) + ")";
        else if (flag.kind == KeepKind::TailBlock && c.blocks != 0)
            part = " (bloki " + std::to_string(c.blocks) + ")";
        if (!part.empty()) s += (s.empty() ? "" : ", ") + std::string(flag.words) + part;
    }
    return s;
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

bool Dropped::Any() const {
    return std::any_of(byFlag.begin(), byFlag.end(), [](const DropCount& c) { return c.names || c.blocks; });
}

size_t ConvertReport::Count(FileStatus s) const {
    return size_t(std::count_if(files.begin(), files.end(), [s](const FileOutcome& o) { return o.status == s; }));
}

int ConvertReport::ExitCode() const { return Count(FileStatus::Failed) == 0 ? kExitOk : kExitFailed; }

TQWZSaveParams ParamsFromOptions(const Options& o) {
    TQWZSaveParams p;
    p.TargetVersion = o.target;
    for (size_t i = 0; i < kKeepFlagCount; ++i)
        if (kKeepFlags[i].dropName) p.*kKeepFlags[i].member = !o.drop[i];
    p.KeepOriginal = !o.noBackup;
    return p;
}

Dropped CountDropped(const KlasaQwz& doc, int writtenVersion, const TQWZSaveParams& params) {
    const DefinicjaObiektu& def = *doc.Definition;
    Dropped d;
    for (size_t i = 0; i < kKeepFlagCount; ++i) {
        const KeepFlag& flag = kKeepFlags[i];
        if (flag.kind != KeepKind::Group || params.*flag.member) continue;
        const GroupSize size = flag.groupSize(def);
        d.byFlag[i].names = size.names;
        d.byFlag[i].records = size.records;
    }
    // A layout without the tail drops every block; otherwise each block
    // goes by its own flag.
    const bool tailWritten = WriterFor(writtenVersion).extraTail && params.KeepsAnyExtra();
    for (const auto& kindBlocks : def.Containers)
        for (const TKontenerPtr& block : kindBlocks.second) {
            if (!block || (tailWritten && block->IsKept(params))) continue;
            ++d.byFlag.at(KeepFlagIndex(block->KeptBy())).blocks;
        }
    return d;
}

FileOutcome PlanFile(const fs::path& path, int target, const TQWZSaveParams& params) {
    FileOutcome o;
    o.path = path;
    KlasaQwz doc;
    LoadOutcome load = LoadDocument(path, doc);
    if (!load.ok) {
        o.reason = load.reason;
        return o;
    }
    o.fromVersion = doc.Version;
    // The same two decisions as the conversion itself.
    if (target >= int(doc.Version) && params.KeepsEverything()) {
        o.status = FileStatus::Skipped;
        o.reason = SkipReason(o.fromVersion);
        return o;
    }
    if (!NeedsConversion(doc, params)) {
        o.status = FileStatus::Skipped;
        o.reason = SkipReason(o.fromVersion);
        return o;
    }
    // A damaged extra-data block: the conversion refuses the file.
    if (!doc.GetDefinition()->TailDamage.empty()) {
        o.reason = doc.GetDefinition()->TailDamage;
        return o;
    }
    const int written = std::min(int(doc.Version), target);
    o.dropped = CountDropped(doc, written, params);
    o.droppedKnown = true;
    if (params.KeepOriginal) {
        // Judged as the conversion judges it, without following links.
        fs::path backup = BackupPath(path);
        platform::FileState state;
        platform::SystemFileOps().Examine(path, true, &state);
        platform::BackupJudgement judged = platform::JudgeBackupName(backup, state);
        if (!judged.refusal.empty()) {
            o.reason = judged.refusal;
            return o;
        }
        if (judged.free) o.backup = backup;
    }
    try {
        // Encoded in memory only: what the conversion would write, and
        // whether the target layout can hold the document at all.
        std::vector<std::string> lines;
        DebugCapture capture(lines);
        std::vector<uint8_t> bytes = doc.SaveBytes(written, params);
        o.bytes = bytes.size();
        o.toVersion = bytes.size() >= 4 ? bytes[3] : written;
    } catch (const std::exception& e) {
        o.reason = ExceptionText(e);
        o.backup.clear();
        return o;
    }
    o.status = FileStatus::Converted;
    return o;
}

FileOutcome ConvertOne(const fs::path& path, int target) {
    FileOutcome o;
    o.path = path;
    o.fromVersion = VersionOnDisk(path);
    const fs::path backup = BackupPath(path);
    const bool backupBefore = Exists(backup);
    int result;
    {
        std::vector<std::string> lines;  // the skip message is said here in the line instead
        DebugCapture capture(lines);
        result = ConvertFile(path, target);
    }
    switch (result) {
    case kConverted:
        o.status = FileStatus::Converted;
        o.toVersion = VersionOnDisk(path);
        if (GetSaveParams()->KeepOriginal && !backupBefore && Exists(backup)) o.backup = backup;
        break;
    case kSkipped:
        o.status = FileStatus::Skipped;
        o.reason = SkipReason(o.fromVersion);
        break;
    default:
        o.status = FileStatus::Failed;
        o.reason = LastConversionFailure();
        if (o.reason.empty())
            o.reason = platform::IsRegularFile(path) ? "nie udało się przekonwertować pliku" : "nie ma takiego pliku";
        break;
    }
    return o;
}

ConvertReport RunConvert(const Options& options, const Progress& progress) {
    ConvertReport report;
    report.dryRun = options.dryRun;
    report.target = options.target;
    const TQWZSaveParams params = ParamsFromOptions(options);
    *GetSaveParams() = params;
    const std::vector<WalkEntry> entries = CollectFiles(options.paths, options.recursive);
    for (size_t i = 0; i < entries.size(); ++i) {
        const WalkEntry& e = entries[i];
        if (progress) progress(i + 1, entries.size(), e.path);
        if (!e.error.empty()) {
            FileOutcome o;
            o.path = e.path;
            o.reason = e.error;
            report.files.push_back(std::move(o));
            continue;
        }
        report.files.push_back(options.dryRun ? PlanFile(e.path, options.target, params)
                                              : ConvertOne(e.path, options.target));
    }
    return report;
}

nlohmann::ordered_json ConvertToJson(const ConvertReport& r) {
    nlohmann::ordered_json files = nlohmann::ordered_json::array();
    for (const FileOutcome& o : r.files) {
        nlohmann::ordered_json j;
        PutPath(j, "file", o.path);
        j["status"] = StatusKey(o.status);
        if (!o.reason.empty()) j["reason"] = o.reason;
        if (o.fromVersion) j["from_version"] = o.fromVersion;
        if (o.status == FileStatus::Converted) j["to_version"] = o.toVersion;
        if (!o.backup.empty()) PutPath(j, "backup", o.backup);
        if (o.droppedKnown) j["dropped"] = DroppedJson(o.dropped);
        if (r.dryRun && o.status == FileStatus::Converted) j["bytes"] = o.bytes;
        files.push_back(std::move(j));
    }
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
        if (o.droppedKnown)
            s += o.dropped.Any() ? "; usunięte zostałyby: " + DroppedText(o.dropped) : "; nic nie zostałoby usunięte";
        return s + "\n";
    }
    case FileStatus::Skipped:
        return (dryRun ? "do pominięcia: " : "pominięty: ") + path + " — " + platform::EscapeControl(o.reason) + "\n";
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
