// What a conversion wrote under the user's name, kept beside the backup, so
// that a restore can tell the file it wrote from work saved into that name
// afterwards (which a restore must never throw away).
//
// The record is a small text file named after the backup with ".txt" added
// ("scena_org.qwz.txt" beside "scena_org.qwz"): a name that every file
// system takes (NTFS, FAT, exFAT, POSIX), that no walk of *.qwz files picks
// up and no clean-up of leftover temporary files removes, and that goes
// along when the folder is copied elsewhere. Its text:
//   qwz-record 1
//   size <the file's size in bytes, decimal>
//   digest <the ContentHash of its bytes, 16 hexadecimal digits>
// then lines in Polish for whoever opens it. Unknown lines are passed over.
#pragma once

#include "platform/FileOps.h"

#include <cstdint>
#include <filesystem>
#include <string>

namespace qwz {

struct ConversionRecord {
    uint64_t size = 0;
    uint64_t digest = 0;  // platform::ContentHash of the bytes
};

// The record's name for the backup `backup`.
std::filesystem::path RecordPath(const std::filesystem::path& backup);

// The record's text.
std::string RecordText(const ConversionRecord& record);

// Writes the record beside `backup`, the kept original of `file`, durably:
// to a temporary name of the file's own first (TemporaryNameBeside: a
// leftover of a stopped conversion, which the next conversion of the file
// removes), flushed, then renamed over any older record, and the folder
// synced. False with a Polish reason when it could not be written; nothing
// half-written is left under the record's name.
bool KeepRecord(const std::filesystem::path& file, const std::filesystem::path& backup,
                const ConversionRecord& record, platform::FileOps& ops, std::string& reason);

// Removes the record of `backup`, if there is one.
void DropRecord(const std::filesystem::path& backup, platform::FileOps& ops);

// Whether the user's file, held open, is still the file whose record lies
// beside `backup`.
// `size` is the held file's size. The record missing or unreadable, the
// file's bytes unreadable, or other than recorded: not the same, and the
// reason says which.
struct RecordVerdict {
    bool same = false;   // it is: the backup may take its name
    std::string reason;  // otherwise what changed or why it is not known, in Polish
};
RecordVerdict JudgeAgainstRecord(const std::filesystem::path& file, platform::FileHandle held, uint64_t size,
                                 const std::filesystem::path& backup, platform::FileOps& ops);

}  // namespace qwz
