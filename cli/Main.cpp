// Entry of the qwz console tool: the arguments as UTF-8, the console, and
// everything else in RunCli.
#include "cli/Run.h"
#include "platform/Console.h"
#include "platform/Interrupt.h"

#include <string>
#include <vector>

#ifdef _WIN32
#include "platform/win32/WideText.h"
#endif

namespace {

class ProgramConsole : public qwz::cli::Console {
public:
    std::string Out(std::string_view utf8) override {
        return qwz::platform::WriteConsoleText(qwz::platform::ConsoleStream::Out, utf8);
    }
    void Err(std::string_view utf8) override {
        // Where standard error cannot be written there is nowhere to say so.
        (void)qwz::platform::WriteConsoleText(qwz::platform::ConsoleStream::Err, utf8);
    }
    size_t ErrColumns() const override { return qwz::platform::TerminalColumns(qwz::platform::ConsoleStream::Err); }
    size_t OutColumns() const override { return qwz::platform::TerminalColumns(qwz::platform::ConsoleStream::Out); }
    int StopSignal() const override { return qwz::platform::InterruptSignal(); }
};

int Run(std::vector<std::string> args) {
    // Ctrl-C and SIGTERM let the files under way finish; a reader that has
    // gone makes the next write fail rather than end the process unheard.
    qwz::platform::CatchInterrupts();
    qwz::platform::IgnoreBrokenPipe();
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
