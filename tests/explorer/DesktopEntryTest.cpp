// The Linux counterpart of the Explorer command: a desktop entry and a MIME
// package in a temporary $XDG_DATA_HOME. Exec lines are read back by a
// parser written here from the freedesktop rules, and run.
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

// Runs argv with `extraEnv` added, its standard error to `errFile` when
// given; returns the exit status or -1.
int RunProgram(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv = {},
               const fs::path& errFile = {}) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) env.emplace_back(*e);
    env.insert(env.end(), extraEnv.begin(), extraEnv.end());
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

TEST(DesktopEntry, IsWrittenValidatedAndRemoved) {
    TempDir home;
    fs::path program = "/opt/QWZ Downgrader/qwz-downgrader";
    InstallDesktopEntry(home.path(), program, 204);

    std::string desktop = ReadText(DesktopEntryPath(home.path()));
    EXPECT_EQ(DesktopValue(desktop, "Name"), "Dostosuj do starszych wersji programu");
    EXPECT_EQ(DesktopValue(desktop, "Type"), "Application");
    EXPECT_EQ(DesktopValue(desktop, "MimeType"), "application/x-qwz;");
    EXPECT_EQ(ExecArguments(DesktopValue(desktop, "Exec"), "/home/u/a b.qwz"),
              (std::vector<std::string>{program.string(), "-v", "204", "/home/u/a b.qwz"}));
    std::string mime = ReadText(MimePackagePath(home.path()));
    EXPECT_NE(mime.find("<glob pattern=\"*.qwz\"/>"), std::string::npos);

    if (ToolPresent("desktop-file-validate")) {
        EXPECT_EQ(RunProgram({"/bin/sh", "-c", "desktop-file-validate \"$0\"",
                       DesktopEntryPath(home.path()).string()}), 0);
    }
    if (ToolPresent("update-mime-database")) {
        // The caches were brought up to date: *.qwz is known to this user.
        EXPECT_NE(ReadText(home.path() / "mime" / "globs2").find("application/x-qwz:*.qwz"),
                  std::string::npos);
    }
    if (ToolPresent("update-desktop-database")) {
        EXPECT_NE(ReadText(home.path() / "applications" / "mimeinfo.cache")
                      .find("application/x-qwz=qwz-downgrader-downgrade.desktop;"),
                  std::string::npos);
    }

    // Registering again replaces the version.
    InstallDesktopEntry(home.path(), program, 202);
    EXPECT_NE(ReadText(DesktopEntryPath(home.path())).find(" -v 202 %f"), std::string::npos);

    RemoveDesktopEntry(home.path());
    EXPECT_FALSE(fs::exists(DesktopEntryPath(home.path())));
    EXPECT_FALSE(fs::exists(MimePackagePath(home.path())));
    if (ToolPresent("update-mime-database")) {
        EXPECT_EQ(ReadText(home.path() / "mime" / "globs2").find("*.qwz"), std::string::npos);
    }
    EXPECT_NO_THROW(RemoveDesktopEntry(home.path()));  // nothing there: nothing to do
}

TEST(DesktopEntry, ExecLineKeepsAnOddProgramPathWhole) {
    TempDir home;
    for (std::string odd : {"/a b/$HOME/`x`/\"q\"/100%/back\\slash/%f/qwz", "/x/%%/y;z'"}) {
        InstallDesktopEntry(home.path(), odd, 203);
        std::string desktop = ReadText(DesktopEntryPath(home.path()));
        EXPECT_EQ(ExecArguments(DesktopValue(desktop, "Exec"), "/f.qwz"),
                  (std::vector<std::string>{odd, "-v", "203", "/f.qwz"}))
            << desktop;
        if (ToolPresent("desktop-file-validate")) {
            EXPECT_EQ(RunProgram({"/bin/sh", "-c", "desktop-file-validate \"$0\"",
                                  DesktopEntryPath(home.path()).string()}),
                      0)
                << desktop;
        }
    }
}

TEST(DesktopEntry, UnwritableDataFolderThrows) {
    TempDir dir;
    fs::path blocker = dir.write("file", {1});
    EXPECT_THROW(InstallDesktopEntry(blocker / "share", "/usr/bin/x", 203), std::runtime_error);
    EXPECT_THROW(InstallDesktopEntry(dir.path(), "/usr/bin/x\n[Other]", 203), std::runtime_error);
    EXPECT_FALSE(fs::exists(DesktopEntryPath(dir.path())));
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

// The program's own "-r" and "-u", and the Exec line converting a file, with
// the program copied to a folder whose name needs every kind of quoting.
TEST(DesktopEntry, ProgramRegistersAndItsExecLineConvertsAFile) {
    TempDir dir;
    fs::path home = dir.path() / "share";
    fs::path odd = dir.path() / "we ird $HOME `x` \"q\" 100% \\ %f";
    fs::create_directories(odd);
    fs::path program = odd / "qwz-downgrader";
    fs::copy_file(QWZ_PROGRAM_FILE, program);
    fs::permissions(program, fs::perms::owner_all);

    ASSERT_EQ(RunProgram({program.string(), "-r"}, {"XDG_DATA_HOME=" + home.string()}), 0);
    std::string desktop = ReadText(DesktopEntryPath(home));
    ASSERT_FALSE(desktop.empty());
    fs::path file = dir.write("hall 1.qwz", test::Version204File());
    std::vector<std::string> args = ExecArguments(DesktopValue(desktop, "Exec"), file.string());
    ASSERT_EQ(args, (std::vector<std::string>{program.string(), "-v", "203", file.string()}));

    EXPECT_EQ(RunProgram(args), 0);
    std::vector<uint8_t> converted = TempDir::read(file);
    ASSERT_GE(converted.size(), 4u);
    EXPECT_EQ(converted[3], 203);
    EXPECT_EQ(TempDir::read(dir.path() / "hall 1_org.qwz"), test::Version204File());

    ASSERT_EQ(RunProgram({program.string(), "-u"}, {"XDG_DATA_HOME=" + home.string()}), 0);
    EXPECT_FALSE(fs::exists(DesktopEntryPath(home)));
    EXPECT_FALSE(fs::exists(MimePackagePath(home)));
}
#endif

}  // namespace
}  // namespace qwz

#endif
