// A writer with a sink must hand over exactly the bytes a writer into one
// buffer makes, whatever is filled in later, flushed or carried between.
#include "bytes/ByteWriter.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace qwz {
namespace {

// Fields, room filled in after more was appended, a truncation, bytes
// carried from elsewhere, with a flush wherever `flushAt` says.
void Write(ByteWriter& out, const std::function<void(ByteWriter&)>& flushAt) {
    const std::vector<uint8_t> elsewhere = {9, 8, 7, 6, 5};
    out.bytes("QWZ", 3);
    out.u8(204);
    flushAt(out);
    out.i32(-2);
    const size_t room = out.size();
    out.grow(6);
    out.u24(0xABCDEF);
    uint8_t* p = out.at(room);
    for (int i = 0; i < 6; ++i) p[i] = uint8_t(0x10 + i);
    flushAt(out);
    out.f32(1.5f);
    out.carry(elsewhere.data(), elsewhere.size());
    const size_t keep = out.size();
    out.zeros(4);
    out.truncate(keep);
    out.u16(0x1234);
    out.flush();
}

TEST(ByteWriter, ASinkGetsTheSameBytesAsOneBuffer) {
    std::vector<uint8_t> whole;
    ByteWriter plain(whole);
    Write(plain, [](ByteWriter&) {});

    for (bool flushes : {false, true}) {
        SCOPED_TRACE(flushes ? "flushed between" : "flushed once");
        std::vector<uint8_t> handed, stage;
        ByteWriter streamed(stage, [&](const uint8_t* data, size_t n) { handed.insert(handed.end(), data, data + n); });
        Write(streamed, [&](ByteWriter& out) {
            if (flushes) out.flush();
        });
        EXPECT_EQ(streamed.size(), whole.size());
        EXPECT_EQ(handed, whole);
        EXPECT_TRUE(stage.empty()) << "bytes left unflushed";
    }
}

}  // namespace
}  // namespace qwz
