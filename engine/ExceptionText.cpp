#include "engine/ExceptionText.h"

#include "bytes/FormatError.h"
#include "platform/SystemError.h"

#include <new>
#include <system_error>

namespace qwz {

std::string ExceptionText(const std::exception& e) {
    if (dynamic_cast<const std::bad_alloc*>(&e)) return "za mało pamięci";
    if (dynamic_cast<const FormatError*>(&e)) return e.what();  // Polish by its contract
    if (auto* system = dynamic_cast<const std::system_error*>(&e)) return platform::SystemReason(system->code());
    return "nieoczekiwany błąd programu";
}

}  // namespace qwz
