// Extra-data tail, from the end of the mesh group to the end of the file:
//   block* ; block := u8 kind | payload of that kind
// kinds 1 and 5: UV (Kqwz_uv.cpp); 3: scaling zones (Kqwz_scaler.cpp);
// every other kind: opaque (Kqwz_unknown.cpp). No count, no end marker.
#include "format/ExtraTail.h"

#include "format/Kqwz_scaler.h"
#include "format/Kqwz_unknown.h"
#include "format/Kqwz_uv.h"

#include <string>

namespace qwz {

TKontenerPtr ReadExtraBlock(ByteReader& in, UvRecords uvRecords, uint8_t* kindRead) {
    if (in.atEnd()) return {};  // the end of the data at a kind byte: the normal end
    const uint8_t kindByte = in.u8("rodzaj bloku danych dodatkowych");
    if (kindRead) *kindRead = kindByte;
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

    // The tail ends at a block that fails; what was read before it stays
    // and the load goes on.
    if (!block->Read(in)) return {};
    return block;
}

void ReadExtraTail(DefinicjaObiektu& def, ByteReader& in, UvRecords uv, Warnings& warnings) {
    const size_t end = in.offset() + in.remaining();
    while (!in.atEnd()) {
        const size_t at = in.offset();
        uint8_t kindByte = 0;
        TKontenerPtr block = ReadExtraBlock(in, uv, &kindByte);
        if (!block) {
            // The conversion refuses such a file (writing it would drop
            // the rest without a word); `qwz check` and `info` report it.
            warnings.push_back({Warning::Kind::DamagedTail,
                                "QWZ: uszkodzony blok dodatkowych danych rodzaju " + std::to_string(kindByte) +
                                    " na bajcie " + std::to_string(at) + "; plik nie zostanie przekonwertowany",
                                "uszkodzony blok dodatkowych danych na bajcie " + std::to_string(at) +
                                    "; nie odczytano " + std::to_string(end - at) + " bajtów do końca pliku",
                                false});
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
