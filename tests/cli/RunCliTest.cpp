// The tool run in process through RunCli, for what the program's own
// console cannot show a test: the progress line of a terminal, the reports
// of files that the readers stop early on, and memory running out. This
// test executable replaces the global allocation functions so that large
// allocations of the calling thread can be made to fail.
#include "SceneFile.h"
#include "cli/CheckCommand.h"
#include "cli/ProgressLine.h"
#include "cli/Run.h"
#include "cli/Text.h"
#include "cli/TextWidth.h"
#include "support/MemoryFileOps.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <new>

namespace {

// Allocations of at least this many bytes on this thread fail; 0: none do.
thread_local size_t failingFrom = 0;

}  // namespace

// The replacements stay out of line: inlined into a caller, GCC sees malloc
// from operator new meet operator delete, or operator new's memory meet
// free(), and warns of a mismatch (-Wmismatched-new-delete) although the
// pair matches.
[[gnu::noinline]] void* operator new(size_t n) {
    if (failingFrom != 0 && n >= failingFrom) throw std::bad_alloc();
    if (void* p = std::malloc(n ? n : 1)) return p;
    throw std::bad_alloc();
}
[[gnu::noinline]] void operator delete(void* p) noexcept { std::free(p); }
[[gnu::noinline]] void operator delete(void* p, size_t) noexcept { std::free(p); }

namespace fs = std::filesystem;

namespace qwz::cli {
namespace {

using test::MemoryFileOps;

// A console whose standard error is a terminal `columns` wide (0: none),
// whose standard output fails after `outFailsAfter` writes (unless 0), and
// which reports a stop signal from the `stopAfter`th write to standard
// output on (unless 0).
class CapturedConsole : public Console {
public:
    explicit CapturedConsole(size_t columns = 0) : columns_(columns) {}
    std::string Out(std::string_view s) override {
        ++outWrites;
        if (outFailsAfter != 0 && outWrites > outFailsAfter) return "brak miejsca na dysku";
        out.append(s);
        return {};
    }
    void Err(std::string_view s) override { err.append(s); }
    size_t ErrColumns() const override { return columns_; }
    size_t OutColumns() const override { return 0; }
    int StopSignal() const override { return stopAfter != 0 && outWrites >= stopAfter ? signal : 0; }
    std::string out, err;
    size_t outWrites = 0, outFailsAfter = 0, stopAfter = 0;
    int signal = 2;

private:
    size_t columns_;
};

// The progress line: only on a terminal, never as wide as it (a long
// Polish name shortened in the middle by columns, not bytes), at most a few
// times a second, blanked before other text and at the end.
TEST(RunCli, ProgressLineFitsTheTerminalAndIsClearedAtTheEnd) {
    std::string written;
    ProgressLine line([&written](const std::string& s) { written += s; }, 24, std::chrono::milliseconds(200));
    const ProgressLine::Clock::time_point t0{};
    line.Show(1, 3, PathFromUtf8("źdźbło/żółć-ściana-łąka.qwz"), t0);
    EXPECT_EQ(written, "\r[1/3] źdźbło/ż…łąka.qwz") << "23 columns, 38 bytes";
    line.Show(2, 3, "b.qwz", t0 + std::chrono::milliseconds(100));
    EXPECT_EQ(written, "\r[1/3] źdźbło/ż…łąka.qwz") << "too soon after the last";
    line.Show(3, 3, "c.qwz", t0 + std::chrono::milliseconds(300));
    EXPECT_EQ(written, "\r[1/3] źdźbło/ż…łąka.qwz\r[3/3] c.qwz" + std::string(12, ' '));
    line.Clear();
    line.Redraw();
    EXPECT_EQ(written.substr(written.size() - 25), "\r" + std::string(11, ' ') + "\r" + "\r[3/3] c.qwz");
    EXPECT_EQ(ShortenMiddle("家家家家.qwz", 7), "家…qwz");
    EXPECT_EQ(DisplayWidth("Łódź e\xCC\x81 \xFF"), 8u) << "a combining mark takes no column, a stray byte one";

    test::MemoryFileOps disk;
    const fs::path a = disk.Put("/katalog/dlugi-plik.qwz", test::BuildVersion204(test::FullScene()));
    const std::vector<std::string> args{"convert", "--to", "203", "--dry-run", PathToUtf8(a), PathToUtf8(a)};
    CapturedConsole terminal(40);
    EXPECT_EQ(RunCli(args, terminal, disk), 0) << terminal.out;
    const std::string first = "[1/1] " + ShortenMiddle(PathToUtf8(a), 33);
    EXPECT_EQ(terminal.err.substr(0, first.size() + 1), "\r" + first);
    const std::string blank = "\r" + std::string(DisplayWidth(first), ' ') + "\r";
    EXPECT_EQ(terminal.err.substr(terminal.err.size() - blank.size()), blank) << "left empty for the shell";
    EXPECT_EQ(terminal.out.find('\r'), std::string::npos);

    CapturedConsole pipe;
    EXPECT_EQ(RunCli(args, pipe, disk), 0);
    EXPECT_EQ(pipe.err, "");
    EXPECT_EQ(pipe.out, terminal.out);
}

TEST(RunCli, ReadsThatStopEarlyOrCannotStartAreReportedAsDamage) {
    test::MemoryFileOps disk;
    const fs::path dir = "/d";
    // A complete file, then an opaque block that declares no bytes: the
    // reader drops it and ends the tail there, which a conversion would
    // carry out silently.
    std::vector<uint8_t> cut = test::BuildVersion204(test::FullScene());
    for (uint8_t b : {9, 0, 0, 0, 0, 9, 1, 0, 0, 0, 7}) cut.push_back(b);
    const fs::path stopped = disk.Put(dir / "stopped.qwz", cut);
    const fs::path unknown = disk.Put(dir / "unknown.qwz", test::Bytes().magic(205).zeros(40));

    CheckEntry e = CheckFile(stopped, disk);
    EXPECT_TRUE(e.load.ok);
    EXPECT_TRUE(e.Damaged());
    EXPECT_EQ(e.version, 204);
    ASSERT_EQ(e.load.notes.size(), 1u);
    const size_t at = cut.size() - 11;
    EXPECT_EQ(CheckLine(e), "uszkodzony: " + PathToUtf8(stopped) +
                                " — wersja 204, odczyt przerwany: uszkodzony blok dodatkowych danych na bajcie " +
                                std::to_string(at) + "; nie odczytano 11 bajtów do końca pliku\n");

    CapturedConsole console;
    EXPECT_EQ(RunCli({"info", PathToUtf8(unknown)}, console, disk), 1);
    EXPECT_EQ(console.err, PathToUtf8(unknown) +
                               "\n  błąd: nieobsługiwana wersja formatu 205 (obsługiwane: 201, 202, 203, 204)\n");

    // The folder gives its files, the one named before it only once.
    CapturedConsole check;
    EXPECT_EQ(RunCli({"check", PathToUtf8(unknown), PathToUtf8(dir)}, check, disk), 1);
    EXPECT_NE(check.out.find(CheckLine(e)), std::string::npos) << check.out;
    EXPECT_NE(check.out.find("\nSprawdzone pliki: 2; uszkodzone: 2\n"), std::string::npos) << check.out;
}

// A file name with control characters is shown escaped, so every report
// keeps one line per file (a name that does not exist works on every
// platform).
TEST(RunCli, ControlCharactersInANameKeepTheReportOneLinePerFile) {
    const std::string name = "nowy\nplik\x1b[2J.qwz";
    const std::string shown = "nowy\\nplik\\x1b[2J.qwz";
    for (const char* command : {"check", "info", "convert", "restore"}) {
        std::vector<std::string> args{command, name};
        if (command == std::string("convert")) args = {command, "--to", "203", name};
        CapturedConsole console;
        EXPECT_EQ(RunCli(args, console), 1) << command;
        const std::string all = console.out + console.err;
        EXPECT_EQ(std::count(all.begin(), all.end(), '\n'), 2) << all;
        EXPECT_NE(console.err.find(shown), std::string::npos) << console.err;
        EXPECT_EQ(all.find('\x1b'), std::string::npos) << command;
    }
}

// A file too large for the memory left, or for any memory, is reported in
// Polish and the other files are still read.
TEST(RunCli, NoMemoryForAFileIsItsReasonAndTheRunGoesOn) {
    test::MemoryFileOps disk;
    const fs::path large = disk.Put("/d/duzy.qwz", test::Bytes().magic(204).zeros(1 << 20).vec());
    const fs::path small = disk.Put("/d/maly.qwz", test::BuildVersion204(test::FullScene()));
    // Larger than any memory (sparse: it takes none): refused before it is read.
    const fs::path huge = disk.Put("/d/ogromny.qwz", test::Bytes().magic(204).zeros(64).vec());
    disk.Grow(huge, uint64_t(1) << 40);
    for (const char* command : {"check", "info"}) {
        for (bool json : {false, true}) {
            std::vector<std::string> args{command, PathToUtf8(large), PathToUtf8(small), PathToUtf8(huge)};
            if (json) args.insert(args.begin() + 1, "--json");
            CapturedConsole captured;
            failingFrom = 1 << 20;
            const int code = RunCli(args, captured, disk);
            failingFrom = 0;
            struct {
                std::string out, err;
            } console{captured.out + captured.err, captured.err};
            EXPECT_EQ(code, 1) << command;
            EXPECT_NE(console.out.find("za mało pamięci, by wczytać plik"), std::string::npos) << console.out;
            EXPECT_EQ((console.out + console.err).find("bad_alloc"), std::string::npos) << console.err;
            EXPECT_NE(console.out.find("plik jest za duży, by zmieścić go w pamięci"), std::string::npos)
                << console.out;
            const char* read = json ? "\"version\": 204" : command == std::string("check") ? "(wersja 204)" : "wersja: 204";
            EXPECT_NE(console.out.find(read), std::string::npos) << "the small file is read: " << console.out;
        }
    }
}

// Each file's result is written as soon as it is done, so a stop that the
// written lines bring about (here the console reports a signal from the
// second write on, or refuses the second write) comes after exactly those
// files: no further file is started, the summary says what was done, and
// the exit code says why the run ended. A conversion's files are done
// together, as one group: all six are begun before the first is written,
// and a stop then lets the whole group complete.
TEST(RunCli, ResultsAreWrittenAsFilesFinishAndAStopStartsNoFurtherFile) {
    struct Row {
        std::vector<std::string> args;  // before the folder
        size_t stopAfter, outFailsAfter;
        int exitCode;
        size_t resultLines;   // per-file lines on standard output
        const char* summary;  // its start, or the last JSON line's
        const char* err;
    };
    const Row rows[] = {
        {{"convert", "--to", "203", "-j", "1"}, 2, 0, 130, 6, "Pliki: 6; przekonwertowane 6, pominięte 0, błędy 0",
         "qwz: przerwano (SIGINT) — rozpoczęte pliki dokończono, nierozpoczęte: 0\n"},
        {{"convert", "--to", "203", "-j", "1", "--json-lines"}, 2, 0, 130, 6,
         R"({"format":1,"dry_run":false,"target":203,"summary":{"files":6,"converted":6,"skipped":0,"failed":0},)"
         R"("interrupted":true,"not_started":0})",
         "qwz: przerwano (SIGINT) — rozpoczęte pliki dokończono, nierozpoczęte: 0\n"},
        {{"convert", "--to", "203", "-j", "1"}, 0, 1, 3, 1, "",
         "qwz: nie można zapisać wyniku na standardowe wyjście: brak miejsca na dysku\n"},
        {{"check", "-q"}, 0, 0, 0, 0, "Sprawdzone pliki: 6; uszkodzone: 0", ""},
        {{"check", "--json-lines"}, 3, 0, 130, 3,
         R"({"format":1,"checked":3,"damaged":0,"failed":0,"interrupted":true,"not_started":3})",
         "qwz: przerwano (SIGINT) — rozpoczęte pliki dokończono, nierozpoczęte: 3\n"},
        {{"info", "--json-lines"}, 1, 0, 130, 1, R"({"format":1,"interrupted":true,"not_started":5})",
         "qwz: przerwano (SIGINT) — rozpoczęte pliki dokończono, nierozpoczęte: 5\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.args[0] + " " + row.args.back());
        test::MemoryFileOps disk;
        const fs::path dir = "/d";
        for (char name = 'a'; name < 'g'; ++name)
            disk.Put(dir / (std::string(1, name) + ".qwz"), test::BuildVersion204(test::FullScene()));
        std::vector<std::string> args = row.args;
        args.push_back(PathToUtf8(dir));
        CapturedConsole console;
        console.stopAfter = row.stopAfter;
        console.outFailsAfter = row.outFailsAfter;
        EXPECT_EQ(RunCli(args, console, disk), row.exitCode);
        EXPECT_EQ(console.err, row.err);
        const std::vector<std::string> lines = [&] {
            std::vector<std::string> v;
            for (size_t at = 0, nl; (nl = console.out.find('\n', at)) != std::string::npos; at = nl + 1)
                v.push_back(console.out.substr(at, nl - at));
            return v;
        }();
        ASSERT_EQ(lines.size(), row.resultLines + (row.summary[0] ? 1 : 0)) << console.out;
        for (size_t i = 0; i < row.resultLines; ++i) {
            // As text, or as a JSON string (backslashes doubled on Windows).
            const std::string path = PathToUtf8(dir / (std::string(1, char('a' + i)) + ".qwz"));
            const std::string quoted = nlohmann::json(path).dump();
            EXPECT_TRUE(lines[i].find(path) != std::string::npos || lines[i].find(quoted) != std::string::npos)
                << "in the files' order: " << lines[i];
        }
        if (row.summary[0]) {
            EXPECT_EQ(lines.back().rfind(row.summary, 0), 0u) << lines.back();
        }
        if (row.args[0] == "convert") {
            // The group of six completes, whatever stopped the run; nothing
            // else is left.
            size_t converted = 0;
            for (const auto& [name, bytes] : disk.Snapshot(dir)) {
                EXPECT_TRUE(name.size() == 5 || name.find("_org.qwz") == 1) << "left behind: " << name;
                if (name.size() == 5 && uint8_t(bytes[3]) == 203) ++converted;
            }
            EXPECT_EQ(converted, 6u);
        }
    }
}

// A tree converted and then restored by the tool, all in memory: each
// command's report, and what became of every name. The walk goes into the
// sub-folder, passes over what is no *.qwz regular file, skips a kept
// backup left without its file (which the restore then puts back under
// that file's name), and a FIFO named is refused without waiting on it.
TEST(RunCli, ATreeConvertedAndRestoredComesBackAsItWas) {
    test::MemoryFileOps disk;
    const std::vector<uint8_t> scene = test::BuildVersion204(test::FullScene());
    const std::string original(scene.begin(), scene.end()), lone = "kept by an earlier run";
    const MemoryFileOps::Folder before{{"a.qwz", original}, {"junk.qwz", "not QWZ"}, {"lone_org.qwz", lone},
                                       {"notes.txt", "text"}, {"pipe.qwz", "@fifo"}, {"sub", "@folder"}};
    disk.Make("/w", before);
    disk.Put("/w/sub/b.qwz", original);
    const auto path = [](const char* name) { return PathToUtf8(fs::path("/w") / name); };
    const std::string subB = PathToUtf8(fs::path("/w") / "sub" / "b.qwz");

    CapturedConsole convert;
    EXPECT_EQ(RunCli({"convert", "--to", "203", "--recursive", "-j", "1", "/w", path("pipe.qwz")}, convert, disk), 1);
    const std::string converted = " (204 → 203), kopia: ";
    EXPECT_EQ(convert.out.substr(0, convert.out.find('\n')),
              "przekonwertowany: " + path("a.qwz") + converted + path("a_org.qwz") + "; nic nie usunięto");
    EXPECT_NE(convert.out.find("\npominięty: " + path("lone_org.qwz") + " — to kopia zapasowa pliku \"lone.qwz\""),
              std::string::npos)
        << convert.out;
    EXPECT_NE(convert.out.find("\nprzekonwertowany: " + subB + converted), std::string::npos) << convert.out;
    EXPECT_NE(convert.out.find("\nPliki: 5; przekonwertowane 2, pominięte 1, błędy 2\n"), std::string::npos)
        << convert.out;
    EXPECT_EQ(convert.err, "błąd: " + path("junk.qwz") + " — to nie jest plik QWZ (brak znacznika \"QWZ\" na początku)\n" +
                               "błąd: " + path("pipe.qwz") + " — to nie jest zwykły plik\n");
    MemoryFileOps::Folder after = disk.Snapshot("/w");
    EXPECT_EQ(after.size(), before.size() + 1) << "a backup, nothing else";
    EXPECT_TRUE(after["a_org.qwz"] == original) << "the original kept";
    EXPECT_EQ(uint8_t(after["a.qwz"].at(3)), 203);
    EXPECT_EQ(disk.Snapshot("/w/sub").size(), 2u);

    CapturedConsole restore;
    EXPECT_EQ(RunCli({"restore", "--recursive", "/w"}, restore, disk), 0) << restore.err;
    EXPECT_EQ(restore.out, "przywrócony: " + path("a.qwz") + " z kopii " + path("a_org.qwz") + "\n" +
                               "przywrócony: " + path("lone.qwz") + " z kopii " + path("lone_org.qwz") + "\n" +
                               "przywrócony: " + subB + " z kopii " + PathToUtf8(fs::path("/w") / "sub" / "b_org.qwz") +
                               "\nPliki: 3; przywrócone 3, pominięte 0, błędy 0\n");
    MemoryFileOps::Folder restored = before;
    restored.erase("lone_org.qwz");
    restored["lone.qwz"] = lone;
    EXPECT_EQ(disk.Snapshot("/w"), restored);
    EXPECT_EQ(disk.Snapshot("/w/sub"), (MemoryFileOps::Folder{{"b.qwz", original}}));
}

}  // namespace
}  // namespace qwz::cli
