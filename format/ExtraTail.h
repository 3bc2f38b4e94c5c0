// The extra-data tail of versions 203 and 204: blocks, each opening with its
// kind byte, up to the end of the file.
#pragma once

#include "bytes/ByteReader.h"
#include "bytes/ByteWriter.h"
#include "format/Kqwz_uv.h"
#include "model/Definicjaobiektu.h"
#include "model/DocumentContent.h"
#include "model/Kontenerqwz.h"
#include "model/Qwzsaveparams.h"

namespace qwz {

// Reads one block; empty at the end of the data or when the block fails its
// own checks (then a debug line names it and the tail ends there). `uv`
// says what a UV block does with its records.
TKontenerPtr ReadExtraBlock(ByteReader& in, UvRecords uv = UvRecords::Decode);

// Reads blocks to the end of the data and appends them to the container map.
void ReadExtraTail(DefinicjaObiektu& def, ByteReader& in, UvRecords uv = UvRecords::Decode);

// What a document's load does with UV records: only checks them for a load
// that checks a file, leaves them in the bytes where the meshes are left.
inline UvRecords UvRecordsFor(const DocumentContent& doc) {
    return doc.WalkOnly ? UvRecords::CheckOnly : doc.MeshesOnDemand ? UvRecords::LeaveInBytes : UvRecords::Decode;
}

// Writes the blocks in ascending kind order, each under its keep flag;
// nothing at all when params keep no extra data.
void WriteExtraTail(const DefinicjaObiektu& def, ByteWriter& out, const TQWZSaveParams& params);

// About the bytes WriteExtraTail appends with every flag on (exact for the
// three known block classes), for reserving the output.
uint64_t ExtraTailSize(const DefinicjaObiektu& def);

}  // namespace qwz
