// What the check before a file is read counts: memory of the work's own
// against every limit, and a file seen in place against the address space
// only, its holes against the machine's memory as well; and the control group's limit found from the system's files, given
// here as the system would lay them out.
#include "platform/GroupMemoryLimit.h"
#include "platform/MemoryLimit.h"
#include "replace/OriginalFile.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>

#ifndef _WIN32
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace qwz::platform {
namespace {

constexpr uint64_t kMiB = uint64_t(1) << 20;
constexpr uint64_t kNone = UINT64_MAX;

struct FitsRow {
    const char* name;
    MemoryNeed need;
    MemoryLimits limits;  // physical, address space, data, group
    const char* refusal;  // "" when it fits
};

const FitsRow kFitsRows[] = {
    {"a 274 MB file seen in place under a 200 MiB data limit", {9 * kMiB, 274 * kMiB},
     {kNone, kNone, 200 * kMiB, kNone}, ""},
    {"the same file read into memory", {274 * kMiB, 0}, {kNone, kNone, 200 * kMiB, kNone},
     "plik jest za duży, by zmieścić go w pamięci (274 MB, dostępne 200 MB)"},
    {"a file seen in place under a group limit below its size", {0, 274 * kMiB}, {kNone, kNone, kNone, 100 * kMiB}, ""},
    {"a file read under a group limit below its size", {274 * kMiB, 0}, {kNone, kNone, kNone, 100 * kMiB},
     "plik jest za duży, by zmieścić go w pamięci (274 MB, dostępne 100 MB)"},
    {"a file read under less physical memory", {274 * kMiB, 0}, {256 * kMiB, kNone, kNone, kNone},
     "plik jest za duży, by zmieścić go w pamięci (274 MB, dostępne 256 MB)"},
    {"a file the disk holds, seen in place, beyond the machine's memory", {9 * kMiB, 1024 * 1024 * kMiB, 0},
     {24 * 1024 * kMiB, kNone, kNone, kNone}, ""},
    {"a sparse file seen in place, its holes beyond the machine's memory",
     {9 * kMiB, 1024 * 1024 * kMiB, 1024 * 1024 * kMiB - 4096}, {24 * 1024 * kMiB, kNone, kNone, kNone},
     "plik jest za duży, by zmieścić go w pamięci (1048576 MB, dostępne 24567 MB)"},
    {"own memory beyond the machine's, the file seen in place", {30 * 1024 * kMiB, 1024 * kMiB, 0},
     {24 * 1024 * kMiB, kNone, kNone, kNone}, "plik jest za duży, by zmieścić go w pamięci (30720 MB, dostępne 24576 MB)"},
    {"a file seen in place beyond the address space", {0, 274 * kMiB}, {kNone, 256 * kMiB, kNone, kNone},
     "plik jest za duży, by zmieścić go w pamięci (274 MB, dostępne 256 MB)"},
    {"own memory and the view together beyond the address space", {9 * kMiB, 274 * kMiB},
     {kNone, 280 * kMiB, kNone, kNone}, "plik jest za duży, by zmieścić go w pamięci (274 MB, dostępne 271 MB)"},
    {"no limits at all", {kNone, kNone}, {}, ""},
};

TEST(MemoryLimit, OwnMemoryCountsAgainstEveryLimitAndAFileSeenInPlaceOnlyAsAddressSpaceAndItsHoles) {
    for (const FitsRow& row : kFitsRows) {
        SCOPED_TRACE(row.name);
        std::string reason;
        // The file is what the work holds most of.
        const uint64_t file = std::max(row.need.own, row.need.seen);
        EXPECT_EQ(Fits(row.need, row.limits, file, &reason), *row.refusal == 0);
        EXPECT_EQ(reason, row.refusal);
    }
}

// The system's files of a machine, by path.
using SystemFiles = std::map<std::string, std::string>;

const std::string kV2Mount = "30 23 0:26 / /sys/fs/cgroup rw,nosuid - cgroup2 cgroup2 rw,nsdelegate\n";
const std::string kV1Mounts =
    "31 23 0:28 / /sys/fs/cgroup ro - tmpfs tmpfs ro,mode=755\n"
    "32 31 0:29 / /sys/fs/cgroup/cpu,cpuacct rw shared:5 - cgroup cgroup rw,cpu,cpuacct\n"
    "35 31 0:32 / /sys/fs/cgroup/memory rw shared:8 - cgroup cgroup rw,memory\n"
    "41 31 0:38 / /sys/fs/cgroup/unified rw - cgroup2 cgroup2 rw\n";
const std::string kV1Unlimited = "9223372036854771712\n";

struct GroupRow {
    const char* name;
    SystemFiles files;
    uint64_t limit;
};

const GroupRow kGroupRows[] = {
    {"version 2: the smallest limit from the process's group up",
     {{"/proc/self/cgroup", "0::/user.slice/app.scope\n"},
      {"/proc/self/mountinfo", kV2Mount},
      {"/sys/fs/cgroup/user.slice/app.scope/memory.max", "max\n"},
      {"/sys/fs/cgroup/user.slice/memory.max", "536870912\n"}},
     512 * kMiB},
    {"version 2 without a limit", {{"/proc/self/cgroup", "0::/a\n"}, {"/proc/self/mountinfo", kV2Mount},
                                   {"/sys/fs/cgroup/a/memory.max", "max\n"}}, kNone},
    {"version 1 beside an empty version 2 hierarchy",
     {{"/proc/self/cgroup", "5:devices:/\n4:memory:/process_api/d115\n0::/\n"},
      {"/proc/self/mountinfo", kV1Mounts},
      {"/sys/fs/cgroup/memory/process_api/d115/memory.limit_in_bytes", "209715200\n"},
      {"/sys/fs/cgroup/memory/process_api/memory.limit_in_bytes", kV1Unlimited},
      {"/sys/fs/cgroup/memory/memory.limit_in_bytes", kV1Unlimited}},
     200 * kMiB},
    {"version 1 sharing its hierarchy with other controllers, its parent's limit lower",
     {{"/proc/self/cgroup", "3:cpu,memory:/job/step\n"},
      {"/proc/self/mountinfo", "40 31 0:32 / /cg/mem\\040x rw - cgroup cgroup rw,cpu,memory\n"},
      {"/cg/mem x/job/step/memory.limit_in_bytes", "300000000"},
      {"/cg/mem x/job/memory.limit_in_bytes", "100000000"}},
     100000000},
    {"version 1 in a container: the mount shows the process's own group at its top",
     {{"/proc/self/cgroup", "4:memory:/docker/abc\n"},
      {"/proc/self/mountinfo", "50 40 0:32 /docker/abc /sys/fs/cgroup/memory ro - cgroup cgroup rw,memory\n"},
      {"/sys/fs/cgroup/memory/memory.limit_in_bytes", "67108864\n"}},
     64 * kMiB},
    {"both versions: the smaller",
     {{"/proc/self/cgroup", "4:memory:/a\n0::/b\n"},
      {"/proc/self/mountinfo", kV1Mounts},
      {"/sys/fs/cgroup/memory/a/memory.limit_in_bytes", "400000000\n"},
      {"/sys/fs/cgroup/unified/b/memory.max", "300000000\n"}},
     300000000},
    {"no mount table: the usual places",
     {{"/proc/self/cgroup", "0::/s\n"}, {"/sys/fs/cgroup/s/memory.max", "123456789\n"}}, 123456789},
    {"no groups at all", {}, kNone},
    {"a limit that is not a number", {{"/proc/self/cgroup", "0::/s\n"}, {"/proc/self/mountinfo", kV2Mount},
                                      {"/sys/fs/cgroup/s/memory.max", "lots\n"}}, kNone},
};

TEST(MemoryLimit, TheControlGroupLimitIsReadForEitherVersionFromTheProcesssOwnGroupUp) {
    for (const GroupRow& row : kGroupRows) {
        SCOPED_TRACE(row.name);
        const ReadSystemFile read = [&](const std::string& path, std::string& text) {
            const auto found = row.files.find(path);
            if (found == row.files.end()) return false;
            text = found->second;
            return true;
        };
        EXPECT_EQ(GroupMemoryLimit(read), row.limit);
    }
}

#ifndef _WIN32
// Under a data limit of 200 MiB, sees the file in place and reads it into
// memory, and says on standard error how each went.
[[noreturn]] void SeeAndReadUnderADataLimit(const std::filesystem::path& file) {
    const rlimit data{200 * kMiB, 200 * kMiB};
    ::setrlimit(RLIMIT_DATA, &data);
    replace::OriginalFile original;
    FileView view;
    Reason reason;
    const bool seen = original.Open(file, reason) && original.See(view, reason) && view.size() == 274 * kMiB;
    std::fprintf(stderr, "%s", seen ? "seen" : reason.c_str());
    std::vector<uint8_t> bytes;
    std::fprintf(stderr, "; %s", original.Read(bytes, reason) ? "read" : reason.c_str());
    ::_exit(0);
}

// Where the system sees the original in place, a file larger than the data
// limit is seen, not refused: its pages are the system's cache of the file.
// Read into memory instead, it cannot fit.
TEST(MemoryLimit, AFileLargerThanTheDataLimitIsSeenInPlace) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer's own memory does not fit under the data limit";
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    GTEST_SKIP() << "AddressSanitizer's own memory does not fit under the data limit";
#endif
#endif
    test::TempDir dir;
    const std::filesystem::path file = dir.path() / "large.qwz";
    std::ofstream(file).put('Q');
    std::filesystem::resize_file(file, 274 * kMiB);  // sparse: nothing is written
    EXPECT_EXIT(SeeAndReadUnderADataLimit(file), ::testing::ExitedWithCode(0),
                "^seen; plik jest za duży, by zmieścić go w pamięci \\(274 MB, dostępne 200 MB\\)$");
}
#endif

}  // namespace
}  // namespace qwz::platform
