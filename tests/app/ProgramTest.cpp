// The real program run from its command line on files built here: what it
// does to the files, the debug lines it sends, and its exit code (always 0).
#include "app/ProgramRun.h"
#include "app/SampleFiles.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <set>

#ifndef _WIN32
#include "platform/ConversionSlot.h"

#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <future>
#endif

namespace qwz {
namespace {

namespace fs = std::filesystem;
using test::Bytes;
using test::Empty202;
using test::Empty203;
using test::ProgramRun;
using test::RunProgram;
using test::Sample204;
using test::TempDir;
using test::Utf8Of;
using test::VersionOf;

std::set<std::string> Listing(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.insert(Utf8Of(entry.path().filename()));
    return names;
}

std::string SkipLine(const fs::path& file) {
    return "Plik \"" + Utf8Of(file) + "\" jest już w odpowiedniej wersji";
}

// What a conversion that succeeded tells: one line on Linux, nothing in the
// debug output on Windows.
std::vector<std::string> ConvertedLines(const fs::path& file, int from, int to) {
#ifdef _WIN32
    (void)file, (void)from, (void)to;
    return {};
#else
    fs::path backup = file;
    backup.replace_extension().concat("_org.qwz");
    return {"Przekonwertowano plik \"" + Utf8Of(file) + "\" z wersji " + std::to_string(from) + " do " +
            std::to_string(to) + ", oryginał: \"" + Utf8Of(backup) + "\""};
#endif
}

std::string FailureLine(const fs::path& file, const std::string& reason) {
    return "Nie przekonwertowano pliku \"" + Utf8Of(file) + "\": " + reason;
}

// The debug lines of the conversion itself; the version 204 writer adds a
// summary line of its own ("F: ...") that is not the conversion's.
std::vector<std::string> ConversionLines(const ProgramRun& run) {
    std::vector<std::string> out;
    for (const std::string& l : run.lines)
        if (l.rfind("F: ", 0) != 0) out.push_back(l);
    return out;
}

class Program : public ::testing::Test {
protected:
    // Writes a file and dates it an hour back, so that any rewrite shows.
    fs::path Put(const fs::path& name, const std::vector<uint8_t>& bytes) {
        fs::path p = dir.write(name, bytes);
        fs::last_write_time(p, fs::last_write_time(p) - std::chrono::hours(1));
        return p;
    }

    ProgramRun Run(const std::vector<std::string>& args) {
        ProgramRun run = RunProgram(args);
        EXPECT_TRUE(run.started);
        EXPECT_EQ(run.exitCode, 0);
        return run;
    }

    // The file converted to version 203 with its original as the backup.
    void ExpectConvertedTo203(const fs::path& file, const std::vector<uint8_t>& original) {
        std::vector<uint8_t> now = TempDir::read(file);
        EXPECT_EQ(VersionOf(now), 203);
        KlasaQwz doc;
        EXPECT_EQ(doc.LoadBytes(now.data(), now.size()), 203);
        EXPECT_EQ(TempDir::read(BackupOf(file)), original);
    }

    static fs::path BackupOf(const fs::path& file) {
        fs::path b = file;
        return b.replace_extension().concat("_org.qwz");
    }

    TempDir dir;
};

TEST_F(Program, AFileInTheTargetVersionIsSkippedUntouched) {
    std::vector<uint8_t> bytes = Sample204();
    QWZ_REQUIRE_LAYOUTS(bytes, 204);
    fs::path file = Put("hall.qwz", bytes);
    const auto mtime = fs::last_write_time(file);
    for (const char* v : {"-v", "-V"}) {
        SCOPED_TRACE(v);
        ProgramRun run = Run({v, "204", Utf8Of(file)});
        EXPECT_EQ(run.lines, std::vector<std::string>{SkipLine(file)});
        EXPECT_EQ(TempDir::read(file), bytes);
        EXPECT_EQ(fs::last_write_time(file), mtime);
        EXPECT_EQ(Listing(dir.path()), (std::set<std::string>{"hall.qwz"}));
    }
}

TEST_F(Program, ATargetThatIsNoNonNegativeNumberLeavesTheDefault) {
    std::vector<uint8_t> v202 = Empty202();
    QWZ_REQUIRE_LAYOUTS(v202, 202);
    // "-v -52" read as a number would be written as version 204 (its low
    // byte), above the file's own; it is skipped like the default 203.
    fs::path file = Put("old.qwz", v202);
    const auto mtime = fs::last_write_time(file);
    ProgramRun run = Run({"-v", "-52", Utf8Of(file)});
    EXPECT_EQ(run.lines, std::vector<std::string>{SkipLine(file)});
    EXPECT_EQ(TempDir::read(file), v202);
    EXPECT_EQ(fs::last_write_time(file), mtime);
    EXPECT_EQ(Listing(dir.path()), (std::set<std::string>{"old.qwz"}));
}

TEST_F(Program, AVersion203FileIsSkippedByDefault) {
    std::vector<uint8_t> v203 = Empty203();
    QWZ_REQUIRE_LAYOUTS(v203, 203);
    fs::path file = Put("scene.qwz", v203);
    ProgramRun run = Run({Utf8Of(file)});
    EXPECT_EQ(run.lines, std::vector<std::string>{SkipLine(file)});
    EXPECT_EQ(TempDir::read(file), v203);
    EXPECT_EQ(Listing(dir.path()), (std::set<std::string>{"scene.qwz"}));
}

TEST_F(Program, Version204Becomes203WithTheOriginalKept) {
    std::vector<uint8_t> bytes = Sample204();
    QWZ_REQUIRE_LAYOUTS(bytes, 203);
    fs::path a = Put("a.qwz", bytes);
    ProgramRun run = Run({"-v", "203", Utf8Of(a)});
    EXPECT_EQ(ConversionLines(run), ConvertedLines(a, 204, 203));
    ExpectConvertedTo203(a, bytes);

    // A word after -v keeps 203.
    fs::path b = Put("b.qwz", bytes);
    Run({"-v", "najnowsza", Utf8Of(b)});
    ExpectConvertedTo203(b, bytes);

    // Only the first of two paths is converted.
    fs::path c = Put("c.qwz", bytes);
    fs::path d = Put("d.qwz", bytes);
    Run({Utf8Of(c), Utf8Of(d)});
    ExpectConvertedTo203(c, bytes);
    EXPECT_EQ(TempDir::read(d), bytes);
    EXPECT_EQ(Listing(dir.path()),
              (std::set<std::string>{"a.qwz", "a_org.qwz", "b.qwz", "b_org.qwz", "c.qwz", "c_org.qwz", "d.qwz"}));
}

TEST_F(Program, NamesOutsideTheEightBitCodePageConvert) {
    std::vector<uint8_t> bytes = Sample204();
    QWZ_REQUIRE_LAYOUTS(bytes, 203);
    for (const char8_t* name : {u8"ściana_żółta.qwz", u8"стена.qwz", u8"墙壁.qwz", u8"plan hali 2.qwz"}) {
        fs::path file = Put(fs::path(name), bytes);
        SCOPED_TRACE(Utf8Of(file));
        ProgramRun run = Run({Utf8Of(file)});
        EXPECT_EQ(ConversionLines(run), ConvertedLines(file, 204, 203));
        ExpectConvertedTo203(file, bytes);
    }
    // A skip names such a file exactly in its debug line.
    fs::path skipped = Put(fs::path(u8"łuk_203.qwz"), Empty203());
    EXPECT_EQ(Run({Utf8Of(skipped)}).lines, std::vector<std::string>{SkipLine(skipped)});
}

TEST_F(Program, WhatCannotBeConvertedIsLeftAloneWithAReason) {
    fs::path missing = dir.path() / "brak.qwz";
    EXPECT_EQ(Run({Utf8Of(missing)}).lines,
              std::vector<std::string>{FailureLine(missing, "plik nie istnieje")});
    EXPECT_TRUE(Listing(dir.path()).empty());

    std::vector<uint8_t> noMagic = Bytes().u8('Q').u8('X').u8('Z').u8(204).zeros(40);
    fs::path bad = Put("bad.qwz", noMagic);
    EXPECT_EQ(Run({Utf8Of(bad)}).lines,
              std::vector<std::string>{FailureLine(bad, "to nie jest plik QWZ (brak znacznika \"QWZ\" na początku)")});
    EXPECT_EQ(TempDir::read(bad), noMagic);

    std::vector<uint8_t> v205 = Bytes().magic(205).zeros(40);
    fs::path future = Put("future.qwz", v205);
    EXPECT_EQ(Run({Utf8Of(future)}).lines,
              std::vector<std::string>{FailureLine(future, "nieobsługiwana wersja formatu 205 (obsługiwane: 201, 202, 203, 204)")});
    EXPECT_EQ(TempDir::read(future), v205);
    EXPECT_EQ(Listing(dir.path()), (std::set<std::string>{"bad.qwz", "future.qwz"}));
}

TEST_F(Program, ATakenBackupNameOrAReadOnlyFileStopsTheConversion) {
    std::vector<uint8_t> bytes = Sample204();
    QWZ_REQUIRE_LAYOUTS(bytes, 203);
    fs::path file = Put("hall.qwz", bytes);
    std::vector<uint8_t> earlier = Bytes().magic(204).zeros(30);
    fs::path backup = Put("hall_org.qwz", earlier);
    ProgramRun run = Run({Utf8Of(file)});
    std::vector<std::string> lines = ConversionLines(run);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], FailureLine(file, "kopia zapasowa " + ("\"" + Utf8Of(backup) + "\"") +
                                              " już istnieje (usuń ją lub przenieś, aby "
                                              "przekonwertować plik ponownie)"));
    EXPECT_EQ(TempDir::read(file), bytes);
    EXPECT_EQ(TempDir::read(backup), earlier);
    EXPECT_EQ(Listing(dir.path()), (std::set<std::string>{"hall.qwz", "hall_org.qwz"}));

    fs::remove(backup);
    fs::permissions(file, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    lines = ConversionLines(Run({Utf8Of(file)}));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], FailureLine(file, "plik \"" + Utf8Of(file) + "\" jest tylko do odczytu"));
    EXPECT_EQ(TempDir::read(file), bytes);
    EXPECT_EQ(Listing(dir.path()), (std::set<std::string>{"hall.qwz"}));
    fs::permissions(file, fs::perms::owner_write, fs::perm_options::add);
}

#ifndef _WIN32

// What only a POSIX system can put in a conversion's way: something that is
// no regular file under the name, a file that cannot fit in memory (a
// sparse file with a valid start), a limit on the size of written files,
// and a file name of the longest length the file system takes.
TEST_F(Program, HostileFilesAndLimitsAreFailuresWithAReasonThatChangeNothing) {
    std::vector<uint8_t> bytes = Sample204();
    QWZ_REQUIRE_LAYOUTS(bytes, 203);
    const fs::path fifo = dir.path() / "fifo.qwz";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    EXPECT_EQ(ConversionLines(Run({Utf8Of(fifo)})),
              std::vector<std::string>{FailureLine(fifo, "to nie jest zwykły plik")});
    fs::remove(fifo);

    // A name holding a line end keeps the report on one line.
    const fs::path newline = Put("linia\nnowa.qwz", Empty203());
    EXPECT_EQ(Run({Utf8Of(newline)}).lines,
              std::vector<std::string>{"Plik \"" + Utf8Of(dir.path()) + "/linia\\nnowa.qwz\" jest już w "
                                       "odpowiedniej wersji"});
    fs::remove(newline);

    const fs::path huge = Put("huge.qwz", bytes);
    fs::resize_file(huge, uintmax_t(1) << 40);
    std::vector<std::string> lines = ConversionLines(Run({Utf8Of(huge)}));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].rfind(FailureLine(huge, "plik jest za duży, by zmieścić go w pamięci"), 0), 0u)
        << lines[0];
    EXPECT_EQ(fs::file_size(huge), uintmax_t(1) << 40);
    fs::remove(huge);

    // A limit below the new file's size: the write fails, it is not the
    // signal that would end the program with its temporary file left.
    // (The limit holds for the report written to a file too, so the new
    // file is made far larger than it: 100 line records.)
    Bytes large;
    large.magic(204).f32(1.5f).f32(-2.25f).f32(0.5f).i32(0).i32(1).name("Linie").i32(7).i32(100);
    large.fill(4800, 0x4C).i32(0).i32(0).i32(0);
    const fs::path limited = Put("limited.qwz", large.vec());
    ProgramRun run = RunProgram({Utf8Of(limited)}, {"sh", "-c", "ulimit -f 2 && exec \"$0\" \"$@\""});
    lines = ConversionLines(run);
    ASSERT_EQ(lines.size(), 1u) << run.output;
    EXPECT_NE(lines[0].find("plik jest za duży"), std::string::npos) << lines[0];
    EXPECT_EQ(TempDir::read(limited), large.vec());
    EXPECT_EQ(Listing(dir.path()), (std::set<std::string>{"limited.qwz"}));
    fs::remove(limited);

    // 255 bytes: the longest name converts (its backup name would be too
    // long, and is refused before anything is written).
    const fs::path longest = Put(std::string(251, 'n') + ".qwz", bytes);
    lines = ConversionLines(Run({Utf8Of(longest)}));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("jest za długa"), std::string::npos) << lines[0];
    EXPECT_EQ(Listing(dir.path()), (std::set<std::string>{longest.filename().string()}));
}

TEST_F(Program, WithoutAnActionItPrintsHowToUseIt) {
    ProgramRun run = Run({});
    EXPECT_NE(run.output.find("Użycie:"), std::string::npos) << run.output;
    EXPECT_TRUE(run.lines.empty());
    EXPECT_NE(Run({"-v", "202"}).output.find("Użycie:"), std::string::npos);
    // asked for, before any file; "--help" is no file to convert
    for (const char* help : {"-h", "--help", "/?", "-Embedding"}) {
        ProgramRun asked = Run({help, "x.qwz"});
        EXPECT_EQ(asked.output, run.output) << help;
        EXPECT_TRUE(asked.lines.empty()) << help;
    }
    ProgramRun version = Run({"--version", "x.qwz"});
    EXPECT_EQ(version.output, std::string("qwz-downgrader ") + QWZ_VERSION_STRING + "\n");
    EXPECT_TRUE(version.lines.empty());
}

// A run waits while every conversion slot is held, and ends once its file is done.
TEST_F(Program, AConversionWaitsForAFreeSlotAndEndsAfterIt) {
    std::vector<uint8_t> bytes = Sample204();
    QWZ_REQUIRE_LAYOUTS(bytes, 203);
    fs::path a = Put("a.qwz", bytes);
    std::vector<int> held;
    for (size_t i = 0; i < platform::ConversionSlotCount(); ++i) {
        held.push_back(open(platform::ConversionSlotName(i).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
        ASSERT_EQ(flock(held.back(), LOCK_EX), 0);  // waits while another run holds it
    }
    auto run = std::async(std::launch::async, [&] { Run({"-v", "203", Utf8Of(a)}); });
    EXPECT_EQ(run.wait_for(std::chrono::seconds(1)), std::future_status::timeout);
    EXPECT_EQ(TempDir::read(a), bytes);
    for (int fd : held) close(fd);
    run.get();
    ExpectConvertedTo203(a, bytes);
}

// A folder in which the user may not create files. The tests may run as the
// super-user, whom permissions do not stop, so then the program runs as the
// unprivileged user "nobody" (setpriv), for whom they hold.
TEST_F(Program, AFolderWithoutWritePermissionIsAFailureThatChangesNothing) {
    std::vector<uint8_t> bytes = Sample204();
    QWZ_REQUIRE_LAYOUTS(bytes, 203);
    fs::path locked = dir.path() / "locked";
    fs::create_directory(locked);
    fs::path file = locked / "hall.qwz";
    dir.write(file.lexically_relative(dir.path()), bytes);
    fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
    std::vector<std::string> prefix;
    if (geteuid() == 0) {
        if (std::system("setpriv --version >/dev/null 2>&1") != 0) GTEST_SKIP() << "no setpriv";
        prefix = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "--"};
    }
    ProgramRun run = RunProgram({Utf8Of(file)}, prefix);
    fs::permissions(locked, fs::perms::owner_write, fs::perm_options::add);
    EXPECT_EQ(run.exitCode, 0);
    std::vector<std::string> lines = ConversionLines(run);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].rfind(FailureLine(file, "nie można utworzyć pliku"), 0), 0u)
        << lines[0];
    EXPECT_NE(lines[0].find("brak uprawnień"), std::string::npos) << lines[0];
    EXPECT_EQ(TempDir::read(file), bytes);
    EXPECT_EQ(Listing(locked), (std::set<std::string>{"hall.qwz"}));
}

#else

// Another program holds the file open for reading without letting it be
// deleted or renamed (as a CAD program does with an open scene).
TEST_F(Program, AFileOpenInAnotherProgramIsAFailureThatChangesNothing) {
    std::vector<uint8_t> bytes = Sample204();
    QWZ_REQUIRE_LAYOUTS(bytes, 203);
    fs::path file = Put("hall.qwz", bytes);
    HANDLE held = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    std::vector<std::string> lines = ConversionLines(Run({Utf8Of(file)}));
    CloseHandle(held);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], FailureLine(file, "nie można zastąpić pliku \"" + Utf8Of(file) +
                                              "\": plik jest używany przez inny program"));
    EXPECT_EQ(TempDir::read(file), bytes);
    EXPECT_EQ(Listing(dir.path()), (std::set<std::string>{"hall.qwz"}));
}

// The folder is the read-only view of a folder that the test fills through
// its writable view (the test fixture readonly-folder.sh mounts it; drive Z:
// is the root of the build machine's file system).
TEST_F(Program, AFolderWithoutWritePermissionIsAFailureThatChangesNothing) {
    std::vector<uint8_t> bytes = Sample204();
    QWZ_REQUIRE_LAYOUTS(bytes, 203);
    const char* root = std::getenv("QWZ_READONLY_FOLDER");
    if (!root) GTEST_SKIP() << "run through ctest, which prepares the read-only folder";
    std::string dos = std::string("Z:") + root;
    for (char& c : dos)
        if (c == '/') c = '\\';
    fs::path src = fs::path(dos) / "src";
    fs::path view = fs::path(dos) / "view";
    if (!fs::exists(src / "ready")) GTEST_SKIP() << "no read-only folder (mounting not permitted)";
    std::ofstream(src / "hall.qwz", std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    fs::path file = view / "hall.qwz";
    ASSERT_EQ(TempDir::read(file), bytes);

    std::vector<std::string> lines = ConversionLines(Run({Utf8Of(file)}));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].rfind(FailureLine(file, "nie można utworzyć pliku"), 0), 0u)
        << lines[0];
    EXPECT_EQ(TempDir::read(file), bytes);
    EXPECT_EQ(Listing(view), (std::set<std::string>{"hall.qwz", "ready"}));
    fs::remove(src / "hall.qwz");
}

#endif

}  // namespace
}  // namespace qwz
