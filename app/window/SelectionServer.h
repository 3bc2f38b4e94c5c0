// The Explorer command for a selection of any size: this program as the
// local COM server of the drop target that the verb under
// SystemFileAssociations\.qwz names (started by COM with "-Embedding").
// Explorer creates the object and drops the selected files on it
// (IDropTarget::Drop, CF_HDROP); the drop returns at once, and the files
// are converted as one batch to the version of the server's command line,
// on every core within the machine's conversion slots. When not every file
// was converted, the summary is shown (SelectionSummary.h). One process
// serves one selection and ends when it is done.
#pragma once

#include <guiddef.h>

namespace qwz {

// The class of the drop target: kSelectionServerClsid (app/Functions.h).
extern const CLSID kSelectionServerClass;

// Serves one selection: returns once its files are converted and its
// summary, if any, has closed; without a drop, a minute after the start.
void ServeSelection(int target);

}  // namespace qwz
