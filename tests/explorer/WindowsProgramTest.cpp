// The program's own "-r" and "-u" under Wine, and the command line that
// "-r" leaves in the registry run the way Explorer runs it: %1 replaced by
// a file's path.
#if defined(_WIN32) && defined(QWZ_PROGRAM_FILE)

#include "app/window/SelectionServer.h"
#include "app/window/SelectionSummary.h"
#include "explorer/ProgramCatcher.h"
#include "explorer/SampleFile.h"
#include "platform/ConversionSlot.h"
#include "platform/win32/WideText.h"
#include "support/TempDir.h"

#include <windows.h>
#include <shlobj.h>
#include <sddl.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
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

std::wstring Value(HKEY root, const std::wstring& key, const wchar_t* name = nullptr) {
    wchar_t buffer[4096];
    DWORD size = sizeof buffer;
    if (RegGetValueW(root, key.c_str(), name, RRF_RT_REG_SZ, nullptr, buffer, &size) != ERROR_SUCCESS)
        return {};
    return buffer;
}

std::wstring CommandValue() { return Value(HKEY_CLASSES_ROOT, L".qwz\\shell\\downgrade\\command"); }

// The verb for any owner of .qwz and any selection, and its class, for the user.
const std::wstring kSelectionAssoc = L"Software\\Classes\\SystemFileAssociations\\.qwz";
const std::wstring kSelectionVerb = kSelectionAssoc + L"\\shell\\downgrade";
const std::wstring kClsid = L"{42F136F0-9B26-4AEC-8DA2-6D7635E01D65}", kSelectionClass = L"Software\\Classes\\CLSID\\" + kClsid;

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
    EXPECT_EQ(Value(HKEY_CURRENT_USER, kSelectionVerb), L"Dostosuj do starszych wersji programu");
    EXPECT_EQ(Value(HKEY_CURRENT_USER, kSelectionVerb, L"MultiSelectModel"), L"Player");
    EXPECT_EQ(Value(HKEY_CURRENT_USER, kSelectionVerb + L"\\DropTarget", L"CLSID"), kClsid);
    EXPECT_EQ(Value(HKEY_CURRENT_USER, kSelectionClass + L"\\LocalServer32"), L"\"" + registered + L"\" -v 203");

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
    for (const std::wstring& gone : {kSelectionAssoc, kSelectionClass})
        EXPECT_NE(RegOpenKeyExW(HKEY_CURRENT_USER, gone.c_str(), 0, KEY_READ, &h), ERROR_SUCCESS);
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

// Drops `files` (of one folder) on the verb's drop target as Explorer does
// (the shell's data object, DragEnter, Drop, which would never return if it
// waited for conversions); returns Drop's result and DragEnter's effect.
std::pair<HRESULT, DWORD> DropOnVerb(const std::vector<std::filesystem::path>& files) {
    std::pair<HRESULT, DWORD> d{E_FAIL, 0};
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    IShellFolder* folder = nullptr;
    std::vector<PIDLIST_ABSOLUTE> items(files.size());
    std::vector<PCUITEMID_CHILD> children(files.size());
    for (size_t i = 0; i < files.size(); ++i) {
        SHParseDisplayName(files[i].c_str(), nullptr, &items[i], 0, nullptr);
        children[i] = ILFindLastID(items[i]);
    }
    if (items[0]) SHBindToParent(items[0], IID_IShellFolder, reinterpret_cast<void**>(&folder), nullptr);
    IDataObject* data = nullptr;
    IDropTarget* target = nullptr;
    if (folder && SUCCEEDED(d.first = folder->GetUIObjectOf(nullptr, UINT(files.size()), children.data(),
                                                              IID_IDataObject, nullptr, reinterpret_cast<void**>(&data))) &&
        SUCCEEDED(d.first = CoCreateInstance(kSelectionServerClass, nullptr, CLSCTX_LOCAL_SERVER, IID_IDropTarget,
                                              reinterpret_cast<void**>(&target)))) {
        d.second = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;
        target->DragEnter(data, MK_LBUTTON, POINTL{0, 0}, &d.second);
        DWORD effect = d.second;
        d.first = target->Drop(data, MK_LBUTTON, POINTL{0, 0}, &effect);
    }
    for (IUnknown* u : std::initializer_list<IUnknown*>{target, data, folder}) if (u) u->Release();
    for (PIDLIST_ABSOLUTE item : items) CoTaskMemFree(item);
    CoUninitialize();
    return d;
}

// "-r", and its class where Wine's COM looks (HKLM, as for all users).
void RegisterSelectionServer() {
    ASSERT_EQ(RunCommand(L"\"" + ProgramFile() + L"\" -r"), 0);
    const std::wstring command = L"\"" + ProgramFile() + L"\" -v 203";
    ASSERT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, (kSelectionClass + L"\\LocalServer32").c_str(), nullptr, REG_SZ,
                              command.c_str(), DWORD((command.size() + 1) * 2)), ERROR_SUCCESS);
}

bool IsConverted(const std::filesystem::path& file) {
    const std::vector<uint8_t> bytes = TempDir::read(file);
    return bytes.size() >= 4 && bytes[3] == 203;
}

// Whether every process of the program ends within five minutes.
bool ProgramsEnded() {
    const std::wstring name = std::filesystem::path(ProgramFile()).filename().wstring();
    for (int wait = 0; wait < 1000; ++wait, Sleep(300)) {
        HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
        PROCESSENTRY32W entry{};
        entry.dwSize = sizeof entry;
        bool found = false;
        for (BOOL more = Process32FirstW(snapshot, &entry); more && !found; more = Process32NextW(snapshot, &entry))
            found = _wcsicmp(entry.szExeFile, name.c_str()) == 0;
        CloseHandle(snapshot);
        if (!found) return true;
    }
    return false;
}

// 500 files chosen in Explorer as a script starts forty: while the test holds
// a slot per processor, nothing converts and nothing ends; then every file
// converts, each process ends after its own, and the server ends silently.
TEST(WindowsProgram, SelectionOfFiveHundredAndFortyStartsShareTheCores) {
    RegisterSelectionServer();
    TempDir dir;
    std::vector<std::filesystem::path> selected, started;
    for (int i = 0; i < 540; ++i)
        (i < 500 ? selected : started).push_back(dir.write(std::to_string(i) + ".qwz", test::Version204File()));
    SYSTEM_INFO system{};
    GetSystemInfo(&system);
    std::vector<HANDLE> slots;
    for (size_t i = 0; i < system.dwNumberOfProcessors; ++i) {
        slots.push_back(CreateMutexW(nullptr, FALSE, platform::Utf8ToWide(platform::ConversionSlotName(i)).c_str()));
        ASSERT_EQ(WaitForSingleObject(slots.back(), 0), WAIT_OBJECT_0);
    }
    std::vector<PROCESS_INFORMATION> processes(started.size());
    for (size_t i = 0; i < started.size(); ++i) {
        std::wstring line = L"\"" + ProgramFile() + L"\" -v 203 \"" + started[i].wstring() + L"\"";
        STARTUPINFOW si{};
        si.cb = sizeof si;
        ASSERT_TRUE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                                   &processes[i]));
    }
    EXPECT_EQ(DropOnVerb(selected), std::make_pair(S_OK, DWORD(DROPEFFECT_COPY)));
    Sleep(2000);
    for (size_t i = 0; i < 540; ++i) EXPECT_FALSE(IsConverted(dir.path() / (std::to_string(i) + ".qwz"))) << i;
    for (const auto& p : processes) EXPECT_EQ(WaitForSingleObject(p.hProcess, 0), DWORD(WAIT_TIMEOUT));
    for (HANDLE m : slots) ReleaseMutex(m), CloseHandle(m);

    for (size_t i = 0; i < processes.size(); ++i) {  // a process that has ended converts nothing more
        ASSERT_EQ(WaitForSingleObject(processes[i].hProcess, 300000), WAIT_OBJECT_0);
        EXPECT_TRUE(IsConverted(started[i])) << "ended before its file was converted: " << i;
        CloseHandle(processes[i].hProcess), CloseHandle(processes[i].hThread);
    }
    // Read once the server has ended: a file held open is not replaced.
    EXPECT_TRUE(ProgramsEnded()) << "the server stayed after its selection";
    EXPECT_EQ(std::count_if(selected.begin(), selected.end(), IsConverted), 500);
    EXPECT_EQ(TempDir::read(dir.path() / "499_org.qwz"), test::Version204File());
}

// Two failures: the summary shows above the other windows, names each with
// its reason, and closing it ends the server (run under Xvfb).
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
    ASSERT_EQ(DropOnVerb(files).first, S_OK);
    HWND summary = nullptr;
    for (int i = 0; i < 600 && !(summary = FindWindowW(nullptr, kSelectionSummaryCaption)); ++i) Sleep(100);
    ASSERT_NE(summary, nullptr) << "no summary shown";
    // Found by its caption as soon as it is made: its text and its showing
    // follow.
    wchar_t text[4096] = {};
    for (int i = 0; i < 600 && !(IsWindowVisible(summary) && text[0]); ++i) {
        SendMessageW(FindWindowExW(summary, nullptr, L"Edit", nullptr), WM_GETTEXT, 4096, LPARAM(text));
        if (!text[0] || !IsWindowVisible(summary)) Sleep(100);
    }
    EXPECT_TRUE(IsWindowVisible(summary) && (GetWindowLongW(summary, GWL_EXSTYLE) & WS_EX_TOPMOST));
    const std::wstring shown = text;
    EXPECT_EQ(shown.substr(0, shown.find(L"\r\n\r\n")),
              L"Przekonwertowano plik\u00f3w 1 / 3\r\npomini\u0119te: 0\r\nb\u0142\u0119dy: 2");
    for (const wchar_t* failed : {L"\r\nrysunek.qwz: to nie jest plik QWZ", L"\r\nuszkodzony.qwz: "})
        EXPECT_NE(shown.find(failed), std::wstring::npos) << platform::WideToUtf8(shown);
    PostMessageW(summary, WM_CLOSE, 0, 0);
    EXPECT_TRUE(ProgramsEnded()) << "the server outlived its summary";
}

}  // namespace
}  // namespace qwz

#endif
