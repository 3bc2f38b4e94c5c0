#include "model/DocumentContent.h"

namespace qwz {

DocumentContent::DocumentContent() : Definition(new DefinicjaObiektu()) {}

DefinicjaObiektuPtr DocumentContent::GetDefinition() {
    if (!Definition) Definition.reset(new DefinicjaObiektu());
    return Definition;
}

std::function<void(size_t)> DocumentContent::MeshWritten() {
    if (!ReleaseMeshesWhenWritten) return {};
    DefinicjaObiektu* def = GetDefinition().get();
    // Each call touches only its own mesh's lists, so calls from several
    // threads at once are safe.
    return [def](size_t m) {
        if (def->IsPending(m)) return;  // nothing of it is held
        vcV().swap(def->Vertices[m]);
        vcF().swap(def->Faces[m]);
    };
}

}  // namespace qwz
