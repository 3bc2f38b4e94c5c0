#include "engine/ExceptionText.h"

#include "bytes/FormatError.h"
#include "platform/SystemError.h"

#include <new>
#include <system_error>

namespace qwz {

std::string ExceptionText(const std::exception& e) { return ExceptionReason(e).str(); }

Reason ExceptionReason(const std::exception& e) {
    if (dynamic_cast<const std::bad_alloc*>(&e)) return {StatusCode::OutOfMemory, "za mało pamięci"};
    if (auto* format = dynamic_cast<const FormatError*>(&e))  // Polish by its contract
        return {format->kind() == FormatError::Kind::Unwritable ? StatusCode::DoesNotFit : StatusCode::Damaged,
                e.what()};
    if (auto* system = dynamic_cast<const std::system_error*>(&e)) return platform::SystemReason(system->code());
    return {StatusCode::Unexpected, "nieoczekiwany błąd programu"};
}

}  // namespace qwz
