#include "bytes/ByteReader.h"
#include "bytes/ByteWriter.h"
#include "support/Bytes.h"

#include <gtest/gtest.h>

namespace qwz {
namespace {

TEST(ByteReader, ReadsLittleEndianFieldsOfEveryWidth) {
    std::vector<uint8_t> b = test::Bytes().u8(0xAB).u16(0x1234).u24(0xABCDEF).i16(-2).i32(-3)
                                 .f32(1.5f).f64(-2.25);
    ByteReader in(b.data(), b.size());
    EXPECT_EQ(in.u8("a"), 0xAB);
    EXPECT_EQ(in.u16("b"), 0x1234);
    EXPECT_EQ(in.u24("c"), 0xABCDEFu);
    EXPECT_EQ(in.i16("d"), -2);
    EXPECT_EQ(in.i32("e"), -3);
    EXPECT_EQ(in.f32("f"), 1.5f);
    EXPECT_EQ(in.f64("g"), -2.25);
    EXPECT_TRUE(in.atEnd());
}

TEST(ByteReader, ShortReadNamesTheFieldAndOffset) {
    std::vector<uint8_t> b = {1, 2, 3, 4, 5};
    ByteReader in(b.data(), b.size());
    in.u16("first");
    try {
        in.i32("mesh count");
        FAIL() << "no error";
    } catch (const FormatError& e) {
        EXPECT_EQ(e.kind(), FormatError::Kind::Truncated);
        EXPECT_EQ(e.offset(), 2u);
        EXPECT_EQ(e.field(), "mesh count");
        EXPECT_STREQ(e.what(), "plik urwany na bajcie 2 (mesh count)");
    }
    EXPECT_EQ(in.offset(), 2u);  // a failed read consumes nothing
}

TEST(ByteReader, CountThatCannotFitIsMalformed) {
    std::vector<uint8_t> b(40);
    ByteReader in(b.data(), b.size());
    EXPECT_NO_THROW(in.requireCount(10, 4, "names"));
    EXPECT_THROW(in.requireCount(11, 4, "names"), FormatError);
    EXPECT_THROW(in.requireCount(uint64_t(1) << 31, 36, "names"), FormatError);
    EXPECT_THROW(in.requireCount(UINT64_MAX, 2, "names"), FormatError);
}

TEST(ByteWriter, CutsEachValueToItsFieldWidth) {
    std::vector<uint8_t> out;
    ByteWriter w(out);
    w.u24(0x01ABCDEF);
    w.i16(-1);
    w.u16(300);
    w.u8(0x1FF);
    EXPECT_EQ(out, (std::vector<uint8_t>{0xEF, 0xCD, 0xAB, 0xFF, 0xFF, 0x2C, 0x01, 0xFF}));
}

}  // namespace
}  // namespace qwz
