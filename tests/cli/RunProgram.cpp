#include "RunProgram.h"

#include "support/TempDir.h"

#include <stdexcept>

#ifdef _WIN32
#include <windows.h>
#else
#include <spawn.h>
#include <sys/wait.h>
#include <fcntl.h>
extern char** environ;
#endif

namespace qwz::test {
namespace {

std::string ReadText(const std::filesystem::path& p) {
    std::vector<uint8_t> bytes = TempDir::read(p);
    std::string s;
    for (size_t i = 0; i < bytes.size(); ++i)
        if (!(bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')) s += char(bytes[i]);
    return s;
}

#ifdef _WIN32
std::wstring Wide(const std::string& utf8) {
    if (utf8.empty()) return {};
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
    std::wstring w(size_t(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), w.data(), n);
    return w;
}

// The quoting that the C runtime's argument parser undoes.
std::wstring Quote(const std::wstring& arg) {
    std::wstring out = L"\"";
    size_t slashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++slashes;
        } else if (c == L'"') {
            out.append(slashes * 2 + 1, L'\\');
            slashes = 0;
        } else {
            out.append(slashes, L'\\');
            slashes = 0;
        }
        if (c != L'\\') out += c;
    }
    out.append(slashes * 2, L'\\');
    return out + L"\"";
}

HANDLE OpenCapture(const std::filesystem::path& p) {
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    return CreateFileW(p.wstring().c_str(), GENERIC_WRITE, FILE_SHARE_READ, &sa, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}
#endif

}  // namespace

std::filesystem::path ToolPath() {
    std::string p = QWZ_TOOL_PATH;
#ifdef _WIN32
    // The build tree is a Unix path; Wine shows the Unix root as drive Z:.
    if (!p.empty() && p[0] == '/') {
        for (char& c : p)
            if (c == '/') c = '\\';
        p = "Z:" + p;
    }
#endif
    return std::filesystem::path(p);
}

ProgramResult RunProgram(const std::filesystem::path& exe, const std::vector<std::string>& args) {
    TempDir capture;
    const std::filesystem::path outPath = capture.path() / "out.txt";
    const std::filesystem::path errPath = capture.path() / "err.txt";
    ProgramResult r;
#ifdef _WIN32
    std::wstring cmd = Quote(exe.wstring());
    for (const std::string& a : args) cmd += L" " + Quote(Wide(a));
    HANDLE out = OpenCapture(outPath);
    HANDLE err = OpenCapture(errPath);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = out;
    si.hStdError = err;
    PROCESS_INFORMATION pi{};
    BOOL ok = CreateProcessW(exe.wstring().c_str(), cmd.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                             &si, &pi);
    CloseHandle(out);
    CloseHandle(err);
    if (!ok) throw std::runtime_error("CreateProcessW failed: " + std::to_string(GetLastError()));
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    r.exitCode = int(code);
#else
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<std::string> storage{exe.string()};
    storage.insert(storage.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& s : storage) argv.push_back(s.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    int rc = posix_spawn(&pid, exe.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) throw std::runtime_error("posix_spawn failed: " + std::to_string(rc));
    int status = 0;
    waitpid(pid, &status, 0);
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
#endif
    r.out = ReadText(outPath);
    r.err = ReadText(errPath);
    return r;
}

}  // namespace qwz::test
