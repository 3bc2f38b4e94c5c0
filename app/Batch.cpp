#include "app/Batch.h"

#include "app/CommandLine.h"
#include "engine/ConvertEach.h"
#include "format/VersionTable.h"
#include "platform/PathText.h"

#include <algorithm>
#include <exception>
#include <new>

namespace qwz {
namespace {

std::string FileNameOf(const std::filesystem::path& path) {
    return platform::PathForText(path.filename());
}

// A reason is shown on one line of the summary.
std::string OneLine(std::string text) {
    for (char& c : text)
        if (c == '\r' || c == '\n' || c == '\t') c = ' ';
    return text;
}

}  // namespace

int DefaultVersionIndex() {
    const std::vector<int> written = WrittenVersions();
    return int(std::find(written.begin(), written.end(), kDefaultTarget) - written.begin());
}

void WriteSaveParams(const BatchChoices& choices, TQWZSaveParams& params) {
    params.TargetVersion = WrittenVersions().at(size_t(choices.VersionIndex));
    for (size_t i = 0; i < kKeepFlagCount; ++i) params.*kKeepFlags[i].member = choices.Ticked[i];
}

ConversionRequest RequestFromChoices(const BatchChoices& choices) {
    ConversionRequest request;
    request.target = WrittenVersions().at(size_t(choices.VersionIndex));
    for (size_t i = 0; i < kKeepFlagCount; ++i) request.params.*kKeepFlags[i].member = choices.Ticked[i];
    return request;
}

BatchSummary RunBatch(const std::vector<std::filesystem::path>& files, const ConversionRequest& request,
                      const BatchHooks& hooks, platform::FileOps& ops) {
    BatchSummary summary;
    summary.Chosen = files.size();
    // Each file's outcome in its place, counted in batch order afterwards.
    std::vector<ConversionOutcome> outcomes(files.size());
    const auto start = [&hooks](size_t h) { return !hooks.BeforeFile || hooks.BeforeFile(h); };
    const size_t started = ConvertEach(files, start, [&](size_t h) {
        ConversionOutcome& outcome = outcomes[h];
        try {
            outcome = hooks.Convert(files[h], request);
        } catch (const std::bad_alloc&) {
            outcome.reason = "za mało pamięci";
        } catch (const std::exception& e) {
            outcome.reason = e.what();
        } catch (...) {
            outcome.reason = "nieznany błąd";
        }
    }, ops);
    summary.NotProcessed = files.size() - started;
    for (size_t h = 0; h < started; ++h) {
        switch (outcomes[h].status) {
        case ConversionStatus::Converted: ++summary.Converted; break;
        case ConversionStatus::Skipped: ++summary.Skipped; break;
        case ConversionStatus::Failed:
            ++summary.Errors;
            summary.Failures.push_back({FileNameOf(files[h]), OneLine(std::move(outcomes[h].reason))});
            break;
        }
    }
    return summary;
}

std::string SummaryText(const BatchSummary& s, size_t failureLines) {
    std::string text = "Przekonwertowano plików " + std::to_string(s.Converted) + " / " +
                       std::to_string(s.Chosen) + "\npominięte: " + std::to_string(s.Skipped) +
                       "\nbłędy: " + std::to_string(s.Errors);
    if (s.Failures.empty() && s.NotProcessed == 0) return text;
    text += "\n";
    size_t shown = 0;
    for (const FailedFile& f : s.Failures) {
        if (shown == failureLines) break;
        text += "\n" + f.Name;
        if (!f.Reason.empty()) text += ": " + f.Reason;
        ++shown;
    }
    if (s.Failures.size() > shown)
        text += "\n… i jeszcze " + std::to_string(s.Failures.size() - shown);
    if (s.NotProcessed > 0)
        text += "\nPrzerwano po zamknięciu okna, nieprzetworzone pliki: " +
                std::to_string(s.NotProcessed);
    return text;
}

std::vector<std::filesystem::path> SplitDialogSelection(std::wstring_view buffer) {
    std::vector<std::wstring> parts;
    size_t pos = 0;
    while (pos < buffer.size()) {
        size_t end = buffer.find(L'\0', pos);
        if (end == std::wstring_view::npos) end = buffer.size();
        if (end == pos) break;  // the empty string that ends the list
        parts.emplace_back(buffer.substr(pos, end - pos));
        pos = end + 1;
    }
    std::vector<std::filesystem::path> files;
    if (parts.size() == 1) {
        files.emplace_back(parts[0]);
    } else if (parts.size() > 1) {
        std::wstring folder = parts[0];
        if (folder.back() != L'\\' && folder.back() != L'/') folder += L'\\';
        for (size_t i = 1; i < parts.size(); ++i) files.emplace_back(folder + parts[i]);
    }
    return files;
}

}  // namespace qwz
