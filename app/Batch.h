// The batch of the main window without the window: the save parameters
// and the conversion request made from the controls, the files converted on
// every core through an injected conversion, the results counted in the
// files' order, and the summary text.
#pragma once

#include "model/KeepFlags.h"
#include "engine/Conversion.h"
#include "model/Qwzsaveparams.h"

#include <bitset>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace qwz {

// The version list's item at start: the default target of the command line.
int DefaultVersionIndex();

// What the window's controls say at the start of a batch.
struct BatchChoices {
    int VersionIndex = DefaultVersionIndex();  // selected list item: the written versions, oldest first
    std::bitset<kKeepFlagCount> Ticked = std::bitset<kKeepFlagCount>().set();  // by row of kKeepFlags
};

// Writes the target, the written version at the index, and every keep flag
// from its check box.
void WriteSaveParams(const BatchChoices& choices, TQWZSaveParams& params);

// The request the batch converts every file with: the written version at
// the index, and what the boxes keep.
ConversionRequest RequestFromChoices(const BatchChoices& choices);

struct FailedFile {
    std::string Name;    // file name without its folder, UTF-8
    std::string Reason;  // as the conversion gave it; may be empty
};

struct BatchSummary {
    size_t Chosen = 0;
    size_t Converted = 0;
    size_t Skipped = 0;
    size_t Errors = 0;
    size_t NotProcessed = 0;  // left when the window was closed during the batch
    std::vector<FailedFile> Failures;  // every failed file, in batch order
};

struct BatchHooks {
    // Converts one file as `request` asks and says what happened. Called on
    // worker threads, for several files at once.
    std::function<ConversionOutcome(const std::filesystem::path& path, const ConversionRequest& request)> Convert;
    // Called on the batch's own thread before each file is started, in
    // order, with its index (progress, pending messages); false stops the
    // batch before that file.
    std::function<bool(size_t index)> BeforeFile;
};

// Converts the files, several at once on every core, and counts and names
// them in the files' order. A failure, or an exception from Convert, counts
// as an error with its reason; the batch always goes on. The files' sizes
// (which of them convert alone) are asked of `ops`.
BatchSummary RunBatch(const std::vector<std::filesystem::path>& files, const ConversionRequest& request,
                      const BatchHooks& hooks, platform::FileOps& ops = platform::SystemFileOps());

// Failed files named in the summary; the others are only counted.
constexpr size_t kSummaryFailureLines = 10;

// "Przekonwertowano plików C / N\npominięte: S\nbłędy: E", then, after an
// empty line, one line per failed file (at most `failureLines`, then "…"
// and the number of the others) and a line for files left by closing the
// window.
std::string SummaryText(const BatchSummary& summary, size_t failureLines = kSummaryFailureLines);

// The files that a multi-select open dialog returned in its buffer: either
// one full path, or the folder followed by file names; each string ends
// with a 0 and the list with an empty string.
std::vector<std::filesystem::path> SplitDialogSelection(std::wstring_view buffer);

}  // namespace qwz
