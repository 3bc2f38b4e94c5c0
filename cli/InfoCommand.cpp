#include "cli/InfoCommand.h"

#include "cli/Text.h"
#include "engine/Conversion.h"
#include "format/VersionTable.h"
#include "model/KeepFlags.h"

namespace qwz::cli {
namespace {

template <class Record>
std::vector<GroupEntry> Groups(const std::vector<std::string>& names, const std::vector<int32_t>& attributes,
                               const std::vector<std::vector<Record>>& records) {
    std::vector<GroupEntry> out;
    for (size_t i = 0; i < names.size(); ++i) {
        GroupEntry g;
        g.name = NameToUtf8(names[i]);
        g.attribute = i < attributes.size() ? attributes[i] : 0;
        g.records = i < records.size() ? records[i].size() : 0;
        out.push_back(std::move(g));
    }
    return out;
}

std::string Quoted(const std::string& s) { return "\"" + platform::EscapeControl(s) + "\""; }

// A block kind in the user's words: those of the keep flag its blocks
// answer to, as the window's boxes and --drop name it.
const char* KindWords(const TKontenerQwz& block) {
    const size_t row = KeepFlagIndex(block.KeptBy());
    return row < kKeepFlagCount && kKeepFlags[row].words ? kKeepFlags[row].words : "inne dane dodatkowe";
}

// A dry conversion to each version written below `version`, newest first:
// the engine's own road, so the figure is the one a conversion reports.
std::vector<TargetChange> TargetChanges(const std::filesystem::path& path, int version, platform::FileOps& ops) {
    std::vector<TargetChange> out;
    const std::vector<int> written = WrittenVersions();
    for (auto v = written.rbegin(); v != written.rend(); ++v) {
        if (*v >= version) continue;
        ConversionRequest request;
        request.target = *v;
        request.write = false;
        request.params.KeepOriginal = false;  // nothing is written, so no backup name matters
        const ConversionOutcome o = ConvertQwz(path, request, ops);
        TargetChange& t = out.emplace_back();
        t.version = *v;
        t.converted = o.status == ConversionStatus::Converted;
        if (t.converted) t.maxVertexError = o.maxVertexError;
        else t.reason = o.reason;
    }
    return out;
}

}  // namespace

std::array<KindEntry, 4> GroupKinds() {
    std::array<KindEntry, 4> kinds{};
    for (const KeepFlag& flag : kKeepFlags)
        if (flag.kind == KeepKind::Group) kinds.at(size_t(flag.reportOrder)) = {flag.jsonKey, flag.words, {}};
    return kinds;
}

const char* BlockTypeName(int kind) {
    switch (kind) {
    case TKontenerQwz::ktUV16: return "uv16";
    case TKontenerQwz::ktUVFloat: return "uv";
    case TKontenerQwz::ktScaler: return "zones";
    default: return "other";
    }
}

FileInfo DescribeDocument(KlasaQwz& doc) {
    FileInfo info;
    info.load.ok = true;
    info.version = doc.Version;
    for (int i = 0; i < 3; ++i) info.refPoint[i] = doc.RefPoint[i];
    info.vertexScale = doc.VertexScale;
    const DefinicjaObiektu& def = *doc.GetDefinition();
    info.kinds[0].groups = Groups(def.CircleNames, def.CircleAttributes, def.Circles);
    info.kinds[1].groups = Groups(def.LineNames, def.LineAttributes, def.Lines);
    info.kinds[2].groups = Groups(def.PolyNames, def.PolyAttributes, def.Polys);
    for (size_t i = 0; i < info.kinds[2].groups.size() && i < def.Polys.size(); ++i)
        for (const CPoly& poly : def.Polys[i]) info.kinds[2].groups[i].points += poly.points.size();
    info.kinds[3].groups = Groups(def.ArcNames, def.ArcAttributes, def.Arcs);
    for (size_t i = 0; i < def.MeshNames.size(); ++i) {
        MeshEntry m;
        m.name = NameToUtf8(def.MeshNames[i]);
        m.attribute = i < def.MeshAttributes.size() ? def.MeshAttributes[i] : 0;
        m.vertices = i < def.Vertices.size() ? def.Vertices[i].size() : 0;
        m.faces = i < def.Faces.size() ? def.Faces[i].size() : 0;
        info.meshes.push_back(std::move(m));
    }
    for (const auto& [kind, blocks] : def.Containers) {
        if (blocks.empty()) continue;
        info.tail.push_back({int(kind), BlockTypeName(int(kind)), KindWords(*blocks.front()), blocks.size()});
    }
    return info;
}

FileInfo BuildFileInfo(const std::filesystem::path& path, platform::FileOps& ops) {
    KlasaQwz doc;
    LoadOutcome load = LoadDocument(path, doc, ops);
    FileInfo info;
    if (load.ok) {
        info = DescribeDocument(doc);
        info.targets = TargetChanges(path, info.version, ops);
    }
    info.path = path;
    info.load = std::move(load);
    return info;
}

FileInfo BuildFileInfo(const WalkEntry& walked, platform::FileOps& ops) {
    if (walked.error.empty()) return BuildFileInfo(walked.path, ops);
    FileInfo info;
    info.path = walked.path;
    info.load.reason = walked.error;
    info.load.code = walked.code;
    return info;
}

InfoReport RunInfo(const Options& options, const FileHooks<FileInfo>& hooks, platform::FileOps& ops) {
    InfoReport report;
    const std::vector<WalkEntry> entries = CollectFiles(options.paths, options.recursive, ops);
    size_t i = 0;
    for (; i < entries.size() && !(hooks.stop && hooks.stop()); ++i) {
        if (hooks.started) hooks.started(i + 1, entries.size(), entries[i].path);
        const FileInfo info = BuildFileInfo(entries[i], ops);
        ++report.files;
        if (!info.load.ok) ++report.failed;
        if (hooks.done) hooks.done(info);
    }
    report.notStarted = entries.size() - i;
    return report;
}

nlohmann::ordered_json LoadFailureToJson(const LoadOutcome& load) {
    nlohmann::ordered_json j;
    j["reason"] = load.reason;
    if (load.hasOffset) {
        j["offset"] = load.offset;
        j["field"] = load.field;
    }
    return j;
}

nlohmann::ordered_json InfoToJson(const FileInfo& info) {
    nlohmann::ordered_json j;
    PutPath(j, "file", info.path);
    j["code"] = StatusCodeName(info.load.ok ? StatusCode::Readable : info.load.code);
    if (!info.load.ok) {
        j["error"] = LoadFailureToJson(info.load);
        return j;
    }
    j["version"] = info.version;
    j["reference_point"] = {FloatForJson(info.refPoint[0]), FloatForJson(info.refPoint[1]),
                            FloatForJson(info.refPoint[2])};
    j["vertex_scale"] = FloatForJson(info.vertexScale);
    for (const KindEntry& k : info.kinds) {
        nlohmann::ordered_json groups = nlohmann::ordered_json::array();
        for (const GroupEntry& g : k.groups) {
            nlohmann::ordered_json e{{"name", g.name}, {"attribute", g.attribute}, {"records", g.records}};
            if (std::string(k.key) == "polylines") e["points"] = g.points;
            groups.push_back(std::move(e));
        }
        j[k.key] = std::move(groups);
    }
    nlohmann::ordered_json meshes = nlohmann::ordered_json::array();
    for (const MeshEntry& m : info.meshes)
        meshes.push_back({{"name", m.name}, {"attribute", m.attribute}, {"vertices", m.vertices}, {"faces", m.faces}});
    j["meshes"] = std::move(meshes);
    nlohmann::ordered_json tail = nlohmann::ordered_json::array();
    for (const TailEntry& t : info.tail) tail.push_back({{"kind", t.kind}, {"type", t.type}, {"blocks", t.blocks}});
    j["tail"] = std::move(tail);
    nlohmann::ordered_json changes = nlohmann::ordered_json::object();
    for (const TargetChange& t : info.targets)
        changes[std::to_string(t.version)] = t.converted ? nlohmann::ordered_json(t.maxVertexError) : nullptr;
    j["max_vertex_error"] = std::move(changes);
    if (!info.load.notes.empty()) j["notes"] = info.load.notes;
    return j;
}

std::string InfoToText(const FileInfo& info) {
    std::string s = PathForText(info.path) + "\n";
    if (!info.load.ok) return s + "  błąd: " + platform::EscapeControl(info.load.reason) + "\n";
    s += "  wersja: " + std::to_string(info.version) + "\n";
    s += "  punkt odniesienia: " + FloatText(info.refPoint[0]) + ", " + FloatText(info.refPoint[1]) + ", " +
         FloatText(info.refPoint[2]) + "\n";
    s += "  skala wierzchołków: " + FloatText(info.vertexScale) + "\n";
    for (const KindEntry& k : info.kinds) {
        s += std::string("  ") + k.label + ": nazwy " + std::to_string(k.groups.size()) + "\n";
        for (const GroupEntry& g : k.groups) {
            s += "    " + Quoted(g.name) + ", atrybut " + std::to_string(g.attribute) + ", rekordy " +
                 std::to_string(g.records);
            if (std::string(k.key) == "polylines") s += ", punkty " + std::to_string(g.points);
            s += "\n";
        }
    }
    s += "  siatki: " + std::to_string(info.meshes.size()) + "\n";
    for (const MeshEntry& m : info.meshes)
        s += "    " + Quoted(m.name) + ", atrybut " + std::to_string(m.attribute) + ", wierzchołki " +
             std::to_string(m.vertices) + ", ściany " + std::to_string(m.faces) + "\n";
    uint64_t blocks = 0;
    for (const TailEntry& t : info.tail) blocks += t.blocks;
    s += "  bloki danych dodatkowych: " + std::to_string(blocks) + "\n";
    for (const TailEntry& t : info.tail)
        s += "    rodzaj " + std::to_string(t.kind) + " (" + t.words + "): " + std::to_string(t.blocks) + "\n";
    for (const TargetChange& t : info.targets)
        s += "  do " + std::to_string(t.version) + ": " +
             (t.converted ? "największa zmiana współrzędnej " + ChangeText(t.maxVertexError)
                          : "bez oceny — " + platform::EscapeControl(t.reason)) +
             "\n";
    for (const std::string& n : info.load.notes) s += "  uwaga: " + platform::EscapeControl(n) + "\n";
    return s;
}

}  // namespace qwz::cli
