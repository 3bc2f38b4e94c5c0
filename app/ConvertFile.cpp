#include "app/ConvertFile.h"

#include "engine/Conversion.h"
#include "format/VersionTable.h"
#include "model/Qwzsaveparams.h"
#include "platform/DebugOutput.h"
#include "platform/PathText.h"

#include <algorithm>
#include <vector>

namespace qwz {
namespace {

// One line whatever the name holds, and never an exception of its own.
std::string Quoted(const std::filesystem::path& path) { return "\"" + platform::PathForText(path) + "\""; }

}  // namespace

ConversionRequest RequestFor(int target, const TQWZSaveParams& params) {
    const std::vector<int> written = WrittenVersions();
    ConversionRequest request;
    request.params = params;
    if (target < 0) request.target = target;
    else if (target == 0) request.ownVersion = true;
    else request.target = std::clamp(target, written.front(), written.back());
    request.leaveUpTo = params.KeepsEverything() ? std::max(target, int(params.TargetVersion)) : params.TargetVersion;
    return request;
}

ConversionOutcome ConvertAndReport(const std::filesystem::path& path, const ConversionRequest& request,
                                   platform::FileOps& ops, WarningBox box) {
    ConversionOutcome result = ConvertQwz(path, request, ops);
    ReportWarnings(result.warnings, box);
    switch (result.status) {
    case ConversionStatus::Converted: break;
    case ConversionStatus::Skipped:
        platform::DebugOutputW("Plik " + Quoted(path) + " jest już w odpowiedniej wersji");
        break;
    case ConversionStatus::Failed:
        platform::DebugOutputW("Nie przekonwertowano pliku " + Quoted(path) + ": " + result.reason);
        break;
    }
    return result;
}

int ConvertFile(const std::filesystem::path& path, int target, const TQWZSaveParams& params,
                platform::FileOps& ops) {
    return ResultOf(ConvertAndReport(path, RequestFor(target, params), ops).status);
}

int ResultOf(ConversionStatus status) {
    switch (status) {
    case ConversionStatus::Converted: return kConverted;
    case ConversionStatus::Skipped: return kSkipped;
    case ConversionStatus::Failed: break;
    }
    return kConversionFailed;
}

}  // namespace qwz
