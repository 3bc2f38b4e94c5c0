// Win32 error codes as Polish reasons: every code that opening, reading,
// writing, locking, linking, renaming and deleting files and listing folders
// can give, on local disks, removable media and network shares.
#include "platform/SystemError.h"

#include <windows.h>

namespace qwz::platform {
namespace {

// Codes that mingw-w64's headers leave out, with Windows' own values.
constexpr DWORD kErrorVirusInfected = 225;
constexpr DWORD kErrorVirusDeleted = 226;
constexpr DWORD kErrorFileSystemLimitation = 665;
constexpr DWORD kErrorDiskQuotaExceeded = 1295;

struct CodeText {
    DWORD code;
    const char* text;
};

constexpr CodeText kSystemTexts[] = {
    {ERROR_INVALID_FUNCTION, "system plików tego nie obsługuje"},
    {ERROR_FILE_NOT_FOUND, "plik nie istnieje"},
    {ERROR_PATH_NOT_FOUND, "folder nie istnieje"},
    {ERROR_TOO_MANY_OPEN_FILES, "za dużo otwartych plików"},
    {ERROR_ACCESS_DENIED, "brak dostępu"},
    {ERROR_INVALID_HANDLE, "nieprawidłowy uchwyt pliku"},
    {ERROR_NOT_ENOUGH_MEMORY, "za mało pamięci"},
    {ERROR_INVALID_ACCESS, "nieprawidłowy tryb dostępu do pliku"},
    {ERROR_INVALID_DATA, "nieprawidłowe dane"},
    {ERROR_OUTOFMEMORY, "za mało pamięci"},
    {ERROR_INVALID_DRIVE, "dysk nie istnieje"},
    {ERROR_CURRENT_DIRECTORY, "nie można usunąć bieżącego folderu"},
    {ERROR_NOT_SAME_DEVICE, "pliki leżą na różnych dyskach"},
    {ERROR_NO_MORE_FILES, "brak dalszych plików"},
    {ERROR_WRITE_PROTECT, "dysk jest zabezpieczony przed zapisem"},
    {ERROR_NOT_READY, "urządzenie nie jest gotowe"},
    {ERROR_CRC, "błąd danych na dysku (CRC)"},
    {ERROR_SEEK, "błąd wyszukiwania na dysku"},
    {ERROR_SECTOR_NOT_FOUND, "nie znaleziono sektora na dysku"},
    {ERROR_WRITE_FAULT, "błąd zapisu na urządzeniu"},
    {ERROR_READ_FAULT, "błąd odczytu z urządzenia"},
    {ERROR_GEN_FAILURE, "urządzenie nie działa prawidłowo"},
    {ERROR_SHARING_VIOLATION, "plik jest używany przez inny program"},
    {ERROR_LOCK_VIOLATION, "plik jest zablokowany przez inny program"},
    {ERROR_WRONG_DISK, "w napędzie jest niewłaściwy dysk"},
    {ERROR_SHARING_BUFFER_EXCEEDED, "za dużo plików otwartych do współdzielenia"},
    {ERROR_HANDLE_EOF, "osiągnięto koniec pliku"},
    {ERROR_HANDLE_DISK_FULL, "brak miejsca na dysku"},
    {ERROR_NOT_SUPPORTED, "system plików tego nie obsługuje"},
    {ERROR_REM_NOT_LIST, "komputer zdalny jest niedostępny"},
    {ERROR_BAD_NETPATH, "ścieżka sieciowa nie istnieje"},
    {ERROR_NETWORK_BUSY, "sieć jest zajęta"},
    {ERROR_DEV_NOT_EXIST, "zasób sieciowy jest niedostępny"},
    {ERROR_BAD_NET_RESP, "serwer nie odpowiada prawidłowo"},
    {ERROR_UNEXP_NET_ERR, "nieoczekiwany błąd sieci"},
    {ERROR_NETNAME_DELETED, "zasób sieciowy jest już niedostępny"},
    {ERROR_NETWORK_ACCESS_DENIED, "brak dostępu do zasobu sieciowego"},
    {ERROR_BAD_NET_NAME, "nazwa sieciowa nie istnieje"},
    {ERROR_FILE_EXISTS, "plik już istnieje"},
    {ERROR_CANNOT_MAKE, "nie można utworzyć pliku ani folderu"},
    {ERROR_INVALID_PARAMETER, "nieprawidłowy parametr operacji na pliku"},
    {ERROR_DRIVE_LOCKED, "dysk jest zablokowany przez inny program"},
    {ERROR_BROKEN_PIPE, "połączenie zostało zerwane"},
    {ERROR_OPEN_FAILED, "nie można otworzyć pliku"},
    {ERROR_BUFFER_OVERFLOW, "za długa nazwa pliku"},
    {ERROR_DISK_FULL, "brak miejsca na dysku"},
    {ERROR_CALL_NOT_IMPLEMENTED, "system tego nie obsługuje"},
    {ERROR_SEM_TIMEOUT, "upłynął czas oczekiwania"},
    {ERROR_INSUFFICIENT_BUFFER, "za mały bufor danych"},
    {ERROR_INVALID_NAME, "nieprawidłowa nazwa pliku"},
    {ERROR_NEGATIVE_SEEK, "nieprawidłowa pozycja w pliku"},
    {ERROR_DIR_NOT_EMPTY, "folder nie jest pusty"},
    {ERROR_NOT_LOCKED, "obszar pliku nie jest zablokowany"},
    {ERROR_BAD_PATHNAME, "nieprawidłowa ścieżka"},
    {ERROR_LOCK_FAILED, "nie można zablokować pliku"},
    {ERROR_BUSY, "zasób jest zajęty"},
    {ERROR_ALREADY_EXISTS, "plik już istnieje"},
    {ERROR_FILENAME_EXCED_RANGE, "za długa nazwa pliku"},
    {ERROR_FILE_TOO_LARGE, "plik jest za duży"},
    {kErrorVirusInfected, "plik zawiera wirusa"},
    {kErrorVirusDeleted, "plik został usunięty, bo zawierał wirusa"},
    {ERROR_DIRECTORY, "ścieżka nie prowadzi do folderu"},
    {ERROR_DELETE_PENDING, "plik czeka na usunięcie"},
    {kErrorFileSystemLimitation, "ograniczenie systemu plików"},
    {ERROR_OPERATION_ABORTED, "operacja została przerwana"},
    {ERROR_NOACCESS, "nieprawidłowy adres pamięci"},
    {ERROR_UNRECOGNIZED_VOLUME, "dysk nie zawiera rozpoznawalnego systemu plików"},
    {ERROR_FILE_INVALID, "plik jest już niedostępny"},
    {ERROR_MEDIA_CHANGED, "nośnik w napędzie został zmieniony"},
    {ERROR_NO_MEDIA_IN_DRIVE, "brak nośnika w napędzie"},
    {ERROR_NO_UNICODE_TRANSLATION, "nieprawidłowy znak w nazwie"},
    {ERROR_IO_DEVICE, "błąd wejścia-wyjścia urządzenia"},
    {ERROR_DISK_OPERATION_FAILED, "operacja na dysku nie powiodła się"},
    {ERROR_TOO_MANY_LINKS, "za dużo dowiązań do pliku"},
    {ERROR_DEVICE_NOT_CONNECTED, "urządzenie nie jest podłączone"},
    {ERROR_NOT_FOUND, "nie znaleziono elementu"},
    {ERROR_USER_MAPPED_FILE, "plik jest używany przez inny program (odwzorowany w pamięci)"},
    {ERROR_NETWORK_UNREACHABLE, "sieć jest niedostępna"},
    {ERROR_REQUEST_ABORTED, "operacja została przerwana"},
    {kErrorDiskQuotaExceeded, "przekroczony przydział miejsca na dysku"},
    {ERROR_PRIVILEGE_NOT_HELD, "brak wymaganych uprawnień"},
    {ERROR_LOGON_FAILURE, "nieprawidłowa nazwa użytkownika lub hasło do zasobu sieciowego"},
    {ERROR_FILE_CORRUPT, "plik jest uszkodzony i nie daje się odczytać"},
    {ERROR_DISK_CORRUPT, "system plików na dysku jest uszkodzony"},
    {ERROR_NO_SYSTEM_RESOURCES, "za mało zasobów systemu"},
    {ERROR_NONPAGED_SYSTEM_RESOURCES, "za mało zasobów systemu"},
    {ERROR_PAGED_SYSTEM_RESOURCES, "za mało zasobów systemu"},
    {ERROR_WORKING_SET_QUOTA, "za mało pamięci"},
    {ERROR_COMMITMENT_LIMIT, "za mało pamięci"},
    {ERROR_TIMEOUT, "upłynął czas oczekiwania"},
    {ERROR_NOT_ENOUGH_QUOTA, "za mało pamięci"},
    {ERROR_CANT_ACCESS_FILE, "system nie ma dostępu do pliku"},
    {ERROR_CANT_RESOLVE_FILENAME, "za dużo dowiązań symbolicznych w ścieżce"},
    {ERROR_FILE_OFFLINE, "plik nie jest dostępny bez połączenia"},
    {ERROR_DEVICE_IN_USE, "urządzenie jest używane przez inny program"},
    {ERROR_FILE_READ_ONLY, "plik jest tylko do odczytu"},
};

struct CodeCategory {
    DWORD code;
    StatusCode category;
};

// Win32 codes by category; any other is a SystemError.
constexpr CodeCategory kCategories[] = {
    {ERROR_FILE_NOT_FOUND, StatusCode::NotFound},
    {ERROR_PATH_NOT_FOUND, StatusCode::NotFound},
    {ERROR_INVALID_DRIVE, StatusCode::NotFound},
    {ERROR_BAD_NETPATH, StatusCode::NotFound},
    {ERROR_BAD_NET_NAME, StatusCode::NotFound},
    {ERROR_ACCESS_DENIED, StatusCode::AccessDenied},
    {ERROR_NETWORK_ACCESS_DENIED, StatusCode::AccessDenied},
    {ERROR_PRIVILEGE_NOT_HELD, StatusCode::AccessDenied},
    {ERROR_LOGON_FAILURE, StatusCode::AccessDenied},
    {ERROR_CANT_ACCESS_FILE, StatusCode::AccessDenied},
    {ERROR_WRITE_PROTECT, StatusCode::ReadOnly},
    {ERROR_FILE_READ_ONLY, StatusCode::ReadOnly},
    {ERROR_DISK_FULL, StatusCode::DiskFull},
    {ERROR_HANDLE_DISK_FULL, StatusCode::DiskFull},
    {kErrorDiskQuotaExceeded, StatusCode::DiskFull},
    {ERROR_DIRECTORY, StatusCode::NotRegularFile},
    {ERROR_SHARING_VIOLATION, StatusCode::InUse},
    {ERROR_LOCK_VIOLATION, StatusCode::InUse},
    {ERROR_DRIVE_LOCKED, StatusCode::InUse},
    {ERROR_USER_MAPPED_FILE, StatusCode::InUse},
    {ERROR_DEVICE_IN_USE, StatusCode::InUse},
    {ERROR_BUSY, StatusCode::InUse},
    {ERROR_DELETE_PENDING, StatusCode::InUse},
    {ERROR_NOT_ENOUGH_MEMORY, StatusCode::OutOfMemory},
    {ERROR_OUTOFMEMORY, StatusCode::OutOfMemory},
    {ERROR_WORKING_SET_QUOTA, StatusCode::OutOfMemory},
    {ERROR_COMMITMENT_LIMIT, StatusCode::OutOfMemory},
    {ERROR_NOT_ENOUGH_QUOTA, StatusCode::OutOfMemory},
    {ERROR_NO_SYSTEM_RESOURCES, StatusCode::OutOfMemory},
    {ERROR_FILE_TOO_LARGE, StatusCode::TooLarge},
    {ERROR_FILENAME_EXCED_RANGE, StatusCode::TooLarge},
    {kErrorFileSystemLimitation, StatusCode::TooLarge},
    {ERROR_CRC, StatusCode::IoError},
    {ERROR_SEEK, StatusCode::IoError},
    {ERROR_SECTOR_NOT_FOUND, StatusCode::IoError},
    {ERROR_WRITE_FAULT, StatusCode::IoError},
    {ERROR_READ_FAULT, StatusCode::IoError},
    {ERROR_GEN_FAILURE, StatusCode::IoError},
    {ERROR_NOT_READY, StatusCode::IoError},
    {ERROR_IO_DEVICE, StatusCode::IoError},
    {ERROR_DISK_OPERATION_FAILED, StatusCode::IoError},
    {ERROR_NO_MEDIA_IN_DRIVE, StatusCode::IoError},
    {ERROR_MEDIA_CHANGED, StatusCode::IoError},
    {ERROR_DEVICE_NOT_CONNECTED, StatusCode::IoError},
    {ERROR_FILE_CORRUPT, StatusCode::IoError},
    {ERROR_DISK_CORRUPT, StatusCode::IoError},
    {ERROR_REM_NOT_LIST, StatusCode::NetworkError},
    {ERROR_NETWORK_BUSY, StatusCode::NetworkError},
    {ERROR_DEV_NOT_EXIST, StatusCode::NetworkError},
    {ERROR_BAD_NET_RESP, StatusCode::NetworkError},
    {ERROR_UNEXP_NET_ERR, StatusCode::NetworkError},
    {ERROR_NETNAME_DELETED, StatusCode::NetworkError},
    {ERROR_NETWORK_UNREACHABLE, StatusCode::NetworkError},
    {ERROR_SEM_TIMEOUT, StatusCode::NetworkError},
    {ERROR_FILE_INVALID, StatusCode::NetworkError},
    {ERROR_FILE_OFFLINE, StatusCode::NetworkError},
};

}  // namespace

StatusCode SystemCode(unsigned long code) {
    for (const CodeCategory& row : kCategories)
        if (row.code == code) return row.category;
    return StatusCode::SystemError;
}

Reason SystemReason(unsigned long code) {
    for (const CodeText& row : kSystemTexts)
        if (row.code == code) return Reason(SystemCode(code), row.text);
    return Reason(StatusCode::SystemError, "nieznany błąd systemu (kod " + std::to_string(code) + ")");
}

unsigned long LastSystemError() { return GetLastError(); }

}  // namespace qwz::platform
