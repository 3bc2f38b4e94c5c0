#include "cli/ProgressLine.h"

#include "cli/Text.h"
#include "cli/TextWidth.h"

namespace qwz::cli {

ProgressLine::ProgressLine(std::function<void(const std::string&)> write, size_t columns, Clock::duration interval)
    : write_(std::move(write)), columns_(columns), interval_(interval) {}

void ProgressLine::Show(size_t index, size_t count, const std::filesystem::path& path, Clock::time_point now) {
    const std::string counter = "[" + std::to_string(index) + "/" + std::to_string(count) + "] ";
    // One column is left free: a terminal that wraps at the last column
    // would move to the next line.
    const size_t room = columns_ > DisplayWidth(counter) + 1 ? columns_ - DisplayWidth(counter) - 1 : 0;
    wanted_ = ShortenMiddle(counter + ShortenMiddle(PathForText(path), room), columns_ > 0 ? columns_ - 1 : 0);
    if (drawnOnce_ && now - last_ < interval_) return;
    drawnOnce_ = true;
    last_ = now;
    Draw(wanted_);
}

void ProgressLine::Clear() {
    if (shown_ != 0) write_("\r" + std::string(shown_, ' ') + "\r");
    shown_ = 0;
}

void ProgressLine::Redraw() {
    if (!wanted_.empty() && shown_ == 0) Draw(wanted_);
}

void ProgressLine::Draw(const std::string& text) {
    const size_t width = DisplayWidth(text);
    std::string line = "\r" + text;
    if (width < shown_) line += std::string(shown_ - width, ' ');
    shown_ = width;
    write_(line);
}

}  // namespace qwz::cli
