// Where a conversion keeps the original of a file, and the other way round:
// which file a kept original belongs to. Every front end and the folder walk
// judge a kept backup by these, so none of them converts one again.
#pragma once

#include "replace/Seam.h"

#include <filesystem>
#include <vector>

namespace qwz::replace {

// The backup name: the extension (from the last dot of the file name)
// replaced by "_org.qwz", or "_org.qwz" appended when there is none.
std::filesystem::path BackupPath(const std::filesystem::path& path);

// "a" for a name "a_org.qwz" (the ending in any letter case); empty for
// any other name.
std::filesystem::path::string_type BackupStem(const std::filesystem::path& path);

// The file the backup `backup` (whose BackupStem is `stem`) belongs to:
// "a.qwz" beside "a_org.qwz", with the extension in the letter case the
// folder has it ("A.QWZ" keeps its backup as "A_org.qwz"); "a.qwz" when
// there is none.
std::filesystem::path OriginalBeside(const std::filesystem::path& backup,
                                     const std::filesystem::path::string_type& stem, platform::FileOps& ops);

// When `path` is the original an earlier conversion kept, the file it
// belongs to: its name is "NAME_org.qwz" and a regular file "NAME.qwz"
// (any letter case, as in the folder walk) lies beside it. Such a file is
// left alone. Empty otherwise: a backup whose original is gone is a file
// like any other.
std::filesystem::path OriginalOfKeptBackup(const std::filesystem::path& path,
                                           platform::FileOps& ops = platform::SystemFileOps());

// Removes the record that earlier releases kept beside a backup
// ("NAME_org.qwz.txt", opening with the line "qwz-record 1"), when there is
// one: a restore that puts the backup back takes it along. A text file of
// that name that is not such a record is the user's and stays.
void RemoveEarlierRecord(const std::filesystem::path& backup, platform::FileOps& ops);

// The same judgement over the *.qwz files found in folders, by their names
// alone: each kept backup whose original is among `found` is left out.
std::vector<std::filesystem::path> WithoutKeptBackups(const std::vector<std::filesystem::path>& found);

}  // namespace qwz::replace
