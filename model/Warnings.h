// What a read or a write has to say beside its result. The readers and
// writers never speak to the user themselves: they add warnings here, and
// each front end decides what to do with them (the programs write the debug
// lines and show the box as they always have, `qwz` prints a line, a
// library caller reads them).
#pragma once

#include <string>
#include <vector>

namespace qwz {

struct Warning {
    enum class Kind {
        SaveSummary,   // the version 204 writer's "F: …, V: …, Names: …, Kol: …" line
        BadFaceIndex,  // a face index that names no vertex, written as it is
        DamagedTail,   // a damaged extra-data block ended the tail early
    };
    Kind kind = Kind::SaveSummary;
    std::string debugLine;  // the line the programs write to the debug output (UTF-8)
    std::string text;       // in the user's words (Polish); empty when there is only the debug line
    bool boxed = false;     // the programs also show debugLine in a warning box (once per file)
};

using Warnings = std::vector<Warning>;

}  // namespace qwz
