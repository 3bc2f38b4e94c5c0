#include "qwz/Convert.h"

#include "api/KeepParams.h"
#include "api/Remarks.h"
#include "engine/Conversion.h"

namespace qwz::api {

ConvertResult Convert(const std::filesystem::path& path, const ConvertRequest& request) {
    ConvertResult r;
    CallRemarks remarks(r.notes);
    ConversionRequest engine;
    engine.target = request.target;
    engine.params = ParamsOf(request.keep, request.target, request.keepBackup);
    engine.write = !request.dryRun;
    const ConversionOutcome o = ConvertQwz(path, engine);
    RemarkWarnings(o.warnings);
    switch (o.status) {
    case ConversionStatus::Converted: r.status = ConvertStatus::Converted; break;
    case ConversionStatus::Skipped: r.status = ConvertStatus::Skipped; break;
    case ConversionStatus::Failed: r.status = ConvertStatus::Failed; break;
    }
    r.code = std::string(StatusCodeName(o.code));
    r.reason = o.reason;
    r.fromVersion = o.fromVersion;
    r.toVersion = o.toVersion;
    r.sizeBefore = o.sizeBefore;
    r.sizeAfter = o.sizeAfter;
    r.backup = o.backup;
    r.dropped = DroppedKinds(o.dropped);
    if (o.status == ConversionStatus::Converted) r.maxVertexError = o.maxVertexError;
    return r;
}

}  // namespace qwz::api
