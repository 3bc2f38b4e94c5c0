// A file or bytes into a document, judged as `Check` reports them.
#pragma once

#include "format/Klasaqwz.h"
#include "qwz/Check.h"

#include <cstdint>
#include <filesystem>
#include <vector>

namespace qwz::api {

CheckResult ReadDocument(const std::filesystem::path& path, KlasaQwz& doc);
CheckResult ReadDocument(std::vector<uint8_t>&& bytes, KlasaQwz& doc);

}  // namespace qwz::api
