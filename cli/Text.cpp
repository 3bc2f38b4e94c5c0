#include "cli/Text.h"

#include "bytes/FormatError.h"
#include "platform/SystemError.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <system_error>

namespace qwz::cli {
namespace {

// Code page 1250, bytes 0x80 to 0xFF; 0xFFFD where the code page has no
// character.
constexpr char16_t kCp1250High[128] = {
    0x20AC, 0xFFFD, 0x201A, 0xFFFD, 0x201E, 0x2026, 0x2020, 0x2021,
    0xFFFD, 0x2030, 0x0160, 0x2039, 0x015A, 0x0164, 0x017D, 0x0179,
    0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0xFFFD, 0x2122, 0x0161, 0x203A, 0x015B, 0x0165, 0x017E, 0x017A,
    0x00A0, 0x02C7, 0x02D8, 0x0141, 0x00A4, 0x0104, 0x00A6, 0x00A7,
    0x00A8, 0x00A9, 0x015E, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x017B,
    0x00B0, 0x00B1, 0x02DB, 0x0142, 0x00B4, 0x00B5, 0x00B6, 0x00B7,
    0x00B8, 0x0105, 0x015F, 0x00BB, 0x013D, 0x02DD, 0x013E, 0x017C,
    0x0154, 0x00C1, 0x00C2, 0x0102, 0x00C4, 0x0139, 0x0106, 0x00C7,
    0x010C, 0x00C9, 0x0118, 0x00CB, 0x011A, 0x00CD, 0x00CE, 0x010E,
    0x0110, 0x0143, 0x0147, 0x00D3, 0x00D4, 0x0150, 0x00D6, 0x00D7,
    0x0158, 0x016E, 0x00DA, 0x0170, 0x00DC, 0x00DD, 0x0162, 0x00DF,
    0x0155, 0x00E1, 0x00E2, 0x0103, 0x00E4, 0x013A, 0x0107, 0x00E7,
    0x010D, 0x00E9, 0x0119, 0x00EB, 0x011B, 0x00ED, 0x00EE, 0x010F,
    0x0111, 0x0144, 0x0148, 0x00F3, 0x00F4, 0x0151, 0x00F6, 0x00F7,
    0x0159, 0x016F, 0x00FA, 0x0171, 0x00FC, 0x00FD, 0x0163, 0x02D9,
};

// The standard base64 of `bytes` (RFC 4648, with padding).
std::string Base64(std::string_view bytes) {
    static constexpr char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (size_t i = 0; i < bytes.size(); i += 3) {
        const size_t n = std::min<size_t>(3, bytes.size() - i);
        uint32_t group = 0;
        for (size_t k = 0; k < 3; ++k) group = (group << 8) | (k < n ? uint8_t(bytes[i + k]) : 0u);
        for (size_t k = 0; k < 4; ++k) out += k <= n ? kDigits[(group >> (18 - 6 * k)) & 0x3F] : '=';
    }
    return out;
}

}  // namespace

std::string PathToUtf8(const std::filesystem::path& path) { return platform::PathUtf8(path); }

std::filesystem::path PathFromUtf8(std::string_view utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

void PutPath(nlohmann::ordered_json& j, const std::string& key, const std::filesystem::path& path) {
    j[key] = PathToUtf8(path);
    if (platform::PathIsUnicode(path)) return;
    // Each code unit low byte first: UTF-16LE on Windows, the bytes on POSIX.
    std::string bytes;
    for (auto unit : path.native())
        for (size_t i = 0; i < sizeof unit; ++i) bytes += char((uint32_t(unit) >> (8 * i)) & 0xFF);
    j[key + "_base64"] = Base64(bytes);
}

std::string NameToUtf8(std::string_view name) {
    std::string out;
    out.reserve(name.size());
    for (char ch : name) {
        uint8_t b = uint8_t(ch);
        platform::AppendUtf8(out, b < 0x80 ? char32_t(b) : char32_t(kCp1250High[b - 0x80]));
    }
    return out;
}

std::string FloatText(float value) {
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, r.ptr);
}

double FloatForJson(float value) {
    std::string text = FloatText(value);
    return std::strtod(text.c_str(), nullptr);
}

std::string ChangeText(double value) {
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 6);
    return std::string(buf, r.ptr);
}

}  // namespace qwz::cli
