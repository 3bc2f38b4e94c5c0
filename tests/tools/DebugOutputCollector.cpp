// Runs a program under the Win32 debug API and prints every string it sends
// to the debug output, one per line in UTF-8, then exits with its exit code.
//   DebugOutputCollector.exe PROGRAM.exe [ARGUMENTS...]
#include "tools/DebugCollector.h"

#include <cstdio>
#include <shellapi.h>

int wmain() {
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv || argc < 2) {
        std::fputs("usage: DebugOutputCollector PROGRAM.exe [ARGUMENTS...]\n", stderr);
        return 2;
    }
    std::vector<std::wstring> child(argv + 1, argv + argc);
    LocalFree(argv);
    qwz::test::DebugRun run = qwz::test::RunUnderDebugger(child);
    if (!run.started) {
        std::fprintf(stderr, "cannot start the program (error %lu)\n", GetLastError());
        return 2;
    }
    for (const std::string& line : run.lines) {
        std::fwrite(line.data(), 1, line.size(), stdout);
        std::fputc('\n', stdout);
    }
    std::fflush(stdout);
    return int(run.exitCode);
}
