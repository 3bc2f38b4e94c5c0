// The whole tool behind main(): parse, run the command, print its report.
#pragma once

#include "platform/FileOps.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace qwz::cli {

// Where the tool writes; the program's console, or a capture in tests.
class Console {
public:
    virtual ~Console() = default;
    // Returns why the text could not be written (Polish); empty when it was.
    virtual std::string Out(std::string_view utf8) = 0;
    virtual void Err(std::string_view utf8) = 0;
    // The width of the terminal that standard error (output) shows in; 0
    // when it is not a terminal.
    virtual size_t ErrColumns() const = 0;
    virtual size_t OutColumns() const = 0;
    // The signal that asked the run to stop (SIGINT, SIGTERM); 0 while none has.
    virtual int StopSignal() const = 0;
    // Whether the reader of standard output closed it (a pipe to `head`):
    // the run then stops as asked, and ends quietly.
    virtual bool OutGone() const { return false; }
};

// Runs the tool on the arguments after the program name (UTF-8) and
// returns the exit code: 0 success, 1 a file failed or is damaged, 2 a
// usage error, 3 standard output could not be written, 128 + the signal
// when one stopped the run (141, SIGPIPE's, when the reader of standard
// output closed it: nothing is said then). Every file is seen and changed through `ops`.
int RunCli(const std::vector<std::string>& args, Console& console,
           platform::FileOps& ops = platform::SystemFileOps());

}  // namespace qwz::cli
