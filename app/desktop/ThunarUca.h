// Thunar's custom actions live in one file of the user's, uca.xml
// (<actions><action>…</action>…</actions>). The program's actions go in
// just before </actions> and come out again by their unique ids, so that
// adding and removing them gives the file back as it was.
#pragma once

#include <optional>
#include <string>

namespace qwz {

// `uca` without the program's actions (each <action> whose <unique-id> is
// one of the program's, with the line it stands on).
std::string WithoutQwzActions(std::string uca);

// `uca` with `actions` put at the start of the line that holds the last
// </actions>; nothing when there is no such line.
std::optional<std::string> WithQwzActions(const std::string& uca, const std::string& actions);

// A file of no actions, for a user who has none.
std::string EmptyUca();

}  // namespace qwz
