// The first byte chooses the target (202, 203 or 204) and the second the
// keep flags (bit i for row i of kKeepFlags); the rest is loaded as a file. Whatever loads and saves must
// load again: a written file is always whole and consistent.
#include "bytes/FormatError.h"
#include "format/Klasaqwz.h"
#include "fuzz/FuzzQuiet.h"
#include "model/KeepFlags.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    qwz::fuzz::Quiet();
    if (size < 2) return 0;
    const int target = 202 + data[0] % 3;
    qwz::TQWZSaveParams params;
    for (size_t i = 0; i < qwz::kKeepFlagCount; ++i) params.*qwz::kKeepFlags[i].member = (data[1] >> i) & 1;

    // Loaded as a whole, and as a conversion loads it: the meshes left in
    // the file's bytes until the save builds them. Both give the same file,
    // or the same refusal.
    std::vector<uint8_t> saved, onDemand;
    std::string refused, refusedOnDemand;
    for (bool lazy : {false, true}) {
        qwz::KlasaQwz doc;
        qwz::ReadOptions options;
        if (lazy) options.meshes = qwz::ReadOptions::Meshes::LeaveInBytes;
        qwz::ReadResult read;
        try {
            if (doc.LoadBuffer(std::vector<uint8_t>(data + 2, data + size), 0, options, &read) != 0)
                (lazy ? onDemand : saved) = doc.SaveBytes(target, params, nullptr, read.meshes.get());
        } catch (const qwz::FormatError& e) {
            (lazy ? refusedOnDemand : refused) = e.what();
        }
    }
    if (saved != onDemand || refused != refusedOnDemand) {
        std::fprintf(stderr, "meshes built on demand give another result: %s / %s\n", refused.c_str(),
                     refusedOnDemand.c_str());
        std::abort();
    }
    if (saved.empty()) return 0;  // damaged input, or a document the layout cannot hold
    qwz::KlasaQwz again;
    try {
        again.LoadBytes(saved.data(), saved.size());
    } catch (const qwz::FormatError& e) {
        std::fprintf(stderr, "a written file does not load: %s\n", e.what());
        std::abort();
    }
    return 0;
}
