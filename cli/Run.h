// The whole tool behind main(): parse, run the command, print its report.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qwz::cli {

// Where the tool writes; the program's console, or a capture in tests.
class Console {
public:
    virtual ~Console() = default;
    virtual void Out(std::string_view utf8) = 0;
    virtual void Err(std::string_view utf8) = 0;
    // Standard error is a terminal: a progress line is worth showing there.
    virtual bool ErrIsTerminal() const = 0;
};

// Runs the tool on the arguments after the program name (UTF-8) and
// returns the exit code: 0 success, 1 a file failed or is damaged, 2 a
// usage error.
int RunCli(const std::vector<std::string>& args, Console& console);

}  // namespace qwz::cli
