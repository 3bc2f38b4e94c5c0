#include "app/CommandLine.h"

#include <algorithm>
#include <charconv>
#include <string_view>

namespace qwz {
namespace {

// The switches are ASCII, so comparing ASCII letters without case is the
// same in every locale; any other character has to match as it is.
bool IsSwitch(const std::string& arg, char letter) {
    return arg.size() == 2 && arg[0] == '-' && (arg[1] | 0x20) == letter;
}

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

bool IsLongSwitch(const std::string& arg, std::string_view name) {
    return std::equal(arg.begin(), arg.end(), name.begin(), name.end(),
                      [](char a, char b) { return AsciiLower(a) == b; });
}

bool IsHelp(const std::string& arg) { return arg == "/?" || IsSwitch(arg, 'h') || IsLongSwitch(arg, "--help"); }

// A target version: optional "+", then decimal digits only. A negative
// number would reach the writer as its low byte (-52 becomes 204) and so
// upgrade the file; it is refused like any other text.
bool ParseTarget(const std::string& text, int& value) {
    const char* first = text.data();
    const char* last = first + text.size();
    if (first != last && *first == '+') ++first;
    if (first == last || *first < '0' || *first > '9') return false;
    int parsed = 0;
    auto [end, ec] = std::from_chars(first, last, parsed);
    if (ec != std::errc() || end != last) return false;
    value = parsed;
    return true;
}

}  // namespace

CommandLineAction ParseCommandLine(const std::vector<std::string>& args) {
    CommandLineAction action;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (IsSwitch(arg, 'r')) {
            action.kind = CommandLineAction::Register;
            action.target = kDefaultTarget;
            return action;
        }
        if (IsSwitch(arg, 'u')) {
            action.kind = CommandLineAction::Unregister;
            return action;
        }
        if (IsHelp(arg)) {
            action.kind = CommandLineAction::Help;
            return action;
        }
        if (IsLongSwitch(arg, "--version")) {
            action.kind = CommandLineAction::Version;
            return action;
        }
        if (IsLongSwitch(arg, "-embedding") || IsLongSwitch(arg, "/embedding")) {
            action.kind = CommandLineAction::Embedding;
            return action;
        }
        if (IsSwitch(arg, 'v')) {
            if (i + 1 < args.size()) ParseTarget(args[i + 1], action.target);
            ++i;  // the number (or whatever stands in its place) is used up
            continue;
        }
        action.kind = CommandLineAction::Convert;
        action.path = arg;
        action.pathArg = i;
        return action;
    }
    return action;
}

}  // namespace qwz
