// The Linux counterpart of the Explorer command: the file managers'
// commands in a scratch home. Exec lines are read back by a parser written
// here from the freedesktop rules, and run; the other commands are run
// through the shell as their file managers run them. Registering and
// removing again must leave the home byte for byte as it was.
#ifndef _WIN32

#include "app/Functions.h"
#include "explorer/SampleFile.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace qwz {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

std::string ReadText(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

// The value of `key` in the [Desktop Entry] group, with the string escapes
// (\s \n \t \r \\) undone.
std::string DesktopValue(const std::string& file, const std::string& key) {
    std::istringstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(key + "=", 0) != 0) continue;
        std::string raw = line.substr(key.size() + 1), out;
        for (size_t i = 0; i < raw.size(); ++i) {
            if (raw[i] == '\\' && i + 1 < raw.size()) {
                char c = raw[++i];
                out += c == 's' ? ' ' : c == 'n' ? '\n' : c == 't' ? '\t' : c == 'r' ? '\r' : c;
            } else {
                out += raw[i];
            }
        }
        return out;
    }
    return {};
}

// Splits an Exec value into arguments and expands %f to `file` and %% to %.
std::vector<std::string> ExecArguments(const std::string& exec, const std::string& file) {
    std::vector<std::string> args;
    size_t i = 0;
    while (i < exec.size()) {
        if (exec[i] == ' ') { ++i; continue; }
        std::string arg;
        if (exec[i] == '"') {
            for (++i; i < exec.size() && exec[i] != '"'; ++i) {
                if (exec[i] == '\\' && i + 1 < exec.size()) ++i;
                arg += exec[i];
            }
            ++i;  // closing quote
        } else {
            for (; i < exec.size() && exec[i] != ' '; ++i) arg += exec[i];
        }
        std::string expanded;
        for (size_t k = 0; k < arg.size(); ++k) {
            if (arg[k] == '%' && k + 1 < arg.size()) {
                char code = arg[++k];
                if (code == '%') expanded += '%';
                else if (code == 'f') expanded += file;
                else ADD_FAILURE() << "unexpected field code %" << code;
            } else {
                expanded += arg[k];
            }
        }
        args.push_back(expanded);
    }
    return args;
}

// Runs argv with `extraEnv` added (in place of the variables it names), its standard error to `errFile` when
// given; returns the exit status or -1.
int RunProgram(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv = {},
               const fs::path& errFile = {}) {
    std::vector<std::string> env = extraEnv;
    for (char** e = environ; *e; ++e) {
        const std::string name = std::string(*e).substr(0, std::string(*e).find('=') + 1);
        bool given = false;
        for (const std::string& x : extraEnv) given = given || x.rfind(name, 0) == 0;
        if (!given) env.emplace_back(*e);
    }
    std::vector<char*> a, e;
    for (const auto& s : argv) a.push_back(const_cast<char*>(s.c_str()));
    a.push_back(nullptr);
    for (const auto& s : env) e.push_back(const_cast<char*>(s.c_str()));
    e.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!errFile.empty())
        posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
    pid_t pid;
    int rc = posix_spawn(&pid, a[0], &actions, nullptr, a.data(), e.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return -1;
    int status = 0;
    if (waitpid(pid, &status, 0) < 0 || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

bool ToolPresent(const char* tool) {
    return RunProgram({"/bin/sh", "-c", std::string("command -v ") + tool + " >/dev/null"}) == 0;
}

// Every file and folder under `root` with its mode and content.
std::map<std::string, std::string> Snapshot(const fs::path& root) {
    std::map<std::string, std::string> all;
    for (const fs::directory_entry& e : fs::recursive_directory_iterator(root)) {
        const std::string mode = std::to_string(int(e.symlink_status().permissions()));
        all[fs::relative(e.path(), root).string()] =
            e.is_regular_file() ? mode + ":" + ReadText(e.path()) : mode + (e.is_directory() ? "/" : "@");
    }
    return all;
}

DesktopPlaces PlacesIn(const fs::path& home, const fs::path& system = "/nonexistent") {
    return {home / ".local" / "share", home / ".config", {system}};
}

std::string Group(const std::string& file, const std::string& group) {
    const size_t at = file.find("[" + group + "]\n");
    if (at == std::string::npos) return {};
    return file.substr(at, file.find("\n[", at + 1) - at);
}

// A home as found (empty, or with a user's Thunar actions, MIME types of
// another program and empty folders) is given back byte for byte.
TEST(DesktopEntry, RegisteringAndRemovingLeaveTheHomeAsItWas) {
    const std::string userUca = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<actions>\n<action>\n"
                                "\t<name>Mine</name>\n\t<unique-id>1-1</unique-id>\n</action>\n</actions>\n";
    const std::string otherType = "<?xml version=\"1.0\"?>\n<mime-info xmlns=\"http://www.freedesktop.org/"
                                  "standards/shared-mime-info\"><mime-type type=\"application/x-other\">"
                                  "<glob pattern=\"*.oth\"/></mime-type></mime-info>\n";
    for (int kind = 0; kind < 3; ++kind) {
        SCOPED_TRACE(kind);
        TempDir dir;
        const fs::path home = dir.path() / "home";
        fs::create_directories(home);
        const DesktopPlaces places = PlacesIn(home, dir.path() / "etc");
        if (kind == 1) {
            fs::create_directories(home / ".config" / "Thunar");
            std::ofstream(home / ".config" / "Thunar" / "uca.xml") << userUca;
            fs::create_directories(home / ".local" / "share" / "mime" / "packages");
            fs::create_directories(home / ".local" / "share" / "icons");
            std::ofstream(home / ".local" / "share" / "mime" / "packages" / "other.xml") << otherType;
            RunProgram({"/bin/sh", "-c", "update-mime-database \"$0\" 2>/dev/null", (places.dataHome / "mime").string()});
        } else if (kind == 2) {
            // Thunar installed for the system, the user without actions of his own.
            fs::create_directories(dir.path() / "etc" / "Thunar");
            std::ofstream(dir.path() / "etc" / "Thunar" / "uca.xml") << userUca;
        }
        const auto before = Snapshot(home);

        const fs::path program = "/opt/QWZ Downgrader/qwz-downgrader";
        std::vector<std::string> said = InstallDesktopEntry(places, program);
        EXPECT_FALSE(said.empty());
        const fs::path share = places.dataHome;
        const std::string kde = ReadText(share / "kio/servicemenus/qwz-downgrader.desktop");
        for (int v : {202, 203, 204}) {
            const std::string action = Group(kde, "Desktop Action qwz" + std::to_string(v));
            EXPECT_EQ(DesktopValue(action, "Name"), "Dostosuj do starszych wersji programu (QWZ " + std::to_string(v) + ")");
            EXPECT_EQ(ExecArguments(DesktopValue(action, "Exec"), "/home/u/a b.qwz"),
                      (std::vector<std::string>{program.string(), "-v", std::to_string(v), "/home/u/a b.qwz"}));
            const std::string caja = ReadText(share / ("file-manager/actions/qwz-downgrader-" + std::to_string(v) + ".desktop"));
            EXPECT_NE(caja.find("Tooltip[pl]=Zapisuje plik w wersji QWZ " + std::to_string(v)), std::string::npos);
            EXPECT_TRUE(fs::exists(share / ("nemo/actions/qwz-downgrader-" + std::to_string(v) + ".nemo_action")));
        }
        const std::string mime = ReadText(share / "mime/packages/qwz-downgrader.xml");
        EXPECT_NE(mime.find("<comment xml:lang=\"pl\">Scena QWZ</comment>"), std::string::npos);
        EXPECT_NE(mime.find("<icon name=\"qwz-downgrader\"/>"), std::string::npos);
        EXPECT_TRUE(fs::exists(share / "icons/hicolor/scalable/apps/qwz-downgrader.svg"));
        // No application takes the type: opening a .qwz file converts nothing.
        EXPECT_FALSE(fs::exists(share / "applications"));
        if (ToolPresent("desktop-file-validate")) {
            EXPECT_EQ(RunProgram({"/bin/sh", "-c", "desktop-file-validate \"$@\" >&2", "-",
                                  (share / "kio/servicemenus/qwz-downgrader.desktop").string()}), 0);
        }
        if (ToolPresent("update-mime-database")) {
            EXPECT_NE(ReadText(share / "mime" / "globs2").find("application/x-qwz:*.qwz"), std::string::npos);
        }
        const std::string uca = ReadText(home / ".config" / "Thunar" / "uca.xml");
        EXPECT_EQ(uca.find("<unique-id>qwz-downgrader-203</unique-id>") != std::string::npos, kind != 0);
        if (kind != 0) {
            EXPECT_NE(uca.find("<name>Mine</name>"), std::string::npos) << "the user's actions stay";
        }

        // Registering again changes nothing; removing gives the home back.
        const auto registered = Snapshot(home);
        InstallDesktopEntry(places, program);
        EXPECT_EQ(Snapshot(home), registered);
        said = RemoveDesktopEntry(places);
        EXPECT_FALSE(said.empty());
        EXPECT_EQ(Snapshot(home), before);
        EXPECT_TRUE(RemoveDesktopEntry(places).empty()) << "nothing there: nothing to do";
    }
}

TEST(DesktopEntry, CommandsKeepAnOddProgramPathWhole) {
    for (std::string odd : {"/a b/$HOME/`x`/\"q\"/100%/back\\slash/%f/it's", "/x/%%/y;z'"}) {
        TempDir dir;
        const DesktopPlaces places = PlacesIn(dir.path());
        InstallDesktopEntry(places, odd);
        const std::string kde = ReadText(places.dataHome / "kio/servicemenus/qwz-downgrader.desktop");
        EXPECT_EQ(ExecArguments(DesktopValue(Group(kde, "Desktop Action qwz203"), "Exec"), "/f.qwz"),
                  (std::vector<std::string>{odd, "-v", "203", "/f.qwz"}))
            << kde;
        if (ToolPresent("desktop-file-validate")) {
            EXPECT_EQ(RunProgram({"/bin/sh", "-c", "desktop-file-validate \"$0\" >&2",
                                  (places.dataHome / "kio/servicemenus/qwz-downgrader.desktop").string()}),
                      0);
        }
    }
}

TEST(DesktopEntry, UnwritableDataFolderThrows) {
    TempDir dir;
    fs::path blocker = dir.write("file", {1});
    EXPECT_THROW(InstallDesktopEntry(PlacesIn(blocker), "/usr/bin/x"), std::runtime_error);
    EXPECT_THROW(InstallDesktopEntry(PlacesIn(dir.path()), "/usr/bin/x\n[Other]"), std::runtime_error);
    EXPECT_FALSE(fs::exists(dir.path() / ".local"));
}

#ifdef QWZ_PROGRAM_FILE
// A data folder that cannot be written: "-r" tells the user (here on
// standard error), "-u" sends its debug line, and both exit with 0.
TEST(DesktopEntry, ProgramReportsARefusedRegistrationAndExitsWithZero) {
    TempDir dir;
    fs::path blocker = dir.write("file", {1});
    std::vector<std::string> env = {"XDG_DATA_HOME=" + (blocker / "share").string()};
    fs::path err = dir.path() / "err.txt";
    EXPECT_EQ(RunProgram({QWZ_PROGRAM_FILE, "-r"}, env, err), 0);
    EXPECT_NE(ReadText(err).find("Rejestracja nie powiodła się. Powtórz instalację jako "
                                 "administrator."),
              std::string::npos)
        << ReadText(err);
    EXPECT_EQ(RunProgram({QWZ_PROGRAM_FILE, "-u"}, env, err), 0);
    EXPECT_NE(ReadText(err).find("downgrader unregister failed (no admin?)"), std::string::npos)
        << ReadText(err);
}

// The program's own "-r" and "-u" in a scratch home, with the program in a
// folder whose name needs every kind of quoting: each file manager's
// command converts the files chosen, the result is told on standard error
// and as a notification, and "-u" leaves the home as it was.
TEST(DesktopEntry, ProgramRegistersAndEachCommandConvertsTheFilesChosen) {
    TempDir dir;
    const fs::path home = dir.path() / "home";
    fs::create_directories(home / ".config" / "Thunar");
    const fs::path odd = dir.path() / "we ird $HOME `x` \"q\" 100% \\ %f it's";
    const fs::path bin = dir.path() / "bin";
    fs::create_directories(odd);
    fs::create_directories(bin);
    const fs::path program = odd / "qwz-downgrader";
    fs::copy_file(QWZ_PROGRAM_FILE, program);
    fs::permissions(program, fs::perms::owner_all);
    // A notification sender that notes what it is asked to show.
    std::ofstream(bin / "notify-send") << "#!/bin/sh\nfor a do last=$a; done\necho \"$last\" >>\"" +
                                              (dir.path() / "notified").string() + "\"\n";
    fs::permissions(bin / "notify-send", fs::perms::owner_all);
    const std::vector<std::string> env = {"HOME=" + home.string(), "XDG_DATA_HOME=", "XDG_CONFIG_HOME=",
                                          "XDG_CONFIG_DIRS=/nonexistent",
                                          "PATH=" + bin.string() + ":/usr/bin:/bin",
                                          "DBUS_SESSION_BUS_ADDRESS=unix:path=" + (dir.path() / "bus").string()};
    const auto before = Snapshot(home);
    const fs::path err = dir.path() / "err.txt";
    ASSERT_EQ(RunProgram({program.string(), "-r"}, env, err), 0);
    EXPECT_NE(ReadText(err).find("Zapisano \"" + (home / ".local/share/nemo/actions/qwz-downgrader-202.nemo_action").string()),
              std::string::npos)
        << ReadText(err);
    const fs::path share = home / ".local" / "share";

    // Dolphin: the Exec line of the 203 action, run for one file.
    const fs::path a = dir.write("hall 1.qwz", test::Version204File());
    const std::string kde = ReadText(share / "kio/servicemenus/qwz-downgrader.desktop");
    std::vector<std::string> args = ExecArguments(DesktopValue(Group(kde, "Desktop Action qwz203"), "Exec"), a.string());
    ASSERT_EQ(args, (std::vector<std::string>{program.string(), "-v", "203", a.string()}));
    EXPECT_EQ(RunProgram(args, env, err), 0);
    EXPECT_EQ(TempDir::read(a)[3], 203);
    EXPECT_EQ(TempDir::read(dir.path() / "hall 1_org.qwz"), test::Version204File());
    const std::string line = "Przekonwertowano plik \"" + a.string() + "\" z wersji 204 do 203, oryginał: \"" +
                             (dir.path() / "hall 1_org.qwz").string() + "\"";
    EXPECT_EQ(ReadText(err), line + "\n");
    EXPECT_EQ(ReadText(dir.path() / "notified"), line + "\n");
    // Without a session bus, as over ssh or in a script's service, nothing
    // is sent (and no sender started): the line on standard error is all.
    std::vector<std::string> noBus = env;
    noBus.back() = "DBUS_SESSION_BUS_ADDRESS=";
    noBus.push_back("XDG_RUNTIME_DIR=" + dir.path().string());
    EXPECT_EQ(RunProgram({program.string(), "-v", "203", a.string()}, noBus, err), 0);
    EXPECT_NE(ReadText(err).find("jest już w odpowiedniej wersji"), std::string::npos) << ReadText(err);
    EXPECT_EQ(ReadText(dir.path() / "notified"), line + "\n");

    // Nautilus: its script in the folder shown, with the chosen names; a
    // name that looks like a switch is still a file.
    const fs::path b = dir.write("-r", test::Version204File());
    const fs::path c = dir.write("c.qwz", test::Version204File());
    EXPECT_EQ(RunProgram({"/bin/sh", "-c", "cd \"$0\" && exec \"$1\" -r c.qwz", dir.path().string(),
                          (share / "nautilus/scripts/Dostosuj do starszych wersji programu (QWZ 202)").string()},
                         env, err),
              0);
    EXPECT_EQ(TempDir::read(b)[3], 202);
    EXPECT_EQ(TempDir::read(c)[3], 202);

    // Thunar and Nemo hand every chosen file, each a shell word, to one
    // command; a file that fails is told with its reason.
    const fs::path d = dir.write("d e.qwz", test::Version204File());
    const fs::path bad = dir.write("bad.qwz", {'N', 'O'});
    const std::string uca = ReadText(home / ".config/Thunar/uca.xml");
    const size_t at = uca.find("<command>", uca.find("qwz-downgrader-204"));
    std::string command = uca.substr(at + 9, uca.find("</command>", at) - at - 9);
    for (auto [entity, text] : {std::pair{"&apos;", "'"}, {"&quot;", "\""}, {"&lt;", "<"}, {"&gt;", ">"}, {"&amp;", "&"}})
        for (size_t p = command.find(entity); p != std::string::npos; p = command.find(entity, p + 1))
            command.replace(p, std::string(entity).size(), text);
    command.replace(command.find("%F"), 2, "'" + d.string() + "' '" + bad.string() + "'");
    fs::remove(dir.path() / "notified");
    EXPECT_EQ(RunProgram({"/bin/sh", "-c", command}, env, err), 0);
    EXPECT_EQ(TempDir::read(d), test::Version204File()) << "204 to 204, nothing dropped: skipped";
    EXPECT_FALSE(fs::exists(dir.path() / "d e_org.qwz"));
    const std::string notified = ReadText(dir.path() / "notified");
    EXPECT_NE(notified.find("Plik \"" + d.string() + "\" jest już w odpowiedniej wersji\n"), std::string::npos) << notified;
    EXPECT_NE(notified.find("Nie przekonwertowano pliku \"" + bad.string() + "\": "), std::string::npos) << notified;

    ASSERT_EQ(RunProgram({program.string(), "-u"}, env, err), 0);
    EXPECT_NE(ReadText(err).find("Usunięto polecenie"), std::string::npos) << ReadText(err);
    EXPECT_EQ(Snapshot(home), before);
}
#endif

}  // namespace
}  // namespace qwz

#endif
