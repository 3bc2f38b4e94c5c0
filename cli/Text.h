// Text helpers of the console tool: paths as UTF-8 for text and JSON,
// names from the files' 8-bit code page, numbers written the shortest way
// that reads back exactly, and caught exceptions as Polish reasons.
#pragma once

#include "engine/ExceptionText.h"

#include "platform/PathText.h"

#include <nlohmann/json.hpp>

#include <exception>
#include <filesystem>
#include <string>
#include <string_view>

namespace qwz::cli {

// The path as UTF-8 (platform::PathUtf8): exact for every name that is
// valid Unicode.
std::string PathToUtf8(const std::filesystem::path& path);
std::filesystem::path PathFromUtf8(std::string_view utf8);

// The path for a line of text a person reads: one line whatever the name
// holds (control characters and bytes that are not UTF-8 as escapes).
using platform::PathForText;

// The shape of every JSON report, its first key "format": raised when a key
// changes its meaning or goes away (a new key leaves it as it is).
constexpr int kJsonFormat = 1;

// Sets j[key] to the path as UTF-8 and, when the native name is not valid
// Unicode (so that text holds U+FFFD in its place), j[key + "_base64"] to
// the base64 of the native name's bytes: POSIX bytes, UTF-16LE on Windows.
void PutPath(nlohmann::ordered_json& j, const std::string& key, const std::filesystem::path& path);

using qwz::ExceptionText;
using qwz::ExceptionReason;

// A name as stored in a file (8-bit text in code page 1250, the code page of
// the program's Polish users) as UTF-8. Bytes the code page leaves undefined
// become U+FFFD.
std::string NameToUtf8(std::string_view name);

// The shortest decimal text that reads back as the same float32 ("0.1",
// "1e+30", "-2.5").
std::string FloatText(float value);
// The same float32 as the double whose shortest text is FloatText(value), so
// that JSON shows 0.1 rather than 0.10000000149011612.
double FloatForJson(float value);
// A measured change for a person, to six significant digits, with a point
// whatever the locale ("0.00999987", "1.5e-05").
std::string ChangeText(double value);

}  // namespace qwz::cli
