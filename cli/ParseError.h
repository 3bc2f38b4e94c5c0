// The parser's errors said in Polish: CLI11's own messages are English, so
// each kind of its errors gets a Polish sentence, with only the names taken
// from its text.
#pragma once

#include <CLI/CLI.hpp>

#include <string>

namespace qwz::cli {

// The Polish text of `e`, raised while `app` parsed.
std::string PolishParseError(const CLI::ParseError& e, const CLI::App& app);

}  // namespace qwz::cli
