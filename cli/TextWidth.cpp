#include "cli/TextWidth.h"

#include <algorithm>
#include <cstdint>

namespace qwz::cli {
namespace {

struct Range {
    char32_t first, last;
};

// Combining marks and zero-width characters: drawn over the character before.
constexpr Range kZeroWidth[] = {{0x0300, 0x036F}, {0x0483, 0x0489}, {0x0591, 0x05BD}, {0x0610, 0x061A},
                                {0x064B, 0x065F}, {0x1AB0, 0x1AFF}, {0x1DC0, 0x1DFF}, {0x200B, 0x200F},
                                {0x202A, 0x202E}, {0x2060, 0x2064}, {0x20D0, 0x20FF}, {0xFE00, 0xFE0F},
                                {0xFE20, 0xFE2F}, {0xFEFF, 0xFEFF}};

// East Asian wide and full-width characters, and pictographs: two columns.
constexpr Range kDoubleWidth[] = {{0x1100, 0x115F},   {0x2E80, 0x303E},   {0x3041, 0x33FF},
                                  {0x3400, 0x4DBF},   {0x4E00, 0x9FFF},   {0xA000, 0xA4CF},
                                  {0xAC00, 0xD7A3},   {0xF900, 0xFAFF},   {0xFE30, 0xFE4F},
                                  {0xFF00, 0xFF60},   {0xFFE0, 0xFFE6},   {0x1F300, 0x1F64F},
                                  {0x1F900, 0x1F9FF}, {0x20000, 0x3FFFD}};

template <size_t N>
bool In(const Range (&ranges)[N], char32_t c) {
    for (const Range& r : ranges)
        if (c >= r.first && c <= r.last) return true;
    return false;
}

// The length in bytes of the character at the start of `s` (1 for a byte
// that does not start valid UTF-8) and the character.
size_t NextChar(std::string_view s, char32_t& c) {
    const uint8_t b = uint8_t(s[0]);
    const size_t n = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
    if (n == 0 || n > s.size()) {
        c = b;
        return 1;
    }
    c = n == 1 ? b : char32_t(b & (0x7F >> n));
    for (size_t i = 1; i < n; ++i) {
        if ((uint8_t(s[i]) & 0xC0) != 0x80) {
            c = b;
            return 1;
        }
        c = (c << 6) | (uint8_t(s[i]) & 0x3F);
    }
    return n;
}

size_t CharWidth(char32_t c) {
    if (c < 0x20 || c == 0x7F) return 0;
    if (In(kZeroWidth, c)) return 0;
    return In(kDoubleWidth, c) ? 2 : 1;
}

// The longest start of `s` at most `columns` wide, in bytes.
size_t PrefixFitting(std::string_view s, size_t columns) {
    size_t at = 0, width = 0;
    while (at < s.size()) {
        char32_t c = 0;
        const size_t n = NextChar(s.substr(at), c);
        if (width + CharWidth(c) > columns) break;
        width += CharWidth(c);
        at += n;
    }
    return at;
}

}  // namespace

size_t DisplayWidth(std::string_view utf8) {
    size_t width = 0;
    for (size_t at = 0; at < utf8.size();) {
        char32_t c = 0;
        at += NextChar(utf8.substr(at), c);
        width += CharWidth(c);
    }
    return width;
}

std::string ShortenMiddle(std::string_view utf8, size_t columns) {
    if (DisplayWidth(utf8) <= columns) return std::string(utf8);
    if (columns == 0) return {};
    const size_t left = (columns - 1) / 2;
    const size_t right = columns - 1 - left;
    const size_t head = PrefixFitting(utf8, left);
    // The end: drop characters from the front of the rest until it fits.
    std::string_view tail = utf8.substr(head);
    while (DisplayWidth(tail) > right) {
        char32_t c = 0;
        tail.remove_prefix(NextChar(tail, c));
    }
    return std::string(utf8.substr(0, head)) + "…" + std::string(tail);
}

std::vector<std::string> WrapWords(std::string_view utf8, size_t columns) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (;;) {
        const size_t end = std::min(utf8.find('\n', start), utf8.size());
        std::string_view paragraph = utf8.substr(start, end - start);
        std::string line;
        size_t width = 0;
        for (size_t at = 0; at <= paragraph.size();) {
            const size_t space = std::min(paragraph.find(' ', at), paragraph.size());
            const std::string_view word = paragraph.substr(at, space - at);
            const size_t w = DisplayWidth(word);
            if (!line.empty() && width + 1 + w > columns) {
                lines.push_back(line);
                line.clear();
                width = 0;
            }
            if (!word.empty()) {
                if (!line.empty()) {
                    line += ' ';
                    ++width;
                }
                line += word;
                width += w;
            }
            at = space + 1;
        }
        lines.push_back(line);
        if (end == utf8.size()) return lines;
        start = end + 1;
    }
}

}  // namespace qwz::cli
