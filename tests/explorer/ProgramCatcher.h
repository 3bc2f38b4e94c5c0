// Test-only (Windows): runs a program as its debugger and records what it
// says without letting it reach a screen: every debug string, and every
// MessageBoxW call (text, caption, style, owner), which is answered with OK
// at once instead of being shown. A breakpoint on MessageBoxW's entry gives
// its four arguments; the call then returns to its caller with IDOK.
#pragma once

#ifdef _WIN32

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace qwz::test {

struct CaughtBox {
    std::wstring text;
    std::wstring caption;
    UINT style = 0;
    bool owned = false;  // an owner window was given
    size_t debugLinesBefore = 0;  // debug strings sent before the box
};

struct CaughtRun {
    bool started = false;
    DWORD exitCode = 0;
    std::vector<std::wstring> debugLines;
    std::vector<CaughtBox> boxes;
};

class ProgramCatcher {
public:
    // Starts `commandLine`, runs it to its end and returns what it said.
    // `whileRunning`, when given, runs on a thread of its own once the
    // program has started (to press its buttons, for example).
    static CaughtRun Run(std::wstring commandLine,
                         std::function<void(DWORD processId)> whileRunning = {}) {
        CaughtRun run;
        LoadLibraryW(L"user32.dll");
        void* entry = reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleW(L"user32.dll"), "MessageBoxW"));
        STARTUPINFOW si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        if (!entry || !CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE,
                                      DEBUG_ONLY_THIS_PROCESS, nullptr, nullptr, &si, &pi))
            return run;
        run.started = true;
        HANDLE helper = nullptr;
        struct HelperArgs {
            std::function<void(DWORD)> fn;
            DWORD pid;
        } helperArgs{whileRunning, pi.dwProcessId};
        bool loaderSeen = false;
        for (bool running = true; running;) {
            DEBUG_EVENT ev{};
            if (!WaitForDebugEvent(&ev, 120000)) {
                TerminateProcess(pi.hProcess, 1);
                break;
            }
            DWORD status = DBG_CONTINUE;
            switch (ev.dwDebugEventCode) {
            case OUTPUT_DEBUG_STRING_EVENT:
                run.debugLines.push_back(ReadDebugString(pi.hProcess, ev.u.DebugString));
                break;
            case CREATE_PROCESS_DEBUG_EVENT:
                if (ev.u.CreateProcessInfo.hFile) CloseHandle(ev.u.CreateProcessInfo.hFile);
                break;
            case LOAD_DLL_DEBUG_EVENT:
                if (ev.u.LoadDll.hFile) CloseHandle(ev.u.LoadDll.hFile);
                break;
            case EXCEPTION_DEBUG_EVENT: {
                const EXCEPTION_RECORD& rec = ev.u.Exception.ExceptionRecord;
                if (rec.ExceptionCode == EXCEPTION_BREAKPOINT && !loaderSeen) {
                    // Every static import is mapped now; system libraries
                    // sit at the same address in every process.
                    loaderSeen = true;
                    const unsigned char int3 = 0xCC;
                    WriteProcessMemory(pi.hProcess, entry, &int3, 1, nullptr);
                    FlushInstructionCache(pi.hProcess, entry, 1);
                    if (whileRunning) {
                        helper = CreateThread(
                            nullptr, 0,
                            [](void* p) -> DWORD {
                                auto* a = static_cast<HelperArgs*>(p);
                                a->fn(a->pid);
                                return 0;
                            },
                            &helperArgs, 0, nullptr);
                    }
                } else if (rec.ExceptionCode == EXCEPTION_BREAKPOINT &&
                           rec.ExceptionAddress == entry) {
                    AnswerMessageBox(pi.hProcess, ev.dwThreadId, run);
                } else {
                    status = DBG_EXCEPTION_NOT_HANDLED;
                }
                break;
            }
            case EXIT_PROCESS_DEBUG_EVENT:
                run.exitCode = ev.u.ExitProcess.dwExitCode;
                running = false;
                break;
            default: break;
            }
            ContinueDebugEvent(ev.dwProcessId, ev.dwThreadId, status);
        }
        WaitForSingleObject(pi.hProcess, INFINITE);
        if (helper) {
            WaitForSingleObject(helper, 60000);
            CloseHandle(helper);
        }
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
        return run;
    }

private:
    static std::wstring ReadWide(HANDLE process, DWORD64 at) {
        std::wstring out;
        for (size_t i = 0; at && i < 4096; ++i) {
            wchar_t c = 0;
            SIZE_T n = 0;
            if (!ReadProcessMemory(process, reinterpret_cast<const void*>(at + i * 2), &c, 2, &n) ||
                n != 2 || c == 0)
                break;
            out.push_back(c);
        }
        return out;
    }

    static std::wstring ReadDebugString(HANDLE process, const OUTPUT_DEBUG_STRING_INFO& info) {
        if (info.fUnicode)
            return ReadWide(process, reinterpret_cast<DWORD64>(info.lpDebugStringData));
        std::string buf(info.nDebugStringLength, '\0');
        SIZE_T got = 0;
        ReadProcessMemory(process, info.lpDebugStringData, buf.data(), buf.size(), &got);
        buf.resize(got);
        while (!buf.empty() && buf.back() == '\0') buf.pop_back();
        std::wstring out(buf.size(), L'\0');
        int n = MultiByteToWideChar(CP_ACP, 0, buf.data(), int(buf.size()), out.data(),
                                    int(out.size()));
        out.resize(size_t(n > 0 ? n : 0));
        return out;
    }

    // Records MessageBoxW(owner, text, caption, style) and returns IDOK to
    // its caller without running it (x64: arguments in rcx, rdx, r8, r9;
    // the return address on top of the stack).
    static void AnswerMessageBox(HANDLE process, DWORD threadId, CaughtRun& run) {
        HANDLE thread = OpenThread(THREAD_GET_CONTEXT | THREAD_SET_CONTEXT, FALSE, threadId);
        if (!thread) return;
        CONTEXT ctx{};
        ctx.ContextFlags = CONTEXT_CONTROL | CONTEXT_INTEGER;
        GetThreadContext(thread, &ctx);
        CaughtBox box;
        box.owned = ctx.Rcx != 0;
        box.text = ReadWide(process, ctx.Rdx);
        box.caption = ReadWide(process, ctx.R8);
        box.style = UINT(ctx.R9);
        box.debugLinesBefore = run.debugLines.size();
        run.boxes.push_back(box);
        DWORD64 returnAddress = 0;
        ReadProcessMemory(process, reinterpret_cast<const void*>(ctx.Rsp), &returnAddress,
                          sizeof returnAddress, nullptr);
        ctx.Rip = returnAddress;
        ctx.Rsp += 8;
        ctx.Rax = IDOK;
        SetThreadContext(thread, &ctx);
        CloseHandle(thread);
    }
};

}  // namespace qwz::test

#endif  // _WIN32
