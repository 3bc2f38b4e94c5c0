// Entry of the qwz console tool: the arguments as UTF-8, the console, and
// everything else in RunCli.
#include "cli/Run.h"
#include "platform/Console.h"

#include <string>
#include <vector>

#ifdef _WIN32
#include "platform/win32/WideText.h"
#endif

namespace {

class ProgramConsole : public qwz::cli::Console {
public:
    void Out(std::string_view utf8) override {
        qwz::platform::WriteConsoleText(qwz::platform::ConsoleStream::Out, utf8);
    }
    void Err(std::string_view utf8) override {
        qwz::platform::WriteConsoleText(qwz::platform::ConsoleStream::Err, utf8);
    }
    bool ErrIsTerminal() const override { return qwz::platform::IsTerminal(qwz::platform::ConsoleStream::Err); }
};

int Run(std::vector<std::string> args) {
    ProgramConsole console;
    return qwz::cli::RunCli(args, console);
}

}  // namespace

#ifdef _WIN32
// Wide arguments, so that any file name arrives intact whatever the code page.
int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.push_back(qwz::platform::WideToUtf8(argv[i]));
    return Run(std::move(args));
}
#else
int main(int argc, char** argv) { return Run(std::vector<std::string>(argv + 1, argv + argc)); }
#endif
