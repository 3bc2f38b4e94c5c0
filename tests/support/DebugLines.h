// Test-only: collects the debug output for as long as it lives.
#pragma once

#include "platform/DebugOutput.h"

#include <string>
#include <string_view>
#include <vector>

namespace qwz::test {

class DebugLines {
public:
    DebugLines() {
        previous_ = platform::SetDebugSink(
            [this](std::string_view text, bool w) { lines.emplace_back(text), wide.push_back(w); });
    }
    ~DebugLines() { platform::SetDebugSink(previous_); }
    DebugLines(const DebugLines&) = delete;
    DebugLines& operator=(const DebugLines&) = delete;

    std::vector<std::string> lines;
    std::vector<bool> wide;  // per line: sent as UTF-8 for OutputDebugStringW

private:
    platform::DebugSink previous_;
};

}  // namespace qwz::test
