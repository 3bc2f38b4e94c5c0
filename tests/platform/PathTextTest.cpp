// Names and texts made fit for one line: what is escaped, what is kept, and
// paths that are not valid Unicode on each platform.
#include "platform/PathText.h"

#include <gtest/gtest.h>

namespace qwz::platform {
namespace {

TEST(PathText, ControlCharactersAndBrokenUtf8BecomeVisibleEscapes) {
    struct Row {
        std::string_view text, shown;
        bool utf8;
    };
    const Row rows[] = {
        {"C:\\Projekty\\Łódź 家 😀.qwz", "C:\\Projekty\\Łódź 家 😀.qwz", true},  // the backslash stays
        {"a\nb\r\tc", "a\\nb\\r\\tc", true},
        {std::string_view("\0\x01\x1b[2J\x7f", 7), "\\x00\\x01\\x1b[2J\\x7f", true},
        {"\xc2\x85\xc2\x9b\xc2\xa0", "\\u0085\\u009b\xc2\xa0", true},  // C1 controls; U+00A0 is none
        {"a\xff\xfe", "a\\xff\\xfe", false},
        {"\xc3(", "\\xc3(", false},                                   // cut short
        {"\xe0\x80\x8a", "\\xe0\\x80\\x8a", false},                   // an overlong newline
        {"\xed\xa0\x80", "\\xed\\xa0\\x80", false},                   // a surrogate
        {"\xf4\x90\x80\x80", "\\xf4\\x90\\x80\\x80", false},          // beyond U+10FFFF
    };
    for (const Row& row : rows) {
        const std::string shown = EscapeControl(row.text);
        EXPECT_EQ(shown, row.shown) << row.text;
        EXPECT_EQ(IsValidUtf8(row.text), row.utf8) << row.text;
        EXPECT_TRUE(IsValidUtf8(shown)) << shown;
        EXPECT_EQ(EscapeControl(shown), shown) << "escaping twice changes nothing";
    }

#ifdef _WIN32
    const std::filesystem::path broken(std::wstring(L"a\xD800" L"b\xDE00.qwz"));
    const std::filesystem::path whole(std::wstring(L"\xD83D\xDE00 \x0141\n.qwz"));
    EXPECT_EQ(PathUtf8(broken), "a\xEF\xBF\xBD" "b\xEF\xBF\xBD.qwz");
    EXPECT_EQ(PathForText(whole), "😀 Ł\\n.qwz");
#else
    const std::filesystem::path broken("a\xff\n.qwz");
    const std::filesystem::path whole("😀 Ł\n.qwz");
    EXPECT_EQ(PathUtf8(broken), "a\xff\n.qwz");
    EXPECT_EQ(PathForText(broken), "a\\xff\\n.qwz");
#endif
    EXPECT_FALSE(PathIsUnicode(broken));
    EXPECT_TRUE(PathIsUnicode(whole));
}

}  // namespace
}  // namespace qwz::platform
