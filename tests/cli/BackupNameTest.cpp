// The dry run decides exactly as the real conversion does: for what is
// already at the backup name, judged at that name itself (a link there is
// not followed), and for every kind of file and choice of what to keep.
#include "SceneFile.h"
#include "cli/ConvertCommand.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <fstream>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace fs = std::filesystem;

namespace qwz::cli {
namespace {

struct BackupCase {
    const char* name;
    // Puts something at the backup name of `file` (or picks the file's name).
    void (*prepare)(const fs::path& folder, fs::path& file);
    bool converts;
    const char* reason;  // a refusal's reason holds this
};

const std::vector<uint8_t>& Original() {
    static const std::vector<uint8_t> bytes = test::BuildVersion204(test::FullScene());
    return bytes;
}

void Put(const fs::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                std::streamsize(bytes.size()));
}

// What has the name; a name too long to exist has nothing.
fs::file_type Status(const fs::path& path) {
    std::error_code ec;
    const fs::file_type type = fs::symlink_status(path, ec).type();
    return ec ? fs::file_type::not_found : type;
}

fs::path Plain(const fs::path& folder) { return folder / "a.qwz"; }

const BackupCase kCases[] = {
    {"nothing there", [](const fs::path& d, fs::path& f) { f = Plain(d); }, true, ""},
    {"another file",
     [](const fs::path& d, fs::path& f) {
         f = Plain(d);
         Put(d / "a_org.qwz", {'e', 'a', 'r', 'l', 'y'});
     },
     false, "już istnieje"},
    {"a folder",
     [](const fs::path& d, fs::path& f) {
         f = Plain(d);
         fs::create_directory(d / "a_org.qwz");
     },
     false, "jako folder"},
    {"a second name of the file itself",  // what a stopped conversion leaves
     [](const fs::path& d, fs::path& f) {
         f = Plain(d);
         Put(f, Original());
         fs::create_hard_link(f, d / "a_org.qwz");
     },
     true, ""},
    {"a backup name longer than the file system takes",
     [](const fs::path& d, fs::path& f) { f = d / (std::string(250, 'n') + ".qwz"); }, false,
     "za długa"},
    {"the longest name whose backup still fits",
     [](const fs::path& d, fs::path& f) { f = d / (std::string(243, 'n') + ".qwz"); }, true, ""},
#ifndef _WIN32
    {"a symbolic link to the file",
     [](const fs::path& d, fs::path& f) {
         f = Plain(d);
         fs::create_symlink("a.qwz", d / "a_org.qwz");
     },
     false, "dowiązanie symboliczne"},
    {"a dangling symbolic link",
     [](const fs::path& d, fs::path& f) {
         f = Plain(d);
         fs::create_symlink("gone.qwz", d / "a_org.qwz");
     },
     false, "dowiązanie symboliczne"},
    {"a FIFO",
     [](const fs::path& d, fs::path& f) {
         f = Plain(d);
         ASSERT_EQ(mkfifo((d / "a_org.qwz").c_str(), 0644), 0);
     },
     false, "nie jest zwykłym plikiem"},
#endif
};

FileOutcome ConvertOrPlan(const fs::path& file, bool dryRun) {
    Options o;
    o.command = Command::Convert;
    o.target = 203;
    o.dryRun = dryRun;
    o.paths = {file};
    ConvertReport r = RunConvert(o, {});
    EXPECT_EQ(r.files.size(), 1u);
    return r.files.empty() ? FileOutcome{} : r.files[0];
}

TEST(BackupName, WhatHasTheNameDecidesAndTheDryRunAgrees) {
    for (const BackupCase& c : kCases) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        fs::path file;
        c.prepare(dir.path(), file);
        if (!fs::exists(file)) Put(file, Original());
        fs::path backup = file;
        backup.replace_filename(file.stem().native() + fs::path("_org.qwz").native());
        const fs::file_type before = Status(backup);

        const FileOutcome planned = ConvertOrPlan(file, true);
        const FileOutcome done = ConvertOrPlan(file, false);
        EXPECT_EQ(planned.status, done.status) << planned.reason << " / " << done.reason;
        if (c.converts) {
            ASSERT_EQ(done.status, FileStatus::Converted) << done.reason;
            EXPECT_EQ(test::TempDir::read(file)[3], 203);
            EXPECT_EQ(test::TempDir::read(backup), Original());
        } else {
            ASSERT_EQ(done.status, FileStatus::Failed);
            EXPECT_EQ(planned.reason, done.reason);
            EXPECT_NE(done.reason.find(c.reason), std::string::npos) << done.reason;
            // Nothing was touched: the file, whatever has the backup name,
            // and no other file was left.
            EXPECT_EQ(test::TempDir::read(file), Original());
            EXPECT_EQ(Status(backup), before);
            size_t entries = size_t(std::distance(fs::directory_iterator(dir.path()), {}));
            EXPECT_EQ(entries, before == fs::file_type::not_found ? 1u : 2u);
        }
    }
}

// Files of every kind, each planned and then converted under the same
// request: the plan is what the conversion did, to the byte count.
TEST(BackupName, ThePlanIsWhatTheConversionDoes) {
    test::Scene noTail = test::FullScene();
    noTail.tail.clear();
    const std::vector<std::vector<uint8_t>> files = {
        Original(),
        test::BuildVersion204(noTail),
        {'Q', 'W', 'Z'},                                   // cut in its header
        test::Bytes().magic(205).zeros(40).vec(),          // a version that is not read
        test::Bytes().magic(204).i32(1).zeros(8).vec(),    // damaged
    };
    for (const auto& drop : {std::vector<std::string>{}, std::vector<std::string>{"lines", "uv"}}) {
        for (size_t f = 0; f < files.size(); ++f) {
            SCOPED_TRACE("file " + std::to_string(f) + ", drops " + std::to_string(drop.size()));
            test::TempDir dir;
            const fs::path file = dir.path() / "a.qwz";
            Put(file, files[f]);
            Options o;
            o.command = Command::Convert;
            o.target = f == 1 ? 204 : 202;
            o.paths = {file};
            for (const std::string& name : drop)
                for (size_t i = 0; i < kKeepFlagCount; ++i)
                    if (kKeepFlags[i].dropName && name == kKeepFlags[i].dropName) o.drop[i] = true;
            o.dryRun = true;
            const FileOutcome planned = RunConvert(o, {}).files.at(0);
            o.dryRun = false;
            const FileOutcome done = RunConvert(o, {}).files.at(0);
            EXPECT_EQ(planned.status, done.status);
            EXPECT_EQ(planned.reason, done.reason);
            EXPECT_EQ(planned.fromVersion, done.fromVersion);
            EXPECT_EQ(planned.toVersion, done.toVersion);
            EXPECT_EQ(planned.sizeBefore, done.sizeBefore);
            EXPECT_EQ(planned.sizeAfter, done.sizeAfter);
            EXPECT_EQ(planned.backup, done.backup);
            for (size_t i = 0; i < kKeepFlagCount; ++i) {
                EXPECT_EQ(planned.dropped.byFlag[i].names, done.dropped.byFlag[i].names) << i;
                EXPECT_EQ(planned.dropped.byFlag[i].blocks, done.dropped.byFlag[i].blocks) << i;
            }
            if (done.status == FileStatus::Converted)
                EXPECT_EQ(std::filesystem::file_size(file), done.sizeAfter);
            else
                EXPECT_EQ(test::TempDir::read(file), files[f]);
        }
    }
}

}  // namespace
}  // namespace qwz::cli
