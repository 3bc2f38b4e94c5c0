#include "engine/Dropped.h"

#include "format/VersionTable.h"

#include <algorithm>

namespace qwz {

bool Dropped::Any() const {
    return std::any_of(byFlag.begin(), byFlag.end(), [](const DropCount& c) { return c.names || c.blocks; });
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

}  // namespace qwz
