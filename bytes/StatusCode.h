// The one fixed list of what became of a file, for programs: every result
// that a conversion, a restore, a load and the tools give carries one of
// these codes beside its Polish reason, and scripts branch on the code's
// name. A code's name never changes once published; new codes are added at
// the end of the list.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

namespace qwz {

enum class StatusCode {
    // Done or nothing to do.
    Converted,           // "converted": the file was rewritten (or would be, in a dry run)
    UpToDate,            // "up-to-date": already in the version asked for, nothing to drop
    IsBackup,            // "is-backup": a kept original, left as it is
    Restored,            // "restored": the original is back under the user's name
    NoBackup,            // "no-backup": nothing to restore beside the file
    Readable,            // "readable": the file was read whole without a fault
    // The file itself.
    NotFound,            // "not-found": nothing at the name (or a folder on its way missing)
    NotRegularFile,      // "not-regular-file": a folder, a device, a pipe
    NotQwz,              // "not-qwz": the file does not open with "QWZ"
    NoQwzFiles,          // "no-qwz-files": a folder named holds no *.qwz file
    UnsupportedVersion,  // "unsupported-version": a version that is not read
    Damaged,             // "damaged": cut short or malformed at an offset
    // The request.
    UnsupportedTarget,   // "unsupported-target": a version that is not written
    DoesNotFit,          // "does-not-fit": the content cannot be stored in the target version
    // The replacement.
    BackupExists,        // "backup-exists": the backup name is taken
    Locked,              // "locked": another conversion of the same file holds it
    InUse,               // "in-use": another program holds the file
    ReadOnly,            // "read-only": the file or the disk is read-only
    Changed,             // "changed": the file changed while it was converted
    VerifyFailed,        // "verify-failed": the written file did not read back as written
    // The system.
    DiskFull,            // "disk-full": no room, or the quota is used up
    AccessDenied,        // "access-denied"
    OutOfMemory,         // "out-of-memory"
    TooLarge,            // "too-large": larger than the system or the file system takes
    IoError,             // "io-error": the device failed to read or write
    NetworkError,        // "network-error": a network share went away or does not answer
    SystemError,         // "system-error": any other error of the system
    Unexpected,          // "unexpected": an error of the program itself
    // Added later, at the end so that no name moves.
    ChangedSinceConversion,  // "changed-since-conversion": restore refused: the file is not what the conversion wrote
    OutputTaken,             // "output-taken": the output name is another file's of the same run
    WouldLose,               // "would-lose": refused: the conversion would drop content
};

// The code's stable name: lower case, words joined by '-'.
std::string_view StatusCodeName(StatusCode code);
// The code of a name; none for a name not on the list.
std::optional<StatusCode> StatusCodeNamed(std::string_view name);
// Every code, in the order of the list.
const StatusCode* AllStatusCodes(size_t& count);

// A short Polish reason with the code of what it tells. It is never built
// from text alone: every reason names its code where it is made. It stands
// for its text wherever text is taken, and joining it with more text keeps
// the code: "nie można zapisać pliku: " + reason is a Reason with reason's
// code; two reasons joined keep the first's code unless that is only
// SystemError. Assigned to a plain string a Reason is text only.
class Reason {
public:
    Reason() = default;
    Reason(StatusCode c, std::string text) : text_(std::move(text)), code(c) {}

    operator const std::string&() const { return text_; }  // NOLINT: a reason is read as its text
    const std::string& str() const { return text_; }
    const char* c_str() const { return text_.c_str(); }
    bool empty() const { return text_.empty(); }
    size_t find(std::string_view part) const { return text_.find(part); }
    void clear() {
        text_.clear();
        code = StatusCode::SystemError;
    }
    Reason& operator+=(const std::string& more) {
        text_ += more;
        return *this;
    }

private:
    std::string text_;

public:
    StatusCode code = StatusCode::SystemError;
};

Reason operator+(const std::string& text, const Reason& reason);
Reason operator+(const char* text, const Reason& reason);
Reason operator+(const Reason& reason, const std::string& text);
Reason operator+(const Reason& reason, const char* text);
Reason operator+(const Reason& a, const Reason& b);  // the first's code, or else the second's
bool operator==(const Reason& reason, std::string_view text);
std::ostream& operator<<(std::ostream& out, const Reason& reason);

}  // namespace qwz
