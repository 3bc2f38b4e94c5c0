// `qwz check`: reads each file completely and says whether it is damaged,
// where and what.
#pragma once

#include "cli/LoadFile.h"

#include <nlohmann/json.hpp>

#include <filesystem>
#include <string>
#include <vector>

namespace qwz::cli {

struct CheckEntry {
    std::filesystem::path path;
    int version = 0;   // 0 when the header could not be read
    LoadOutcome load;  // reason, offset and field of the damage

    // Damaged: it cannot be read completely, or a reader had to stop early
    // and said so (the rest of the file would be lost by a conversion).
    bool Damaged() const { return !load.ok || !load.notes.empty(); }
};

CheckEntry CheckFile(const std::filesystem::path& path);

nlohmann::ordered_json CheckToJson(const std::vector<CheckEntry>& entries);
// One line per file.
std::string CheckLine(const CheckEntry& entry);

}  // namespace qwz::cli
