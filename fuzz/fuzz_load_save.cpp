// The first byte chooses the target (202, 203 or 204) and the second the
// keep flags (bit i for row i of kKeepFlags); the rest is loaded as a file. Whatever loads and saves must
// load again: a written file is always whole and consistent.
#include "bytes/FormatError.h"
#include "document/Klasaqwz.h"
#include "fuzz/FuzzQuiet.h"
#include "model/KeepFlags.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    qwz::fuzz::Quiet();
    if (size < 2) return 0;
    const int target = 202 + data[0] % 3;
    qwz::TQWZSaveParams params;
    for (size_t i = 0; i < qwz::kKeepFlagCount; ++i) params.*qwz::kKeepFlags[i].member = (data[1] >> i) & 1;

    qwz::KlasaQwz doc;
    std::vector<uint8_t> saved;
    try {
        if (doc.LoadBytes(data + 2, size - 2) == 0) return 0;
        saved = doc.SaveBytes(target, params);
    } catch (const qwz::FormatError&) {
        return 0;  // damaged input, or a document the layout cannot hold
    }
    qwz::KlasaQwz again;
    try {
        again.LoadBytes(saved.data(), saved.size());
    } catch (const qwz::FormatError& e) {
        std::fprintf(stderr, "a written file does not load: %s\n", e.what());
        std::abort();
    }
    return 0;
}
