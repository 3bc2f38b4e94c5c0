#include "platform/PathText.h"

namespace qwz::platform {
namespace {

bool IsHighSurrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(wchar_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

}  // namespace

// Converted here rather than by path::u8string(), which throws on an
// unpaired surrogate (a name NTFS allows).
std::string PathUtf8(const std::filesystem::path& path) {
    const std::wstring& w = path.native();
    std::string out;
    out.reserve(w.size());
    for (size_t i = 0; i < w.size(); ++i) {
        const wchar_t c = w[i];
        if (IsHighSurrogate(c) && i + 1 < w.size() && IsLowSurrogate(w[i + 1])) {
            AppendUtf8(out, 0x10000 + ((char32_t(c) - 0xD800) << 10) + (char32_t(w[i + 1]) - 0xDC00));
            ++i;
        } else if (IsHighSurrogate(c) || IsLowSurrogate(c)) {
            AppendUtf8(out, 0xFFFD);
        } else {
            AppendUtf8(out, char32_t(c));
        }
    }
    return out;
}

bool PathIsUnicode(const std::filesystem::path& path) {
    const std::wstring& w = path.native();
    for (size_t i = 0; i < w.size(); ++i) {
        if (IsHighSurrogate(w[i]) && i + 1 < w.size() && IsLowSurrogate(w[i + 1])) ++i;
        else if (IsHighSurrogate(w[i]) || IsLowSurrogate(w[i])) return false;
    }
    return true;
}

}  // namespace qwz::platform
