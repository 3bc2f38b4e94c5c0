// The one error type for a file that cannot be read or written as asked:
// cut short, malformed, or holding something the target layout cannot store.
// what() is a short Polish sentence for the user; the parts stay available.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>

namespace qwz {

class FormatError : public std::runtime_error {
public:
    enum class Kind {
        Truncated,   // the data ends inside a field
        Malformed,   // a value that no valid file holds (a count beyond the data)
        Unwritable,  // the document does not fit the layout asked for
    };

    FormatError(Kind kind, size_t offset, std::string field);
    // A document-level failure with no file offset (Unwritable).
    FormatError(Kind kind, std::string reason);

    Kind kind() const { return kind_; }
    size_t offset() const { return offset_; }
    const std::string& field() const { return field_; }

private:
    Kind kind_;
    size_t offset_ = 0;
    std::string field_;
};

}  // namespace qwz
