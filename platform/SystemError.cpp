// errno values as Polish reasons, shared by both platforms: POSIX reports
// them for every call, and on Windows the C runtime and std::filesystem do.
// Codes a platform lacks are left out; where two names share a value the
// first row wins.
#include "platform/SystemError.h"

#include <cerrno>

namespace qwz::platform {
namespace {

struct ErrnoCategory {
    int errnoValue;
    StatusCode code;
};

// errno values by category; any other is a SystemError.
constexpr ErrnoCategory kErrnoCategories[] = {
    {ENOENT, StatusCode::NotFound},
    {ENOTDIR, StatusCode::NotFound},
    {EACCES, StatusCode::AccessDenied},
    {EPERM, StatusCode::AccessDenied},
    {EROFS, StatusCode::ReadOnly},
    {ENOSPC, StatusCode::DiskFull},
#ifdef EDQUOT
    {EDQUOT, StatusCode::DiskFull},
#endif
    {EISDIR, StatusCode::NotRegularFile},
    {EBUSY, StatusCode::InUse},
    {ETXTBSY, StatusCode::InUse},
    {EAGAIN, StatusCode::InUse},
    {EWOULDBLOCK, StatusCode::InUse},
    {ENOMEM, StatusCode::OutOfMemory},
    {ENOBUFS, StatusCode::OutOfMemory},
    {EFBIG, StatusCode::TooLarge},
    {EOVERFLOW, StatusCode::TooLarge},
    {ENAMETOOLONG, StatusCode::TooLarge},
    {EIO, StatusCode::IoError},
    {ENXIO, StatusCode::IoError},
    {ENODEV, StatusCode::IoError},
#ifdef ENOMEDIUM
    {ENOMEDIUM, StatusCode::IoError},
#endif
#ifdef EREMOTEIO
    {EREMOTEIO, StatusCode::IoError},
#endif
#ifdef ESTALE
    {ESTALE, StatusCode::NetworkError},
#endif
    {ENOTCONN, StatusCode::NetworkError},
    {ENETDOWN, StatusCode::NetworkError},
    {ENETUNREACH, StatusCode::NetworkError},
    {EHOSTUNREACH, StatusCode::NetworkError},
    {ECONNRESET, StatusCode::NetworkError},
    {ECONNREFUSED, StatusCode::NetworkError},
    {ETIMEDOUT, StatusCode::NetworkError},
#ifdef EHOSTDOWN
    {EHOSTDOWN, StatusCode::NetworkError},
#endif
#ifdef ENOLINK
    {ENOLINK, StatusCode::NetworkError},
#endif
};

struct ErrnoText {
    int code;
    const char* text;
};

constexpr ErrnoText kErrnoTexts[] = {
    {EACCES, "brak uprawnień"},
    {EPERM, "brak uprawnień"},
    {EROFS, "dysk tylko do odczytu"},
    {ENOSPC, "brak miejsca na dysku"},
#ifdef EDQUOT
    {EDQUOT, "przekroczony przydział miejsca na dysku"},
#endif
    {EEXIST, "plik już istnieje"},
    {ENOENT, "plik lub folder nie istnieje"},
    {ENOTDIR, "ścieżka nie prowadzi do folderu"},
    {EISDIR, "to jest folder"},
    {ENOTEMPTY, "folder nie jest pusty"},
    {EBUSY, "plik jest zajęty"},
    {ETXTBSY, "plik jest zajęty"},
    {EIO, "błąd wejścia-wyjścia"},
    {ENAMETOOLONG, "za długa nazwa pliku"},
    {EMLINK, "za dużo dowiązań do pliku"},
    {ENOMEM, "za mało pamięci"},
    {ENOBUFS, "za mało pamięci"},
    {EFBIG, "plik jest za duży"},
    {EOVERFLOW, "plik jest za duży"},
    {EAGAIN, "plik jest chwilowo niedostępny (zablokowany przez inny program)"},
    {EWOULDBLOCK, "plik jest chwilowo niedostępny (zablokowany przez inny program)"},
    {EINTR, "operacja została przerwana"},
    {ELOOP, "za dużo dowiązań symbolicznych w ścieżce"},
    {EMFILE, "za dużo otwartych plików w programie"},
    {ENFILE, "za dużo otwartych plików w systemie"},
    {EXDEV, "pliki leżą na różnych dyskach"},
    {ENOTSUP, "system plików tego nie obsługuje"},
    {EOPNOTSUPP, "system plików tego nie obsługuje"},
    {ENOSYS, "system tego nie obsługuje"},
#ifdef ESTALE
    {ESTALE, "plik w sieci jest już niedostępny (nieaktualny uchwyt)"},
#endif
    {ETIMEDOUT, "upłynął czas oczekiwania"},
    {ENXIO, "urządzenie nie istnieje lub jest niedostępne"},
    {ENODEV, "brak takiego urządzenia"},
#ifdef ENOMEDIUM
    {ENOMEDIUM, "brak nośnika w napędzie"},
#endif
    {EINVAL, "nieprawidłowa operacja na pliku"},
    {EBADF, "nieprawidłowy uchwyt pliku"},
    {EILSEQ, "nieprawidłowy znak w nazwie"},
    {ENOLCK, "brak wolnych blokad plików"},
    {EDEADLK, "blokady plików zablokowałyby się wzajemnie"},
    {ESPIPE, "plik nie pozwala na zmianę pozycji"},
    {EPIPE, "połączenie zostało zerwane"},
    {EFAULT, "nieprawidłowy adres pamięci"},
    {ECANCELED, "operacja została anulowana"},
    {ENOTCONN, "brak połączenia z systemem plików"},
    {ENETDOWN, "sieć jest niedostępna"},
    {ENETUNREACH, "sieć jest niedostępna"},
    {EHOSTUNREACH, "serwer jest niedostępny"},
    {ECONNRESET, "połączenie zostało zerwane"},
    {ECONNREFUSED, "serwer odmówił połączenia"},
#ifdef EHOSTDOWN
    {EHOSTDOWN, "serwer jest niedostępny"},
#endif
#ifdef ENOLINK
    {ENOLINK, "połączenie zostało zerwane"},
#endif
#ifdef EREMOTEIO
    {EREMOTEIO, "błąd wejścia-wyjścia urządzenia zdalnego"},
#endif
#ifdef EUCLEAN
    {EUCLEAN, "system plików jest uszkodzony"},
#endif
};

Reason UnknownReason(long code) {
    return Reason(StatusCode::SystemError, "nieznany błąd systemu (kod " + std::to_string(code) + ")");
}

}  // namespace

StatusCode ErrnoCode(int code) {
    for (const ErrnoCategory& row : kErrnoCategories)
        if (row.errnoValue == code) return row.code;
    return StatusCode::SystemError;
}

Reason ErrnoReason(int code) {
    for (const ErrnoText& row : kErrnoTexts)
        if (row.code == code) return Reason(ErrnoCode(code), row.text);
    return UnknownReason(code);
}

Reason SystemReason(const std::error_code& code) {
    if (code.category() == std::generic_category()) return ErrnoReason(code.value());
    if (code.category() == std::system_category())
        return SystemReason(static_cast<unsigned long>(static_cast<unsigned>(code.value())));
    return UnknownReason(code.value());
}

}  // namespace qwz::platform
