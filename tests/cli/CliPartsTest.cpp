// The parts of the console tool that need no process: the command line, the
// file walk and the text of names and numbers.
#include "bytes/FormatError.h"
#include "cli/CommandLine.h"
#include "cli/ConvertCommand.h"
#include "cli/Text.h"
#include "engine/Conversion.h"
#include "engine/FileWalk.h"
#include "replace/BackupName.h"
#include "support/MemoryFileOps.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace qwz::cli {
namespace {

TEST(CommandLine, ConvertOptionsBecomeTheirValues) {
    ParsedCommandLine p = ParseCommandLine({"convert", "--to", "202", "--drop", "lines,uv", "--drop", "other",
                                            "--no-backup", "--recursive", "--dry-run", "--json", "a", "b"});
    ASSERT_TRUE(p.run) << p.err;
    const Options& o = p.options;
    EXPECT_EQ(o.command, Command::Convert);
    EXPECT_EQ(o.target, 202);
    const TQWZSaveParams keep = ParamsFromOptions(o);
    EXPECT_FALSE(keep.KeepLines || keep.KeepUV || keep.KeepOtherExtra || keep.KeepOriginal);
    EXPECT_TRUE(keep.KeepPolylines && keep.KeepArcs && keep.KeepCircles && keep.KeepScalingZones);
    EXPECT_TRUE(o.noBackup && o.recursive && o.dryRun && o.json);
    EXPECT_EQ(o.paths, (std::vector<fs::path>{"a", "b"}));

    ParsedCommandLine spaced = ParseCommandLine({"convert", "--to", "202", "--drop", " lines, uv ,other", "a"});
    ASSERT_TRUE(spaced.run) << spaced.err;
    EXPECT_EQ(spaced.options.drop, o.drop) << "spaces around the names";

    ParsedCommandLine plain = ParseCommandLine({"convert", "--to", "204", "--drop", "arcs", "x", "y"});
    ASSERT_TRUE(plain.run) << plain.err;
    EXPECT_FALSE(ParamsFromOptions(plain.options).KeepArcs);
    EXPECT_EQ(plain.options.paths, (std::vector<fs::path>{"x", "y"})) << "a path after --drop is a path";

    ParsedCommandLine streamed = ParseCommandLine({"convert", "--to", "203", "-j", "3", "-q", "--json-lines", "a"});
    ASSERT_TRUE(streamed.run) << streamed.err;
    EXPECT_EQ(streamed.options.jobs, 3u);
    EXPECT_TRUE(streamed.options.quiet && streamed.options.jsonLines && !streamed.options.json);
    EXPECT_EQ(o.jobs, 0u) << "one per processor unless asked";

    ParsedCommandLine marked = ParseCommandLine({"info", "x", "--", "--json", "--"});
    ASSERT_TRUE(marked.run) << marked.err;
    EXPECT_FALSE(marked.options.json);
    EXPECT_EQ(marked.options.paths, (std::vector<fs::path>{"x", "--json", "--"})) << "after -- every word is a path";

    ParsedCommandLine slash = ParseCommandLine({"info", "/to", "/json"});
    ASSERT_TRUE(slash.run) << slash.err;
    EXPECT_FALSE(slash.options.json);
    EXPECT_EQ(slash.options.paths, (std::vector<fs::path>{"/to", "/json"})) << "a leading slash is a path";
    EXPECT_FALSE(plain.options.noBackup || plain.options.recursive || plain.options.dryRun || plain.options.json);

    ParsedCommandLine watch = ParseCommandLine({"watch", "--to", "202", "--drop", "uv", "--no-backup", "--settle",
                                                "0.25", "--poll", "30", "d"});
    ASSERT_TRUE(watch.run) << watch.err;
    EXPECT_EQ(watch.options.command, Command::Watch);
    const ConversionRequest asked = RequestFromOptions(watch.options);
    EXPECT_TRUE(asked.target == 202 && asked.write && !asked.params.KeepUV && !asked.params.KeepOriginal);
    EXPECT_EQ(watch.options.settle, std::chrono::milliseconds(250));
    EXPECT_EQ(watch.options.poll, std::chrono::seconds(30));
    EXPECT_FALSE(plain.options.settle || plain.options.poll) << "the watch's own defaults unless asked";

    for (auto args : std::vector<std::vector<std::string>>{
             {"convert", "--to", "2030", "x"}, {"convert", "--to", "", "x"}, {"convert", "--to"},
             {"check"}, {"info", "x", "--to", "203"}, {"unknown", "x"}, {"restore"}, {"restore", "--to", "203", "x"}}) {
        ParsedCommandLine bad = ParseCommandLine(args);
        EXPECT_FALSE(bad.run) << args[0];
        EXPECT_EQ(bad.exitCode, kExitUsage) << args[0];
        EXPECT_EQ(bad.err.rfind("qwz: ", 0), 0u) << bad.err;
    }
}

TEST(FileWalk, FoldersGiveTheirQwzFilesOnceAndSkipKeptBackups) {
    test::MemoryFileOps disk;
    const fs::path root = "/d";
    for (const char* name : {"b.qwz", "A.QwZ", "b_org.qwz", "lone_org.qwz", "c.qwz.txt", "qwz", "sub/d.qwz"})
        disk.Put(root / name, "Q");
    disk.MakeFolder(root / "folder.qwz");  // a folder is no file, whatever its name

    std::vector<WalkEntry> flat = CollectFiles({root, root / "b.qwz", root / "c.qwz.txt"}, false, disk);
    std::vector<fs::path> paths;
    for (const WalkEntry& e : flat) {
        EXPECT_TRUE(e.error.empty()) << e.path;
        paths.push_back(e.path);
    }
    // The backup of b.qwz is left out; one without its original is listed
    // as a kept backup, which a conversion skips. A file named directly is
    // taken whatever its name.
    EXPECT_EQ(paths, (std::vector<fs::path>{root / "A.QwZ", root / "b.qwz", root / "lone_org.qwz",
                                            root / "c.qwz.txt"}));
    EXPECT_EQ(flat[2].keptBackup, true);
    EXPECT_EQ(flat[0].keptBackup || flat[1].keptBackup || flat[3].keptBackup, false);
    const ConversionOutcome lone = KeptBackupSkip(flat[2], disk);
    EXPECT_EQ(lone.status, ConversionStatus::Skipped);
    EXPECT_EQ(lone.sizeBefore, 1u);
    EXPECT_EQ(lone.reason, "to kopia zapasowa pliku \"lone.qwz\", którego nie ma obok; zostaje bez zmian "
                           "(przywraca ją polecenie qwz restore)");
    EXPECT_FALSE(CollectFiles({root / "lone_org.qwz"}, false, disk)[0].keptBackup) << "named: as any file";

    std::vector<WalkEntry> deep = CollectFiles({root / "sub" / ".." / "sub", root}, true, disk);
    ASSERT_EQ(deep.size(), 4u);
    EXPECT_EQ(deep[0].path.filename(), "d.qwz");
    EXPECT_EQ(deep[3].path.filename(), "lone_org.qwz") << "sub/d.qwz was already listed";

    // Named on its own, a kept backup reaches the conversion, which leaves
    // it alone as the walk does; with its original gone it is converted.
    EXPECT_EQ(replace::OriginalOfKeptBackup(root / "b_org.qwz", disk), root / "b.qwz");
    EXPECT_EQ(replace::OriginalOfKeptBackup(root / "a_ORG.qwz", disk), root / "A.QwZ");
    EXPECT_EQ(replace::OriginalOfKeptBackup(root / "lone_org.qwz", disk), fs::path());
    EXPECT_EQ(replace::OriginalOfKeptBackup(root / "folder_org.qwz", disk), fs::path()) << "folder.qwz is no file";
    const ConversionOutcome kept = ConvertQwz(root / "b_org.qwz", {203, TQWZSaveParams(), true, {}}, disk);
    EXPECT_EQ(kept.status, ConversionStatus::Skipped);
    EXPECT_EQ(kept.reason, "to kopia zapasowa pliku \"b.qwz\", zostaje bez zmian");
    EXPECT_EQ(disk.Examine(root / "b_org_org.qwz", false, nullptr), platform::NameKind::Missing);
    EXPECT_EQ(ConvertQwz(root / "lone_org.qwz", {203, TQWZSaveParams(), true, {}}, disk).status,
              ConversionStatus::Failed)
        << "not a QWZ file, but judged as one";

    std::vector<WalkEntry> missing = CollectFiles({root / "nope", root / "b.qwz" / "x"}, false, disk);
    ASSERT_EQ(missing.size(), 2u);
    EXPECT_EQ(missing[0].error, "nie ma takiego pliku ani folderu");
    EXPECT_TRUE(missing[1].missing) << "a file on the way: " << missing[1].error;
    disk.MakeLink("loop", root / "loop");
    std::vector<WalkEntry> looped = CollectFiles({root / "loop"}, false, disk);
    ASSERT_EQ(looped.size(), 1u);
    EXPECT_EQ(looped[0].error, "nie można odczytać ścieżki (za dużo dowiązań symbolicznych w ścieżce)");
    EXPECT_FALSE(looped[0].missing);

    // A link stands for its file, which is listed once (under the name
    // first in order); a second hard name of the file is a name of its own;
    // links to folders are not followed, and what is no regular file is
    // not listed.
    disk.Make("/links", {{"real.qwz", "R"}, {"alias.qwz", "@link:real.qwz"}, {"hard.qwz", "@hard:real.qwz"},
                         {"up.qwz", "@link:/d/sub"}, {"pipe.qwz", "@fifo"}, {"gone.qwz", "@link:none.qwz"}});
    std::vector<WalkEntry> linked = CollectFiles({"/links", "/links/real.qwz", "/d/../links/alias.qwz"}, true, disk);
    paths.clear();
    for (const WalkEntry& e : linked) paths.push_back(e.path);
    EXPECT_EQ(paths, (std::vector<fs::path>{fs::path("/links") / "alias.qwz", fs::path("/links") / "hard.qwz"}));
}

TEST(Text, NamesAreReadInCodePage1250AndFloatsWrittenShortest) {
    EXPECT_EQ(NameToUtf8("Zwyk\xB3y"), "Zwykły");
    EXPECT_EQ(NameToUtf8("\xA5\xC6\xCA\xA3\xD1\xD3\x8C\x8F\xAF\xB9\xE6\xEA\xB3\xF1\xF3\x9C\x9F\xBF"),
              "ĄĆĘŁŃÓŚŹŻąćęłńóśźż");
    EXPECT_EQ(NameToUtf8("\x80\x81\xFF"), "€\xEF\xBF\xBD˙");
    EXPECT_EQ(FloatText(0.1f), "0.1");
    EXPECT_EQ(FloatText(-3.25f), "-3.25");
    EXPECT_EQ(FloatForJson(0.1f), 0.1);
    EXPECT_EQ(float(FloatForJson(1.0e-7f)), 1.0e-7f);
}

// A name that is not valid Unicode comes with its exact bytes as well (base64
// of every length remainder); a valid one alone.
TEST(Text, JsonPathsCarryNamesThatAreNotUnicodeInBase64) {
    struct Row {
        fs::path path;
        const char* base64;  // nullptr: none
    };
#ifdef _WIN32
    const Row rows[] = {{L"Łódź.qwz", nullptr}, {std::wstring(L"a\xD800"), "YQAA2A=="},
                        {std::wstring(L"a\xD800" L"b"), "YQAA2GIA"}};
#else
    const Row rows[] = {{"Łódź.qwz", nullptr}, {"\xff", "/w=="}, {"\xff\xfe", "//4="}, {"a\xff\n.qwz", "Yf8KLnF3eg=="}};
#endif
    for (const Row& row : rows) {
        nlohmann::ordered_json j;
        PutPath(j, "backup", row.path);
        EXPECT_EQ(j["backup"], PathToUtf8(row.path));
        EXPECT_EQ(j.size(), row.base64 ? 2u : 1u);
        if (row.base64) {
            EXPECT_EQ(j["backup_base64"], row.base64);
        }
    }
}

TEST(Text, ExceptionsBecomePolishReasons) {
    EXPECT_EQ(ExceptionText(std::bad_alloc()), "za mało pamięci");
    EXPECT_EQ(ExceptionText(FormatError(FormatError::Kind::Truncated, 7, "nazwa")), "plik urwany na bajcie 7 (nazwa)");
    EXPECT_EQ(ExceptionText(fs::filesystem_error("x", std::make_error_code(std::errc::permission_denied))),
              "brak uprawnień");
    EXPECT_EQ(ExceptionText(std::length_error("vector::reserve")), "nieoczekiwany błąd programu");
}

}  // namespace
}  // namespace qwz::cli
