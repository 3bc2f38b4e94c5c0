// Placeholder until the downgrade preparation is built.
#include "model/Downgrade.h"

#include "format/FormatError.h"

namespace qwz {

bool NeedsConversion(const KlasaQwz&, const TQWZSaveParams&) { return true; }

bool HasLargeMesh(const KlasaQwz& doc) {
    const DefinicjaObiektu& def = *doc.Definition;
    for (size_t i = 0; i < def.Faces.size(); ++i)
        if (def.Faces[i].size() > 32767 || (i < def.Vertices.size() && def.Vertices[i].size() > 32767))
            return true;
    return false;
}

std::pair<double, double> ScanExtent(KlasaQwz&) { return {1e7, -1e7}; }

void PrepareDowngrade(KlasaQwz&) {
    throw FormatError(FormatError::Kind::Unwritable, "przygotowanie do starszej wersji nie jest jeszcze obsługiwane");
}

}  // namespace qwz
