// What a conversion leaves out of a document, counted per keep flag.
#pragma once

#include "format/Klasaqwz.h"
#include "model/KeepFlags.h"
#include "model/Qwzsaveparams.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace qwz {

// What a conversion leaves out of one kind: the names and records of a
// geometry group, or the blocks of an extra-data kind.
struct DropCount {
    uint64_t names = 0;
    uint64_t records = 0;
    uint64_t blocks = 0;
};

// What a conversion leaves out, by row of kKeepFlags.
struct Dropped {
    std::array<DropCount, kKeepFlagCount> byFlag{};

    bool Any() const;
};

// What writing the loaded `doc` as `writtenVersion` under `params` leaves
// out: the groups whose flag is off, and the blocks that the layout or
// their flag does not keep.
Dropped CountDropped(const KlasaQwz& doc, int writtenVersion, const TQWZSaveParams& params);

// The rows of kKeepFlags that reports name, in the order they name them.
std::vector<size_t> ReportedFlags();

// What is left out, in the words of the keep flags with the counts:
// "linie (nazwy 2, rekordy 3), UV (bloki 1)"; empty when nothing.
std::string DroppedText(const Dropped& dropped);

}  // namespace qwz
