#include "model/Qwzsaveparams.h"

#include "model/KeepFlags.h"

namespace qwz {

bool TQWZSaveParams::KeepsAnyExtra() const {
    for (const KeepFlag& flag : kKeepFlags)
        if (flag.kind == KeepKind::TailBlock && this->*flag.member) return true;
    return false;
}

bool TQWZSaveParams::KeepsAllExtra() const {
    for (const KeepFlag& flag : kKeepFlags)
        if (flag.kind == KeepKind::TailBlock && !(this->*flag.member)) return false;
    return true;
}

bool TQWZSaveParams::KeepsEverything() const {
    for (const KeepFlag& flag : kKeepFlags)
        if (flag.kind != KeepKind::Backup && !(this->*flag.member)) return false;
    return true;
}

}  // namespace qwz
