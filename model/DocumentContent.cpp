#include "model/DocumentContent.h"

namespace qwz {

DocumentContent::DocumentContent() : Definition(new DefinicjaObiektu()) {}

DefinicjaObiektuPtr DocumentContent::GetDefinition() {
    if (!Definition) Definition.reset(new DefinicjaObiektu());
    return Definition;
}

}  // namespace qwz
