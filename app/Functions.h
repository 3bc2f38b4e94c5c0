// The Explorer command for .qwz files: "Dostosuj do starszych wersji
// programu", which starts this program on the clicked file with a fixed
// target version.
#pragma once

namespace qwz {

// Adds (or replaces) the command for `version`. Throws when it cannot be
// written.
void RegisterShellVerb(int version);

// Removes the command when it is there.
void UnregisterShellVerb();

}  // namespace qwz
