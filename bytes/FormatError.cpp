#include "bytes/FormatError.h"

namespace qwz {
namespace {

std::string Describe(FormatError::Kind kind, size_t offset, const std::string& field) {
    const std::string at = std::to_string(offset);
    switch (kind) {
    case FormatError::Kind::Truncated:
        return "plik urwany na bajcie " + at + " (" + field + ")";
    case FormatError::Kind::Malformed:
        return "plik uszkodzony na bajcie " + at + " (" + field + ")";
    case FormatError::Kind::Unwritable:
        break;
    }
    return field;
}

}  // namespace

FormatError::FormatError(Kind kind, size_t offset, std::string field)
    : std::runtime_error(Describe(kind, offset, field)),
      kind_(kind), offset_(offset), field_(std::move(field)) {}

FormatError::FormatError(Kind kind, std::string reason)
    : std::runtime_error(reason), kind_(kind), field_(std::move(reason)) {}

}  // namespace qwz
