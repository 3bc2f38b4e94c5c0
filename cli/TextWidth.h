// Text laid out in a terminal's columns: the width of UTF-8 text as a
// terminal shows it (a Polish letter one column, a combining mark none, a
// CJK character two), a long name shortened in the middle, and paragraphs
// wrapped at spaces.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace qwz::cli {

// Columns the text takes; a byte that is not part of valid UTF-8 counts one.
size_t DisplayWidth(std::string_view utf8);

// The text itself when it fits in `columns`, else its start and its end
// with "…" between them, together at most `columns` wide (the end gets the
// larger half: it holds the file's name).
std::string ShortenMiddle(std::string_view utf8, size_t columns);

// The text broken at spaces into lines at most `columns` wide; a word wider
// than that stands alone on its line. Line breaks in the text are kept.
std::vector<std::string> WrapWords(std::string_view utf8, size_t columns);

}  // namespace qwz::cli
