// The program's own "-r" and "-u" under Wine, and the command line that
// "-r" leaves in the registry run the way Explorer runs it: %1 replaced by
// a file's path.
#if defined(_WIN32) && defined(QWZ_PROGRAM_FILE)

#include "app/Functions.h"
#include "app/window/SelectionServer.h"
#include "app/window/SelectionSummary.h"
#include "explorer/ProgramCatcher.h"
#include "explorer/SampleFile.h"
#include "platform/ConversionSlot.h"
#include "platform/win32/WideText.h"
#include "support/TempDir.h"

#include <windows.h>
#include <ole2.h>
#include <shlobj.h>
#include <sddl.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

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

// Sets the DACL of an existing key: "D:P(A;;KR;;;WD)" lets everyone read
// it and nothing else, "D:P" lets nobody do anything, "D:(A;;KA;;;WD)"
// gives everything back. The owner may always change it again.
void SetKeyAccess(const wchar_t* key, const wchar_t* sddl) {
    HKEY h = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, key, 0, WRITE_DAC, &h), ERROR_SUCCESS);
    PSECURITY_DESCRIPTOR sd = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &sd,
                                                                     nullptr));
    EXPECT_EQ(RegSetKeySecurity(h, DACL_SECURITY_INFORMATION, sd), ERROR_SUCCESS);
    LocalFree(sd);
    RegCloseKey(h);
}

constexpr const wchar_t* kVerbKey = L".qwz\\shell\\downgrade";

// The verb key made unwritable for the length of one test, as it is for a
// user without the right to write the class registry.
class WithoutRegistryRights : public ::testing::Test {
protected:
    void SetUp() override {
        RegDeleteTreeW(HKEY_CLASSES_ROOT, L".qwz");
        HKEY h = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, kVerbKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &h, nullptr),
                  ERROR_SUCCESS);
        const wchar_t text[] = L"Dostosuj do starszych wersji programu";
        RegSetValueExW(h, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof text);
        RegCloseKey(h);
    }
    void TearDown() override {
        SetKeyAccess(kVerbKey, L"D:(A;;KA;;;WD)");
        RegDeleteTreeW(HKEY_CLASSES_ROOT, L".qwz");
    }
};

TEST_F(WithoutRegistryRights, RegisterShowsTheErrorBoxAndExitsWithZero) {
    SetKeyAccess(kVerbKey, L"D:P(A;;KR;;;WD)");
    test::CaughtRun run = test::ProgramCatcher::Run(L"\"" + ProgramFile() + L"\" -r");
    ASSERT_TRUE(run.started);
    EXPECT_EQ(run.exitCode, 0u);
    ASSERT_EQ(run.boxes.size(), 1u);
    EXPECT_EQ(run.boxes[0].text,
              L"Rejestracja nie powiod\u0142a si\u0119. Powt\u00f3rz instalacj\u0119 jako "
              L"administrator.");
    EXPECT_EQ(run.boxes[0].caption, L"QWZ Downgrader");
    EXPECT_EQ(run.boxes[0].style & MB_ICONMASK, UINT(MB_ICONERROR));
    EXPECT_EQ(run.boxes[0].style & MB_TYPEMASK, UINT(MB_OK));
    EXPECT_FALSE(run.boxes[0].owned);
    SetKeyAccess(kVerbKey, L"D:(A;;KA;;;WD)");
    EXPECT_EQ(CommandValue(), L"");  // nothing was written
}

TEST_F(WithoutRegistryRights, UnregisterSendsTheDebugLineOnlyAndExitsWithZero) {
    SetKeyAccess(kVerbKey, L"D:P");
    test::CaughtRun run = test::ProgramCatcher::Run(L"\"" + ProgramFile() + L"\" -u");
    ASSERT_TRUE(run.started);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_TRUE(run.boxes.empty());
    EXPECT_EQ(run.debugLines, std::vector<std::wstring>{L"downgrader unregister failed (no admin?)"});
    SetKeyAccess(kVerbKey, L"D:(A;;KA;;;WD)");
    HKEY h = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, kVerbKey, 0, KEY_READ, &h), ERROR_SUCCESS);
    if (h) RegCloseKey(h);
}

TEST_F(WithoutRegistryRights, WithTheRightsBackRegisterShowsNothing) {
    test::CaughtRun run = test::ProgramCatcher::Run(L"\"" + ProgramFile() + L"\" -r");
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_TRUE(run.boxes.empty());
    EXPECT_NE(CommandValue().find(L" -v 203 \"%1\""), std::wstring::npos);
}

// The main window, found among the program's top-level windows.
HWND WaitForMainWindow(DWORD processId) {
    for (int i = 0; i < 600; ++i) {
        HWND found = nullptr;
        struct Search {
            DWORD pid;
            HWND* out;
        } search{processId, &found};
        EnumWindows(
            [](HWND w, LPARAM p) -> BOOL {
                auto* s = reinterpret_cast<Search*>(p);
                DWORD pid = 0;
                GetWindowThreadProcessId(w, &pid);
                wchar_t title[64] = {};
                GetWindowTextW(w, title, 64);
                if (pid == s->pid && IsWindowVisible(w) &&
                    std::wstring(title) == L"Velmora QWZ Downgrader") {
                    *s->out = w;
                    return FALSE;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&search));
        if (found) return found;
        Sleep(100);
    }
    return nullptr;
}

// A control of the window (at any depth) by class and, when given, text.
HWND FindControl(HWND form, const wchar_t* className, const wchar_t* text) {
    struct Search {
        const wchar_t* cls;
        const wchar_t* text;
        HWND out;
    } search{className, text, nullptr};
    EnumChildWindows(
        form,
        [](HWND w, LPARAM p) -> BOOL {
            auto* s = reinterpret_cast<Search*>(p);
            wchar_t cls[64] = {}, text[128] = {};
            GetClassNameW(w, cls, 64);
            GetWindowTextW(w, text, 128);
            if (_wcsicmp(cls, s->cls) == 0 && (!s->text || std::wstring(text) == s->text)) {
                s->out = w;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.out;
}

// The window's "Ustaw menu kontekstowe" without the right to write the
// class registry. Needs a display: run by its own test entry under Xvfb.
TEST_F(WithoutRegistryRights, WindowButtonShowsTheWarningBoxThenTheDebugLine) {
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) {
        if (std::getenv("QWZ_REQUIRE_DISPLAY")) FAIL() << "no display";
        GTEST_SKIP() << "no display for the window";
    }
    SetKeyAccess(kVerbKey, L"D:P(A;;KR;;;WD)");
    bool driven = false;
    test::CaughtRun run = test::ProgramCatcher::Run(
        L"\"" + ProgramFile() + L"\"", [&](DWORD pid) {
            HWND form = WaitForMainWindow(pid);
            if (!form) return;
            HWND combo = FindControl(form, L"ComboBox", nullptr);
            HWND button = FindControl(form, L"Button", L"Ustaw menu kontekstowe");
            if (combo && button) {
                // The user picks "204": the list tells its parent.
                SendMessageW(combo, CB_SETCURSEL, 2, 0);
                SendMessageW(GetParent(combo), WM_COMMAND,
                             MAKEWPARAM(GetDlgCtrlID(combo), CBN_SELCHANGE),
                             reinterpret_cast<LPARAM>(combo));
                for (int i = 0; i < 100 && !IsWindowEnabled(button); ++i) Sleep(50);
                driven = IsWindowEnabled(button);
                SendMessageW(button, BM_CLICK, 0, 0);
            }
            PostMessageW(form, WM_CLOSE, 0, 0);
        });
    ASSERT_TRUE(run.started);
    ASSERT_TRUE(driven) << "window or its controls not found";
    EXPECT_EQ(run.exitCode, 0u);
    ASSERT_EQ(run.boxes.size(), 1u);
    const test::CaughtBox& box = run.boxes[0];
    EXPECT_EQ(box.text,
              L"Ustawienia nie zosta\u0142y zapisane. Uruchom program jako administrator.");
    EXPECT_EQ(box.caption, L"QWZ Downgrader");
    EXPECT_EQ(box.style & MB_ICONMASK, UINT(MB_ICONWARNING));
    EXPECT_EQ(box.style & MB_TYPEMASK, UINT(MB_OK));
    EXPECT_TRUE(box.owned);
    // The debug line follows the box.
    std::vector<std::wstring> after(run.debugLines.begin() + long(box.debugLinesBefore),
                                    run.debugLines.end());
    EXPECT_NE(std::find(after.begin(), after.end(), L"downgrader registration failed"), after.end());
    std::vector<std::wstring> before(run.debugLines.begin(),
                                     run.debugLines.begin() + long(box.debugLinesBefore));
    EXPECT_EQ(std::find(before.begin(), before.end(), L"downgrader registration failed"),
              before.end());
    SetKeyAccess(kVerbKey, L"D:(A;;KA;;;WD)");
    EXPECT_EQ(CommandValue(), L"");
}

// What Explorer hands a drop target: a data object whose CF_HDROP medium
// lists the selected files (DROPFILES, wide names, an empty one at the end).
class FileListData final : public IDataObject {
public:
    explicit FileListData(const std::vector<std::filesystem::path>& files) {
        for (const auto& f : files) names_ += f.wstring() + L'\0';
        names_ += L'\0';
    }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        *out = nullptr;
        if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IDataObject)) return E_NOINTERFACE;
        *out = static_cast<IDataObject*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs_; }  // on the test's stack
    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override {
        if (QueryGetData(format) != S_OK) return DV_E_FORMATETC;
        const size_t bytes = sizeof(DROPFILES) + names_.size() * sizeof(wchar_t);
        HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
        if (!h) return E_OUTOFMEMORY;
        auto* drop = static_cast<DROPFILES*>(GlobalLock(h));
        drop->pFiles = sizeof(DROPFILES);
        drop->fWide = TRUE;
        std::memcpy(reinterpret_cast<char*>(drop) + sizeof(DROPFILES), names_.data(), names_.size() * sizeof(wchar_t));
        GlobalUnlock(h);
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = h;
        medium->pUnkForRelease = nullptr;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* f) override {
        return f && f->cfFormat == CF_HDROP && (f->tymed & TYMED_HGLOBAL) ? S_OK : DV_E_FORMATETC;
    }
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override {
        out->ptd = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
        return OLE_E_ADVISENOTSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

private:
    std::wstring names_;
    ULONG refs_ = 1;
};

// Drops `files` on the registered command's drop target as Explorer does
// (the object created by COM, DragEnter, then Drop), in a COM apartment of
// the calling thread; returns Drop's result and how long it took.
struct DropResult {
    HRESULT created = E_FAIL, entered = E_FAIL, dropped = E_FAIL;
    DWORD enterEffect = 0;
    std::chrono::milliseconds took{};
};
DropResult DropOnVerb(const std::vector<std::filesystem::path>& files) {
    DropResult r;
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    {
        IDropTarget* target = nullptr;
        r.created = CoCreateInstance(kSelectionServerClass, nullptr, CLSCTX_LOCAL_SERVER, IID_IDropTarget,
                                     reinterpret_cast<void**>(&target));
        if (SUCCEEDED(r.created)) {
            FileListData data(files);
            DWORD effect = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;
            r.entered = target->DragEnter(&data, MK_LBUTTON, POINTL{0, 0}, &effect);
            r.enterEffect = effect;
            const auto start = std::chrono::steady_clock::now();
            effect = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;
            r.dropped = target->Drop(&data, MK_LBUTTON, POINTL{0, 0}, &effect);
            r.took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
            target->Release();
        }
    }
    CoUninitialize();
    return r;
}

// The command registered by "-r", with its class where Wine's COM looks
// (Wine reads classes from HKLM only; the all-users installer writes them
// there on Windows too).
void RegisterSelectionServer() {
    RegDeleteTreeW(HKEY_CLASSES_ROOT, L".qwz");
    ASSERT_EQ(RunCommand(L"\"" + ProgramFile() + L"\" -r"), 0);
    wchar_t command[4096];
    DWORD size = sizeof command;
    const std::wstring key = L"Software\\Classes\\CLSID\\" + platform::Utf8ToWide(kSelectionServerClsid);
    ASSERT_EQ(RegGetValueW(HKEY_CURRENT_USER, (key + L"\\LocalServer32").c_str(), nullptr, RRF_RT_REG_SZ, nullptr,
                           command, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(std::wstring(command), L"\"" + ProgramFile() + L"\" -v 203");
    HKEY h = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, (key + L"\\LocalServer32").c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &h, nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(h, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(command), size);
    RegCloseKey(h);
}

uint64_t LastWrite(const std::filesystem::path& file) {
    WIN32_FILE_ATTRIBUTE_DATA a{};
    if (!GetFileAttributesExW(file.c_str(), GetFileExInfoStandard, &a)) return 0;
    return (uint64_t(a.ftLastWriteTime.dwHighDateTime) << 32) | a.ftLastWriteTime.dwLowDateTime;
}

// Processes of the program under test now running.
size_t ProgramsRunning() {
    const std::wstring name = std::filesystem::path(ProgramFile()).filename().wstring();
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return 0;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    size_t count = 0;
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
        count += _wcsicmp(entry.szExeFile, name.c_str()) == 0;
    CloseHandle(snapshot);
    return count;
}

bool IsConverted(const std::filesystem::path& file) {
    const std::vector<uint8_t> bytes = TempDir::read(file);
    return bytes.size() >= 4 && bytes[3] == 203;
}

// The text of a selection's summary on the screen, if there is one.
std::string SummaryShown() {
    HWND summary = FindWindowW(nullptr, kSelectionSummaryCaption);
    HWND edit = summary ? FindWindowExW(summary, nullptr, L"Edit", nullptr) : nullptr;
    wchar_t text[8192] = {};
    if (edit) SendMessageW(edit, WM_GETTEXT, 8192, reinterpret_cast<LPARAM>(text));
    return platform::WideToUtf8(text);
}

// Explorer's two ways in at once, as on a machine where a user chose 500
// files and a script started forty conversions: every file is converted, a
// started process ends only after its own file, the drop returns at once,
// and no conversion runs without one of the machine's slots (while the test
// holds them all, nothing is converted and no process ends).
TEST(WindowsProgram, SelectionOfFiveHundredAndFortyStartsShareTheCores) {
    RegisterSelectionServer();
    TempDir dir;
    std::vector<std::filesystem::path> selected, started;
    for (int i = 0; i < 500; ++i)
        selected.push_back(dir.write("zaznaczony " + std::to_string(i) + ".qwz", test::Version204File()));
    for (int i = 0; i < 40; ++i)
        started.push_back(dir.write("osobny " + std::to_string(i) + ".qwz", test::Version204File()));

    // As many slots as the machine has processors, counted here apart from
    // the program: a program that took more would convert meanwhile.
    SYSTEM_INFO system{};
    GetSystemInfo(&system);
    std::vector<HANDLE> slots;
    for (size_t i = 0; i < system.dwNumberOfProcessors; ++i) {
        HANDLE m = CreateMutexW(nullptr, FALSE, platform::Utf8ToWide(platform::ConversionSlotName(i)).c_str());
        ASSERT_NE(m, nullptr);
        ASSERT_EQ(WaitForSingleObject(m, 0), WAIT_OBJECT_0);
        slots.push_back(m);
    }
    std::vector<HANDLE> processes;
    for (const auto& file : started) {
        std::wstring line = L"\"" + ProgramFile() + L"\" -v 203 \"" + file.wstring() + L"\"";
        STARTUPINFOW si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        ASSERT_TRUE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
        CloseHandle(pi.hThread);
        processes.push_back(pi.hProcess);
    }
    const DropResult drop = DropOnVerb(selected);
    ASSERT_EQ(drop.created, S_OK);
    EXPECT_EQ(drop.entered, S_OK);
    EXPECT_EQ(drop.enterEffect, DWORD(DROPEFFECT_COPY));
    EXPECT_EQ(drop.dropped, S_OK);
    EXPECT_LT(drop.took.count(), 5000) << "the drop waited for the conversions";

    Sleep(2000);
    size_t early = 0, ended = 0;
    for (const auto& f : selected) early += IsConverted(f);
    for (const auto& f : started) early += IsConverted(f);
    for (HANDLE p : processes) ended += WaitForSingleObject(p, 0) == WAIT_OBJECT_0;
    EXPECT_EQ(early, 0u) << "converted without a slot";
    EXPECT_EQ(ended, 0u) << "ended before its file was converted";
    for (HANDLE m : slots) {
        ReleaseMutex(m);
        CloseHandle(m);
    }

    for (size_t i = 0; i < processes.size(); ++i) {
        ASSERT_EQ(WaitForSingleObject(processes[i], 300000), WAIT_OBJECT_0);
        FILETIME created, exited, kernel, user;
        GetProcessTimes(processes[i], &created, &exited, &kernel, &user);
        const uint64_t exit = (uint64_t(exited.dwHighDateTime) << 32) | exited.dwLowDateTime;
        EXPECT_TRUE(IsConverted(started[i])) << i;
        EXPECT_GE(exit, LastWrite(started[i])) << "process " << i << " ended before its file was written";
        CloseHandle(processes[i]);
    }
    // The files are read only once the server has ended: a file opened by
    // another program while it is converted is not replaced.
    size_t running = 0;
    for (int wait = 0; wait < 1000; ++wait) {
        running = ProgramsRunning();
        if (running == 0) break;
        Sleep(300);
    }
    EXPECT_EQ(running, 0u) << "the server stayed after its selection: " << SummaryShown();
    std::string left;
    for (const auto& f : selected)
        if (!IsConverted(f)) left += " \"" + f.filename().string() + "\"";
    EXPECT_EQ(left, "") << "not converted; " << SummaryShown();
    EXPECT_EQ(TempDir::read(dir.path() / "zaznaczony 499_org.qwz"), test::Version204File());
}

// Writes the screen's pixels under `rect` as a 24-bit BMP, for people to
// look at.
void SaveScreenshot(const RECT& rect, const std::filesystem::path& file) {
    const int w = rect.right - rect.left, h = rect.bottom - rect.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, w, h);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, w, h, screen, rect.left, rect.top, SRCCOPY);
    SelectObject(memory, old);
    BITMAPINFOHEADER info{sizeof info, w, h, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    const DWORD stride = DWORD((w * 3 + 3) & ~3);
    std::vector<uint8_t> pixels(size_t(stride) * size_t(h));
    GetDIBits(memory, bitmap, 0, UINT(h), pixels.data(), reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    BITMAPFILEHEADER head{0x4D42, DWORD(sizeof(BITMAPFILEHEADER) + sizeof info + pixels.size()), 0, 0,
                          DWORD(sizeof(BITMAPFILEHEADER) + sizeof info)};
    std::vector<uint8_t> out(reinterpret_cast<uint8_t*>(&head), reinterpret_cast<uint8_t*>(&head) + sizeof head);
    out.insert(out.end(), reinterpret_cast<uint8_t*>(&info), reinterpret_cast<uint8_t*>(&info) + sizeof info);
    out.insert(out.end(), pixels.begin(), pixels.end());
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(out.data()), std::streamsize(out.size()));
}

// A selection with two failures: the summary window comes up by itself,
// stays above the others, names every failure with its reason, and its
// closing ends the server. Needs a display: run by the window test entry
// under Xvfb, which leaves the screenshot beside the test program.
TEST(WindowsProgram, SelectionSummaryWindowNamesEveryFailure) {
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) {
        if (std::getenv("QWZ_REQUIRE_DISPLAY")) FAIL() << "no display";
        GTEST_SKIP() << "no display for the window";
    }
    RegisterSelectionServer();
    TempDir dir;
    std::vector<uint8_t> cut = test::Version204File();
    cut.resize(30);
    const std::vector<std::filesystem::path> files{dir.write("hala.qwz", test::Version204File()),
                                                   dir.write("rysunek.qwz", {'P', 'K', 3, 4, 0, 0, 0, 0}),
                                                   dir.write("uszkodzony.qwz", cut)};
    const DropResult drop = DropOnVerb(files);
    ASSERT_EQ(drop.created, S_OK);
    ASSERT_EQ(drop.dropped, S_OK);

    HWND summary = nullptr;
    for (int i = 0; i < 600 && !summary; ++i) {
        summary = FindWindowW(nullptr, kSelectionSummaryCaption);
        if (!summary || !IsWindowVisible(summary)) summary = nullptr, Sleep(100);
    }
    ASSERT_NE(summary, nullptr) << "no summary shown";
    EXPECT_TRUE(GetWindowLongW(summary, GWL_EXSTYLE) & WS_EX_TOPMOST);
    HWND edit = FindControl(summary, L"Edit", nullptr);
    ASSERT_NE(edit, nullptr);
    wchar_t text[4096] = {};
    SendMessageW(edit, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(text));
    const std::wstring shown = text;
    EXPECT_EQ(shown.substr(0, shown.find(L"\r\n\r\n")),
              L"Przekonwertowano plik\u00f3w 1 / 3\r\npomini\u0119te: 0\r\nb\u0142\u0119dy: 2")
        << platform::WideToUtf8(shown);
    for (const wchar_t* failed : {L"\r\nrysunek.qwz: ", L"\r\nuszkodzony.qwz: "})
        EXPECT_NE(shown.find(failed), std::wstring::npos) << platform::WideToUtf8(shown);
    EXPECT_TRUE(IsConverted(files[0]));

    Sleep(1000);  // painted
    RECT rect{};
    GetWindowRect(summary, &rect);
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    SaveScreenshot(rect, std::filesystem::path(self).parent_path() / "selection-summary.bmp");

    DWORD pid = 0;
    GetWindowThreadProcessId(summary, &pid);
    HANDLE server = OpenProcess(SYNCHRONIZE, FALSE, pid);
    ASSERT_NE(server, nullptr);
    PostMessageW(summary, WM_CLOSE, 0, 0);
    EXPECT_EQ(WaitForSingleObject(server, 30000), WAIT_OBJECT_0) << "the server outlived its summary";
    CloseHandle(server);
}

}  // namespace
}  // namespace qwz

#endif
