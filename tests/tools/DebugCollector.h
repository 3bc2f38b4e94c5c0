// Test-only (Windows): runs a program as its debugger and collects every
// string it sends to the debug output, ANSI and Unicode alike, as UTF-8.
// A debugger receives OutputDebugStringA and OutputDebugStringW even where
// nothing else logs them.
#pragma once

#ifdef _WIN32

#include <windows.h>

#include <string>
#include <vector>

namespace qwz::test {

struct DebugRun {
    bool started = false;
    DWORD exitCode = 0;
    std::vector<std::string> lines;  // one per debug string, UTF-8, no line end
};

inline std::string WideToUtf8Text(const std::wstring& w) {
    if (w.empty()) return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), int(w.size()), nullptr, 0, nullptr, nullptr);
    std::string out(size_t(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), int(w.size()), out.data(), n, nullptr, nullptr);
    return out;
}

// One argument quoted so that CommandLineToArgvW gives it back unchanged.
inline std::wstring QuoteArgument(const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) return arg;
    std::wstring out = L"\"";
    for (size_t i = 0;; ++i) {
        size_t backslashes = 0;
        while (i < arg.size() && arg[i] == L'\\') ++i, ++backslashes;
        if (i == arg.size()) {
            out.append(backslashes * 2, L'\\');
            break;
        }
        if (arg[i] == L'"') out.append(backslashes * 2 + 1, L'\\');
        else out.append(backslashes, L'\\');
        out.push_back(arg[i]);
    }
    out.push_back(L'"');
    return out;
}

inline std::wstring CommandLineOf(const std::vector<std::wstring>& argv) {
    std::wstring line;
    for (const std::wstring& a : argv) {
        if (!line.empty()) line.push_back(L' ');
        line += QuoteArgument(a);
    }
    return line;
}

// Reads the string of one OUTPUT_DEBUG_STRING_EVENT from the debuggee.
inline std::string ReadDebugString(HANDLE process, const OUTPUT_DEBUG_STRING_INFO& info) {
    const size_t chars = info.nDebugStringLength;
    std::wstring text;
    if (info.fUnicode) {
        std::wstring buf(chars, L'\0');
        SIZE_T got = 0;
        ReadProcessMemory(process, info.lpDebugStringData, buf.data(), chars * sizeof(wchar_t), &got);
        buf.resize(got / sizeof(wchar_t));
        text = buf;
    } else {
        std::string buf(chars, '\0');
        SIZE_T got = 0;
        ReadProcessMemory(process, info.lpDebugStringData, buf.data(), chars, &got);
        buf.resize(got);
        if (!buf.empty()) {
            int n = MultiByteToWideChar(CP_ACP, 0, buf.data(), int(buf.size()), nullptr, 0);
            text.assign(size_t(n), L'\0');
            MultiByteToWideChar(CP_ACP, 0, buf.data(), int(buf.size()), text.data(), n);
        }
    }
    while (!text.empty() && text.back() == L'\0') text.pop_back();
    return WideToUtf8Text(text);
}

// Starts `argv` (program first) under the debugger and waits for it to end.
inline DebugRun RunUnderDebugger(const std::vector<std::wstring>& argv) {
    DebugRun run;
    std::wstring line = CommandLineOf(argv);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(argv[0].c_str(), line.data(), nullptr, nullptr, FALSE,
                        DEBUG_ONLY_THIS_PROCESS, nullptr, nullptr, &si, &pi))
        return run;
    run.started = true;
    for (bool running = true; running;) {
        DEBUG_EVENT ev{};
        if (!WaitForDebugEvent(&ev, INFINITE)) break;
        DWORD status = DBG_CONTINUE;
        switch (ev.dwDebugEventCode) {
        case OUTPUT_DEBUG_STRING_EVENT:
            run.lines.push_back(ReadDebugString(pi.hProcess, ev.u.DebugString));
            break;
        case CREATE_PROCESS_DEBUG_EVENT:
            if (ev.u.CreateProcessInfo.hFile) CloseHandle(ev.u.CreateProcessInfo.hFile);
            break;
        case LOAD_DLL_DEBUG_EVENT:
            if (ev.u.LoadDll.hFile) CloseHandle(ev.u.LoadDll.hFile);
            break;
        case EXCEPTION_DEBUG_EVENT:
            // The loader's first breakpoint is ours to pass; any other
            // exception goes back to the program's own handlers.
            if (ev.u.Exception.ExceptionRecord.ExceptionCode != EXCEPTION_BREAKPOINT)
                status = DBG_EXCEPTION_NOT_HANDLED;
            break;
        case EXIT_PROCESS_DEBUG_EVENT:
            run.exitCode = ev.u.ExitProcess.dwExitCode;
            running = false;
            break;
        default: break;
        }
        ContinueDebugEvent(ev.dwProcessId, ev.dwThreadId, status);
    }
    WaitForSingleObject(pi.hProcess, INFINITE);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return run;
}

}  // namespace qwz::test

#endif  // _WIN32
