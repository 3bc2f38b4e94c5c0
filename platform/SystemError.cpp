// errno values as Polish reasons, shared by both platforms: POSIX reports
// them for every call, and on Windows the C runtime and std::filesystem do.
// Codes a platform lacks are left out; where two names share a value the
// first row wins.
#include "platform/SystemError.h"

#include <cerrno>

namespace qwz::platform {
namespace {

// What each errno value tells, for programs and for the user; a value not
// listed is a SystemError.
struct ErrnoText {
    int code;
    StatusCode category;
    const char* text;
};

constexpr ErrnoText kErrnoTexts[] = {
    {EACCES, StatusCode::AccessDenied, "brak uprawnień"},
    {EPERM, StatusCode::AccessDenied, "brak uprawnień"},
    {EROFS, StatusCode::ReadOnly, "dysk tylko do odczytu"},
    {ENOSPC, StatusCode::DiskFull, "brak miejsca na dysku"},
#ifdef EDQUOT
    {EDQUOT, StatusCode::DiskFull, "przekroczony przydział miejsca na dysku"},
#endif
    {EEXIST, StatusCode::SystemError, "plik już istnieje"},
    {ENOENT, StatusCode::NotFound, "plik lub folder nie istnieje"},
    {ENOTDIR, StatusCode::NotFound, "ścieżka nie prowadzi do folderu"},
    {EISDIR, StatusCode::NotRegularFile, "to jest folder"},
    {ENOTEMPTY, StatusCode::SystemError, "folder nie jest pusty"},
    {EBUSY, StatusCode::InUse, "plik jest zajęty"},
    {ETXTBSY, StatusCode::InUse, "plik jest zajęty"},
    {EIO, StatusCode::IoError, "błąd wejścia-wyjścia"},
    {ENAMETOOLONG, StatusCode::TooLarge, "za długa nazwa pliku"},
    {EMLINK, StatusCode::SystemError, "za dużo dowiązań do pliku"},
    {ENOMEM, StatusCode::OutOfMemory, "za mało pamięci"},
    {ENOBUFS, StatusCode::OutOfMemory, "za mało pamięci"},
    {EFBIG, StatusCode::TooLarge, "plik jest za duży"},
    {EOVERFLOW, StatusCode::TooLarge, "plik jest za duży"},
    {EAGAIN, StatusCode::InUse, "plik jest chwilowo niedostępny (zablokowany przez inny program)"},
    {EWOULDBLOCK, StatusCode::InUse, "plik jest chwilowo niedostępny (zablokowany przez inny program)"},
    {EINTR, StatusCode::SystemError, "operacja została przerwana"},
    {ELOOP, StatusCode::SystemError, "za dużo dowiązań symbolicznych w ścieżce"},
    {EMFILE, StatusCode::SystemError, "za dużo otwartych plików w programie"},
    {ENFILE, StatusCode::SystemError, "za dużo otwartych plików w systemie"},
    {EXDEV, StatusCode::SystemError, "pliki leżą na różnych dyskach"},
    {ENOTSUP, StatusCode::SystemError, "system plików tego nie obsługuje"},
    {EOPNOTSUPP, StatusCode::SystemError, "system plików tego nie obsługuje"},
    {ENOSYS, StatusCode::SystemError, "system tego nie obsługuje"},
#ifdef ESTALE
    {ESTALE, StatusCode::NetworkError, "plik w sieci jest już niedostępny (nieaktualny uchwyt)"},
#endif
    {ETIMEDOUT, StatusCode::NetworkError, "upłynął czas oczekiwania"},
    {ENXIO, StatusCode::IoError, "urządzenie nie istnieje lub jest niedostępne"},
    {ENODEV, StatusCode::IoError, "brak takiego urządzenia"},
#ifdef ENOMEDIUM
    {ENOMEDIUM, StatusCode::IoError, "brak nośnika w napędzie"},
#endif
    {EINVAL, StatusCode::SystemError, "nieprawidłowa operacja na pliku"},
    {EBADF, StatusCode::SystemError, "nieprawidłowy uchwyt pliku"},
    {EILSEQ, StatusCode::SystemError, "nieprawidłowy znak w nazwie"},
    {ENOLCK, StatusCode::SystemError, "brak wolnych blokad plików"},
    {EDEADLK, StatusCode::SystemError, "blokady plików zablokowałyby się wzajemnie"},
    {ESPIPE, StatusCode::SystemError, "plik nie pozwala na zmianę pozycji"},
    {EPIPE, StatusCode::SystemError, "połączenie zostało zerwane"},
    {EFAULT, StatusCode::SystemError, "nieprawidłowy adres pamięci"},
    {ECANCELED, StatusCode::SystemError, "operacja została anulowana"},
    {ENOTCONN, StatusCode::NetworkError, "brak połączenia z systemem plików"},
    {ENETDOWN, StatusCode::NetworkError, "sieć jest niedostępna"},
    {ENETUNREACH, StatusCode::NetworkError, "sieć jest niedostępna"},
    {EHOSTUNREACH, StatusCode::NetworkError, "serwer jest niedostępny"},
    {ECONNRESET, StatusCode::NetworkError, "połączenie zostało zerwane"},
    {ECONNREFUSED, StatusCode::NetworkError, "serwer odmówił połączenia"},
#ifdef EHOSTDOWN
    {EHOSTDOWN, StatusCode::NetworkError, "serwer jest niedostępny"},
#endif
#ifdef ENOLINK
    {ENOLINK, StatusCode::NetworkError, "połączenie zostało zerwane"},
#endif
#ifdef EREMOTEIO
    {EREMOTEIO, StatusCode::IoError, "błąd wejścia-wyjścia urządzenia zdalnego"},
#endif
#ifdef EUCLEAN
    {EUCLEAN, StatusCode::SystemError, "system plików jest uszkodzony"},
#endif
};

Reason UnknownReason(long code) {
    return Reason(StatusCode::SystemError, "nieznany błąd systemu (kod " + std::to_string(code) + ")");
}

}  // namespace

StatusCode ErrnoCode(int code) {
    for (const ErrnoText& row : kErrnoTexts)
        if (row.code == code) return row.category;
    return StatusCode::SystemError;
}

Reason ErrnoReason(int code) {
    for (const ErrnoText& row : kErrnoTexts)
        if (row.code == code) return Reason(row.category, row.text);
    return UnknownReason(code);
}

Reason SystemReason(const std::error_code& code) {
    if (code.category() == std::generic_category()) return ErrnoReason(code.value());
    if (code.category() == std::system_category())
        return SystemReason(static_cast<unsigned long>(static_cast<unsigned>(code.value())));
    return UnknownReason(code.value());
}

}  // namespace qwz::platform
