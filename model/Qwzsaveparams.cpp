#include "model/Qwzsaveparams.h"

namespace qwz {

TQWZSaveParamsPtr GetSaveParams() {
    static TQWZSaveParamsPtr instance;
    if (!instance) instance.reset(new TQWZSaveParams());
    return instance;
}

}  // namespace qwz
