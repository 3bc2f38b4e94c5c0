#include "platform/FileView.h"

namespace qwz::platform {

// A view of a file on Windows would stop the process on a read error of
// the disk or the network (an in-page error) where reading it returns the
// error: files are read there.
bool FileView::Map(intptr_t, size_t) { return false; }
bool FileView::Intact() const { return !cut_; }
void FileView::Reset() {}
void FileView::LetGo(const uint8_t*, size_t) const {}

}  // namespace qwz::platform
