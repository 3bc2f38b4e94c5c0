// End-to-end tests of the real qwz program (native, and qwz.exe under Wine
// in the Windows build) on folder trees of files built byte by byte.
#include "RunProgram.h"
#include "SceneFile.h"
#include "cli/Text.h"
#include "cli/TextWidth.h"
#include "replace/BackupName.h"
#include "support/SymbolicLink.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <chrono>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>

#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>
extern char** environ;
#endif

namespace fs = std::filesystem;
using nlohmann::json;
using qwz::cli::PathFromUtf8;
using qwz::cli::PathToUtf8;

namespace qwz::test {
namespace {

ProgramResult Qwz(const std::vector<std::string>& args) { return RunProgram(ToolPath(), args); }

json ParseOut(const ProgramResult& r) {
    json j = json::parse(r.out, nullptr, false);
    EXPECT_FALSE(j.is_discarded()) << "not JSON:\n" << r.out << "\nstderr:\n" << r.err;
    return j;
}

int VersionByte(const fs::path& p) {
    std::vector<uint8_t> b = TempDir::read(p);
    return b.size() >= 4 ? b[3] : -1;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> out;
    size_t start = 0;
    for (size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1)
        out.push_back(text.substr(start, nl - start));
    return out;
}

// Every file under `root` with its bytes and modification time, and every
// folder: what a run that writes nothing must leave as it was.
struct TreeState {
    std::map<fs::path, std::pair<std::vector<uint8_t>, fs::file_time_type>> files;
    std::vector<fs::path> folders;
    bool operator==(const TreeState&) const = default;
};

TreeState Snapshot(const fs::path& root, const fs::path& leaveOut = {}) {
    TreeState s;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
        const fs::directory_entry& e = *it;
        if (e.path() == leaveOut) it.disable_recursion_pending();
        else if (e.is_directory()) s.folders.push_back(e.path());
        else s.files[e.path()] = {TempDir::read(e.path()), fs::last_write_time(e.path())};
    }
    std::sort(s.folders.begin(), s.folders.end());
    return s;
}

Scene LinesOnly() {
    Scene s;
    s.lines = {{"Osie", 5, 2, {}}};
    return s;
}

// A full scene with 5.0004f = 5.000400066375732, stored at scale 1000 as 5000, read back as 5.
Scene MovedScene() { Scene s = FullScene(); s.meshes[0].vertices[4][2] = 5.0004f; return s; }
constexpr double kMoved = 0.0004000663757324219;

// A full scene cut inside its mesh group: the reader runs out of data there.
std::vector<uint8_t> DamagedScene() {
    Scene s = FullScene();
    s.tail.clear();
    std::vector<uint8_t> bytes = BuildVersion204(s);
    bytes.resize(bytes.size() - 10);
    return bytes;
}

TEST(Tool, InfoJsonShowsWhatTheFileHolds) {
    TempDir dir;
    const fs::path file = dir.write("scene.qwz", BuildVersion204(MovedScene()));
    ProgramResult r = Qwz({"info", "--json", PathToUtf8(file)});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    json j = ParseOut(r);
    ASSERT_EQ(j["files"].size(), 1u);
    json f = j["files"][0];
    EXPECT_EQ(f["file"], PathToUtf8(file));
    EXPECT_EQ(f["version"], 204);
    EXPECT_EQ(f["reference_point"], json::parse("[12.5, -3.25, 0.1]"));
    EXPECT_EQ(f["vertex_scale"], 1.0);
    EXPECT_EQ(f["circles"], json::parse(R"([{"name":"Lampy","attribute":7,"records":2}])"));
    EXPECT_EQ(f["lines"], json::parse(R"([{"name":"Osie","attribute":1,"records":3},
                                          {"name":"Ściany","attribute":2,"records":0}])"));
    EXPECT_EQ(f["polylines"], json::parse(R"([{"name":"Obrys","attribute":3,"records":2,"points":4}])"));
    EXPECT_EQ(f["arcs"], json::parse(R"([{"name":"Łuki","attribute":4,"records":1}])"));
    EXPECT_EQ(f["meshes"], json::parse(R"([{"name":"Bryłą","attribute":11,"vertices":5,"faces":2},
                                           {"name":"Pusta","attribute":-1,"vertices":0,"faces":0}])"));
    EXPECT_EQ(f["tail"], json::parse(R"([{"kind":3,"type":"zones","blocks":1},
                                         {"kind":5,"type":"uv","blocks":1},
                                         {"kind":9,"type":"other","blocks":2}])"));
    EXPECT_EQ(f["max_vertex_error"], json({{"203", kMoved}, {"202", kMoved}}));

    ProgramResult text = Qwz({"info", PathToUtf8(file)});
    EXPECT_EQ(text.exitCode, 0);
    EXPECT_NE(text.out.find("punkt odniesienia: 12.5, -3.25, 0.1"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("\"Ściany\", atrybut 2, rekordy 0"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("\"Bryłą\", atrybut 11, wierzchołki 5, ściany 2"), std::string::npos) << text.out;
    // block kinds in the words of their keep flags
    EXPECT_NE(text.out.find("    rodzaj 3 (strefy skalowania): 1\n    rodzaj 5 (UV): 1\n"
                            "    rodzaj 9 (inne dane dodatkowe): 2\n"
                            "  do 203: największa zmiana współrzędnej 0.000400066\n"
                            "  do 202: największa zmiana współrzędnej 0.000400066\n"),
              std::string::npos)
        << text.out;
}

TEST(Tool, UsageErrorsExitWithTwoAndSayWhyInPolish) {
    struct Case {
        std::vector<std::string> args;
        std::string says;
    };
    const Case cases[] = {
        {{}, "podaj polecenie"},
        {{"convert", "x.qwz"}, "podaj wersję docelową: --to 202, 203 albo 204\n"},
        {{"convert", "--to", "201", "x.qwz"}, "nieobsługiwana wersja docelowa \"201\"; dozwolone: 202, 203, 204\n"},
        {{"convert", "--to", "203", "--drop", "lines,meshes", "x.qwz"},
         "nieznany rodzaj w --drop: \"meshes\"; dozwolone: lines, polylines, arcs, circles, uv, zones, other\n"},
        {{"convert", "--to", "203", "--drop", "lines,,uv", "x.qwz"}, "pusty rodzaj w --drop \"lines,,uv\""},
        {{"convert", "--to", "203"}, "co najmniej jeden plik"},
        {{"info", "--frobnicate", "x.qwz"}, "nieznana opcja polecenia info: --frobnicate\n"},
        {{"--frobnicate"}, "nieznana opcja: --frobnicate\n"},
        {{"--to", "203", "convert", "x.qwz"}, "opcja --to stoi przed nazwą polecenia; podaj ją po niej\n"},
        {{"convrt", "x.qwz"}, "nieznane polecenie: convrt; dostępne: info, check, convert, restore, watch\n"},
        {{"convert", "--to", "203", "--to", "204", "x.qwz"}, "opcję --to można podać tylko raz\n"},
        {{"convert", "x.qwz", "--to"}, "opcja --to wymaga wartości (WERSJA)\n"},
        {{"convert", "--to", "203", "--drop"}, "opcja --drop wymaga wartości (RODZAJ[,RODZAJ...])\n"},
        {{"check", "--json=tak", "x.qwz"}, "przełącznik --json nie przyjmuje wartości\n"},
        {{"check", "--json=true", "x.qwz"}, "przełącznik --json nie przyjmuje wartości\nPomoc: qwz check --help\n"},
        {{"info", "--recursive=no", "x.qwz"}, "przełącznik --recursive nie przyjmuje wartości\n"},
        {{"convert", "--to", "203", "--drop=", "x.qwz"},
         "pusta wartość opcji --drop po znaku =\nPomoc: qwz convert --help\n"},
        {{"convert", "--to=", "203", "x.qwz"}, "pusta wartość opcji --to po znaku =\n"},
        {{"convert", "--to", "203", "-j", "0", "x.qwz"}, "niedozwolona wartość \"0\" opcji --jobs; dozwolone: od 1 do 256\n"},
        {{"convert", "--to", "203", "--jobs", "2x", "x.qwz"}, "niedozwolona wartość \"2x\" opcji --jobs"},
        {{"convert", "--to", "203", "--force", "x.qwz"}, "opcja --force działa tylko z --out\n"},
        {{"convert", "--to", "203", "--out", "", "x.qwz"}, "pusta ścieżka w --out\n"},
        {{"convert", "--to", "203", "--out", ".", "."}, "folder docelowy --out nie może być folderem źródłowym: .\n"},
        {{"restore", "--json", "--json-lines", "x.qwz"},
         "opcji --json nie można podać razem z --json-lines\nPomoc: qwz restore --help\n"},
        {{"info", "--frobnicate", "x.qwz"}, "Pomoc: qwz info --help\n"},
        {{"help", "convrt"},
         "nieznane polecenie: convrt; dostępne: info, check, convert, restore, watch\nPomoc: qwz --help\n"},
        {{"watch", "d"}, "podaj wersję docelową: --to 202, 203 albo 204\nPomoc: qwz watch --help\n"},
        {{"watch", "--to", "203"}, "podaj co najmniej jeden folder\n"},
        {{"watch", "--to", "203", "--json", "d"}, "opcja --json nie pasuje do watch"},
        {{"watch", "--to", "203", "--settle", "-1", "d"}, "niedozwolona wartość \"-1\" opcji --settle"},
        {{"watch", "--to", "203", "--poll", "0", "d"}, "niedozwolona wartość \"0\" opcji --poll"},
        {{"help", "info", "check"}, "podaj jedno polecenie, nie 2\n"},
    };
    for (const Case& c : cases) {
        ProgramResult r = Qwz(c.args);
        EXPECT_EQ(r.exitCode, 2) << c.says;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
        EXPECT_TRUE(r.out.empty()) << r.out;
        // Nothing of the parser's own English.
        for (const char* english : {"required", "expected", "xpected", "argument", "not ", "received", "missing"})
            EXPECT_EQ(r.err.find(english), std::string::npos) << r.err;
    }
    ProgramResult help = Qwz({"convert", "--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("Użycie: qwz convert"), std::string::npos) << help.out;
    EXPECT_NE(help.out.find("--dry-run"), std::string::npos);
    for (const char* says : {"Wersja docelowa: 202, 203 albo 204\n", "--drop RODZAJ[,RODZAJ...] "})
        EXPECT_NE(help.out.find(says), std::string::npos) << says;
    // Not a terminal: wrapped to 80 columns, each continued line under the
    // start of its description, the words in their order.
    std::string joined;
    for (const std::string& line : Lines(help.out)) {
        EXPECT_LE(qwz::cli::DisplayWidth(line), 80u) << line;
        joined += (line.rfind(std::string(34, ' '), 0) == 0 ? " " + line.substr(34) : "\n" + line);
    }
    EXPECT_NE(joined.find("po przecinku: lines (linie), polylines (polilinie), arcs (łuki), circles (okręgi i "
                          "światła), uv, zones (strefy skalowania), other (inne dane dodatkowe)\n"),
              std::string::npos)
        << help.out;
    EXPECT_NE(joined.find("\n  ŚCIEŻKI ...                     Pliki QWZ i foldery\n"), std::string::npos)
        << "aligned by columns, not bytes";
    ProgramResult named = Qwz({"help", "convert"});
    EXPECT_EQ(named.exitCode, 0);
    EXPECT_EQ(named.out, help.out) << "qwz help COMMAND is COMMAND --help";
}

TEST(Tool, ConvertsFoldersAndDescendsOnlyWhenAsked) {
    TempDir dir;
    const fs::path root = dir.path() / "projekt";
    fs::create_directories(root / "sub" / "deeper");
    const std::vector<uint8_t> full = BuildVersion204(FullScene());
    dir.write("projekt/a.qwz", full);
    dir.write("projekt/B.QWZ", BuildVersion204(LinesOnly()));
    dir.write("projekt/notes.txt", {'n', 'o'});
    dir.write("projekt/sub/c.Qwz", full);
    dir.write("projekt/sub/deeper/d.qwz", full);

    ProgramResult r = Qwz({"convert", "--to", "203", PathToUtf8(root)});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    std::vector<std::string> lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 3u) << r.out;
    EXPECT_EQ(lines[0], "przekonwertowany: " + PathToUtf8(root / "B.QWZ") + " (204 → 203), kopia: " +
                            PathToUtf8(root / "B_org.qwz") + "; nic nie usunięto");
    EXPECT_EQ(lines[1], "przekonwertowany: " + PathToUtf8(root / "a.qwz") + " (204 → 203), kopia: " +
                            PathToUtf8(root / "a_org.qwz") + "; nic nie usunięto");
    EXPECT_EQ(lines[2], "Pliki: 2; przekonwertowane 2, pominięte 0, błędy 0");
    EXPECT_EQ(VersionByte(root / "a.qwz"), 203);
    EXPECT_EQ(TempDir::read(root / "a_org.qwz"), full);
    EXPECT_EQ(TempDir::read(root / "sub" / "c.Qwz"), full) << "not recursive: sub-folders stay";

    // Again, recursively: the converted files are skipped, their backups are
    // not taken for files to convert, and the sub-folders are converted. A
    // backup whose file is gone is skipped as one, not kept again.
    dir.write("projekt/sub/old_org.qwz", full);
    r = Qwz({"convert", "--to", "203", "--recursive", "--json", PathToUtf8(root)});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    json j = ParseOut(r);
    std::map<std::string, std::string> status;
    for (json f : j["files"]) status[f["file"]] = f["status"];
    EXPECT_EQ(status, (std::map<std::string, std::string>{{PathToUtf8(root / "B.QWZ"), "skipped"},
                                                          {PathToUtf8(root / "a.qwz"), "skipped"},
                                                          {PathToUtf8(root / "sub" / "c.Qwz"), "converted"},
                                                          {PathToUtf8(root / "sub" / "old_org.qwz"), "skipped"},
                                                          {PathToUtf8(root / "sub" / "deeper" / "d.qwz"), "converted"}}));
    EXPECT_EQ(j["summary"], json::parse(R"({"files":5,"converted":2,"skipped":3,"failed":0})"));
    EXPECT_EQ(TempDir::read(root / "sub" / "old_org.qwz"), full);
    EXPECT_FALSE(fs::exists(root / "sub" / "old_org_org.qwz"));
    EXPECT_EQ(VersionByte(root / "sub" / "deeper" / "d.qwz"), 203);
    EXPECT_EQ(TempDir::read(root / "sub" / "deeper" / "d_org.qwz"), full);

    // The converted file reads back completely.
    ProgramResult check = Qwz({"check", PathToUtf8(root / "sub" / "c.Qwz")});
    EXPECT_EQ(check.exitCode, 0) << check.out;
}

TEST(Tool, DropsWhatItIsToldAndKeepsNoBackupWhenAsked) {
    TempDir dir;
    const fs::path a = dir.write("a.qwz", BuildVersion204(FullScene()));
    const fs::path b = dir.write("b.qwz", BuildVersion204(FullScene()));

    ProgramResult r = Qwz({"convert", "--to", "204", "--drop", "lines,uv", "--drop", "other", "--no-backup",
                           "--json", PathToUtf8(a)});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    json j = ParseOut(r);
    EXPECT_EQ(j["files"][0]["status"], "converted");
    EXPECT_EQ(j["files"][0]["to_version"], 204);
    EXPECT_FALSE(j["files"][0].contains("backup"));
    EXPECT_FALSE(fs::exists(dir.path() / "a_org.qwz"));
    json info = ParseOut(Qwz({"info", "--json", PathToUtf8(a)}))["files"][0];
    EXPECT_EQ(info["lines"], json::array());
    EXPECT_EQ(info["circles"].size(), 1u);
    EXPECT_EQ(info["polylines"].size(), 1u);
    EXPECT_EQ(info["arcs"].size(), 1u);
    EXPECT_EQ(info["tail"], json::parse(R"([{"kind":3,"type":"zones","blocks":1}])"));
    EXPECT_EQ(info["meshes"].size(), 2u);

    r = Qwz({"convert", "--to", "202", "--drop", "lines,polylines,arcs,circles,uv,zones,other", PathToUtf8(b)});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    info = ParseOut(Qwz({"info", "--json", PathToUtf8(b)}))["files"][0];
    EXPECT_EQ(info["version"], 202);
    for (const char* kind : {"circles", "lines", "polylines", "arcs", "tail"})
        EXPECT_EQ(info[kind], json::array()) << kind;
    EXPECT_EQ(info["meshes"][0]["vertices"], 5);
    EXPECT_EQ(info["meshes"][0]["faces"], 2);
    EXPECT_TRUE(fs::exists(dir.path() / "b_org.qwz"));

    // Nothing of a dropped kind left and already at the target: skipped.
    r = Qwz({"convert", "--to", "204", "--drop", "lines", PathToUtf8(a)});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(Lines(r.out)[0].rfind("pominięty: " + PathToUtf8(a), 0), 0u) << r.out;
}

TEST(Tool, DryRunWritesNothingAndSaysWhatWouldBeDropped) {
    TempDir dir;
    const fs::path root = dir.path() / "drzewo";
    fs::create_directories(root / "sub");
    dir.write("drzewo/a.qwz", BuildVersion204(MovedScene()));
    dir.write("drzewo/sub/b.qwz", BuildVersion204(LinesOnly()));
    dir.write("drzewo/sub/zly.qwz", DamagedScene());
    // Make the times distinguishable from anything a rewrite would give.
    for (const auto& e : fs::recursive_directory_iterator(root))
        if (e.is_regular_file())
            fs::last_write_time(e.path(), fs::last_write_time(e.path()) - std::chrono::hours(30));
    const TreeState before = Snapshot(dir.path());

    ProgramResult r = Qwz({"convert", "--to", "202", "--drop", "arcs", "--recursive", "--dry-run", "--json",
                           PathToUtf8(root)});
    EXPECT_EQ(r.exitCode, 1) << "the damaged file would fail";
    EXPECT_TRUE(Snapshot(dir.path()) == before) << "a dry run changed the disk";
    json j = ParseOut(r);
    EXPECT_EQ(j["dry_run"], true);
    ASSERT_EQ(j["files"].size(), 3u);
    json a = j["files"][0];
    EXPECT_EQ(a["file"], PathToUtf8(root / "a.qwz"));
    EXPECT_EQ(a["status"], "converted");
    EXPECT_EQ(a["to_version"], 202);
    EXPECT_EQ(a["backup"], PathToUtf8(root / "a_org.qwz"));
    EXPECT_GT(a["bytes"].get<int>(), 16);
    // Arcs by request; every tail block because version 202 has no tail.
    EXPECT_EQ(a["dropped"], json::parse(R"({"circles":{"names":0,"records":0},"lines":{"names":0,"records":0},
        "polylines":{"names":0,"records":0},"arcs":{"names":1,"records":1},
        "uv":{"blocks":1},"zones":{"blocks":1},"other":{"blocks":2}})"));
    EXPECT_EQ(a["max_vertex_error"], kMoved);
    EXPECT_EQ(j["files"][1]["status"], "converted");
    EXPECT_EQ(j["files"][1]["dropped"]["lines"], json::parse(R"({"names":0,"records":0})"));
    EXPECT_EQ(j["files"][1]["max_vertex_error"], 0.0) << "no meshes";
    EXPECT_EQ(j["files"][2]["status"], "failed");
    EXPECT_FALSE(j["files"][2].contains("max_vertex_error"));
    EXPECT_FALSE(j["files"][2]["reason"].get<std::string>().empty());
    EXPECT_EQ(j["summary"], json::parse(R"({"files":3,"converted":2,"skipped":0,"failed":1})"));

    r = Qwz({"convert", "--to", "204", "--drop", "lines,zones", "--dry-run", PathToUtf8(root / "a.qwz"),
             PathToUtf8(root / "sub" / "b.qwz")});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(Snapshot(dir.path()) == before);
    std::vector<std::string> lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 3u) << r.out;
    EXPECT_EQ(lines[0], "do konwersji: " + PathToUtf8(root / "a.qwz") + " (204 → 204), kopia: " +
                            PathToUtf8(root / "a_org.qwz") +
                            "; usunięte zostałyby: linie (nazwy 2, rekordy 3), strefy skalowania (bloki 1)");
    EXPECT_EQ(lines[2], "Próba bez zapisu — pliki: 2; do konwersji 2, do pominięcia 0, błędy 0");
    // Told on the line only where a coordinate moves.
    r = Qwz({"convert", "--to", "203", "--dry-run", PathToUtf8(root / "a.qwz")});
    EXPECT_NE(r.out.find("; nic nie zostałoby usunięte; największa zmiana współrzędnej 0.000400066\n"), r.out.npos);
}

// --out writes the converted tree under a folder (here inside the tree,
// which is then no source): the files already at the target copied, the
// sources and anything outside the folder left exactly as they were, no
// backup in it, a file there replaced only when older or forced, never
// through a link. The rows run in order on one tree.
TEST(Tool, ConvertIntoAnOutputFolderLeavesTheSourcesAsTheyWere) {
    TempDir dir;
    const fs::path src = dir.path() / "src", out = src / "out", outside = dir.path() / "outside";
    fs::create_directories(src / "sub" / "deeper");
    fs::create_directories(outside);
    const std::vector<uint8_t> full = BuildVersion204(FullScene());
    dir.write("src/a.qwz", full);
    dir.write("src/a_org.qwz", full);
    dir.write("src/sub/deeper/b.qwz", BuildVersion204(LinesOnly()));
    dir.write("src/sub/c.qwz", full);
    dir.write("outside/x.qwz", full);
    ASSERT_EQ(Qwz({"convert", "--to", "203", "--no-backup", PathToUtf8(src / "sub" / "c.qwz")}).exitCode, 0);
    // The links go before the folder does (under Wine only the host removes them).
    struct Links {
        fs::path away, sub;
        ~Links() { RemoveSymbolicLink(away), RemoveSymbolicLink(sub); }
    } links{src / "sub" / "away", out / "sub"};
    ASSERT_TRUE(MakeSymbolicLink("../../outside", links.away)) << "a link to a folder outside";
    for (const auto& e : fs::recursive_directory_iterator(src))
        if (e.is_regular_file()) fs::last_write_time(e.path(), fs::last_write_time(e.path()) - std::chrono::hours(30));
    const TreeState sources = Snapshot(src, out), away = Snapshot(outside);
    const auto age = [&](const char* name, int hours) {
        fs::last_write_time(out / name, fs::last_write_time(src / name) + std::chrono::hours(hours));
    };
    struct Row {
        std::vector<std::string> options;
        std::function<void()> before;
        int exitCode;
        const char *a, *b, *c;  // the code of src/a.qwz, sub/deeper/b.qwz, sub/c.qwz
        bool written;           // files with that code have an "output"
    };
    const Row rows[] = {
        {{"--to", "203", "--dry-run"}, {}, 0, "converted", "converted", "up-to-date", true},
        {{"--to", "203"}, {}, 0, "converted", "converted", "up-to-date", true},
        {{"--to", "203"}, {}, 0, "up-to-date", "up-to-date", "up-to-date", false},
        {{"--to", "203"}, [&] { age("a.qwz", -1), age("sub/c.qwz", 1); }, 0, "converted", "up-to-date", "up-to-date", false},
        {{"--to", "203", "--force"}, {}, 0, "converted", "converted", "up-to-date", true},
        {{"--to", "202", "--force", "--fail-on-loss"}, {}, 1, "would-lose", "converted", "would-lose", false},
        {{"--to", "203", "--force"},
         [&] { fs::remove_all(out / "sub"), MakeSymbolicLink("../../outside", out / "sub"); },
         1, "converted", "not-regular-file", "not-regular-file", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.options.back() + " " + row.a);
        if (row.before) row.before();
        const TreeState was = fs::exists(out) ? Snapshot(out) : TreeState{};
        std::vector<std::string> args = {"convert", "--recursive", "--json", "--out", PathToUtf8(out)};
        args.insert(args.end(), row.options.begin(), row.options.end());
        args.push_back(PathToUtf8(src));
        const ProgramResult r = Qwz(args);
        EXPECT_EQ(r.exitCode, row.exitCode) << r.out << r.err;
        const json j = ParseOut(r);
        ASSERT_EQ(j["files"].size(), 3u) << r.out;
        const std::map<std::string, const char*> codes = {{"a.qwz", row.a}, {"b.qwz", row.b}, {"c.qwz", row.c}};
        for (const json& f : j["files"]) {
            const fs::path file = PathFromUtf8(f["file"].get<std::string>());
            const char* code = codes.at(PathToUtf8(file.filename()));
            EXPECT_EQ(f["code"], code) << f;
            const fs::path place = out / file.lexically_relative(src);
            EXPECT_EQ(f.contains("output"), f["code"] == code && (row.written || f["status"] == "converted")) << f;
            const bool dry = row.options.back() == "--dry-run";
            if (f.contains("output")) {
                EXPECT_EQ(f["output"], PathToUtf8(place));
                const bool copied = f["status"] == "skipped";
                EXPECT_TRUE(dry || (copied ? TempDir::read(place) == TempDir::read(file)
                                           : VersionByte(place) == f["to_version"])) << place;
            } else if (fs::exists(place)) {
                EXPECT_TRUE(was.files.at(place) == Snapshot(out).files.at(place)) << "changed: " << place;
            }
        }
        EXPECT_TRUE(Snapshot(src, out) == sources) << "the sources changed";
        EXPECT_TRUE(Snapshot(outside) == away) << "written outside the output folder";
        EXPECT_EQ(fs::exists(out), row.options.back() != "--dry-run") << "a dry run writes no folder either";
        for (const auto& e : fs::recursive_directory_iterator(fs::exists(out) ? out : src / "sub" / "deeper"))
            EXPECT_EQ(PathToUtf8(e.path()).find("_org"), std::string::npos) << "a backup: " << e.path();
    }
    EXPECT_EQ(VersionByte(out / "a.qwz"), 203);

    // Two folders named that give one name below the output: the first
    // file has it, the second fails (a file named lands under its name).
    fs::create_directories(dir.path() / "other");
    dir.write("other/b.qwz", full);
    const fs::path two = dir.path() / "two";
    const ProgramResult r = Qwz({"convert", "--to", "203", "--out", PathToUtf8(two), PathToUtf8(src / "sub" / "deeper"),
                                 PathToUtf8(dir.path() / "other"), PathToUtf8(src / "a.qwz")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(Lines(r.out)[0], "przekonwertowany: " + PathToUtf8(src / "sub" / "deeper" / "b.qwz") +
                                   " (204 → 203), do: " + PathToUtf8(two / "b.qwz") + "; nic nie usunięto") << r.out;
    EXPECT_NE(r.err.find(PathToUtf8(two / "b.qwz") + "\" w folderze docelowym zapisuje już plik"), std::string::npos)
        << r.err;
    EXPECT_EQ(VersionByte(two / "a.qwz"), 203);

    // In place: a file that would lose content is refused and left as it was.
    const fs::path a = src / "a.qwz", b = src / "sub" / "deeper" / "b.qwz";
    for (const char* dry : {"--dry-run", "-q"}) {
        const ProgramResult r = Qwz({"convert", "--to", "202", "--fail-on-loss", dry, PathToUtf8(a), PathToUtf8(b)});
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_NE(r.err.find("konwersja usunęłaby: UV (bloki 1), strefy skalowania (bloki 1), inne dane dodatkowe "
                             "(bloki 2); plik nie został przekonwertowany (--fail-on-loss)"),
                  std::string::npos) << r.err;
        EXPECT_EQ(TempDir::read(a), full);
    }
    EXPECT_EQ(VersionByte(b), 202) << "a file that loses nothing is converted";
}

// Every command walks folders alike: a sub-folder's files only with
// --recursive, and a folder named that gives no *.qwz file is an error that
// says so; every JSON report starts with its "format". In this order the
// conversion changes the file and the restore puts it back.
TEST(Tool, EveryCommandWalksFoldersAndSaysWhenOneHoldsNoQwzFile) {
    using ordered = nlohmann::ordered_json;
    TempDir dir;
    const fs::path root = dir.path() / "projekt";
    const fs::path empty = dir.path() / "pusty";
    fs::create_directories(root / "sub");
    fs::create_directories(empty);
    dir.write("projekt/notes.txt", {'n'});
    const std::vector<uint8_t> original = BuildVersion204(FullScene());
    const fs::path file = dir.write(root / "sub" / "x.qwz", original);
    struct Row {
        std::vector<std::string> command;
        const char* key;  // a key of the file's entry...
        ordered value;    // ...and its value
        int version;      // the file's version afterwards
    };
    const Row rows[] = {
        {{"info"}, "version", 204, 204},
        {{"check"}, "ok", true, 204},
        {{"convert", "--to", "203", "--dry-run"}, "status", "converted", 204},
        {{"convert", "--to", "203"}, "status", "converted", 203},
        {{"restore", "--dry-run"}, "status", "restored", 203},
        {{"restore"}, "status", "restored", 204},
    };
    for (const Row& row : rows) {
        std::vector<std::string> args = row.command;
        SCOPED_TRACE(args.back());
        args.push_back(PathToUtf8(root));
        ProgramResult flat = Qwz(args);
        EXPECT_EQ(flat.exitCode, 1);
        EXPECT_NE(flat.err.find("folder nie zawiera plików *.qwz (podfoldery przeszukuje opcja --recursive)\n"),
                  std::string::npos)
            << flat.err;

        args.insert(args.begin() + 1, {"--recursive", "--json"});
        args.push_back(PathToUtf8(empty));
        ProgramResult r = Qwz(args);
        EXPECT_EQ(r.exitCode, 1) << r.err;
        const ordered j = ordered::parse(r.out, nullptr, false);
        ASSERT_FALSE(j.is_discarded()) << r.out;
        EXPECT_EQ(j.begin().key(), "format");
        EXPECT_EQ(j["format"], 1);
        ASSERT_EQ(j["files"].size(), 2u) << r.out;
        EXPECT_EQ(j["files"][0]["file"], PathToUtf8(file));
        EXPECT_EQ(j["files"][0][row.key], row.value) << r.out;
        const ordered& none = j["files"][1];
        EXPECT_EQ(none["file"], PathToUtf8(empty));
        EXPECT_EQ(none.contains("error") ? none["error"]["reason"] : none["reason"], "folder nie zawiera plików *.qwz");
        // Every command names what became of each file by a code too.
        const char* code = row.command[0] == "restore"   ? "restored"
                           : row.command[0] == "convert" ? "converted"
                                                         : "readable";
        EXPECT_EQ(j["files"][0]["code"], code) << r.out;
        EXPECT_EQ(none["code"], "no-qwz-files") << r.out;
        EXPECT_EQ(VersionByte(file), row.version);
    }
    EXPECT_EQ(TempDir::read(file), original);
    EXPECT_FALSE(fs::exists(root / "sub" / "x_org.qwz"));
}

// restore puts back every kept original of a tree: beside a converted file,
// and with the file gone. A file without a backup is the restore's business
// only when named.
TEST(Tool, RestorePutsTheKeptOriginalsOfATreeBack) {
    TempDir dir;
    const fs::path root = dir.path() / "hala";
    fs::create_directories(root / "sub");
    const std::vector<uint8_t> full = BuildVersion204(FullScene());
    const std::vector<uint8_t> lines = BuildVersion204(LinesOnly());
    const fs::path a = dir.write(root / "a.qwz", full);
    const fs::path b = dir.write(root / "b.qwz", lines);
    const fs::path c = dir.write(root / "sub" / "c.qwz", full);
    ASSERT_EQ(Qwz({"convert", "--to", "202", "--recursive", PathToUtf8(root)}).exitCode, 0);
    const fs::path plain = dir.write(root / "plain.qwz", lines);
    fs::remove(b);

    auto line = [](const fs::path& p) {
        return "przywrócony: " + PathToUtf8(p) + " z kopii " + PathToUtf8(replace::BackupPath(p));
    };
    ProgramResult real = Qwz({"restore", "--recursive", PathToUtf8(root)});
    EXPECT_EQ(real.exitCode, 0) << real.err;
    EXPECT_EQ(Lines(real.out), (std::vector<std::string>{line(a), line(b), line(c),
                                                         "Pliki: 3; przywrócone 3, pominięte 0, błędy 0"}));
    EXPECT_EQ(TempDir::read(a), full);
    EXPECT_EQ(TempDir::read(b), lines);
    EXPECT_EQ(TempDir::read(c), full);
    EXPECT_EQ(TempDir::read(plain), lines);
    EXPECT_EQ(Snapshot(dir.path()).files.size(), 4u) << "no backup is left";

    const fs::path missing = root / "brak.qwz";
    ProgramResult named = Qwz({"restore", PathToUtf8(plain), PathToUtf8(missing), PathToUtf8(root)});
    EXPECT_EQ(named.exitCode, 1);
    EXPECT_EQ(Lines(named.out),
              (std::vector<std::string>{
                  "pominięty: " + PathToUtf8(plain) + " — brak kopii zapasowej \"" +
                      PathToUtf8(replace::BackupPath(plain)) + "\"",
                  "pominięty: " + PathToUtf8(root) + " — folder nie zawiera kopii zapasowych *_org.qwz",
                  "Pliki: 3; przywrócone 0, pominięte 2, błędy 1"}));
    EXPECT_EQ(named.err, "błąd: " + PathToUtf8(missing) + " — nie ma takiego pliku ani jego kopii zapasowej \"" +
                             PathToUtf8(replace::BackupPath(missing)) + "\"\n");
}

// Work saved into a converted file in the old release (in place at the
// same size, or by a new file renamed over it) exists nowhere else: restore
// refuses it and says what changed, the dry run and JSON alike, until
// --keep-newer keeps it beside the file. Unchanged, the file is restored.
// The conversion leaves the file and its backup, nothing else.
TEST(Tool, RestoreNeverDiscardsWorkSavedAfterTheConversion) {
    const std::vector<uint8_t> original = BuildVersion204(FullScene());
    for (const bool byRename : {false, true}) {
        SCOPED_TRACE(byRename ? "saved by rename" : "saved in place");
        TempDir dir;
        const fs::path file = dir.write("scena.qwz", original);
        const fs::path backup = dir.path() / "scena_org.qwz";
        ASSERT_EQ(Qwz({"convert", "--to", "203", PathToUtf8(file)}).exitCode, 0);
        ASSERT_EQ(Snapshot(dir.path()).files.size(), 2u) << "the conversion left more than its backup";
        std::vector<uint8_t> edited = TempDir::read(file);
        edited.back() ^= 1;
        if (byRename) {
            edited.push_back(0);
            fs::rename(dir.write("scena.tmp", edited), file);
        } else {
            std::fstream(file, std::ios::in | std::ios::out | std::ios::binary)
                .write(reinterpret_cast<const char*>(edited.data()), std::streamsize(edited.size()));
        }
        const TreeState before = Snapshot(dir.path());

        const std::string changed =
            byRename ? "zmieniono po konwersji (ma " : "zmieniono po konwersji (ta sama wielkość";
        for (const char* dry : {"--dry-run", ""}) {
            std::vector<std::string> args = {"restore", "--json", PathToUtf8(file)};
            if (*dry) args.insert(args.begin() + 1, dry);
            const ProgramResult r = Qwz(args);
            EXPECT_EQ(r.exitCode, 1) << r.out;
            const json j = ParseOut(r);
            EXPECT_EQ(j["files"][0]["status"], "failed");
            EXPECT_NE(j["files"][0]["reason"].get<std::string>().find(changed), std::string::npos) << r.out;
            EXPECT_TRUE(Snapshot(dir.path()) == before) << dry;
        }
        const ProgramResult text = Qwz({"restore", PathToUtf8(file)});
        EXPECT_EQ(text.exitCode, 1);
        EXPECT_EQ(Lines(text.err).at(0).rfind("błąd: " + PathToUtf8(file) + " — plik ", 0), 0u) << text.err;
        EXPECT_NE(text.err.find("--keep-newer"), std::string::npos) << text.err;

        const fs::path kept = dir.path() / "scena (nowszy).qwz";
        for (const char* dry : {"--dry-run", ""}) {
            std::vector<std::string> args = {"restore", "--keep-newer", "--json", PathToUtf8(file)};
            if (*dry) args.insert(args.begin() + 1, dry);
            const ProgramResult r = Qwz(args);
            EXPECT_EQ(r.exitCode, 0) << r.out;
            const json j = ParseOut(r);
            EXPECT_EQ(j["files"][0]["status"], "restored") << r.out;
            EXPECT_EQ(j["files"][0]["kept"], PathToUtf8(kept)) << r.out;
        }
        EXPECT_EQ(TempDir::read(file), original);
        EXPECT_EQ(TempDir::read(kept), edited);
        EXPECT_EQ(Snapshot(dir.path()).files.size(), 2u) << "the backup is left";

        // Unchanged since its conversion: restored, nothing left beside it.
        ASSERT_EQ(Qwz({"convert", "--to", "202", PathToUtf8(file)}).exitCode, 0);
        const ProgramResult plain = Qwz({"restore", PathToUtf8(file)});
        EXPECT_EQ(plain.exitCode, 0) << plain.out;
        EXPECT_EQ(TempDir::read(file), original);
        EXPECT_EQ(Snapshot(dir.path()).files.size(), 2u) << "the backup is left";
    }
}

// What the file system keeps of a file beside its bytes: its attributes
// (Windows); its mode, owner, group and extended attributes, the access
// list among them (POSIX).
std::string IdentityOf(const fs::path& file) {
#ifdef _WIN32
    return std::to_string(GetFileAttributesW(file.c_str()));
#else
    struct stat st {};
    stat(file.c_str(), &st);
    std::map<std::string, std::string> attributes;
    char names[4096], value[4096];
    const ssize_t n = listxattr(file.c_str(), names, sizeof names);
    for (ssize_t at = 0; at < n; at += ssize_t(strlen(names + at)) + 1)
        attributes[names + at].assign(value, size_t(std::max(getxattr(file.c_str(), names + at, value, 4096), 0l)));
    return testing::PrintToString(std::make_tuple(st.st_mode, st.st_uid, st.st_gid, attributes));
#endif
}

#ifndef _WIN32
// Gives `file` an attribute, an access list (u::rw-, u:daemon:rw-, g::`group`,
// m::rw-, o::r--), an owner and a group; false where none can be kept.
bool Dress(const fs::path& file, unsigned group, uid_t uid, gid_t gid) {
    const std::vector<uint8_t> list = Bytes().u32(2).u16(0x01).u16(6).u32(~0u).u16(0x02).u16(6).u32(1).u16(0x04)
                                          .u16(group).u32(~0u).u16(0x10).u16(6).u32(~0u).u16(0x20).u16(4).u32(~0u);
    return setxattr(file.c_str(), "user.project", "hala", 4, 0) == 0 &&
           setxattr(file.c_str(), "system.posix_acl_access", list.data(), list.size(), 0) == 0 &&
           chown(file.c_str(), uid, gid) == 0;
}
#endif

// The new file carries what the file system keeps of the original, and restore gives back the
// backup as it was. What the user may not give (owner; a group not its own, left others' rights) is said.
TEST(Tool, TheConvertedFileKeepsWhatTheFileSystemKeepsOfIt) {
    struct Row { std::vector<std::string> as; bool owner, group; };  // qwz run by `as`; what the new file keeps
    std::vector<Row> rows = {{{}, true, true}};
#ifndef _WIN32
    const gid_t group = geteuid() == 0 ? 100 : gid_t(-1);
    if (geteuid() == 0 && fs::exists("/usr/bin/setpriv"))
        for (const char* groups : {"--groups=100", "--clear-groups"})
            rows.push_back({{"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", groups, "--", ToolPath().string()},
                            false, groups[2] == 'g'});
#endif
    for (const Row& row : rows) {
        SCOPED_TRACE(row.as.empty() ? "" : row.as[3]);
        TempDir dir;
        const fs::path file = dir.write("hala.qwz", BuildVersion204(FullScene()));
        const fs::path like = dir.write("jak.qwz", {});  // as the new file should be
#ifdef _WIN32
        for (const fs::path& f : {file, like}) SetFileAttributesW(f.c_str(), FILE_ATTRIBUTE_HIDDEN);
        ASSERT_TRUE(GetFileAttributesW(file.c_str()) & FILE_ATTRIBUTE_HIDDEN);
#else
        fs::permissions(dir.path(), fs::perms::all);
        if (!Dress(file, 6, uid_t(-1), group)) GTEST_SKIP() << "no extended attributes or ACLs: " << strerror(errno);
        ASSERT_TRUE(Dress(like, row.group ? 6 : 4, row.owner ? uid_t(-1) : 65534, row.group ? group : 65534));
#endif
        auto qwz = [&](std::vector<std::string> args) {
            if (!row.as.empty()) args.insert(args.begin(), row.as.begin() + 1, row.as.end());
            return row.as.empty() ? Qwz(args) : RunProgram(row.as[0], args);
        };
        const std::string before = IdentityOf(file), expected = IdentityOf(like);
        const std::string reason =
            ParseOut(qwz({"convert", "--json", "--to", "203", PathToUtf8(file)}))["files"][0].value("reason", "");
        EXPECT_EQ(reason.empty(), row.owner && row.group) << reason;
        EXPECT_EQ(std::make_pair(reason.find("(nr 0)") != reason.npos, reason.find("(nr 100)") != reason.npos),
                  std::make_pair(!row.owner, !row.group)) << reason;
        EXPECT_EQ(IdentityOf(file), expected);
        const std::string kept = IdentityOf(dir.path() / "hala_org.qwz");
        EXPECT_TRUE(kept == before || (!row.owner && kept == expected)) << "nor a copy (no link): " << kept;
        EXPECT_EQ(qwz({"restore", PathToUtf8(file)}).exitCode, 0);
        EXPECT_EQ(IdentityOf(file), kept);
    }
}

TEST(Tool, DamagedFileFailsAloneAndIsNamedWithItsReason) {
    TempDir dir;
    const fs::path root = dir.path() / "mix";
    fs::create_directories(root);
    const std::vector<uint8_t> damaged = DamagedScene();
    const fs::path good1 = dir.write(root / "1.qwz", BuildVersion204(FullScene()));
    const fs::path bad = dir.write(root / "2.qwz", damaged);
    const fs::path junk = dir.write(root / "3.qwz", {'P', 'K', 3, 4, 0, 0});
    const fs::path good2 = dir.write(root / "4.qwz", BuildVersion204(LinesOnly()));
    const fs::path missing = root / "brak.qwz";

    ProgramResult r = Qwz({"convert", "--to", "203", PathToUtf8(root), PathToUtf8(missing)});
    EXPECT_EQ(r.exitCode, 1);
    // Results on standard output, failures on standard error, each in order.
    std::vector<std::string> lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 3u) << r.out;
    EXPECT_EQ(lines[0].rfind("przekonwertowany: " + PathToUtf8(good1), 0), 0u) << lines[0];
    EXPECT_EQ(lines[1].rfind("przekonwertowany: " + PathToUtf8(good2), 0), 0u) << lines[1];
    EXPECT_EQ(lines[2], "Pliki: 5; przekonwertowane 2, pominięte 0, błędy 3");
    std::vector<std::string> errors = Lines(r.err);
    ASSERT_EQ(errors.size(), 3u) << r.err;
    const std::string badLine = "błąd: " + PathToUtf8(bad) + " — ";
    ASSERT_EQ(errors[0].rfind(badLine, 0), 0u) << errors[0];
    EXPECT_GT(errors[0].size(), badLine.size() + 5) << "no reason given";
    const std::string junkLine = "błąd: " + PathToUtf8(junk) + " — ";
    EXPECT_EQ(errors[1].rfind(junkLine, 0), 0u) << errors[1];
    EXPECT_GT(errors[1].size(), junkLine.size() + 5) << "no reason given";
    EXPECT_EQ(errors[2], "błąd: " + PathToUtf8(missing) + " — nie ma takiego pliku ani folderu");
    EXPECT_EQ(VersionByte(good1), 203);
    EXPECT_EQ(VersionByte(good2), 203);
    EXPECT_EQ(TempDir::read(bad), damaged);
    EXPECT_FALSE(fs::exists(root / "2_org.qwz"));

    ProgramResult check = Qwz({"check", "--json", PathToUtf8(good1), PathToUtf8(bad), PathToUtf8(junk)});
    EXPECT_EQ(check.exitCode, 1);
    json j = ParseOut(check);
    EXPECT_EQ(j["damaged"], 2);
    EXPECT_EQ(j["files"][0]["ok"], true);
    EXPECT_EQ(j["files"][0]["version"], 203);
    json e = j["files"][1];
    EXPECT_EQ(e["ok"], false);
    EXPECT_LE(e["error"]["offset"].get<size_t>(), damaged.size());
    EXPECT_FALSE(e["error"]["field"].get<std::string>().empty());
    EXPECT_EQ(j["files"][2]["error"]["reason"], "to nie jest plik QWZ (brak znacznika \"QWZ\" na początku)");
    EXPECT_EQ(j["files"][0]["code"], "readable");
    EXPECT_EQ(e["code"], "damaged");
    EXPECT_EQ(j["files"][2]["code"], "not-qwz");

    check = Qwz({"check", PathToUtf8(bad)});
    EXPECT_EQ(check.exitCode, 1);
    EXPECT_EQ(check.out.rfind("uszkodzony: " + PathToUtf8(bad) + " — ", 0), 0u) << check.out;
    EXPECT_EQ(Qwz({"check", PathToUtf8(good2)}).exitCode, 0);
}

TEST(Tool, NamesOutsideTheAnsiCodePageSurviveTheRoundTrip) {
    TempDir dir;
    const fs::path root = dir.path() / qwz::cli::PathFromUtf8("Projekt Łódź");
    fs::create_directories(root);
    const fs::path a = root / qwz::cli::PathFromUtf8("Ściana żółta.qwz");
    const fs::path b = root / qwz::cli::PathFromUtf8("家 Ω.QWZ");
    dir.write(a, BuildVersion204(FullScene()));
    dir.write(b, BuildVersion204(LinesOnly()));

    ProgramResult r = Qwz({"convert", "--to", "203", "--json", PathToUtf8(root)});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    json j = ParseOut(r);
    ASSERT_EQ(j["files"].size(), 2u);
    std::map<std::string, std::string> backups;
    for (json f : j["files"]) {
        EXPECT_EQ(f["status"], "converted") << f.dump();
        backups[f["file"]] = f["backup"];
    }
    EXPECT_EQ(backups[PathToUtf8(a)], PathToUtf8(root / qwz::cli::PathFromUtf8("Ściana żółta_org.qwz")));
    EXPECT_EQ(backups[PathToUtf8(b)], PathToUtf8(root / qwz::cli::PathFromUtf8("家 Ω_org.qwz")));
    EXPECT_TRUE(fs::exists(root / qwz::cli::PathFromUtf8("家 Ω_org.qwz")));
    EXPECT_EQ(VersionByte(a), 203);

    ProgramResult info = Qwz({"info", PathToUtf8(b)});
    EXPECT_EQ(info.exitCode, 0);
    EXPECT_EQ(Lines(info.out)[0], PathToUtf8(b));
}

#ifndef _WIN32
// What is no regular file gives no bytes to judge: `check` names it as an
// error of its own, counted as failed, never as damaged, whatever it is.
TEST(Tool, CheckCallsWhatIsNoRegularFileAnErrorNotDamage) {
    TempDir dir;
    const fs::path fifo = dir.path() / "kolejka.qwz";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const fs::path link = dir.path() / "nic.qwz";
    fs::create_symlink("/dev/null", link);
    const fs::path good = dir.write("dobry.qwz", BuildVersion204(LinesOnly()));
    for (const fs::path& odd : {fifo, fs::path("/dev/null"), fs::path("/dev/zero"), link}) {
        SCOPED_TRACE(odd.string());
        ProgramResult r = Qwz({"check", PathToUtf8(good), PathToUtf8(odd)});
        EXPECT_EQ(r.exitCode, 1);
        const std::string said = r.out + r.err;
        EXPECT_NE(said.find("błąd: " + PathToUtf8(odd) + " — to nie jest zwykły plik\n"), std::string::npos) << said;
        EXPECT_EQ(said.find("uszkodzony"), std::string::npos) << said;

        json j = ParseOut(Qwz({"check", "--json", PathToUtf8(good), PathToUtf8(odd)}));
        EXPECT_EQ(j["checked"], 1);
        EXPECT_EQ(j["damaged"], 0);
        EXPECT_EQ(j["failed"], 1);
        EXPECT_EQ(j["files"][1]["ok"], false);
        EXPECT_EQ(j["files"][1]["code"], "not-regular-file") << "as info and convert say";
        EXPECT_EQ(j["files"][1]["error"], json({{"reason", "to nie jest zwykły plik"}}));
    }
}

std::string FromBase64(const std::string& text) {
    const std::string digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    uint32_t bits = 0;
    int held = 0;
    for (char c : text) {
        if (c == '=') break;
        bits = (bits << 6) | uint32_t(digits.find(c));
        if ((held += 6) >= 8) out += char((bits >> (held -= 8)) & 0xFF);
    }
    return out;
}

// A name with a line break and a byte that is not UTF-8: JSON from which a
// script finds both the file and its backup again.
TEST(Tool, NamesThatAreNotUtf8ComeBackExactlyFromJson) {
    TempDir dir;
    const std::vector<uint8_t> original = BuildVersion204(LinesOnly());
    const fs::path file = dir.write("hala\n\xff.qwz", original);
    ProgramResult r = Qwz({"convert", "--to", "203", "--json", PathToUtf8(dir.path())});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    json f = ParseOut(r)["files"][0];
    EXPECT_EQ(f["status"], "converted");
    EXPECT_EQ(f["file"], PathToUtf8(dir.path()) + "/hala\n\uFFFD.qwz");
    EXPECT_EQ(fs::path(FromBase64(f["file_base64"])), file);
    EXPECT_EQ(TempDir::read(FromBase64(f["backup_base64"])), original);
    EXPECT_EQ(VersionByte(file), 203);
}
// qwz with its standard output on `out` (a descriptor of this process) and
// its standard error in `err`; returns its process id.
pid_t SpawnQwz(const std::vector<std::string>& args, int out, const fs::path& err) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out, 1);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<std::string> storage{ToolPath().string()};
    storage.insert(storage.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : storage) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    EXPECT_EQ(rc, 0);
    return pid;
}

int ExitCodeOf(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::string TextOf(const fs::path& p) {
    const std::vector<uint8_t> bytes = TempDir::read(p);
    return std::string(bytes.begin(), bytes.end());
}

// A write to standard output that fails (a full disk) is an error of its
// own, said on standard error. A reader that closed the pipe (`qwz info
// *.qwz | head -1`) chose to stop: the run ends quietly, as killed by
// SIGPIPE, after the files under way.
TEST(Tool, StandardOutputThatCannotBeWrittenEndsTheRunWithItsOwnCode) {
    TempDir dir;
    const fs::path file = dir.write("a.qwz", BuildVersion204(FullScene()));
    struct Row {
        std::vector<std::string> args;
        bool fullDisk;  // else a pipe with no reader
        const char* reason;
    };
    const Row rows[] = {
        {{"info", PathToUtf8(file)}, true, "brak miejsca na dysku"},
        {{"--help"}, true, "brak miejsca na dysku"},
        {{"check", "--json", PathToUtf8(file)}, true, "brak miejsca na dysku"},
        {{"check", PathToUtf8(file)}, false, ""},
        {{"--help"}, false, ""},
        {{"convert", "--to", "203", "--dry-run", "--json-lines", PathToUtf8(file)}, false, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.args[0]);
        int out = -1;
        int ends[2] = {-1, -1};
        if (row.fullDisk) {
            out = open("/dev/full", O_WRONLY);
        } else {
            ASSERT_EQ(pipe(ends), 0);
            close(ends[0]);
            out = ends[1];
        }
        ASSERT_GE(out, 0);
        const pid_t pid = SpawnQwz(row.args, out, dir.path() / "err.txt");
        close(out);
        if (row.fullDisk) {
            EXPECT_EQ(ExitCodeOf(pid), 3);
            EXPECT_EQ(TextOf(dir.path() / "err.txt"),
                      std::string("qwz: nie można zapisać wyniku na standardowe wyjście: ") + row.reason + "\n");
        } else {
            EXPECT_EQ(ExitCodeOf(pid), 128 + SIGPIPE);
            EXPECT_EQ(TextOf(dir.path() / "err.txt"), "");
        }
    }
    EXPECT_EQ(VersionByte(file), 204);
}

// Reads what a program prints until it closes its output (then closes
// `fd`), sending SIGINT to `target` (a process, or a group as -id) once the
// first line is out: printed while the batch runs, it stops it there.
std::string ReadInterruptingAtFirstLine(int fd, pid_t target, bool& sent) {
    std::string out;
    char buffer[4096];
    for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;) {
        out.append(buffer, size_t(n));
        if (!sent && out.find('\n') != std::string::npos) sent = kill(target, SIGINT) == 0;
    }
    close(fd);
    return out;
}

// Ctrl-C in a shell loop over folders (`for d in A B C; do qwz convert ...
// "$d"; done`) stops the loop, not only the qwz it hits: qwz finishes its
// files and its report, then ends killed by the signal, which the shell
// takes as the end of the loop; B and C stay as they were.
TEST(Tool, InterruptedInAShellLoopTheLoopStopsToo) {
    TempDir dir;
    const std::vector<uint8_t> full = BuildVersion204(FullScene());
    constexpr size_t kFiles = 300;
    for (const char* folder : {"A", "B", "C"}) {
        fs::create_directories(dir.path() / folder);
        for (size_t i = 0; i < kFiles; ++i) dir.write(fs::path(folder) / ("p" + std::to_string(i) + ".qwz"), full);
    }
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ends[1], 1);
    posix_spawn_file_actions_addclose(&actions, ends[0]);
    // A group of its own, as a terminal's foreground job: Ctrl-C reaches
    // the shell and its qwz alike.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    std::string script = "cd \"" + dir.path().string() + "\" && for d in A B C; do \"" + ToolPath().string() +
                         "\" convert --to 203 \"$d\"; done";
    std::string shell = "/bin/bash", dashC = "-c";
    char* argv[] = {shell.data(), dashC.data(), script.data(), nullptr};
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, argv[0], &actions, &attributes, argv, environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(ends[1]);
    bool sent = false;
    const std::string out = ReadInterruptingAtFirstLine(ends[0], -pid, sent);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(sent);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << "the shell went on: " << status;
    EXPECT_NE(out.find("\nPliki: "), std::string::npos) << "the stopped qwz wrote its report: " << out;
    for (const char* folder : {"B", "C"})
        for (const auto& e : fs::directory_iterator(dir.path() / folder))
            ASSERT_EQ(VersionByte(e.path()), 204) << e.path() << " converted after the stop";
}

// A real SIGINT in the middle of a batch: the files under way finish, no
// new one starts, the report names exactly the files converted, and the
// disk holds no temporary file and no backup of a file left as it was.
TEST(Tool, InterruptedBatchReportsWhatWasDoneAndLeavesNothingBehind) {
    TempDir dir;
    const fs::path root = dir.path() / "partia";
    fs::create_directories(root);
    const std::vector<uint8_t> full = BuildVersion204(FullScene());
    constexpr size_t kFiles = 400;
    for (size_t i = 0; i < kFiles; ++i) dir.write(root / ("plik" + std::to_string(1000 + i) + ".qwz"), full);
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    const pid_t pid = SpawnQwz({"convert", "--to", "203", "-j", "2", PathToUtf8(root)}, ends[1],
                               dir.path() / "err.txt");
    close(ends[1]);
    bool sent = false;
    const std::string out = ReadInterruptingAtFirstLine(ends[0], pid, sent);
    EXPECT_EQ(ExitCodeOf(pid), 130);
    ASSERT_TRUE(sent);
    std::vector<std::string> lines = Lines(out);
    ASSERT_GE(lines.size(), 2u) << out;
    const size_t done = lines.size() - 1;
    ASSERT_LT(done, kFiles) << "the stop came after the last file";
    for (size_t i = 0; i < done; ++i)
        EXPECT_EQ(lines[i].rfind("przekonwertowany: " + PathToUtf8(root / ("plik" + std::to_string(1000 + i))), 0), 0u)
            << lines[i];
    const std::string n = std::to_string(done);
    EXPECT_EQ(lines.back(), "Pliki: " + n + "; przekonwertowane " + n + ", pominięte 0, błędy 0");
    EXPECT_EQ(TextOf(dir.path() / "err.txt"), "qwz: przerwano (SIGINT) — rozpoczęte pliki dokończono, nierozpoczęte: " +
                                                   std::to_string(kFiles - done) + "\n");
    size_t converted = 0, backups = 0;
    for (const auto& e : fs::directory_iterator(root)) {
        const std::string name = e.path().filename().string();
        const bool backup = name.size() == 16 && name.substr(8) == "_org.qwz";
        ASSERT_TRUE(backup || (name.size() == 12 && name.substr(8) == ".qwz")) << "left behind: " << name;
        if (backup) {
            ++backups;
            EXPECT_EQ(VersionByte(root / (name.substr(0, 8) + ".qwz")), 203) << "a backup of a file not converted";
        } else if (VersionByte(e.path()) == 203) {
            ++converted;
        }
    }
    EXPECT_EQ(converted, done);
    EXPECT_EQ(backups, done);
}

// `qwz watch` as a user runs it: what the folder holds is told as `qwz
// convert --json-lines` tells it, the watch says once what it watches, and
// Ctrl-C ends it as it ends a convert.
TEST(Tool, WatchTellsEachFileAsConvertDoesAndEndsOnCtrlC) {
    TempDir dir;
    const fs::path root = dir.path() / "projekt";
    fs::create_directories(root);
    dir.write("projekt/a.qwz", BuildVersion204(FullScene()));
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    const pid_t pid = SpawnQwz({"watch", "--to", "203", "--settle", "0", "--json-lines", PathToUtf8(root)}, ends[1],
                               dir.path() / "err.txt");
    close(ends[1]);
    bool sent = false;
    const std::string out = ReadInterruptingAtFirstLine(ends[0], pid, sent);
    EXPECT_EQ(ExitCodeOf(pid), 130);
    const json line = json::parse(out);
    EXPECT_EQ(line["file"], PathToUtf8(root / "a.qwz"));
    EXPECT_EQ(line["status"], "converted");
    EXPECT_EQ(line["backup"], PathToUtf8(root / "a_org.qwz"));
    EXPECT_EQ(TextOf(dir.path() / "err.txt"),
              "qwz: pilnuję wersji 203 w " + PathToUtf8(root) + " (z podfolderami); powiadomienia systemu, plik "
              "konwertowany po 0 s bez zmian; Ctrl+C kończy\nqwz: koniec pilnowania (SIGINT) — rozpoczęte pliki "
              "dokończono\n");
}

#endif

#ifdef _WIN32
// A file that another program holds open without sharing it: the reason is
// the translator's, not the system's English.
TEST(Tool, AFileHeldByAnotherProgramIsNamedInPolish) {
    TempDir dir;
    const fs::path file = dir.write("hala.qwz", BuildVersion204(LinesOnly()));
    HANDLE held = CreateFileW(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    ProgramResult r = Qwz({"check", PathToUtf8(file)});
    CloseHandle(held);
    EXPECT_EQ(Lines(r.out)[0], "uszkodzony: " + PathToUtf8(file) +
                                   " — nie można otworzyć pliku: plik jest używany przez inny program");
}

// qwz writes to a console as wide text and leaves the console's code page
// as the user had it, for the programs that run in it after.
TEST(Tool, TheConsoleKeepsItsCodePage) {
    if (!GetConsoleWindow() && !AllocConsole()) GTEST_SKIP() << "no console to share";
    const UINT before = GetConsoleOutputCP();
    ASSERT_TRUE(SetConsoleOutputCP(852));
    std::wstring command = L"\"" + ToolPath().wstring() + L"\" info nie-ma-takiego-pliku.qwz";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    WaitForSingleObject(pi.hProcess, 60000);
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    EXPECT_EQ(code, 1u);
    EXPECT_EQ(GetConsoleOutputCP(), 852u);
    SetConsoleOutputCP(before);
}
#endif

}  // namespace
}  // namespace qwz::test
