// The progress line of a terminal: one line on standard error, rewritten in
// place, never wider than the terminal (so it never wraps and leaves stale
// lines behind), shown a few times a second at most, and blanked before any
// other text and at the end.
#pragma once

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>

namespace qwz::cli {

class ProgressLine {
public:
    using Clock = std::chrono::steady_clock;
    // `write` puts text on the terminal; `columns` is its width.
    ProgressLine(std::function<void(const std::string&)> write, size_t columns,
                 Clock::duration interval = std::chrono::milliseconds(200));

    // File `index` (1-based) of `count` has started. Shown when the line
    // was last drawn at least the interval ago.
    void Show(size_t index, size_t count, const std::filesystem::path& path, Clock::time_point now = Clock::now());
    // Blanks the line (before other text is written, and at the end).
    void Clear();
    // Draws again what was last asked for, after Clear.
    void Redraw();

private:
    void Draw(const std::string& text);

    std::function<void(const std::string&)> write_;
    size_t columns_;
    Clock::duration interval_;
    Clock::time_point last_{};
    bool drawnOnce_ = false;
    std::string wanted_;    // the text last asked for
    size_t shown_ = 0;      // columns now on the line
};

}  // namespace qwz::cli
