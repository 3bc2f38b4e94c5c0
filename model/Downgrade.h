// The decisions between loading a document and writing it in an older
// version: whether a file must be rewritten, and the vertex scale for the
// 16-bit vertices of the older layouts.
#pragma once

#include "model/DocumentContent.h"
#include "model/MeshSource.h"
#include "model/Qwzsaveparams.h"

#include <utility>

namespace qwz {

// Whether a loaded document has to be rewritten under `params`: it is newer
// than `target`, or it holds content that params do not keep. The target is
// the parameters' own TargetVersion unless one is given.
bool NeedsConversion(const DocumentContent& doc, const TQWZSaveParams& params);
bool NeedsConversion(const DocumentContent& doc, const TQWZSaveParams& params, int target);

// Smallest and largest face-corner coordinate; widens the bounding box. The
// meshes are measured through `meshes` (the same source the writer is
// handed), or the geometry object's own lists.
std::pair<double, double> ScanExtent(DocumentContent& doc);
std::pair<double, double> ScanExtent(DocumentContent& doc, const MeshSource& meshes);

// Chooses the vertex scale before a save in a layout with 16-bit vertices,
// measuring the meshes as ScanExtent does.
void PrepareDowngrade(DocumentContent& doc);
void PrepareDowngrade(DocumentContent& doc, const MeshSource& meshes);

}  // namespace qwz
