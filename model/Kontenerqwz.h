// The base of the extra-data blocks of the tail, and the map that holds a
// document's blocks grouped by kind. A block reads its payload from a cursor
// placed after its kind byte and writes its kind byte and payload to a
// buffer; the concrete kinds are TKQWZ_UV, TKQWZ_Scaler and TKQWZ_Unknown
// (format/, with the tail that holds them). The geometry object keeps the
// map, so the base sits here with it.
#pragma once

#include "bytes/ByteReader.h"
#include "bytes/ByteWriter.h"
#include "model/Qwzsaveparams.h"

#include <boost/shared_ptr.hpp>
#include <cstdint>
#include <map>
#include <vector>

namespace qwz {

class TKontenerQwz {
public:
    // The block kind byte of the file (0 to 255) held as an int; -1 until set.
    enum EKontenerTyp : int32_t {
        ktNone = -1,
        ktUV16 = 1,     // UV, 16-bit coordinates
        ktScaler = 3,   // scaling zones
        ktUVFloat = 5,  // UV, float32 coordinates
    };

    virtual void Clear() {}
    virtual ~TKontenerQwz() = default;
    // Reads the payload after the kind byte; false when the block is unusable.
    virtual bool Read(ByteReader& /*in*/) { return false; }
    // Writes the kind byte and payload when `params` keep the block (true
    // without writing anything when they do not).
    virtual bool Write(ByteWriter& /*out*/, const TQWZSaveParams& /*params*/) { return false; }
    virtual EKontenerTyp GetKind() const { return kind_; }
    virtual void SetKind(EKontenerTyp kind) { kind_ = kind; }
    // The keep flag this block's kind goes by.
    virtual KeepMember KeptBy() const { return &TQWZSaveParams::KeepOtherExtra; }
    bool IsKept(const TQWZSaveParams& params) const { return params.*KeptBy(); }

    int32_t Size() const { return size_; }

protected:
    int32_t size_ = 0;  // declared payload length; 0 until read or written
    EKontenerTyp kind_ = ktNone;
};

using TKontenerPtr = boost::shared_ptr<TKontenerQwz>;

// Blocks by kind, kinds in ascending numeric order, each kind's blocks in
// the order they were added. A kind is present only with at least one block.
class TQwzKontMap {
public:
    using Map = std::map<TKontenerQwz::EKontenerTyp, std::vector<TKontenerPtr>>;

    // The list of a kind, created empty when the kind is not yet present.
    std::vector<TKontenerPtr>& ListOf(TKontenerQwz::EKontenerTyp kind) { return map_[kind]; }
    void Add(const TKontenerPtr& block) { map_[block->GetKind()].push_back(block); }
    size_t KindCount() const { return map_.size(); }
    bool Empty() const { return map_.empty(); }
    void Clear() { map_.clear(); }

    Map::const_iterator begin() const { return map_.begin(); }
    Map::const_iterator end() const { return map_.end(); }

private:
    Map map_;
};

}  // namespace qwz
