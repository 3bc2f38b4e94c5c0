// The window's table of controls: every button and check box has an access
// key, no two alike, and its text reads as the window's own words.
#ifdef _WIN32
#include "app/window/AccessKeys.h"
#include "app/window/Layout.h"

#include <gtest/gtest.h>

#include <cwctype>
#include <set>

namespace qwz {
namespace {

TEST(Layout, EveryButtonAndCheckBoxHasItsOwnAccessKey) {
    std::set<wchar_t> keys;
    size_t pressable = 0;
    for (const ControlLayout& c : Controls()) {
        if (!IsPushButton(c) && !IsCheckBox(c)) continue;
        ++pressable;
        const size_t mark = c.text.find(L'&');
        ASSERT_NE(mark, std::wstring::npos) << WithoutMark(c.text).size();
        EXPECT_EQ(c.text.find(L'&', mark + 1), std::wstring::npos);
        keys.insert(wchar_t(std::towupper(c.text[mark + 1])));
    }
    EXPECT_EQ(pressable, 11u);
    EXPECT_EQ(keys.size(), pressable);
    EXPECT_EQ(WithoutMark(L"Ustaw &menu kontekstowe"), L"Ustaw menu kontekstowe");
    EXPECT_EQ(WithoutMark(L"A && &B"), L"A & B");
}

}  // namespace
}  // namespace qwz
#endif
