#include "qwz/Check.h"

#include "api/ReadDocument.h"

namespace qwz::api {

CheckResult Check(const std::filesystem::path& path) {
    KlasaQwz doc;
    return ReadDocument(path, doc);
}

}  // namespace qwz::api
