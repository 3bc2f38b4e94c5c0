// The decisions between loading a document and writing it in an older
// version: whether a file must be rewritten, whether a mesh is too large for
// version 202, and the vertex scale for the 16-bit vertices of 202 and 203.
#pragma once

#include "model/DocumentContent.h"
#include "model/Qwzsaveparams.h"

#include <utility>

namespace qwz {

// Whether a loaded document has to be rewritten under `params`: it is newer
// than the target, or it holds content that params do not keep.
bool NeedsConversion(const DocumentContent& doc, const TQWZSaveParams& params);

// Some mesh has more than 32767 faces or more than 32767 vertices.
bool HasLargeMesh(const DocumentContent& doc);

// Smallest and largest face-corner coordinate; widens the bounding box.
std::pair<double, double> ScanExtent(DocumentContent& doc);

// Chooses the vertex scale before a save below 204.
void PrepareDowngrade(DocumentContent& doc);

}  // namespace qwz
