#include "model/Qwzsaveparams.h"

#include "model/KeepFlags.h"

#include <algorithm>
#include <iterator>

namespace qwz {
namespace {

// Every flag of the kinds `applies` takes is on.
template <class Applies>
bool AllKept(const TQWZSaveParams& params, Applies applies) {
    return std::all_of(std::begin(kKeepFlags), std::end(kKeepFlags),
                       [&](const KeepFlag& f) { return !applies(f.kind) || params.*f.member; });
}

}  // namespace

bool TQWZSaveParams::KeepsAnyExtra() const {
    return std::any_of(std::begin(kKeepFlags), std::end(kKeepFlags),
                       [this](const KeepFlag& f) { return f.kind == KeepKind::TailBlock && this->*f.member; });
}

bool TQWZSaveParams::KeepsAllExtra() const {
    return AllKept(*this, [](KeepKind kind) { return kind == KeepKind::TailBlock; });
}

bool TQWZSaveParams::KeepsEverything() const {
    return AllKept(*this, [](KeepKind kind) { return kind != KeepKind::Backup; });
}

TQWZSaveParamsPtr GetSaveParams() {
    static TQWZSaveParamsPtr instance;
    if (!instance) instance.reset(new TQWZSaveParams());
    return instance;
}

}  // namespace qwz
