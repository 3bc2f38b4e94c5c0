#include "engine/ConvertedFrom.h"

#include "engine/ExceptionText.h"
#include "engine/LoadQwz.h"
#include "format/VersionTable.h"
#include "model/KeepFlags.h"
#include "model/MeshSource.h"

#include <cstring>
#include <exception>
#include <new>

namespace qwz {
namespace {

using platform::PathForMessage;

// A held file seen in place (or read into memory) and loaded with its
// meshes left in its bytes.
struct Loaded {
    platform::FileView view;
    std::vector<uint8_t> copy;
    KlasaQwz doc;
    ReadResult read;
    LoadResult load;

    const uint8_t* data() const { return view.empty() ? copy.data() : view.data(); }
    size_t size() const { return view.empty() ? copy.size() : view.size(); }
};

bool See(replace::OriginalFile& file, Loaded& out, Reason& reason) {
    if (!file.See(out.view, reason)) return false;
    if (out.view.empty() && !file.Read(out.copy, reason)) return false;
    ReadOptions options;
    options.meshes = ReadOptions::Meshes::LeaveInBytes;
    out.load = LoadQwzView(out.data(), out.size(), out.doc, options, &out.read);
    return true;
}

// Whether `def` holds content that `flag` decides on: a group with names,
// or an extra-data block that the flag keeps.
bool Holds(const DefinicjaObiektu& def, const KeepFlag& flag) {
    if (flag.kind == KeepKind::Group) return flag.groupSize(def).names != 0;
    if (flag.kind != KeepKind::TailBlock) return false;
    for (const auto& [kind, blocks] : def.Containers)
        for (const TKontenerPtr& block : blocks)
            if (block && block->KeptBy() == flag.member) return true;
    return false;
}

// What a conversion that wrote `file` from `original` kept: every kind of
// content but those the original has and the file lacks.
TQWZSaveParams KeptBetween(const DefinicjaObiektu& original, const DefinicjaObiektu& file) {
    TQWZSaveParams params;
    for (const KeepFlag& flag : kKeepFlags)
        if (Holds(original, flag) && !Holds(file, flag)) params.*flag.member = false;
    return params;
}

bool IsWrittenVersion(int version) {
    for (int v : WrittenVersions())
        if (v == version) return true;
    return false;
}

ConvertedVerdict Differs(const std::filesystem::path& file, const std::string& how) {
    return {false, Reason(StatusCode::ChangedSinceConversion,
                          "plik " + PathForMessage(file) + " zmieniono po konwersji (" + how + ")")};
}

// The original cannot be converted again: what the file is stays unknown.
ConvertedVerdict Unknown(const replace::OriginalFile& file, const replace::OriginalFile& original,
                         const Reason& why) {
    return {false, Reason(why.code, "kopii zapasowej " + PathForMessage(original.path()) +
                                        " nie da się przekonwertować ponownie (" + why.str() +
                                        "): nie wiadomo, czy plik " + PathForMessage(file.path()) +
                                        " zmieniono po konwersji")};
}

}  // namespace

ConvertedVerdict JudgeAgainstOriginal(replace::OriginalFile& file, replace::OriginalFile& original) {
    Reason reason;
    Loaded now;
    if (!See(file, now, reason)) return {false, reason};
    if (!now.load.ok || !IsWrittenVersion(now.doc.Version))
        return Differs(file.path(), "nie jest plikiem QWZ, jaki zapisuje konwersja");

    Loaded kept;
    if (!See(original, kept, reason)) return Unknown(file, original, reason);
    if (!kept.load.ok) return Unknown(file, original, Reason(kept.load.code, kept.load.reason));

    // The version written is the file's (a conversion to the file's own
    // version may have moved to a newer layout than the original's: the
    // same layout asked for by name writes the same bytes).
    const int target = now.doc.Version;
    const TQWZSaveParams params = KeptBetween(*kept.doc.GetDefinition(), *now.doc.GetDefinition());
    const MeshesInMemory built(*kept.doc.GetDefinition());
    const MeshSource& meshes = kept.read.meshes ? *kept.read.meshes : built;

    // Compared a part at a time as it is made; after the first difference
    // only counted, to say how large the conversion is.
    const uint8_t* bytes = now.data();
    const size_t size = now.size();
    uint64_t made = 0;
    bool differ = false;
    try {
        Warnings ignored;
        kept.doc.SaveStreamed(target, params, [&](const uint8_t* data, size_t n) {
            if (!differ && (n > size - made || std::memcmp(data, bytes + made, n) != 0)) differ = true;
            made += n;
        }, meshes, ignored);
    } catch (const std::bad_alloc&) {
        return Unknown(file, original, Reason(StatusCode::OutOfMemory, "za mało pamięci"));
    } catch (const std::exception& e) {
        return Unknown(file, original, ExceptionReason(e));
    }
    // A view cut by another program meanwhile showed zeros, not the file.
    if (!now.view.Intact() || !kept.view.Intact())
        return {false, Reason(StatusCode::Changed, replace::ChangedDuringConversion(file.path()))};
    if (made != size)
        return Differs(file.path(), "ma " + std::to_string(size) + " B, konwersja kopii zapasowej daje " +
                                        std::to_string(made) + " B");
    if (differ) return Differs(file.path(), "ta sama wielkość, inna treść niż konwersja kopii zapasowej");
    return {true, {}};
}

}  // namespace qwz
