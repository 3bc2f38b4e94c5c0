// The translator of system error codes: a code of each kind of failure the
// programs meet, and no code of a wide range that comes out as the system's
// own text (English here: the C locale and Wine) or as anything but one line.
#include "platform/SystemError.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#ifdef _WIN32
#include <windows.h>
#endif

namespace qwz::platform {
namespace {

TEST(SystemError, FailuresOfFileOperationsArePolish) {
    struct Row {
        unsigned long code;
        const char* reason;
        StatusCode category = StatusCode::SystemError;
    };
    const Row rows[] = {
#ifdef _WIN32
        {ERROR_SHARING_VIOLATION, "plik jest używany przez inny program", StatusCode::InUse},
        {ERROR_LOCK_VIOLATION, "plik jest zablokowany przez inny program", StatusCode::InUse},
        {ERROR_ACCESS_DENIED, "brak dostępu", StatusCode::AccessDenied},
        {ERROR_HANDLE_DISK_FULL, "brak miejsca na dysku", StatusCode::DiskFull},
        {ERROR_DISK_FULL, "brak miejsca na dysku", StatusCode::DiskFull},
        {ERROR_FILE_NOT_FOUND, "plik nie istnieje", StatusCode::NotFound},
        {ERROR_FILE_TOO_LARGE, "plik jest za duży", StatusCode::TooLarge},
        {ERROR_NETNAME_DELETED, "zasób sieciowy jest już niedostępny", StatusCode::NetworkError},
        {ERROR_USER_MAPPED_FILE, "plik jest używany przez inny program (odwzorowany w pamięci)", StatusCode::InUse},
        {ERROR_INVALID_NAME, "nieprawidłowa nazwa pliku"},
#else
        {EACCES, "brak uprawnień", StatusCode::AccessDenied},
        {EROFS, "dysk tylko do odczytu", StatusCode::ReadOnly},
        {ENOSPC, "brak miejsca na dysku", StatusCode::DiskFull},
        {ENOENT, "plik lub folder nie istnieje", StatusCode::NotFound},
        {EFBIG, "plik jest za duży", StatusCode::TooLarge},
        {EWOULDBLOCK, "plik jest chwilowo niedostępny (zablokowany przez inny program)", StatusCode::InUse},
        {EXDEV, "pliki leżą na różnych dyskach"},
        {ESTALE, "plik w sieci jest już niedostępny (nieaktualny uchwyt)", StatusCode::NetworkError},
#endif
    };
    for (const Row& row : rows) {
        EXPECT_EQ(SystemReason(row.code), row.reason) << row.code;
        // The category comes from the code, whatever the text says.
        EXPECT_EQ(SystemReason(row.code).code, row.category) << row.code;
        EXPECT_EQ(SystemCode(row.code), row.category) << row.code;
        EXPECT_EQ(SystemReason(std::error_code(int(row.code), std::system_category())), row.reason);
    }
    // std::filesystem reports errno values on both platforms.
    const std::filesystem::filesystem_error missing("", std::make_error_code(std::errc::no_such_file_or_directory));
    EXPECT_EQ(SystemReason(missing.code()), "plik lub folder nie istnieje");
    EXPECT_EQ(ErrnoReason(EACCES), "brak uprawnień");
    EXPECT_EQ(SystemReason(std::make_error_code(std::io_errc::stream)), "nieznany błąd systemu (kod 1)");
}

// What the system itself says about `code`, or "" when it has no text.
std::string SystemsOwnText(unsigned long code, bool errnoValue) {
#ifdef _WIN32
    if (!errnoValue) {
        char buffer[512] = {};
        DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, DWORD(code),
                                 0, buffer, sizeof buffer, nullptr);
        std::string text(buffer, n);
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == '.')) text.pop_back();
        return text;
    }
#endif
    (void)errnoValue;
    return std::strerror(int(code));
}

bool LooksPolish(const std::string& reason) {
    for (unsigned char c : reason)
        if (c >= 0x80) return true;  // ą ć ę ł ń ó ś ź ż
    for (const char* word : {"nie ", "brak ", "plik", "folder", "dysk"})
        if (reason.find(word) != std::string::npos) return true;
    return false;
}

TEST(SystemError, NoCodeGivesTheSystemsOwnText) {
    auto check = [](unsigned long code, const std::string& reason, bool errnoValue) {
        const std::string own = SystemsOwnText(code, errnoValue);
        EXPECT_TRUE(LooksPolish(reason)) << code << ": " << reason;
        EXPECT_TRUE(own.size() < 4 || reason.find(own) == std::string::npos) << code << ": " << reason;
        EXPECT_EQ(reason.find_first_of("\r\n"), std::string::npos) << code;
        if (reason.rfind("nieznany", 0) == 0) {
            EXPECT_EQ(reason, "nieznany błąd systemu (kod " + std::to_string(code) + ")");
        }
    };
    for (int code = 0; code < 400; ++code) check(code, ErrnoReason(code), true);
#ifdef _WIN32
    for (unsigned long code = 0; code < 16000; ++code) check(code, SystemReason(code), false);
#endif
}

}  // namespace
}  // namespace qwz::platform
