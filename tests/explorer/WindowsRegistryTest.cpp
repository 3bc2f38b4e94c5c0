// The Explorer command against the system's own registry (Wine's, in the
// test prefix of this suite). Keys are read back with the Win32 API, not
// through the code under test.
#ifdef _WIN32

#include "app/Functions.h"
#include "platform/Registry.h"

#include <windows.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace qwz {
namespace {

bool KeyExists(HKEY root, const wchar_t* key) {
    HKEY h = nullptr;
    if (RegOpenKeyExW(root, key, 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
    RegCloseKey(h);
    return true;
}

// The default value of a key, when it is a REG_SZ.
std::optional<std::wstring> DefaultValue(HKEY root, const wchar_t* key) {
    HKEY h = nullptr;
    if (RegOpenKeyExW(root, key, 0, KEY_READ, &h) != ERROR_SUCCESS) return std::nullopt;
    DWORD type = 0, size = 0;
    LONG rc = RegQueryValueExW(h, nullptr, nullptr, &type, nullptr, &size);
    std::optional<std::wstring> out;
    if (rc == ERROR_SUCCESS && type == REG_SZ) {
        std::wstring text(size / sizeof(wchar_t), L'\0');
        rc = RegQueryValueExW(h, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(text.data()),
                              &size);
        if (rc == ERROR_SUCCESS) {
            while (!text.empty() && text.back() == L'\0') text.pop_back();
            out = text;
        }
    }
    RegCloseKey(h);
    return out;
}

std::vector<std::wstring> Subkeys(HKEY root, const wchar_t* key) {
    std::vector<std::wstring> names;
    HKEY h = nullptr;
    if (RegOpenKeyExW(root, key, 0, KEY_READ, &h) != ERROR_SUCCESS) return names;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD length = 256;
        if (RegEnumKeyExW(h, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        names.emplace_back(name, length);
    }
    RegCloseKey(h);
    return names;
}

void SetString(HKEY root, const wchar_t* key, const wchar_t* name, const wchar_t* value) {
    HKEY h = nullptr;
    ASSERT_EQ(RegCreateKeyExW(root, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(h, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                             DWORD((wcslen(value) + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
    RegCloseKey(h);
}

void CreateEmpty(HKEY root, const wchar_t* key) {
    HKEY h = nullptr;
    ASSERT_EQ(RegCreateKeyExW(root, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(h);
}

std::wstring ThisProgram() {
    wchar_t buffer[32768];
    DWORD n = GetModuleFileNameW(nullptr, buffer, 32768);
    return std::wstring(buffer, n);
}

constexpr const wchar_t* kVerb = L".qwz\\shell\\downgrade";
constexpr const wchar_t* kCommand = L".qwz\\shell\\downgrade\\command";
constexpr const wchar_t* kUserClasses = L"Software\\Classes\\.qwz";
constexpr const wchar_t* kFileExts =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.qwz";

class WindowsRegistry : public ::testing::Test {
protected:
    void SetUp() override { Clean(); }
    void TearDown() override { Clean(); }
    static void Clean() {
        // A key left read-only by a test must become deletable again.
        HKEY h = nullptr;
        if (RegOpenKeyExW(HKEY_CLASSES_ROOT, kVerb, 0, WRITE_DAC, &h) == ERROR_SUCCESS) {
            PSECURITY_DESCRIPTOR sd = nullptr;
            if (ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:(A;;KA;;;WD)",
                                                                     SDDL_REVISION_1, &sd, nullptr)) {
                RegSetKeySecurity(h, DACL_SECURITY_INFORMATION, sd);
                LocalFree(sd);
            }
            RegCloseKey(h);
        }
        RegDeleteTreeW(HKEY_CLASSES_ROOT, L".qwz");
        RegDeleteKeyW(HKEY_CLASSES_ROOT, L".qwz");
        RegDeleteTreeW(HKEY_CURRENT_USER, kUserClasses);
        RegDeleteKeyW(HKEY_CURRENT_USER, kUserClasses);
        RegDeleteTreeW(HKEY_CURRENT_USER, kFileExts);
        RegDeleteKeyW(HKEY_CURRENT_USER, kFileExts);
    }
};

TEST_F(WindowsRegistry, RegisteringTwiceLeavesOneVerbWithTheLatestVersionAndRealPath) {
    RegisterShellVerb(202);
    RegisterShellVerb(204);
    EXPECT_EQ(DefaultValue(HKEY_CLASSES_ROOT, kVerb), L"Dostosuj do starszych wersji programu");
    EXPECT_EQ(DefaultValue(HKEY_CLASSES_ROOT, kCommand),
              L"\"" + ThisProgram() + L"\" -v 204 \"%1\"");
    EXPECT_EQ(Subkeys(HKEY_CLASSES_ROOT, L".qwz"), std::vector<std::wstring>{L"shell"});
    EXPECT_EQ(Subkeys(HKEY_CLASSES_ROOT, L".qwz\\shell"), std::vector<std::wstring>{L"downgrade"});
    EXPECT_EQ(Subkeys(HKEY_CLASSES_ROOT, kVerb), std::vector<std::wstring>{L"command"});
    // Nothing else under .qwz: no file-type name.
    EXPECT_EQ(DefaultValue(HKEY_CLASSES_ROOT, L".qwz"), std::nullopt);
}

TEST_F(WindowsRegistry, UserKeysGoOnlyWhenTheyHoldAValueOfTheirOwn) {
    SetString(HKEY_CURRENT_USER, kUserClasses, nullptr, L"qwzfile");
    SetString(HKEY_CURRENT_USER, L"Software\\Classes\\.qwz\\shell\\open\\command", nullptr,
              L"notepad.exe %1");
    // FileExts\.qwz with only subkeys; the subkey's own values do not count.
    SetString(HKEY_CURRENT_USER,
              L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.qwz\\OpenWithList",
              L"a", L"notepad.exe");
    CreateEmpty(HKEY_CURRENT_USER,
                L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.qwz\\UserChoice");

    RegisterShellVerb(203);

    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kUserClasses));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, kFileExts));
    EXPECT_EQ(Subkeys(HKEY_CURRENT_USER, kFileExts).size(), 2u);

    // A named value is a value of its own too.
    SetString(HKEY_CURRENT_USER, kFileExts, L"Progid", L"qwzfile");
    RegisterShellVerb(203);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kFileExts));
    EXPECT_EQ(DefaultValue(HKEY_CLASSES_ROOT, kCommand),
              L"\"" + ThisProgram() + L"\" -v 203 \"%1\"");
}

TEST_F(WindowsRegistry, UnregisteringRemovesOnlyAVerbWithItsMenuText) {
    UnregisterShellVerb();  // no verb key: nothing happens, nothing is created
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L".qwz"));

    RegisterShellVerb(203);
    HKEY h = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, kVerb, 0, KEY_SET_VALUE, &h), ERROR_SUCCESS);
    ASSERT_EQ(RegDeleteValueW(h, nullptr), ERROR_SUCCESS);  // menu text removed by hand
    RegCloseKey(h);
    UnregisterShellVerb();
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, kVerb));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, kCommand));

    RegisterShellVerb(203);
    UnregisterShellVerb();
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kVerb));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, L".qwz\\shell"));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, L".qwz"));
}

TEST_F(WindowsRegistry, DeleteTreeRemovesDeepKeysAndToleratesAMissingOne) {
    platform::Registry& reg = platform::CurrentRegistry();
    reg.CreateKey(platform::RegistryRoot::CurrentUser, "Software\\Classes\\.qwz\\a\\b\\c");
    reg.CreateKey(platform::RegistryRoot::CurrentUser, "Software\\Classes\\.qwz\\a\\d");
    reg.SetDefaultValue(platform::RegistryRoot::CurrentUser, "Software\\Classes\\.qwz\\a\\b\\c",
                        "Łuki – zażółć");
    EXPECT_EQ(DefaultValue(HKEY_CURRENT_USER, L"Software\\Classes\\.qwz\\a\\b\\c"),
              L"\u0141uki \u2013 za\u017c\u00f3\u0142\u0107");
    EXPECT_FALSE(reg.HasOwnValue(platform::RegistryRoot::CurrentUser, "Software\\Classes\\.qwz\\a"));
    reg.DeleteTree(platform::RegistryRoot::CurrentUser, "Software\\Classes\\.qwz");
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kUserClasses));
    EXPECT_NO_THROW(reg.DeleteTree(platform::RegistryRoot::CurrentUser, "Software\\Classes\\.qwz"));
    EXPECT_FALSE(reg.HasOwnValue(platform::RegistryRoot::CurrentUser, "Software\\Classes\\.qwz"));
    // Setting a value on a key that is not there is an error with context.
    try {
        reg.SetDefaultValue(platform::RegistryRoot::CurrentUser, "Software\\Classes\\.qwz", "x");
        ADD_FAILURE() << "no error";
    } catch (const platform::RegistryError& e) {
        EXPECT_EQ(e.code(), ERROR_FILE_NOT_FOUND);
        EXPECT_NE(std::string(e.what()).find("HKEY_CURRENT_USER\\Software\\Classes\\.qwz"),
                  std::string::npos);
    }
}

// Gives everyone read access to the key and nothing else, as a user without
// the right to write the class registry has.
void MakeReadOnly(HKEY root, const wchar_t* key) {
    HKEY h = nullptr;
    ASSERT_EQ(RegOpenKeyExW(root, key, 0, WRITE_DAC, &h), ERROR_SUCCESS);
    PSECURITY_DESCRIPTOR sd = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;;KR;;;WD)",
                                                                     SDDL_REVISION_1, &sd, nullptr));
    EXPECT_EQ(RegSetKeySecurity(h, DACL_SECURITY_INFORMATION, sd), ERROR_SUCCESS);
    LocalFree(sd);
    RegCloseKey(h);
}

TEST_F(WindowsRegistry, WithoutWriteRightsRegisteringThrowsAndStopsAtOnce) {
    RegisterShellVerb(202);
    SetString(HKEY_CURRENT_USER, kUserClasses, nullptr, L"qwzfile");
    MakeReadOnly(HKEY_CLASSES_ROOT, kVerb);

    try {
        RegisterShellVerb(204);
        ADD_FAILURE() << "no error";
    } catch (const platform::RegistryError& e) {
        EXPECT_EQ(e.code(), ERROR_ACCESS_DENIED);
        EXPECT_NE(std::string(e.what()).find("HKEY_CLASSES_ROOT\\.qwz\\shell\\downgrade"),
                  std::string::npos)
            << e.what();
    }
    // Nothing after the failed write ran: the old command and the per-user
    // key are as they were.
    EXPECT_EQ(DefaultValue(HKEY_CLASSES_ROOT, kCommand),
              L"\"" + ThisProgram() + L"\" -v 202 \"%1\"");
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, kUserClasses));
    // (Wine does not hold back the right to delete a key, so a refused
    // removal is shown with the in-memory registry instead.)
}

}  // namespace
}  // namespace qwz

#endif
