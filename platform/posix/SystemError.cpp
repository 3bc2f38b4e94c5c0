#include "platform/SystemError.h"

#include <cerrno>
#include <cstring>

namespace qwz::platform {

std::string SystemReason(unsigned long code) {
    switch (int(code)) {
    case EACCES:
    case EPERM: return "brak uprawnień";
    case EROFS: return "dysk tylko do odczytu";
    case ENOSPC: return "brak miejsca na dysku";
#ifdef EDQUOT
    case EDQUOT: return "przekroczony przydział miejsca na dysku";
#endif
    case EEXIST: return "plik już istnieje";
    case ENOENT: return "plik lub folder nie istnieje";
    case ENOTDIR: return "ścieżka nie prowadzi do folderu";
    case EISDIR: return "to jest folder";
    case EBUSY:
    case ETXTBSY: return "plik jest zajęty";
    case EIO: return "błąd wejścia-wyjścia";
    case ENAMETOOLONG: return "za długa nazwa pliku";
    case EMLINK: return "za dużo dowiązań do pliku";
    case ENOMEM: return "za mało pamięci";
    case EFBIG: return "plik jest za duży";
    default: break;
    }
    return std::string(std::strerror(int(code))) + " (błąd " + std::to_string(code) + ")";
}

unsigned long LastSystemError() { return static_cast<unsigned long>(errno); }

}  // namespace qwz::platform
