#include "qwz/Restore.h"

#include "api/Remarks.h"
#include "bytes/StatusCode.h"
#include "engine/Restore.h"

#include <string>
#include <vector>

namespace qwz::api {

RestoreResult Restore(const std::filesystem::path& path, const RestoreRequest& request) {
    std::vector<std::string> notes;
    CallRemarks remarks(notes);
    const qwz::RestoreResult o = RestoreQwz(path, qwz::RestoreRequest{!request.dryRun, request.keepNewer});
    RestoreResult r;
    switch (o.status) {
    case qwz::RestoreStatus::Restored: r.status = RestoreStatus::Restored; break;
    case qwz::RestoreStatus::Skipped: r.status = RestoreStatus::Skipped; break;
    case qwz::RestoreStatus::Failed: r.status = RestoreStatus::Failed; break;
    }
    r.code = std::string(StatusCodeName(o.code));
    r.reason = o.reason;
    r.kept = o.kept;
    r.file = o.file;
    r.backup = o.backup;
    return r;
}

}  // namespace qwz::api
