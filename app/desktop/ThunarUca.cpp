#include "app/desktop/ThunarUca.h"

#include "app/desktop/FileManagerFiles.h"

namespace qwz {
namespace {

size_t LineStart(const std::string& text, size_t at) {
    while (at > 0 && (text[at - 1] == ' ' || text[at - 1] == '\t')) --at;
    return at;
}

}  // namespace

std::string WithoutQwzActions(std::string uca) {
    for (int v : OfferedVersions()) {
        const std::string id = "<unique-id>" + ThunarActionId(v) + "</unique-id>";
        for (size_t at = uca.find(id); at != std::string::npos; at = uca.find(id)) {
            const size_t open = uca.rfind("<action>", at);
            size_t close = uca.find("</action>", at);
            if (open == std::string::npos || close == std::string::npos) break;
            close += std::string("</action>").size();
            if (close < uca.size() && uca[close] == '\n') ++close;
            const size_t from = LineStart(uca, open);
            uca.erase(from, close - from);
        }
    }
    return uca;
}

std::optional<std::string> WithQwzActions(const std::string& uca, const std::string& actions) {
    const size_t end = uca.rfind("</actions>");
    if (end == std::string::npos) return std::nullopt;
    const size_t at = LineStart(uca, end);
    if (at > 0 && uca[at - 1] != '\n') return std::nullopt;
    return uca.substr(0, at) + actions + uca.substr(at);
}

std::string EmptyUca() { return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<actions>\n</actions>\n"; }

}  // namespace qwz
