// The program's own "-r" and "-u" under Wine, and the command line that
// "-r" leaves in the registry run the way Explorer runs it: %1 replaced by
// a file's path.
#if defined(_WIN32) && defined(QWZ_PROGRAM_FILE)

#include "explorer/SampleFile.h"
#include "support/TempDir.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace qwz {
namespace {

using test::TempDir;

// The program's path as Windows sees it (the build gives a Unix path,
// which Wine maps under drive Z:).
std::wstring ProgramFile() {
    std::string unix = QWZ_PROGRAM_FILE;
    std::wstring w(unix.begin(), unix.end());
    if (!w.empty() && w[0] == L'/') {
        for (wchar_t& c : w) if (c == L'/') c = L'\\';
        w = L"Z:" + w;
    }
    wchar_t full[32768];
    DWORD n = GetFullPathNameW(w.c_str(), 32768, full, nullptr);
    return std::wstring(full, n);
}

// Starts `commandLine` and waits for it; returns its exit code or -1.
long RunCommand(std::wstring commandLine) {
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &si, &pi))
        return -1;
    WaitForSingleObject(pi.hProcess, 120000);
    DWORD code = DWORD(-1);
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return long(code);
}

std::wstring CommandValue() {
    wchar_t buffer[4096];
    DWORD size = sizeof buffer;
    if (RegGetValueW(HKEY_CLASSES_ROOT, L".qwz\\shell\\downgrade\\command", nullptr, RRF_RT_REG_SZ,
                     nullptr, buffer, &size) != ERROR_SUCCESS)
        return {};
    return buffer;
}

TEST(WindowsProgram, RegisteredCommandLineConvertsTheClickedFile) {
    RegDeleteTreeW(HKEY_CLASSES_ROOT, L".qwz");
    const std::wstring program = ProgramFile();
    ASSERT_EQ(RunCommand(L"\"" + program + L"\" -r"), 0);

    std::wstring command = CommandValue();
    ASSERT_EQ(command.size() > program.size() + 2, true) << "no command registered";
    // The program's real path, as the running program saw it.
    std::wstring registered = command.substr(1, command.find(L'"', 1) - 1);
    EXPECT_EQ(CompareStringOrdinal(registered.c_str(), -1, program.c_str(), -1, TRUE), CSTR_EQUAL);
    EXPECT_EQ(command.substr(command.find(L'"', 1)), L"\" -v 203 \"%1\"");

    TempDir dir;
    std::filesystem::path file = dir.write("hall 1.qwz", test::Version204File());
    std::wstring clicked = command;
    clicked.replace(clicked.find(L"%1"), 2, file.wstring());
    EXPECT_EQ(RunCommand(clicked), 0);
    std::vector<uint8_t> converted = TempDir::read(file);
    ASSERT_GE(converted.size(), 4u);
    EXPECT_EQ(converted[3], 203);
    EXPECT_EQ(TempDir::read(dir.path() / "hall 1_org.qwz"), test::Version204File());

    ASSERT_EQ(RunCommand(L"\"" + program + L"\" -u"), 0);
    EXPECT_EQ(CommandValue(), L"");
    HKEY h = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, L".qwz\\shell", 0, KEY_READ, &h), ERROR_SUCCESS);
    if (h) RegCloseKey(h);
}

}  // namespace
}  // namespace qwz

#endif
