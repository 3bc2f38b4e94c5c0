// Every cut and many single-byte changes of rich files of every version:
// each gives a clean FormatError or a complete load, never a crash, and
// never asks for much more memory than the file could justify. Whatever
// loads is saved in every written version, and what is saved loads again.
#include "bytes/FormatError.h"
#include "format/Klasaqwz.h"
#include "platform/DebugOutput.h"
#include "platform/MessageBox.h"
#include "support/OldLayoutSamples.h"
#include "support/RichSample204.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

// Bytes asked of operator new while counting is on. The test executable
// replaces the global allocation functions to learn them; large documents
// are read on several threads, so the counts are atomic.
std::atomic<bool> counting{false};
std::atomic<size_t> requested{0};

}  // namespace

// The replacements stay out of line: inlined into a caller, GCC sees malloc
// from operator new meet operator delete, or operator new's memory meet
// free(), and warns of a mismatch (-Wmismatched-new-delete) although the
// pair matches.
[[gnu::noinline]] void* operator new(size_t n) {
    if (counting) requested += n;
    if (void* p = std::malloc(n ? n : 1)) return p;
    throw std::bad_alloc();
}
[[gnu::noinline]] void operator delete(void* p) noexcept { std::free(p); }
[[gnu::noinline]] void operator delete(void* p, size_t) noexcept { std::free(p); }

namespace qwz {
namespace {

class Corruption : public ::testing::Test {
protected:
    void SetUp() override {
        oldDebug_ = platform::SetDebugSink([](std::string_view, bool) {});
        oldMessage_ = platform::SetMessageSink(
            [](const std::string&, const std::string&, platform::MessageIcon) {});
    }
    void TearDown() override {
        platform::SetDebugSink(oldDebug_);
        platform::SetMessageSink(oldMessage_);
    }

    // Loads `bytes`; when that succeeds, saves in 202, 203 and 204 and loads
    // each result again. Counts loads and clean refusals.
    void Exercise(const std::vector<uint8_t>& bytes, const std::string& what) {
        const size_t limit = 2 * bytes.size() + (64u << 20);
        KlasaQwz doc;
        requested = 0;
        counting = true;
        bool loaded = false;
        try {
            doc.LoadBytes(bytes.data(), bytes.size());
            loaded = true;
        } catch (const FormatError&) {
            ++refused_;
        }
        counting = false;
        ASSERT_LE(requested, limit) << what << ": asked for " << requested << " bytes";
        if (!loaded) return;
        ++loads_;
        for (int target : {202, 203, 204}) {
            std::vector<uint8_t> saved;
            try {
                saved = doc.SaveBytes(target, TQWZSaveParams());
            } catch (const FormatError&) {
                continue;  // a value this layout cannot hold: refused, nothing written
            }
            KlasaQwz again;
            try {
                again.LoadBytes(saved.data(), saved.size());
            } catch (const FormatError& e) {
                ADD_FAILURE() << what << ": saved as " << target << " does not load: " << e.what();
            }
        }
    }

    void CutAndChangeEveryByte(const std::vector<uint8_t>& file, const std::string& name) {
        for (size_t n = 0; n <= file.size(); ++n) {
            Exercise(std::vector<uint8_t>(file.begin(), file.begin() + long(n)),
                     name + " cut at " + std::to_string(n));
            if (HasFatalFailure()) return;
        }
        for (size_t i = 0; i < file.size(); ++i)
            for (uint8_t mask : {0x01, 0x80, 0xFF}) {
                std::vector<uint8_t> changed = file;
                changed[i] ^= mask;
                Exercise(changed, name + " byte " + std::to_string(i) + " ^ " + std::to_string(mask));
                if (HasFatalFailure()) return;
            }
        EXPECT_GT(loads_, 0u) << name;
        EXPECT_GT(refused_, 0u) << name;
    }

    size_t loads_ = 0, refused_ = 0;

private:
    platform::DebugSink oldDebug_;
    platform::MessageSink oldMessage_;
};

TEST_F(Corruption, Version204) { CutAndChangeEveryByte(test::RichSample204().File(), "204"); }
TEST_F(Corruption, Version203) { CutAndChangeEveryByte(test::Rich203(0x5A, 0xC3).vec(), "203"); }
TEST_F(Corruption, Version202) { CutAndChangeEveryByte(test::Rich202(0x5A, 0xC3).vec(), "202"); }
TEST_F(Corruption, Version201) { CutAndChangeEveryByte(test::Rich201().vec(), "201"); }

}  // namespace
}  // namespace qwz
