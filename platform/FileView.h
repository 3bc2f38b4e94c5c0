// A file's bytes seen in place, read-only, through the system's own cache
// of the file (a mapping): reading a large file this way costs a fraction
// of copying it into fresh memory, and its pages are the cache's, not the
// process's own.
//
// Another program may shorten the file while it is seen, or the disk or
// network may fail to deliver a page. Where that would stop the process
// (POSIX: a signal on touching a page past the new end; Windows: an in-page
// error on a share that went away), the view instead reads zeros from such
// a page on (Windows: the whole view) and says that it is no longer intact;
// whoever reads through a view asks Intact() after reading and throws away
// what was read when it is not.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qwz::platform {

class FileView {
public:
    FileView() = default;
    ~FileView() { Reset(); }
    FileView(const FileView&) = delete;
    FileView& operator=(const FileView&) = delete;

    const uint8_t* data() const { return data_; }
    size_t size() const { return size_; }
    bool empty() const { return data_ == nullptr; }
    // False once a page of the view was found beyond the file's end.
    bool Intact() const;
    // Ends the view (nothing is seen any more).
    void Reset();
    // Gives back the pages that lie wholly inside [from, from + size) of a
    // view read piece by piece: what is read there again comes back from
    // the system's cache. Nothing for a view brought in whole, or for a
    // range outside the view.
    void LetGo(const uint8_t* from, size_t size) const;

    // A file from this size on is brought in whole as it is first seen and
    // keeps its pages until the view ends: a conversion reads it once to
    // load, once to measure and once to write, and fetching its pages again
    // for each would cost about a tenth of the conversion's time. A smaller
    // file's pages come in as they are read and go again with LetGo: it is
    // then held a piece at a time, and the conversion's memory stays near
    // the process's own, where the whole file would be more than that.
    static constexpr size_t kBroughtWhole = size_t(64) << 20;

    // Sees the first `size` bytes (more than 0) of the open file `file` (a
    // descriptor on POSIX, a HANDLE on Windows) in place. False when the
    // system cannot: the file is then read instead.
    bool Map(intptr_t file, size_t size);

private:
    const uint8_t* data_ = nullptr;
    size_t size_ = 0;
    bool cut_ = false;  // a view ended after it was found cut
    bool whole_ = false;  // brought in whole (kBroughtWhole)
    int guard_ = -1;  // which of the watched ranges is this view's
};

}  // namespace qwz::platform
