// The original is read whole, a large one in two halves at once: every byte
// must land where it belongs, the halves' seam included. Or it is seen in
// place: the same bytes, also once given back, and a file cut short
// meanwhile reads as zeros past its new end, is said to be cut, and does
// not stop the process.
#include "replace/OriginalFile.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <vector>
#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace qwz::replace {
namespace {

TEST(OriginalFile, ReadsEveryByteOfSmallAndLargeFiles) {
    for (size_t size : {size_t(0), size_t(5000), (size_t(3) << 20) + 7, (size_t(70) << 20) + 12345}) {
        SCOPED_TRACE(size);
        test::TempDir dir;
        std::vector<uint8_t> bytes(size);
        for (size_t i = 0; i < size; ++i) bytes[i] = uint8_t((i * 2654435761u) >> 13);
        const std::filesystem::path path = dir.write("scene.qwz", bytes);
        OriginalFile original;
        Reason reason;
        ASSERT_TRUE(original.Open(path, reason)) << reason;
        std::vector<uint8_t> read;
        ASSERT_TRUE(original.Read(read, reason)) << reason;
        EXPECT_EQ(read.size(), size);
        EXPECT_TRUE(read == bytes);
        EXPECT_EQ(original.state().size, size);
        // Written whole, the disk holds every byte: seen in place, the file
        // then counts against the address space only.
        EXPECT_GE(original.state().allocated, size);

        FileView view;
        ASSERT_TRUE(original.See(view, reason)) << reason;
        if (view.empty()) continue;  // not seen in place here: read, as above
        EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), view.data(), view.data() + view.size()));
        // Pages given back come again with the same bytes; a range outside
        // the view gives back nothing.
        view.LetGo(view.data() + size / 4 + 100, size / 2);
        view.LetGo(bytes.data(), bytes.size());
        EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), view.data(), view.data() + view.size()));
#ifdef _WIN32
        // Windows refuses to cut a file while a view of it is mapped: no
        // other program can take bytes from under the view there.
        std::error_code cut;
        std::filesystem::resize_file(path, size / 3, cut);
        EXPECT_TRUE(cut);
        EXPECT_TRUE(view.Intact());
        // A page the disk or the network cannot deliver (a share that went
        // away) faults with an in-page error; raised as the system raises
        // it, the view turns to zeros in place and says it is cut, and the
        // process goes on.
        const ULONG_PTR fault[3] = {0, ULONG_PTR(view.data() + size / 2), ULONG_PTR(0xC000009DL) /* device not connected */};
        ::RaiseException(EXCEPTION_IN_PAGE_ERROR, 0, 3, fault);
        EXPECT_FALSE(view.Intact());
        EXPECT_EQ(view.data()[size / 2] + view.data()[0] + view.data()[size - 1], 0);
        continue;
#endif
        std::filesystem::resize_file(path, size / 3);
        const auto pastTheEnd = [&] {
            uint64_t past = 0;
            for (size_t i = size / 3; i < size; i += 512) past += view.data()[i];
            return past;
        };
        EXPECT_EQ(pastTheEnd(), 0u);  // zeros past the end
        view.LetGo(view.data(), view.size());
        EXPECT_EQ(pastTheEnd(), 0u);  // and again once given back
        EXPECT_TRUE(std::equal(bytes.begin(), bytes.begin() + long(size / 3 / 4096 * 4096), view.data()));
        EXPECT_FALSE(view.Intact());
        view.Reset();
        EXPECT_FALSE(view.Intact());  // the verdict outlives the view
        EXPECT_FALSE(original.Unchanged(reason));
    }
}

#ifndef _WIN32
// A page past the end of a file that no view holds is none of the views'
// business: touching it still ends the process as it would without them.
TEST(FileViewDeathTest, AFaultOutsideEveryViewStillEndsTheProcess) {
    test::TempDir dir;
    const std::filesystem::path path = dir.write("scene.qwz", std::vector<uint8_t>(3 * 4096, 7));
    OriginalFile original;
    FileView view;
    Reason reason;
    ASSERT_TRUE(original.Open(path, reason)) << reason;
    ASSERT_TRUE(original.See(view, reason)) << reason;  // the views are watched from now on
    EXPECT_EXIT(
        {
            const int file = ::open(path.c_str(), O_RDONLY);
            const auto* other = static_cast<const volatile uint8_t*>(
                ::mmap(nullptr, 3 * 4096, PROT_READ, MAP_PRIVATE, file, 0));
            ::ftruncate(::open(path.c_str(), O_WRONLY), 0);
            std::exit(other[2 * 4096]);
        },
        [](int status) {
            // Under AddressSanitizer its own handler reports the fault and
            // exits with 1.
            return (WIFSIGNALED(status) && WTERMSIG(status) == SIGBUS) ||
                   (WIFEXITED(status) && WEXITSTATUS(status) == 1);
        },
        "");
}
#endif

}  // namespace
}  // namespace qwz::replace
