// Paths and other variable text made fit for one line of a message that a
// person reads: control characters and bytes that are not UTF-8 become
// visible escapes, so a file name can neither break the line nor drive the
// terminal.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace qwz::platform {

// `text` with every C0 control character and DEL written as an escape
// ("\n", "\r", "\t", otherwise "\x1b"), every C1 control character (U+0080
// to U+009F) as "\u0085", and every byte that is not part of valid UTF-8 as
// "\xff". Everything else, the backslash included, is kept as it is, so the
// result is valid UTF-8 on one line and text already escaped stays the same.
std::string EscapeControl(std::string_view text);

// The bytes are valid UTF-8 (no overlong forms, no surrogates, nothing
// beyond U+10FFFF).
bool IsValidUtf8(std::string_view bytes);

// The path as UTF-8, never throwing: on POSIX its bytes as they are; on
// Windows its UTF-16, with U+FFFD for a surrogate that has no partner.
std::string PathUtf8(const std::filesystem::path& path);

// The path's native name is valid Unicode: valid UTF-8 on POSIX, UTF-16
// without unpaired surrogates on Windows. When it is not, PathUtf8 cannot
// give the exact name back.
bool PathIsUnicode(const std::filesystem::path& path);

// Appends the UTF-8 bytes of the character `c`.
void AppendUtf8(std::string& out, char32_t c);

// The path for a message: EscapeControl(PathUtf8(path)).
std::string PathForText(const std::filesystem::path& path);

}  // namespace qwz::platform
