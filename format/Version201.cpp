// Version 201 file (read only):
//   "QWZ" | uint8 201 | 3 x int16 reference tenths
//   int32 N | N x 12-byte records, skipped
//   scale block: float32 vertex scale | 12 bytes, skipped
//   mesh group as version 202; anything after the last mesh is ignored
// The face corners come out shifted by the file's reference point, which is
// then reset to zero.
#include "format/Version201.h"

#include "format/OldHeader.h"
#include "format/QuantisedMeshes.h"

namespace qwz {

namespace {
constexpr size_t kSkippedRecordSize = 12;  // int16, int16, 8 bytes
}

void ReadVersion201(DocumentContent& doc, ByteReader& in, const ReadOptions& options, ReadResult& result) {
    DefinicjaObiektu& def = *doc.GetDefinition();
    def.Clear();
    ReadOldHeader(doc, in);

    const int32_t skipped = in.i32("liczba pominiętych rekordów");
    if (skipped > 0) {
        in.requireCount(uint32_t(skipped), kSkippedRecordSize, "liczba pominiętych rekordów");
        in.skip(size_t(skipped) * kSkippedRecordSize, "pominięte rekordy");
    }

    doc.VertexScale = 10.0f;
    for (int i = 0; i < 3; ++i) {
        doc.RefPoint[i] = float(doc.RefTenths[i] * 0.1);
        def.RefPoint[i] = doc.RefPoint[i];
    }
    doc.VertexScale = in.f32("skala wierzchołków");
    in.skip(kScaleBlockSize - 4, "reszta bloku skali");

    const float shift[3] = {doc.RefPoint[0], doc.RefPoint[1], doc.RefPoint[2]};
    ReadQuantisedMeshes(doc, in, kMeshes202, options, result, shift);

    for (int i = 0; i < 3; ++i) {
        def.RefPoint[i] = 0.0f;
        doc.RefTenths[i] = 0;
        doc.RefPoint[i] = 0.0f;
    }
}

}  // namespace qwz
