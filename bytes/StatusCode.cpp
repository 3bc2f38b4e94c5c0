#include "bytes/StatusCode.h"

#include <iterator>
#include <ostream>

namespace qwz {
namespace {

struct CodeName {
    StatusCode code;
    std::string_view name;
};

// The published names, in the order of the list.
constexpr CodeName kNames[] = {
    {StatusCode::Converted, "converted"},
    {StatusCode::UpToDate, "up-to-date"},
    {StatusCode::IsBackup, "is-backup"},
    {StatusCode::Restored, "restored"},
    {StatusCode::NoBackup, "no-backup"},
    {StatusCode::Readable, "readable"},
    {StatusCode::NotFound, "not-found"},
    {StatusCode::NotRegularFile, "not-regular-file"},
    {StatusCode::NotQwz, "not-qwz"},
    {StatusCode::NoQwzFiles, "no-qwz-files"},
    {StatusCode::UnsupportedVersion, "unsupported-version"},
    {StatusCode::Damaged, "damaged"},
    {StatusCode::UnsupportedTarget, "unsupported-target"},
    {StatusCode::DoesNotFit, "does-not-fit"},
    {StatusCode::BackupExists, "backup-exists"},
    {StatusCode::Locked, "locked"},
    {StatusCode::InUse, "in-use"},
    {StatusCode::ReadOnly, "read-only"},
    {StatusCode::Changed, "changed"},
    {StatusCode::VerifyFailed, "verify-failed"},
    {StatusCode::DiskFull, "disk-full"},
    {StatusCode::AccessDenied, "access-denied"},
    {StatusCode::OutOfMemory, "out-of-memory"},
    {StatusCode::TooLarge, "too-large"},
    {StatusCode::IoError, "io-error"},
    {StatusCode::NetworkError, "network-error"},
    {StatusCode::SystemError, "system-error"},
    {StatusCode::Unexpected, "unexpected"},
    {StatusCode::ChangedSinceConversion, "changed-since-conversion"},
    {StatusCode::OutputTaken, "output-taken"},
    {StatusCode::WouldLose, "would-lose"},
};

constexpr StatusCode kAll[] = {
    StatusCode::Converted,      StatusCode::UpToDate,     StatusCode::IsBackup,
    StatusCode::Restored,       StatusCode::NoBackup,     StatusCode::Readable,
    StatusCode::NotFound,       StatusCode::NotRegularFile, StatusCode::NotQwz,     StatusCode::NoQwzFiles,
    StatusCode::UnsupportedVersion, StatusCode::Damaged,  StatusCode::UnsupportedTarget,
    StatusCode::DoesNotFit,     StatusCode::BackupExists, StatusCode::Locked,
    StatusCode::InUse,          StatusCode::ReadOnly,     StatusCode::Changed,
    StatusCode::VerifyFailed,   StatusCode::DiskFull,     StatusCode::AccessDenied,
    StatusCode::OutOfMemory,    StatusCode::TooLarge,     StatusCode::IoError,
    StatusCode::NetworkError,   StatusCode::SystemError,  StatusCode::Unexpected,
    StatusCode::ChangedSinceConversion, StatusCode::OutputTaken, StatusCode::WouldLose,
};
static_assert(std::size(kAll) == std::size(kNames));

}  // namespace

std::string_view StatusCodeName(StatusCode code) {
    for (const CodeName& row : kNames)
        if (row.code == code) return row.name;
    return "unexpected";
}

std::optional<StatusCode> StatusCodeNamed(std::string_view name) {
    for (const CodeName& row : kNames)
        if (row.name == name) return row.code;
    return std::nullopt;
}

const StatusCode* AllStatusCodes(size_t& count) {
    count = std::size(kAll);
    return kAll;
}

Reason operator+(const std::string& text, const Reason& reason) { return Reason(reason.code, text + reason.str()); }
Reason operator+(const char* text, const Reason& reason) { return Reason(reason.code, text + reason.str()); }
Reason operator+(const Reason& reason, const std::string& text) { return Reason(reason.code, reason.str() + text); }
Reason operator+(const Reason& reason, const char* text) { return Reason(reason.code, reason.str() + text); }
Reason operator+(const Reason& a, const Reason& b) {
    // What the joined reason is about is the first's, unless the first
    // only says a step failed somewhere in the system.
    return Reason(a.code != StatusCode::SystemError ? a.code : b.code, a.str() + b.str());
}
bool operator==(const Reason& reason, std::string_view text) { return reason.str().compare(text) == 0; }
std::ostream& operator<<(std::ostream& out, const Reason& reason) { return out << reason.str(); }

}  // namespace qwz
