// Any bytes read as an extra-data tail, then written back.
#include "bytes/FormatError.h"
#include "format/ExtraTail.h"
#include "fuzz/FuzzQuiet.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    qwz::fuzz::Quiet();
    qwz::DefinicjaObiektu def;
    qwz::ByteReader in(data, size);
    try {
        qwz::Warnings warnings;
        qwz::ReadExtraTail(def, in, qwz::UvRecords::Decode, warnings);
    } catch (const qwz::FormatError&) {
        return 0;
    }
    std::vector<uint8_t> out;
    qwz::ByteWriter writer(out);
    qwz::WriteExtraTail(def, writer, qwz::TQWZSaveParams());
    return 0;
}
