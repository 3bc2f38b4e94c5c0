#include "format/OldHeader.h"

#include "bytes/FormatError.h"
#include "format/Quantise.h"

#include <cstdio>
#include <string>

namespace qwz {

void CheckReferenceTenths(const DocumentContent& doc) {
    const char* axisNames[3] = {"X", "Y", "Z"};
    for (int axis = 0; axis < 3; ++axis)
        if (!ToTenths(doc.RefPoint[axis])) {
            char value[40];
            std::snprintf(value, sizeof value, "%.9g", double(doc.RefPoint[axis]));
            throw FormatError(FormatError::Kind::Unwritable,
                              std::string("punkt odniesienia ") + axisNames[axis] + " = " + value +
                                  " nie mieści się w 16-bitowych dziesiątych częściach");
        }
}

void WriteOldHeader(const DocumentContent& doc, ByteWriter& out, int version) {
    out.bytes("QWZ", 3);
    out.u8(uint32_t(version));
    for (float coordinate : doc.RefPoint) out.i16(*ToTenths(coordinate));
}

void ReadOldHeader(DocumentContent& doc, ByteReader& in) {
    in.skip(3, "znacznik QWZ");
    doc.Version = in.u8("wersja");
    for (int16_t& tenth : doc.RefTenths) tenth = in.i16("punkt odniesienia");
}

void WriteScaleBlock(const DocumentContent& doc, ByteWriter& out) {
    out.f32(doc.VertexScale);
    for (float coordinate : doc.RefPoint) out.f32(coordinate);
}

}  // namespace qwz
