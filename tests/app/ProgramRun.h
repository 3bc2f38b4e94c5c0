// Test-only: runs the real program with arguments and collects its debug
// lines. Natively they are the lines of its standard error; on Windows the
// program runs under this process as its debugger, which receives every
// OutputDebugStringA / OutputDebugStringW string.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#ifdef _WIN32
#include "tools/DebugCollector.h"
#else
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

extern char** environ;
#endif

namespace qwz::test {

struct ProgramRun {
    bool started = false;
    int exitCode = -1;
    std::vector<std::string> lines;  // debug lines, UTF-8
    std::string output;              // standard output (native only)
};

inline std::string Utf8Of(const std::filesystem::path& p) {
    std::u8string s = p.u8string();
    return std::string(s.begin(), s.end());
}

#ifdef _WIN32

inline std::wstring WideOf(const std::string& utf8) {
    if (utf8.empty()) return {};
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
    std::wstring w(size_t(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), w.data(), n);
    return w;
}

// The build gives the program's path as the build machine sees it; under
// Wine the root of that file system is drive Z:.
inline std::wstring ProgramPath() {
    std::wstring p = WideOf(QWZ_PROGRAM_PATH);
    if (!p.empty() && p[0] == L'/') p = L"Z:" + p;
    for (wchar_t& c : p)
        if (c == L'/') c = L'\\';
    return p;
}

inline ProgramRun RunProgram(const std::vector<std::string>& args) {
    std::vector<std::wstring> argv{ProgramPath()};
    for (const std::string& a : args) argv.push_back(WideOf(a));
    DebugRun r = RunUnderDebugger(argv);
    ProgramRun run;
    run.started = r.started;
    run.exitCode = int(r.exitCode);
    run.lines = r.lines;
    return run;
}

#else

inline std::string ReadText(const std::filesystem::path& p) {
    std::ifstream f(p, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

// `prefix` runs before the program (for example a command that drops
// privileges).
inline ProgramRun RunProgram(const std::vector<std::string>& args,
                             const std::vector<std::string>& prefix = {}) {
    ProgramRun run;
    char outName[] = "/tmp/qwz-run-out-XXXXXX";
    char errName[] = "/tmp/qwz-run-err-XXXXXX";
    int outFd = mkstemp(outName);
    int errFd = mkstemp(errName);
    std::vector<std::string> all = prefix;
    all.push_back(QWZ_PROGRAM_PATH);
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, outFd, 1);
    posix_spawn_file_actions_adddup2(&actions, errFd, 2);
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
        run.started = true;
        int status = 0;
        waitpid(pid, &status, 0);
        run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    posix_spawn_file_actions_destroy(&actions);
    close(outFd);
    close(errFd);
    run.output = ReadText(outName);
    std::istringstream err(ReadText(errName));
    for (std::string line; std::getline(err, line);) run.lines.push_back(line);
    unlink(outName);
    unlink(errName);
    return run;
}

#endif

}  // namespace qwz::test
