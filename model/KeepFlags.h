// The one table of keep flags: each flag of TQWZSaveParams with every name it
// goes by. The save parameters' derived tests, the document's conversion
// decision, the library's keep choices, the window's check boxes, the
// console tool's --drop names, its reports and its JSON all read it; the
// window's control ids and the library's Keep members are their own, by the
// table's order. Adding a flag is a member of TQWZSaveParams, a row here,
// the library's member (api/KeepParams.cpp), the place of its box in the
// window (app/window/Layout.cpp) and the writer that honours it.
#pragma once

#include "model/Definicjaobiektu.h"
#include "model/Qwzsaveparams.h"

#include <cstddef>
#include <cstdint>
#include <iterator>

namespace qwz {

enum class KeepKind {
    Group,      // a geometry group: its names and records
    TailBlock,  // a kind of extra-data block; a layout without the tail keeps none
    Backup,     // no content: the original kept under the backup name
};

// The names and records of one geometry group, its records in the record
// lists or left in the bytes read.
struct GroupSize {
    uint64_t names = 0;
    uint64_t records = 0;
};

template <auto Names, auto Records, auto InBytes>
GroupSize SizeOfGroup(const DefinicjaObiektu& def) {
    GroupSize size{(def.*Names).size(), 0};
    for (const auto& list : def.*Records) size.records += list.size();
    for (const RecordsInBytes& left : def.*InBytes) size.records += left.count;
    return size;
}

struct KeepFlag {
    KeepMember member;
    KeepKind kind;
    const char* dropName;     // `qwz convert --drop NAME`; nullptr: not named there
    const char* jsonKey;      // its count under "dropped" in qwz's JSON; nullptr: none
    const char* words;        // the tool's Polish words for it; nullptr: none
    const wchar_t* boxLabel;  // the window's check box
    int reportOrder;          // reports name dropped content as a file stores it; -1: never
    GroupSize (*groupSize)(const DefinicjaObiektu& def);  // Group: what the document holds
};

// In the order of the window's boxes (their tab order) and of --drop's names.
inline constexpr KeepFlag kKeepFlags[] = {
    {&TQWZSaveParams::KeepLines, KeepKind::Group, "lines", "lines", "linie", L"Linie", 1,
     SizeOfGroup<&DefinicjaObiektu::LineNames, &DefinicjaObiektu::Lines, &DefinicjaObiektu::LineBytes>},
    {&TQWZSaveParams::KeepPolylines, KeepKind::Group, "polylines", "polylines", "polilinie", L"Polilinie", 2,
     SizeOfGroup<&DefinicjaObiektu::PolyNames, &DefinicjaObiektu::Polys, &DefinicjaObiektu::PolyBytes>},
    {&TQWZSaveParams::KeepArcs, KeepKind::Group, "arcs", "arcs", "łuki", L"Łuki", 3,
     SizeOfGroup<&DefinicjaObiektu::ArcNames, &DefinicjaObiektu::Arcs, &DefinicjaObiektu::ArcBytes>},
    {&TQWZSaveParams::KeepCircles, KeepKind::Group, "circles", "circles", "okręgi i światła",
     L"Okręgi / światła", 0,
     SizeOfGroup<&DefinicjaObiektu::CircleNames, &DefinicjaObiektu::Circles, &DefinicjaObiektu::CircleBytes>},
    {&TQWZSaveParams::KeepUV, KeepKind::TailBlock, "uv", "uv", "UV", L"UV", 4, nullptr},
    {&TQWZSaveParams::KeepScalingZones, KeepKind::TailBlock, "zones", "zones", "strefy skalowania",
     L"Strefy skalowania", 5, nullptr},
    {&TQWZSaveParams::KeepOtherExtra, KeepKind::TailBlock, "other", "other", "inne dane dodatkowe",
     L"Inne dodatkowe dane", 6, nullptr},
    {&TQWZSaveParams::KeepOriginal, KeepKind::Backup, nullptr, nullptr, nullptr, L"Kopię oryginału", -1,
     nullptr},
};

inline constexpr size_t kKeepFlagCount = std::size(kKeepFlags);

// The row of `member`; kKeepFlagCount when it has none.
constexpr size_t KeepFlagIndex(KeepMember member) {
    size_t i = 0;
    while (i < kKeepFlagCount && kKeepFlags[i].member != member) ++i;
    return i;
}

}  // namespace qwz
