// A desktop notification: how a command started from a file manager, with
// no terminal to write to, tells the user what it did.
#pragma once

#include <string>

namespace qwz {

// Shows `text` (UTF-8, one line) as a notification of the freedesktop
// notification service, through notify-send or, without it, gdbus. Does
// nothing when standard error is a terminal (the line is read there), when
// the session has no message bus, or when neither tool nor the service is
// there.
void NotifyDesktop(const std::string& text);

// `text` as a GVariant string literal, as gdbus reads its arguments.
std::string VariantString(const std::string& text);

}  // namespace qwz
