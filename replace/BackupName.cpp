#include "replace/BackupName.h"

#include "platform/PathNames.h"

#include <algorithm>
#include <set>
#include <string>
#include <utility>

namespace fs = std::filesystem;

namespace qwz::replace {
namespace {

using NativeString = fs::path::string_type;
using platform::AsciiLower;
using platform::FolderOf;

}  // namespace

fs::path BackupPath(const fs::path& path) {
    NativeString name = path.filename().native();
    const auto dot = name.rfind(NativeString::value_type('.'));
    if (dot != NativeString::npos) name.erase(dot);
    fs::path backup = path;
    backup.replace_filename(fs::path(name) += "_org.qwz");
    return backup;
}

NativeString BackupStem(const fs::path& path) {
    const NativeString name = path.filename().native();
    const NativeString suffix = fs::path("_org.qwz").native();
    if (name.size() <= suffix.size() || AsciiLower(name.substr(name.size() - suffix.size())) != suffix)
        return {};
    return name.substr(0, name.size() - suffix.size());
}

fs::path OriginalBeside(const fs::path& backup, const NativeString& stem, platform::FileOps& ops) {
    const NativeString extension = fs::path(".qwz").native();
    NativeString chosen = stem + extension;
    bool exact = false, other = false;
    std::vector<fs::path> names;
    if (ops.ListFolder(FolderOf(backup), names)) {
        for (const fs::path& entry : names) {
            const NativeString& name = entry.native();
            if (name.size() != chosen.size() || name.compare(0, stem.size(), stem) != 0 ||
                AsciiLower(name.substr(stem.size())) != extension)
                continue;
            if (name.compare(stem.size(), extension.size(), extension) == 0) {
                exact = true;
            } else if (!other || name < chosen) {
                chosen = name;
                other = true;
            }
        }
    }
    return backup.parent_path() / fs::path(exact ? stem + extension : chosen);
}

fs::path OriginalOfKeptBackup(const fs::path& path, platform::FileOps& ops) {
    const NativeString stem = BackupStem(path);
    if (stem.empty()) return {};
    const NativeString original = AsciiLower(stem + fs::path(".qwz").native());
    std::vector<fs::path> names;
    if (!ops.ListFolder(FolderOf(path), names)) return {};
    for (const fs::path& name : names) {
        const fs::path beside = path.parent_path() / name;
        if (AsciiLower(name.native()) == original &&
            ops.Examine(beside, true, nullptr) == platform::NameKind::Regular)
            return beside;
    }
    return {};
}

std::vector<fs::path> WithoutKeptBackups(const std::vector<fs::path>& found) {
    std::set<std::pair<fs::path, NativeString>> stems;  // folder, lower-case stem
    for (const fs::path& p : found)
        if (AsciiLower(p.extension().native()) == fs::path(".qwz").native())
            stems.insert({p.parent_path(), AsciiLower(p.stem().native())});
    std::vector<fs::path> out;
    for (const fs::path& p : found) {
        const NativeString stem = BackupStem(p);
        if (!stem.empty() && stems.count({p.parent_path(), AsciiLower(stem)}) != 0) continue;
        out.push_back(p);
    }
    return out;
}

void RemoveEarlierRecord(const std::filesystem::path& backup, platform::FileOps& ops) {
    // A record is a few lines; anything much larger is not one.
    constexpr uint64_t kLargestRecord = 4096;
    static const std::string kFirstLine = "qwz-record 1\n";
    std::filesystem::path record = backup;
    record += ".txt";
    platform::FileState state;
    std::vector<uint8_t> text;
    Reason ignored;
    if (ops.Examine(record, false, &state) != platform::NameKind::Regular || state.size > kLargestRecord ||
        !ops.ReadAll(record, text, ignored) || text.size() < kFirstLine.size() ||
        !std::equal(kFirstLine.begin(), kFirstLine.end(), text.begin()))
        return;
    ops.Remove(record, ignored);
}

}  // namespace qwz::replace
