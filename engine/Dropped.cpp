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

}  // namespace qwz
