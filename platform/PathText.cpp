#include "platform/PathText.h"

#include <cstdint>

namespace qwz::platform {

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

namespace {

// The length of the valid UTF-8 sequence at the start of `s` and its code
// point; 0 when the first byte does not start one.
size_t Utf8Sequence(std::string_view s, char32_t& cp) {
    const uint8_t b0 = uint8_t(s[0]);
    size_t n;
    char32_t min;
    if (b0 < 0x80) {
        cp = b0;
        return 1;
    } else if (b0 >= 0xC2 && b0 <= 0xDF) {
        n = 2, min = 0x80, cp = b0 & 0x1F;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        n = 3, min = 0x800, cp = b0 & 0x0F;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        n = 4, min = 0x10000, cp = b0 & 0x07;
    } else {
        return 0;
    }
    if (s.size() < n) return 0;
    for (size_t i = 1; i < n; ++i) {
        const uint8_t b = uint8_t(s[i]);
        if ((b & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return n;
}

void AppendHex(std::string& out, const char* prefix, unsigned value, int digits) {
    static constexpr char kHex[] = "0123456789abcdef";
    out += prefix;
    for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4) out += kHex[(value >> shift) & 0xF];
}

}  // namespace

std::string EscapeControl(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    while (!text.empty()) {
        char32_t cp = 0;
        const size_t n = Utf8Sequence(text, cp);
        if (n == 0) {
            AppendHex(out, "\\x", uint8_t(text[0]), 2);
            text.remove_prefix(1);
            continue;
        }
        if (cp == '\n') out += "\\n";
        else if (cp == '\r') out += "\\r";
        else if (cp == '\t') out += "\\t";
        else if (cp < 0x20 || cp == 0x7F) AppendHex(out, "\\x", unsigned(cp), 2);
        else if (cp >= 0x80 && cp <= 0x9F) AppendHex(out, "\\u", unsigned(cp), 4);
        else out.append(text.substr(0, n));
        text.remove_prefix(n);
    }
    return out;
}

bool IsValidUtf8(std::string_view bytes) {
    while (!bytes.empty()) {
        char32_t cp = 0;
        const size_t n = Utf8Sequence(bytes, cp);
        if (n == 0) return false;
        bytes.remove_prefix(n);
    }
    return true;
}

std::string PathForText(const std::filesystem::path& path) { return EscapeControl(PathUtf8(path)); }

}  // namespace qwz::platform
