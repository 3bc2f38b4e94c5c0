// The converter killed at random moments while it converts a large file:
// after every kill the user's file is the original byte for byte, or the
// complete converted file with the original under the backup name; nothing
// else is left but at most one temporary file, which the next conversion of
// that file removes.
#ifndef _WIN32

#include "replace/SafeReplace.h"
#include "support/Bytes.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <random>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace qwz {
namespace {

using test::Bytes;
using test::TempDir;
using Clock = std::chrono::steady_clock;

// A version 204 file of a few megabytes: one mesh of 400 000 vertices and
// faces (3-byte indices) and a scaling-zone block.
std::vector<uint8_t> LargeFile() {
    const int n = 400000;
    Bytes b;
    b.magic(204).f32(1.5f).f32(2.5f).f32(-3.5f);
    b.i32(0);                                                  // circles and lights
    b.i32(1).name("linie").i32(1).i32(1).fill(48, 0x4C);      // lines
    b.i32(0).i32(0);                                           // polylines, arcs
    b.i32(1);                                                  // meshes
    b.name("teren").i32(-1).i32(n);
    for (int v = 0; v < n; ++v) b.f32(float(v % 1000) * 0.5f).f32(float(v / 1000)).f32(0.25f);
    b.i32(n);
    for (int f = 0; f < n; ++f) b.u8(f & 7);
    for (int f = 0; f < n; ++f) b.u24(f).u24((f + 1) % n).u24((f + 1000) % n).u24((f + 999) % n);
    b.u8(3).i32(55).i32(0).zeros(48).u8(0).u8(0).u8(0);
    return b.vec();
}

pid_t Start(const std::filesystem::path& file) {
    const std::string program = QWZ_PROGRAM_PATH, version = "203", path = file.string();
    std::vector<char*> argv = {const_cast<char*>(program.c_str()), const_cast<char*>("-v"),
                               const_cast<char*>(version.c_str()), const_cast<char*>(path.c_str()),
                               nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

void RunToEnd(const std::filesystem::path& file) {
    pid_t pid = Start(file);
    int status = 0;
    waitpid(pid, &status, 0);
}

TEST(CrashSafety, KilledAtRandomMomentsTheUsersFileIsNeverLost) {
    TempDir dir;
    const std::vector<uint8_t> original = LargeFile();
    const std::filesystem::path file = dir.path() / "projekt.qwz";
    const std::filesystem::path backup = dir.path() / "projekt_org.qwz";

    // The converted bytes, and how long an undisturbed conversion takes: the
    // slowest of three, so that a busy machine still lets some runs finish
    // before their kill.
    Clock::duration duration{};
    for (int run = 0; run < 3; ++run) {
        std::filesystem::remove(backup);
        dir.write("projekt.qwz", original);
        const auto begin = Clock::now();
        RunToEnd(file);
        duration = std::max(duration, Clock::now() - begin);
    }
    const std::vector<uint8_t> converted = TempDir::read(file);
    ASSERT_EQ(TempDir::read(backup), original);
    ASSERT_NE(converted, original);
    ASSERT_EQ(converted[3], 203);

    std::mt19937 random(20261207);
    std::uniform_int_distribution<long> delay(0, std::chrono::duration_cast<std::chrono::microseconds>(
                                                     duration * 3 / 2).count());
    int keptOriginal = 0, wasConverted = 0, leftTemporary = 0;
    const int kills = 200;
    bool fresh = true;
    for (int k = 0; k < kills; ++k) {
        if (fresh) {
            std::filesystem::remove(backup);
            dir.write("projekt.qwz", original);
        }
        pid_t pid = Start(file);
        std::this_thread::sleep_for(std::chrono::microseconds(delay(random)));
        kill(pid, SIGKILL);
        int status = 0;
        waitpid(pid, &status, 0);

        int temporaries = 0;
        for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
            if (entry.path() == file || entry.path() == backup) continue;
            ASSERT_TRUE(replace::IsTemporaryNameOf(entry.path(), file))
                << "kill " << k << " left " << entry.path();
            ++temporaries;
        }
        ASSERT_LE(temporaries, 1) << "kill " << k;
        leftTemporary += temporaries;

        const std::vector<uint8_t> now = TempDir::read(file);
        if (now == original) {
            ++keptOriginal;
            // A backup name made before the kill can only be the original.
            if (std::filesystem::exists(backup)) {
                ASSERT_EQ(TempDir::read(backup), original) << k;
            }
            fresh = false;  // the next conversion starts from what the kill left
        } else {
            ASSERT_EQ(now, converted) << "kill " << k << ": neither the original nor the converted file";
            ASSERT_EQ(TempDir::read(backup), original) << "kill " << k;
            ++wasConverted;
            fresh = true;
        }
    }
    std::printf("[ kills    ] %d: the original kept %d times, converted %d times, "
                "a temporary file left %d times\n", kills, keptOriginal, wasConverted, leftTemporary);
    EXPECT_GT(keptOriginal, 0);
    EXPECT_GT(wasConverted, 0);

    // Whatever the last kill left, the next conversion completes and cleans up.
    if (fresh) {
        std::filesystem::remove(backup);
        dir.write("projekt.qwz", original);
    }
    RunToEnd(file);
    EXPECT_EQ(TempDir::read(file), converted);
    EXPECT_EQ(TempDir::read(backup), original);
    // The file and its backup, and nothing else.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                            std::filesystem::directory_iterator()), 2);
}

}  // namespace
}  // namespace qwz

#endif
