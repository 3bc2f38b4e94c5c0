// The decisions between loading a document and writing it in an older
// version: whether a file must be rewritten, and the vertex scale for the
// 16-bit vertices of the older layouts.
#pragma once

#include "model/DocumentContent.h"
#include "model/Qwzsaveparams.h"

#include <utility>

namespace qwz {

// Whether a loaded document has to be rewritten under `params`: it is newer
// than `target`, or it holds content that params do not keep. The target is
// the parameters' own TargetVersion unless one is given.
bool NeedsConversion(const DocumentContent& doc, const TQWZSaveParams& params);
bool NeedsConversion(const DocumentContent& doc, const TQWZSaveParams& params, int target);

// Smallest and largest face-corner coordinate; widens the bounding box.
std::pair<double, double> ScanExtent(DocumentContent& doc);

// Chooses the vertex scale before a save in a layout with 16-bit vertices.
void PrepareDowngrade(DocumentContent& doc);

}  // namespace qwz
