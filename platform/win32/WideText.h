// UTF-8 <-> UTF-16 for the Win32 W functions.
#pragma once

#include <string>
#include <string_view>

namespace qwz::platform {

std::wstring Utf8ToWide(std::string_view utf8);
std::string WideToUtf8(std::wstring_view wide);

}  // namespace qwz::platform
