#include "cli/CheckCommand.h"

#include "cli/InfoCommand.h"
#include "cli/Text.h"

namespace qwz::cli {

CheckEntry CheckFile(const std::filesystem::path& path) {
    CheckEntry e;
    e.path = path;
    KlasaQwz doc;
    e.load = LoadDocument(path, doc);
    if (e.load.ok) e.version = doc.Version;
    return e;
}

nlohmann::ordered_json CheckToJson(const std::vector<CheckEntry>& entries) {
    nlohmann::ordered_json files = nlohmann::ordered_json::array();
    size_t damaged = 0;
    for (const CheckEntry& e : entries) {
        nlohmann::ordered_json j;
        PutPath(j, "file", e.path);
        j["ok"] = !e.Damaged();
        if (e.version != 0) j["version"] = e.version;
        if (!e.load.ok) j["error"] = LoadFailureToJson(e.load);
        if (!e.load.notes.empty()) j["notes"] = e.load.notes;
        if (e.Damaged()) ++damaged;
        files.push_back(std::move(j));
    }
    return {{"files", std::move(files)}, {"checked", entries.size()}, {"damaged", damaged}};
}

std::string CheckLine(const CheckEntry& e) {
    const std::string path = PathForText(e.path);
    if (!e.load.ok) return "uszkodzony: " + path + " — " + platform::EscapeControl(e.load.reason) + "\n";
    if (!e.load.notes.empty()) {
        std::string s = "uszkodzony: " + path + " — wersja " + std::to_string(e.version) +
                        ", odczyt przerwany:";
        for (const std::string& n : e.load.notes) s += " " + platform::EscapeControl(n);
        return s + "\n";
    }
    return "w porządku: " + path + " (wersja " + std::to_string(e.version) + ")\n";
}

}  // namespace qwz::cli
