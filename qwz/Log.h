// Where the library's own remarks go. By default nowhere: a call writes
// nothing to the standard streams, shows no message box and sends nothing
// to a debugger. Each call's remarks are also in its result's `notes`.
#pragma once

#include <functional>
#include <string_view>

namespace qwz::api {

// Receives every remark (UTF-8, one line without its end) from every
// thread, one at a time; an empty function silences them again. Returns
// the function it replaces.
using LogFunction = std::function<void(std::string_view line)>;
LogFunction SetLog(LogFunction log);

}  // namespace qwz::api
