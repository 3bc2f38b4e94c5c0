#include "platform/GroupMemoryLimit.h"

#include <algorithm>
#include <charconv>
#include <sstream>
#include <vector>

namespace qwz::platform {
namespace {

// Where a hierarchy of groups is mounted: the group it shows at its top
// (its root) and the folder it is seen in.
struct Mount {
    std::string root;
    std::string point;
};

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::istringstream in(text);
    for (std::string part; std::getline(in, part, separator);) parts.push_back(part);
    return parts;
}

bool HasItem(const std::string& list, const char* item) {
    const std::vector<std::string> items = Split(list, ',');
    return std::find(items.begin(), items.end(), item) != items.end();
}

// A path field of mountinfo, where a space, a tab, a line break and a
// backslash are written as "\040", "\011", "\012" and "\134".
std::string Unescape(const std::string& field) {
    std::string out;
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() &&
            std::all_of(field.begin() + long(i) + 1, field.begin() + long(i) + 4,
                        [](char c) { return c >= '0' && c <= '7'; })) {
            out += char(((field[i + 1] - '0') << 6) | ((field[i + 2] - '0') << 3) | (field[i + 3] - '0'));
            i += 3;
        } else {
            out += field[i];
        }
    }
    return out;
}

// The mount of the version 2 hierarchy, or of the version 1 hierarchy that
// has the memory controller. A line of mountinfo: "ID PARENT MAJ:MIN ROOT
// POINT OPTIONS [OPTIONAL...] - TYPE SOURCE SUPER-OPTIONS".
bool FindMount(const std::string& mountinfo, bool v2, Mount& mount) {
    std::istringstream in(mountinfo);
    for (std::string line; std::getline(in, line);) {
        const std::vector<std::string> f = Split(line, ' ');
        const auto dash = std::find(f.begin() + long(std::min<size_t>(f.size(), 6)), f.end(), "-");
        if (f.size() < 5 || f.end() - dash < 4) continue;
        const std::string& type = dash[1];
        if (v2 ? type != "cgroup2" : type != "cgroup" || !HasItem(dash[3], "memory")) continue;
        mount = {Unescape(f[3]), Unescape(f[4])};
        return true;
    }
    return false;
}

// A limit file's value: a number of bytes, or "max" (none).
uint64_t ParseLimit(const std::string& text) {
    const size_t begin = text.find_first_not_of(" \t\n");
    if (begin == std::string::npos) return UINT64_MAX;
    const size_t end = std::min(text.find_first_of(" \t\n", begin), text.size());
    uint64_t value = 0;
    const auto [ptr, ec] = std::from_chars(text.data() + begin, text.data() + end, value);
    return ec == std::errc() && ptr == text.data() + end ? value : UINT64_MAX;
}

void DropTrailingSlashes(std::string& path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
}

// The smallest limit in `file` from the folder of `group` up to the top of
// the mount.
uint64_t HierarchyLimit(const ReadSystemFile& read, std::string group, Mount mount, const char* file) {
    DropTrailingSlashes(mount.root);
    DropTrailingSlashes(mount.point);
    // The group as seen below the mount: what lies under the mount's root.
    // A group outside of it (a mount of a part of the hierarchy, as in a
    // container) is seen at the top of the mount.
    if (mount.root != "/") {
        const bool inside = group.compare(0, mount.root.size(), mount.root) == 0 &&
                            (group.size() == mount.root.size() || group[mount.root.size()] == '/');
        group = inside ? group.substr(mount.root.size()) : std::string();
    }
    std::string folder = mount.point == "/" ? group : mount.point + group;
    DropTrailingSlashes(folder);
    uint64_t limit = UINT64_MAX;
    for (;;) {
        std::string text;
        if (read(folder + "/" + file, text)) limit = std::min(limit, ParseLimit(text));
        const size_t slash = folder.rfind('/');
        if (folder.size() <= mount.point.size() || slash == std::string::npos) break;
        folder.erase(std::max<size_t>(slash, 1));
    }
    return limit;
}

}  // namespace

uint64_t GroupMemoryLimit(const ReadSystemFile& read) {
    std::string groups, mountinfo;
    if (!read("/proc/self/cgroup", groups)) return UINT64_MAX;
    const bool mounts = read("/proc/self/mountinfo", mountinfo);
    uint64_t limit = UINT64_MAX;
    std::istringstream in(groups);
    // A line: "ID:CONTROLLERS:PATH"; version 2 has the ID 0 and no
    // controllers.
    for (std::string line; std::getline(in, line);) {
        const size_t first = line.find(':'), second = line.find(':', first + 1);
        if (first == std::string::npos || second == std::string::npos) continue;
        const std::string controllers = line.substr(first + 1, second - first - 1);
        const bool v2 = line.compare(0, first, "0") == 0 && controllers.empty();
        if (!v2 && !HasItem(controllers, "memory")) continue;
        Mount mount{"/", v2 ? "/sys/fs/cgroup" : "/sys/fs/cgroup/memory"};
        if (mounts && !FindMount(mountinfo, v2, mount)) continue;
        limit = std::min(limit, HierarchyLimit(read, line.substr(second + 1), mount,
                                               v2 ? "memory.max" : "memory.limit_in_bytes"));
    }
    return limit;
}

}  // namespace qwz::platform
