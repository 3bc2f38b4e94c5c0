// Any bytes loaded as a QWZ file: a clean load or a FormatError, nothing else.
#include "bytes/FormatError.h"
#include "format/Klasaqwz.h"
#include "fuzz/FuzzQuiet.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    qwz::fuzz::Quiet();
    qwz::KlasaQwz doc;
    try {
        doc.LoadBytes(data, size);
    } catch (const qwz::FormatError&) {
    }
    return 0;
}
