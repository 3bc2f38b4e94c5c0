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

// Catches the program's calls of OutputDebugStringW to read their wide text.
// Some systems (Wine 8) hand a debugger only the string narrowed to the ANSI
// code page, which loses every letter outside it; the text itself is still
// in the program's memory when the function is entered. A one-byte
// breakpoint on the function's entry gives its first argument.
class WideStringCatcher {
public:
    explicit WideStringCatcher(HANDLE process) : process_(process) {
        entry_ = reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "OutputDebugStringW"));
    }

    // At the loader's breakpoint every static import is mapped; system
    // libraries sit at the same address in every process.
    void Arm() {
        if (!entry_ || armed_) return;
        SIZE_T n = 0;
        if (!ReadProcessMemory(process_, entry_, &original_, 1, &n) || n != 1) return;
        armed_ = Insert();
    }

    // Handles a breakpoint or single step of ours; false when it is not ours.
    bool OnException(const DEBUG_EVENT& ev) {
        const EXCEPTION_RECORD& rec = ev.u.Exception.ExceptionRecord;
        if (armed_ && rec.ExceptionCode == EXCEPTION_BREAKPOINT && rec.ExceptionAddress == entry_) {
            HANDLE thread = OpenThread(THREAD_GET_CONTEXT | THREAD_SET_CONTEXT, FALSE, ev.dwThreadId);
            if (!thread) return false;
            CONTEXT ctx{};
            ctx.ContextFlags = CONTEXT_CONTROL | CONTEXT_INTEGER;
            GetThreadContext(thread, &ctx);
            pending_ = ReadWide(reinterpret_cast<const void*>(ctx.Rcx));
            hasPending_ = true;
            // Run the real first instruction once, then put the breakpoint back.
            WriteProcessMemory(process_, entry_, &original_, 1, nullptr);
            FlushInstructionCache(process_, entry_, 1);
            ctx.Rip = reinterpret_cast<DWORD64>(entry_);
            ctx.EFlags |= 0x100;  // trap after one instruction
            SetThreadContext(thread, &ctx);
            CloseHandle(thread);
            stepping_ = true;
            return true;
        }
        if (stepping_ && rec.ExceptionCode == EXCEPTION_SINGLE_STEP) {
            stepping_ = false;
            Insert();
            return true;
        }
        return false;
    }

    // The text of a debug string event: the wide text caught on the way in
    // when the event carries it narrowed.
    std::string Text(const OUTPUT_DEBUG_STRING_INFO& info) {
        std::string fromEvent = ReadDebugString(process_, info);
        if (!hasPending_) return fromEvent;
        hasPending_ = false;
        return info.fUnicode ? fromEvent : WideToUtf8Text(pending_);
    }

private:
    bool Insert() {
        const unsigned char int3 = 0xCC;
        SIZE_T n = 0;
        bool ok = WriteProcessMemory(process_, entry_, &int3, 1, &n) && n == 1;
        FlushInstructionCache(process_, entry_, 1);
        return ok;
    }

    std::wstring ReadWide(const void* p) {
        std::wstring out;
        const auto* at = static_cast<const wchar_t*>(p);
        for (size_t i = 0; at && i < (1u << 16); ++i) {
            wchar_t c = 0;
            SIZE_T n = 0;
            if (!ReadProcessMemory(process_, at + i, &c, sizeof c, &n) || n != sizeof c || c == 0) break;
            out.push_back(c);
        }
        return out;
    }

    HANDLE process_;
    void* entry_ = nullptr;
    unsigned char original_ = 0;
    bool armed_ = false;
    bool stepping_ = false;
    bool hasPending_ = false;
    std::wstring pending_;
};

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
    WideStringCatcher catcher(pi.hProcess);
    bool loaderBreakpointSeen = false;
    for (bool running = true; running;) {
        DEBUG_EVENT ev{};
        if (!WaitForDebugEvent(&ev, INFINITE)) break;
        DWORD status = DBG_CONTINUE;
        switch (ev.dwDebugEventCode) {
        case OUTPUT_DEBUG_STRING_EVENT:
            run.lines.push_back(catcher.Text(ev.u.DebugString));
            break;
        case CREATE_PROCESS_DEBUG_EVENT:
            if (ev.u.CreateProcessInfo.hFile) CloseHandle(ev.u.CreateProcessInfo.hFile);
            break;
        case LOAD_DLL_DEBUG_EVENT:
            if (ev.u.LoadDll.hFile) CloseHandle(ev.u.LoadDll.hFile);
            break;
        case EXCEPTION_DEBUG_EVENT:
            if (catcher.OnException(ev)) break;
            if (!loaderBreakpointSeen &&
                ev.u.Exception.ExceptionRecord.ExceptionCode == EXCEPTION_BREAKPOINT) {
                loaderBreakpointSeen = true;
                catcher.Arm();
                break;
            }
            // Any other exception goes back to the program's own handlers.
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
