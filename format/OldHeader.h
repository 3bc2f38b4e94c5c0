// The pieces that versions 201, 202 and 203 share around their mesh group:
// the 10-byte header with the reference point in tenths, and the 16-byte
// scale block (float32 vertex scale, float32 reference point X, Y, Z).
#pragma once

#include "bytes/ByteReader.h"
#include "bytes/ByteWriter.h"
#include "model/DocumentContent.h"

namespace qwz {

constexpr size_t kOldHeaderSize = 10;
constexpr size_t kScaleBlockSize = 16;

// Throws FormatError (Unwritable) when a reference coordinate does not fit a
// 16-bit tenth. Nothing is written.
void CheckReferenceTenths(const DocumentContent& doc);

// "QWZ", the version byte and the three reference tenths (reference point x
// 10, truncated toward zero); CheckReferenceTenths must have passed.
void WriteOldHeader(const DocumentContent& doc, ByteWriter& out, int version);

// Reads "QWZ" (not compared again), the version byte and the three tenths
// into the document.
void ReadOldHeader(DocumentContent& doc, ByteReader& in);

// The vertex scale and the document's reference point.
void WriteScaleBlock(const DocumentContent& doc, ByteWriter& out);

}  // namespace qwz
