// The extra-data tail of versions 203 and 204: blocks, each opening with its
// kind byte, up to the end of the file.
#pragma once

#include "bytes/ByteReader.h"
#include "bytes/ByteWriter.h"
#include "model/Definicjaobiektu.h"
#include "model/Kontenerqwz.h"
#include "model/Qwzsaveparams.h"

namespace qwz {

// Reads one block; empty at the end of the data or when the block fails its
// own checks (then a debug line names it and the tail ends there). With
// `decode` false a UV block is checked the same way but keeps no records.
TKontenerPtr ReadExtraBlock(ByteReader& in, bool decode = true);

// Reads blocks to the end of the data and appends them to the container map.
void ReadExtraTail(DefinicjaObiektu& def, ByteReader& in, bool decode = true);

// Writes the blocks in ascending kind order, each under its keep flag;
// nothing at all when params keep no extra data.
void WriteExtraTail(const DefinicjaObiektu& def, ByteWriter& out, const TQWZSaveParams& params);

// About the bytes WriteExtraTail appends with every flag on (exact for the
// three known block classes), for reserving the output.
uint64_t ExtraTailSize(const DefinicjaObiektu& def);

}  // namespace qwz
