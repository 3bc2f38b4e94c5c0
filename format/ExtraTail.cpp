// Extra-data tail, from the end of the mesh group to the end of the file:
//   block* ; block := u8 kind | payload of that kind
// kinds 1 and 5: UV (Kqwz_uv.cpp); 3: scaling zones (Kqwz_scaler.cpp);
// every other kind: opaque (Kqwz_unknown.cpp). No count, no end marker.
#include "format/ExtraTail.h"

#include "format/Kqwz_scaler.h"
#include "format/Kqwz_unknown.h"
#include "format/Kqwz_uv.h"
#include "platform/DebugOutput.h"

#include <string>

namespace qwz {

TKontenerPtr ReadExtraBlock(ByteReader& in, UvRecords uvRecords) {
    if (in.atEnd()) return {};  // the end of the data at a kind byte: the normal end
    const size_t at = in.offset();
    const uint8_t kindByte = in.u8("rodzaj bloku danych dodatkowych");
    const auto kind = TKontenerQwz::EKontenerTyp(kindByte);

    TKontenerPtr block;
    switch (kind) {
    case TKontenerQwz::ktUV16:
    case TKontenerQwz::ktUVFloat: {
        auto* uv = new TKQWZ_UV();
        uv->Records = uvRecords;
        block.reset(uv);
        break;
    }
    case TKontenerQwz::ktScaler: block.reset(new TKQWZ_Scaler()); break;
    default: block.reset(new TKQWZ_Unknown()); break;
    }
    block->SetKind(kind);

    if (!block->Read(in)) {
        // The tail ends here; what was read before it stays and the load
        // goes on. ReadExtraTail keeps the damage in the document, so a
        // conversion refuses the file and `qwz check` / `info` report it.
        platform::DebugOutputW("QWZ: uszkodzony blok dodatkowych danych rodzaju " + std::to_string(kindByte) +
                               " na bajcie " + std::to_string(at) + "; plik nie zostanie przekonwertowany");
        return {};
    }
    return block;
}

void ReadExtraTail(DefinicjaObiektu& def, ByteReader& in, UvRecords uv) {
    def.TailDamage.clear();
    const size_t end = in.offset() + in.remaining();
    while (!in.atEnd()) {
        const size_t at = in.offset();
        TKontenerPtr block = ReadExtraBlock(in, uv);
        if (!block) {
            def.TailDamage = "uszkodzony blok dodatkowych danych na bajcie " + std::to_string(at) +
                             "; nie odczytano " + std::to_string(end - at) + " bajtów do końca pliku";
            return;
        }
        def.Containers.ListOf(block->GetKind()).push_back(block);
    }
}

void WriteExtraTail(const DefinicjaObiektu& def, ByteWriter& out, const TQWZSaveParams& params) {
    if (!params.KeepsAnyExtra()) return;
    // The map walks kinds in ascending order; a block's result does not stop
    // the blocks after it.
    for (const auto& [kind, blocks] : def.Containers)
        for (const TKontenerPtr& block : blocks) block->Write(out, params);
}

uint64_t ExtraTailSize(const DefinicjaObiektu& def) {
    uint64_t size = 0;
    for (const auto& [kind, blocks] : def.Containers) {
        for (const TKontenerPtr& block : blocks) {
            if (auto* uv = dynamic_cast<const TKQWZ_UV*>(block.get())) {
                size += 17;
                for (size_t g = 0; g < uv->Groups.size(); ++g) size += 4 + uv->RecordCount(g) * uv->RecordSize();
            } else if (auto* scaler = dynamic_cast<const TKQWZ_Scaler*>(block.get())) {
                size += 60;
                for (const auto& zones : scaler->Zones) size += 8 * zones.size();
            } else if (auto* opaque = dynamic_cast<const TKQWZ_Unknown*>(block.get())) {
                size += 5 + opaque->Bytes.size();
            }
        }
    }
    return size;
}

}  // namespace qwz
