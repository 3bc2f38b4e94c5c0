#include "format/NameField.h"

#include "support/Bytes.h"

#include <gtest/gtest.h>

namespace qwz {
namespace {

using test::Bytes;

std::vector<uint8_t> Written(const std::string& name) {
    std::vector<uint8_t> out;
    ByteWriter w(out);
    WriteNameField(w, name);
    return out;
}

std::string Read(const std::vector<uint8_t>& field) {
    ByteReader in(field.data(), field.size());
    std::string name = ReadNameField(in, "nazwa");
    EXPECT_EQ(in.offset(), 32u);
    return name;
}

TEST(NameField, WritesUpTo31BytesATerminatorAndZeros) {
    EXPECT_EQ(Written(""), Bytes().zeros(32).vec());
    EXPECT_EQ(Written("linie"), Bytes().name("linie").vec());
    const std::string name31(31, 'x');
    EXPECT_EQ(Written(name31), Bytes().fill(31, 'x').u8(0).vec());
    // Longer names are cut to 31 bytes; the field stays 32 bytes.
    EXPECT_EQ(Written(std::string(40, 'y')), Bytes().fill(31, 'y').u8(0).vec());
}

TEST(NameField, ReadsUpToTheFirstZeroOrAll32Bytes) {
    EXPECT_EQ(Read(Bytes().name("Łuk 1", 0xCC)), "Łuk 1");  // bytes after the 0 mean nothing
    EXPECT_EQ(Read(Bytes().zeros(32)), "");
    EXPECT_EQ(Read(Bytes().fill(32, 'z')), std::string(32, 'z'));
    // A field cut short is an error naming it, never a read past the data.
    const std::vector<uint8_t> shortField = Bytes().fill(31, 'a');
    ByteReader in(shortField.data(), shortField.size());
    EXPECT_THROW(ReadNameField(in, "nazwa siatki"), FormatError);
}

}  // namespace
}  // namespace qwz
