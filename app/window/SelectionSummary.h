// What became of a selection converted from Explorer, shown where the user
// looks but never in the way: a small window in the corner of the work
// area, above other windows, that takes no focus, waits for nobody and
// closes itself after two minutes (or with "Zamknij" or Esc). It counts
// the converted, skipped and failed files and names every failed file with
// its reason. A selection whose files were all converted shows nothing.
#pragma once

#include "app/Batch.h"

#include <windows.h>

#include <string>

namespace qwz {

inline constexpr wchar_t kSelectionSummaryCaption[] = L"QWZ Downgrader – Dostosuj do starszych wersji programu";

// Whether the selection's summary is shown: when a file was not converted.
bool NeedsSelectionSummary(const BatchSummary& summary);

// The summary's text: the counts, then every failed file with its reason.
std::wstring SelectionSummaryText(const BatchSummary& summary);

// Shows the summary window and returns it (nullptr when it could not be
// made). Its end posts WM_QUIT to the thread.
HWND ShowSelectionSummary(const BatchSummary& summary);

}  // namespace qwz
