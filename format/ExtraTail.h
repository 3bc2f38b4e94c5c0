// The extra-data tail of versions 203 and 204: blocks, each opening with its
// kind byte, up to the end of the file.
#pragma once

#include "bytes/ByteReader.h"
#include "bytes/ByteWriter.h"
#include "format/Kqwz_uv.h"
#include "format/ReadOptions.h"
#include "model/Definicjaobiektu.h"
#include "model/Kontenerqwz.h"
#include "model/Qwzsaveparams.h"
#include "model/Warnings.h"

namespace qwz {

// Reads one block; empty at the end of the data or when the block fails its
// own checks (then the tail ends there). `uv` says what a UV block does
// with its records; `kindRead`, when given, gets the kind byte read.
TKontenerPtr ReadExtraBlock(ByteReader& in, UvRecords uv = UvRecords::Decode, uint8_t* kindRead = nullptr);

// Reads blocks to the end of the data and appends them to the container map.
// A damaged block ends the tail: what was read before it stays, and a
// warning (DamagedTail) says where and how much was not read.
void ReadExtraTail(DefinicjaObiektu& def, ByteReader& in, UvRecords uv, Warnings& warnings);

// What a read does with UV records: only checks them for a read that
// checks a file, leaves them in the bytes where the meshes are left.
inline UvRecords UvRecordsFor(const ReadOptions& options) {
    switch (options.meshes) {
    case ReadOptions::Meshes::NamesOnly: return UvRecords::CheckOnly;
    case ReadOptions::Meshes::LeaveInBytes: return UvRecords::LeaveInBytes;
    case ReadOptions::Meshes::Build: break;
    }
    return UvRecords::Decode;
}

// Writes the blocks in ascending kind order, each under its keep flag;
// nothing at all when params keep no extra data.
void WriteExtraTail(const DefinicjaObiektu& def, ByteWriter& out, const TQWZSaveParams& params);

// About the bytes WriteExtraTail appends with every flag on (exact for the
// three known block classes), for reserving the output.
uint64_t ExtraTailSize(const DefinicjaObiektu& def);

}  // namespace qwz
