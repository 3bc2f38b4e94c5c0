// The four geometry groups, in file order: circles and lights, lines,
// polylines, arcs. Each is a named group:
//   int32 N | N x ( name[32] | int32 attribute | int32 R | R records )
// Records of circles, lines and arcs are fixed blocks of 56, 48 and 72
// bytes carried as they stand. A polyline record is
//   int32 P | u8 flag | header[24] | P x ( 3 x float64 point | float64 value )
// A group whose keep flag is off is written as N = 0 alone.
#include "format/GeometryGroups.h"

#include "bytes/LittleEndian.h"
#include "format/NameField.h"

#include <cstring>

namespace qwz {
namespace {

// Error texts name the group; a cut-short or damaged file reports them.
struct GroupText {
    const char* count;
    const char* name;
    const char* attribute;
    const char* records;
    const char* record;
};

constexpr GroupText kCircleText{"liczba nazw okręgów i świateł", "nazwa okręgów i świateł",
                                "atrybut nazwy okręgów i świateł", "liczba okręgów i świateł",
                                "okrąg lub światło"};
constexpr GroupText kLineText{"liczba nazw linii", "nazwa linii", "atrybut nazwy linii",
                              "liczba linii", "linia"};
constexpr GroupText kPolyText{"liczba nazw polilinii", "nazwa polilinii",
                              "atrybut nazwy polilinii", "liczba polilinii", "polilinia"};
constexpr GroupText kArcText{"liczba nazw łuków", "nazwa łuków", "atrybut nazwy łuków",
                             "liczba łuków", "łuk"};

// Name field, attribute and record count: the least a name takes.
constexpr uint64_t kNameEntryMin = kNameFieldSize + 4 + 4;
constexpr size_t kPolyHeaderSize = 24;
constexpr uint64_t kPolyMin = 4 + 1 + kPolyHeaderSize;
constexpr size_t kPolyPointSize = 32;

static_assert(sizeof(CCircle) == 56 && sizeof(CLine) == 48 && sizeof(CArc) == 72,
              "fixed records are held exactly as their bytes in the file");

using Records = ReadOptions::Meshes;

// Name i's records of a fixed size: `n` of them from `first` on.
template <class Record>
void KeepRecords(GeometryGroup<Record> group, size_t i, const uint8_t* first, uint32_t n, Records how) {
    const size_t size = size_t(n) * sizeof(Record);
    if (how == Records::LeaveInBytes) group.inBytes[i] = {first, size, n};
    if (how != Records::Build) return;
    group.records[i].resize(n);
    if (n != 0) std::memcpy(group.records[i].data(), first, size);
}

template <class Record>
void ReadRecords(ByteReader& in, GeometryGroup<Record> group, size_t i, const GroupText& text, Records how) {
    const uint32_t n = in.count32(sizeof(Record), text.records);
    const uint8_t* first = in.here();
    if (n != 0) in.skip(size_t(n) * sizeof(Record), text.record);
    KeepRecords(group, i, first, n, how);
}

// One polyline; its points are decoded into `poly` when it is given.
void ReadPoly(ByteReader& in, CPoly* poly) {
    const size_t countAt = in.offset();
    const int32_t declared = in.i32("liczba punktów polilinii");
    const uint8_t flag = in.u8("znacznik polilinii");
    const uint8_t* header = in.take(kPolyHeaderSize, "nagłówek polilinii");
    const uint32_t points = in.fitCount(declared, countAt, kPolyPointSize, "liczba punktów polilinii");
    const uint8_t* p = in.take(size_t(points) * kPolyPointSize, "punkt polilinii");
    if (!poly) return;
    poly->flag = flag;
    std::memcpy(poly->header.data(), header, kPolyHeaderSize);
    poly->points.resize(points);
    for (auto& [point, value] : poly->points) {
        point.x = le::LoadF64(p);
        point.y = le::LoadF64(p + 8);
        point.z = le::LoadF64(p + 16);
        value = le::LoadF64(p + 24);
        p += kPolyPointSize;
    }
}

void ReadRecords(ByteReader& in, GeometryGroup<CPoly> group, size_t i, const GroupText& text, Records how) {
    const uint32_t n = in.count32(kPolyMin, text.records);
    const uint8_t* first = in.here();
    if (how == Records::Build) group.records[i].resize(n);
    for (uint32_t k = 0; k < n; ++k) ReadPoly(in, how == Records::Build ? &group.records[i][k] : nullptr);
    if (how == Records::LeaveInBytes) group.inBytes[i] = {first, size_t(in.here() - first), n};
}

template <class Record>
void ReadGroup(ByteReader& in, GeometryGroup<Record> group, const GroupText& text, Records how) {
    // Data that ends where the count would start: this group and every
    // later one are empty.
    if (in.atEnd()) {
        group.Resize(0);
        return;
    }
    const uint32_t n = in.count32(kNameEntryMin, text.count);
    group.Resize(n);
    if (how == Records::LeaveInBytes) group.inBytes.resize(n);
    for (uint32_t i = 0; i < n; ++i) {
        group.names[i] = ReadNameField(in, text.name);
        group.attributes[i] = in.i32(text.attribute);
        ReadRecords(in, group, i, text, how);
        // A walk that checks a file gives back what it walked past.
        if (how == Records::NamesOnly) in.doneBehind();
    }
}

// A writer that hands its bytes over a part at a time holds about this much
// of the groups at most: the groups of a large file are not held twice.
constexpr size_t kGroupPart = size_t(2) << 20;
// Record lists at least this large go over from where they lie rather than
// through the writer's buffer, which then holds a group part and less than
// one such list.
constexpr size_t kCarriedRecords = size_t(256) << 10;

template <class Record>
void WriteRecords(ByteWriter& out, const std::vector<Record>& records) {
    out.i32(int32_t(records.size()));
    const size_t size = records.size() * sizeof(Record);
    const auto* bytes = reinterpret_cast<const uint8_t*>(records.data());
    if (size >= kCarriedRecords) out.carry(bytes, size);
    else out.bytes(bytes, size);
}

void WriteRecords(ByteWriter& out, const std::vector<CPoly>& records) {
    out.i32(int32_t(records.size()));
    for (const CPoly& poly : records) {
        out.i32(int32_t(poly.points.size()));
        out.u8(poly.flag);
        out.bytes(poly.header.data(), kPolyHeaderSize);
        uint8_t* p = out.grow(poly.points.size() * kPolyPointSize);
        for (const auto& [point, value] : poly.points) {
            le::StoreF64(p, point.x);
            le::StoreF64(p + 8, point.y);
            le::StoreF64(p + 16, point.z);
            le::StoreF64(p + 24, value);
            p += kPolyPointSize;
        }
        out.flushPast(kGroupPart);
    }
}

// A name's records left in the bytes read go over as they lie: the file
// lays them out as WriteRecords would.
void WriteRecords(ByteWriter& out, const RecordsInBytes& records) {
    out.i32(int32_t(records.count));
    if (records.size >= kCarriedRecords) out.carry(records.bytes, records.size);
    else out.bytes(records.bytes, records.size);
}

template <class Record>
void WriteGroup(ByteWriter& out, const std::vector<std::string>& names,
                const std::vector<int32_t>& attributes,
                const std::vector<std::vector<Record>>& records,
                const std::vector<RecordsInBytes>& inBytes, bool keep) {
    if (!keep) {
        out.i32(0);
        return;
    }
    const size_t n = names.size();
    if (attributes.size() != n || records.size() != n || (!inBytes.empty() && inBytes.size() != n))
        throw FormatError(FormatError::Kind::Unwritable,
                          "listy nazw, atrybutów i rekordów grupy mają różne długości");
    out.i32(int32_t(n));
    for (size_t i = 0; i < n; ++i) {
        WriteNameField(out, names[i]);
        out.i32(attributes[i]);
        if (inBytes.empty()) WriteRecords(out, records[i]);
        else WriteRecords(out, inBytes[i]);
        out.flushPast(kGroupPart);
    }
}

template <class Record>
uint64_t RecordsSize(const std::vector<std::vector<Record>>& lists) {
    uint64_t size = 0;
    for (const auto& records : lists) size += kNameEntryMin + records.size() * sizeof(Record);
    return size;
}

// The records left in the bytes read; their names are counted with the
// record lists, which stay beside them, empty.
uint64_t RecordsSize(const std::vector<RecordsInBytes>& lists) {
    uint64_t size = 0;
    for (const RecordsInBytes& records : lists) size += records.size;
    return size;
}

uint64_t RecordsSize(const std::vector<vcPoly>& lists) {
    uint64_t size = 0;
    for (const vcPoly& polys : lists) {
        size += kNameEntryMin;
        for (const CPoly& poly : polys) size += kPolyMin + poly.points.size() * kPolyPointSize;
    }
    return size;
}

}  // namespace

void ReadGeometryGroups(DefinicjaObiektu& def, ByteReader& in, ReadOptions::Meshes records) {
    ReadGroup(in, def.CircleGroup(), kCircleText, records);
    ReadGroup(in, def.LineGroup(), kLineText, records);
    ReadGroup(in, def.PolyGroup(), kPolyText, records);
    ReadGroup(in, def.ArcGroup(), kArcText, records);
}

void WriteGeometryGroups(const DefinicjaObiektu& def, ByteWriter& out,
                         const TQWZSaveParams& params) {
    WriteGroup(out, def.CircleNames, def.CircleAttributes, def.Circles, def.CircleBytes, params.KeepCircles);
    WriteGroup(out, def.LineNames, def.LineAttributes, def.Lines, def.LineBytes, params.KeepLines);
    WriteGroup(out, def.PolyNames, def.PolyAttributes, def.Polys, def.PolyBytes, params.KeepPolylines);
    WriteGroup(out, def.ArcNames, def.ArcAttributes, def.Arcs, def.ArcBytes, params.KeepArcs);
}

uint64_t GeometryGroupsSize(const DefinicjaObiektu& def) {
    return 4 * 4 + RecordsSize(def.Circles) + RecordsSize(def.Lines) + RecordsSize(def.Polys) +
           RecordsSize(def.Arcs) + RecordsSize(def.CircleBytes) + RecordsSize(def.LineBytes) +
           RecordsSize(def.PolyBytes) + RecordsSize(def.ArcBytes);
}

}  // namespace qwz
