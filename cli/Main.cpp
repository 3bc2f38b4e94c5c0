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
    bool OutGone() const override { return qwz::platform::ConsoleReaderGone(qwz::platform::ConsoleStream::Out); }
};

int Run(std::vector<std::string> args) {
    // Ctrl-C and SIGTERM let the files under way finish; a reader that has
    // gone makes the next write fail rather than end the process at once.
    qwz::platform::CatchInterrupts();
    qwz::platform::IgnoreBrokenPipe();
    ProgramConsole console;
    const int code = qwz::cli::RunCli(args, console);
    // Once the report is written and every file finished or undone, the
    // process ends as the signal would have ended it, so that a calling
    // shell loop stops too (a closed pipe ends it as SIGPIPE does).
    if (const int signal = qwz::platform::InterruptSignal(); signal != 0) qwz::platform::EndAsKilledBy(signal);
    if (console.OutGone()) qwz::platform::EndAsKilledBy(qwz::platform::BrokenPipeSignal());
    return code;
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
