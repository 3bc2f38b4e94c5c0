#include "platform/SystemError.h"

#include <windows.h>

namespace qwz::platform {

std::string SystemReason(unsigned long code) {
    switch (code) {
    case ERROR_ACCESS_DENIED: return "brak dostępu";
    case ERROR_SHARING_VIOLATION: return "plik jest używany przez inny program";
    case ERROR_LOCK_VIOLATION: return "plik jest zablokowany przez inny program";
    case ERROR_WRITE_PROTECT: return "dysk jest zabezpieczony przed zapisem";
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return "brak miejsca na dysku";
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return "plik już istnieje";
    case ERROR_FILE_NOT_FOUND: return "plik nie istnieje";
    case ERROR_PATH_NOT_FOUND: return "folder nie istnieje";
    case ERROR_INVALID_NAME: return "nieprawidłowa nazwa pliku";
    case ERROR_FILENAME_EXCED_RANGE: return "za długa nazwa pliku";
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY: return "za mało pamięci";
    case ERROR_TOO_MANY_LINKS: return "za dużo dowiązań do pliku";
    case ERROR_NOT_SUPPORTED:
    case ERROR_INVALID_FUNCTION: return "system plików tego nie obsługuje";
    default: break;
    }
    return "błąd systemu " + std::to_string(code);
}

unsigned long LastSystemError() { return GetLastError(); }

}  // namespace qwz::platform
