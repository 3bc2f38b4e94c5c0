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
        if (def->IsPending(m)) {
            // Nothing of it is held, and its bytes are not read again.
            def->PendingMeshRead(m);
            return;
        }
        vcV().swap(def->Vertices[m]);
        vcF().swap(def->Faces[m]);
    };
}

}  // namespace qwz
