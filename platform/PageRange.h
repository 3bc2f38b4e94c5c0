// The whole pages of a view that a range of it covers, for giving pages
// back to the system: a page is let go only when the range covers it whole,
// except the view's last page, which holds the file's end and goes with it.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace qwz::platform {

struct PageRange {
    uintptr_t first = 0;  // the first page's address
    uintptr_t last = 0;   // one past the last page; first >= last: none
    size_t size() const { return last > first ? size_t(last - first) : 0; }
};

// The pages of the view [data, data + viewSize) that [from, from + size)
// covers; none when `from` lies outside the view. `pageSize` is a power of two.
inline PageRange PagesCovered(const uint8_t* data, size_t viewSize, const uint8_t* from, size_t size,
                              uintptr_t pageSize) {
    if (!data || from < data || from >= data + viewSize) return {};
    const uintptr_t end = uintptr_t(from) + std::min(size, size_t(data + viewSize - from));
    const uintptr_t first = (uintptr_t(from) + pageSize - 1) & ~(pageSize - 1);
    const uintptr_t last = end == uintptr_t(data + viewSize) ? (end + pageSize - 1) & ~(pageSize - 1)
                                                              : end & ~(pageSize - 1);
    return {first, last};
}

}  // namespace qwz::platform
