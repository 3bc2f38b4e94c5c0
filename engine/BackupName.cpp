#include "engine/BackupName.h"

namespace qwz {

std::filesystem::path BackupPath(const std::filesystem::path& path) {
    using String = std::filesystem::path::string_type;
    String name = path.filename().native();
    const auto dot = name.rfind(typename String::value_type('.'));
    if (dot != String::npos) name.erase(dot);
    std::filesystem::path backup = path;
    backup.replace_filename(std::filesystem::path(name) += "_org.qwz");
    return backup;
}

}  // namespace qwz
