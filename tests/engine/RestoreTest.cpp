// Putting kept backups back: one row per situation a folder can be in, each
// run as a dry run and then for real, with the folder compared before and
// after; then a second restore or conversion of the same file, or another
// program's write, forced into the middle of one.
#include "engine/Restore.h"
#include "platform/SafeReplace.h"
#include "support/FaultyFileOps.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>

namespace qwz {
namespace {

namespace fs = std::filesystem;
using test::FaultyFileOps;
using test::TempDir;
using enum RestoreStatus;

// What a folder holds: each name with a regular file's content, "@folder",
// or "@link:TARGET". A row writes "@hard:NAME" for a second name of NAME.
using Folder = std::map<std::string, std::string>;

const std::string kConverted = "converted bytes";
const std::string kOriginal = "the original's bytes";

Folder Snapshot(const fs::path& dir) {
    Folder f;
    for (const auto& e : fs::directory_iterator(dir)) {
        const std::string name = e.path().filename().string();
        if (e.is_symlink()) f[name] = "@link:" + fs::read_symlink(e.path()).string();
        else if (e.is_directory()) f[name] = "@folder";
        else {
            const std::vector<uint8_t> bytes = TempDir::read(e.path());
            f[name] = std::string(bytes.begin(), bytes.end());
        }
    }
    return f;
}

void Make(const TempDir& dir, const Folder& folder) {
    for (const auto& [name, what] : folder) {
        const fs::path p = dir.path() / name;
        if (what == "@folder") fs::create_directory(p);
        else if (what.rfind("@link:", 0) == 0) fs::create_symlink(what.substr(6), p);
        else if (what.rfind("@hard:", 0) != 0) dir.write(name, {what.begin(), what.end()});
    }
    for (const auto& [name, what] : folder)
        if (what.rfind("@hard:", 0) == 0) fs::create_hard_link(dir.path() / what.substr(6), dir.path() / name);
}

struct Row {
    const char* name;
    Folder before;
    const char* given;   // the path restored, in the folder
    RestoreStatus status;
    const char* file;    // the user's name in the result
    const char* backup;  // the backup in the result; "" none
    const char* says;    // part of the reason; "" when there is none
    Folder after;        // the folder after the real run
};

const Row kRows[] = {
    {"the backup takes the converted file's name", {{"a.qwz", kConverted}, {"a_org.qwz", kOriginal}, {"b.qwz", "b"}},
     "a.qwz", Restored, "a.qwz", "a_org.qwz", "", {{"a.qwz", kOriginal}, {"b.qwz", "b"}}},
    {"no backup beside the file", {{"a.qwz", kConverted}, {"b_org.qwz", kOriginal}},
     "a.qwz", Skipped, "a.qwz", "", "brak kopii zapasowej \"", {{"a.qwz", kConverted}, {"b_org.qwz", kOriginal}}},
    {"the backup name is a folder", {{"a.qwz", kConverted}, {"a_org.qwz", "@folder"}},
     "a.qwz", Failed, "a.qwz", "a_org.qwz", "jest folderem", {{"a.qwz", kConverted}, {"a_org.qwz", "@folder"}}},
#ifndef _WIN32
    {"the backup name is a symbolic link",
     {{"a.qwz", kConverted}, {"a_org.qwz", "@link:other.qwz"}, {"other.qwz", kOriginal}},
     "a.qwz", Failed, "a.qwz", "a_org.qwz", "dowiązaniem symbolicznym",
     {{"a.qwz", kConverted}, {"a_org.qwz", "@link:other.qwz"}, {"other.qwz", kOriginal}}},
#endif
    {"a stopped conversion left a second name of the file", {{"a.qwz", kOriginal}, {"a_org.qwz", "@hard:a.qwz"}},
     "a.qwz", Restored, "a.qwz", "a_org.qwz", "już jest oryginałem", {{"a.qwz", kOriginal}}},
    {"the file is missing and its backup is there", {{"a_org.qwz", kOriginal}},
     "a.qwz", Restored, "a.qwz", "a_org.qwz", "", {{"a.qwz", kOriginal}}},
    {"the path given is the backup", {{"a.qwz", kConverted}, {"a_org.qwz", kOriginal}},
     "a_org.qwz", Restored, "a.qwz", "a_org.qwz", "", {{"a.qwz", kOriginal}}},
    {"the backup given finds its file in another letter case", {{"A.QWZ", kConverted}, {"A_org.qwz", kOriginal}},
     "A_org.qwz", Restored, "A.QWZ", "A_org.qwz", "", {{"A.QWZ", kOriginal}}},
    {"a file named like a backup that has a backup of its own",
     {{"a.qwz", "a"}, {"a_org.qwz", kConverted}, {"a_org_org.qwz", kOriginal}},
     "a_org.qwz", Restored, "a_org.qwz", "a_org_org.qwz", "", {{"a.qwz", "a"}, {"a_org.qwz", kOriginal}}},
};

TEST(Restore, EachSituationDecidedAlikeInADryRunAndForReal) {
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.name);
        TempDir dir;
        Make(dir, row.before);
        const Folder before = Snapshot(dir.path());
        const fs::path given = dir.path() / row.given;

        const RestoreResult dry = RestoreQwz(given, false);
        EXPECT_EQ(Snapshot(dir.path()), before) << "a dry run changed the folder";
        const RestoreResult real = RestoreQwz(given, true);
        for (const RestoreResult* r : {&dry, &real}) {
            EXPECT_EQ(r->status, row.status) << r->reason;
            EXPECT_EQ(r->file, dir.path() / row.file);
            EXPECT_EQ(r->backup, *row.backup ? dir.path() / row.backup : fs::path());
            if (*row.says) EXPECT_NE(r->reason.find(row.says), std::string::npos) << r->reason;
            else EXPECT_EQ(r->reason, "");
        }
        EXPECT_EQ(Snapshot(dir.path()), row.after);
    }
}

TEST(Restore, AReadOnlyFileIsRefusedAndKept) {
    TempDir dir;
    Make(dir, {{"a.qwz", kConverted}, {"a_org.qwz", kOriginal}});
    fs::permissions(dir.path() / "a.qwz", fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    const RestoreResult r = RestoreQwz(dir.path() / "a.qwz", true);
    EXPECT_EQ(r.status, Failed);
    EXPECT_NE(r.reason.find("jest tylko do odczytu"), std::string::npos) << r.reason;
    fs::permissions(dir.path() / "a.qwz", fs::perms::owner_write, fs::perm_options::add);
    EXPECT_EQ(Snapshot(dir.path()), (Folder{{"a.qwz", kConverted}, {"a_org.qwz", kOriginal}}));
}

// A second restore, or a conversion, of the same file forced into the
// middle of a restore: after the first judged the backup, the second may
// finish first, and the first refuses; while the first holds the file, the
// second gives up. Another program writing the
// file before the backup takes its name stops the restore.
enum class Meanwhile { Restore, Convert, Write };

struct TimingRow {
    const char* name;
    const char* step;  // the first restore stops before this step...
    int occurrence;    // ...its n-th time
    Meanwhile action;
    RestoreStatus first;
    const char* firstSays;   // part of its reason; "" when there is none
    const char* secondSays;  // part of the other one's reason; "" when it succeeds
    Folder after;
};

const TimingRow kTimingRows[] = {
    {"a restore ends after the first one judged the backup", "Examine", 2, Meanwhile::Restore, Failed,
     "zmieniła się w trakcie przywracania", "", {{"a.qwz", kOriginal}}},
    {"a restore while the first one holds the file", "IsInUse", 1, Meanwhile::Restore, Restored, "",
     "konwertowany przez inny program", {{"a.qwz", kOriginal}}},
    {"a conversion while the first one holds the file", "IsInUse", 1, Meanwhile::Convert, Restored, "",
     "konwertowany przez inny program", {{"a.qwz", kOriginal}}},
    {"the file is written while the first one holds it", "IsInUse", 1, Meanwhile::Write, Failed,
     "zmienił się w trakcie przywracania", "", {{"a.qwz", kConverted + "!"}, {"a_org.qwz", kOriginal}}},
};

TEST(Restore, ASecondRestoreOrConversionMeanwhileLosesNothing) {
    for (const TimingRow& row : kTimingRows) {
        SCOPED_TRACE(row.name);
        TempDir dir;
        Make(dir, {{"a.qwz", kConverted}, {"a_org.qwz", kOriginal}});
        const fs::path file = dir.path() / "a.qwz";
        FaultyFileOps first;
        int seen = 0;
        platform::Reason second = "not run";
        bool written = false;
        first.before = [&](const std::string& step) {
            EXPECT_TRUE(fs::is_regular_file(file)) << "the user's name is empty before " << step;
            if (step != row.step || ++seen != row.occurrence) return;
            switch (row.action) {
            case Meanwhile::Restore: second = RestoreQwz(file, true).reason; break;
            case Meanwhile::Convert: {
                platform::ReplaceOptions options;
                options.backup = dir.path() / "a_org.qwz";
                const std::string bytes = "bytes of another conversion";
                if (platform::ReplaceFileSafely(file, {bytes.begin(), bytes.end()}, options, second)) second.clear();
                break;
            }
            case Meanwhile::Write: {
                // Where the system keeps others from writing a file that is
                // held (Windows), nothing changes and the restore goes on.
                std::ofstream out(file, std::ios::binary | std::ios::app);
                written = bool(out << "!") && bool(out.flush());
                second.clear();
                break;
            }
            }
        };
        const RestoreResult r = RestoreQwz(file, true, first);
        if (row.action == Meanwhile::Write && !written) {
            EXPECT_EQ(r.status, Restored) << r.reason;
            EXPECT_EQ(Snapshot(dir.path()), (Folder{{"a.qwz", kOriginal}}));
            continue;
        }
        EXPECT_EQ(r.status, row.first) << r.reason;
        EXPECT_NE(r.reason.find(row.firstSays), std::string::npos) << r.reason;
        if (*row.secondSays) EXPECT_NE(second.str().find(row.secondSays), std::string::npos) << second;
        else EXPECT_EQ(second, "");
        EXPECT_EQ(Snapshot(dir.path()), row.after);
    }
}

}  // namespace
}  // namespace qwz
