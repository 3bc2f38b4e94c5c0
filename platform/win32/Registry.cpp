#include "platform/RegistrySystem.h"
#include "platform/SystemError.h"
#include "platform/win32/WideText.h"

#include <windows.h>

#include <string>
#include <vector>

namespace qwz::platform {
namespace {

HKEY RootKey(RegistryRoot root) {
    return root == RegistryRoot::ClassesRoot ? HKEY_CLASSES_ROOT : HKEY_CURRENT_USER;
}

[[noreturn]] void Fail(const char* operation, RegistryRoot root, const std::string& key,
                       LONG code) {
    std::string what = std::string(operation) + " " + RootName(root) + "\\" + key + ": error " +
                       std::to_string(code);
    what += " (" + SystemReason(static_cast<unsigned long>(code)) + ")";
    throw RegistryError(what, code);
}

// Owns an open key.
class Key {
public:
    Key() = default;
    ~Key() { if (key_) RegCloseKey(key_); }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    HKEY* out() { return &key_; }
    HKEY get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

class Win32Registry final : public Registry {
public:
    void CreateKey(RegistryRoot root, const std::string& key) override {
        Key k;
        LONG rc = RegCreateKeyExW(RootKey(root), Utf8ToWide(key).c_str(), 0, nullptr,
                                  REG_OPTION_NON_VOLATILE, KEY_CREATE_SUB_KEY | KEY_SET_VALUE,
                                  nullptr, k.out(), nullptr);
        if (rc != ERROR_SUCCESS) Fail("create key", root, key, rc);
    }

    void SetDefaultValue(RegistryRoot root, const std::string& key,
                         const std::string& value) override {
        SetString(root, key, nullptr, value, "set default value of");
    }

    void SetStringValue(RegistryRoot root, const std::string& key, const std::string& name,
                        const std::string& value) override {
        SetString(root, key, Utf8ToWide(name).c_str(), value, ("set value " + name + " of").c_str());
    }

    bool HasOwnValue(RegistryRoot root, const std::string& key) override {
        Key k;
        LONG rc = RegOpenKeyExW(RootKey(root), Utf8ToWide(key).c_str(), 0, KEY_QUERY_VALUE, k.out());
        if (rc == ERROR_FILE_NOT_FOUND) return false;
        if (rc != ERROR_SUCCESS) Fail("open key for reading", root, key, rc);
        DWORD values = 0;
        rc = RegQueryInfoKeyW(k.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                              &values, nullptr, nullptr, nullptr, nullptr);
        if (rc != ERROR_SUCCESS) Fail("count values of", root, key, rc);
        return values > 0;
    }

    void DeleteTree(RegistryRoot root, const std::string& key) override {
        DeleteBelow(root, RootKey(root), Utf8ToWide(key), key);
    }

    void DeleteIfEmpty(RegistryRoot root, const std::string& key) override {
        DWORD subkeys = 0, values = 0;
        {
            Key k;
            LONG rc = RegOpenKeyExW(RootKey(root), Utf8ToWide(key).c_str(), 0, KEY_QUERY_VALUE, k.out());
            if (rc == ERROR_FILE_NOT_FOUND) return;
            if (rc != ERROR_SUCCESS) Fail("open key for reading", root, key, rc);
            rc = RegQueryInfoKeyW(k.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values,
                                  nullptr, nullptr, nullptr, nullptr);
            if (rc != ERROR_SUCCESS) Fail("count values of", root, key, rc);
        }
        if (subkeys > 0 || values > 0) return;
        LONG rc = RegDeleteKeyW(RootKey(root), Utf8ToWide(key).c_str());
        if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) Fail("delete key", root, key, rc);
    }

private:
    // `name` nullptr is the default value.
    static void SetString(RegistryRoot root, const std::string& key, const wchar_t* name,
                          const std::string& value, const char* operation) {
        Key k;
        LONG rc = RegOpenKeyExW(RootKey(root), Utf8ToWide(key).c_str(), 0, KEY_SET_VALUE, k.out());
        if (rc != ERROR_SUCCESS) Fail("open key for writing", root, key, rc);
        std::wstring w = Utf8ToWide(value);
        // REG_SZ: the terminating zero is part of the data.
        rc = RegSetValueExW(k.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(w.c_str()),
                            DWORD((w.size() + 1) * sizeof(wchar_t)));
        if (rc != ERROR_SUCCESS) Fail(operation, root, key, rc);
    }

    // Deletes `name` under `parent` after everything below it. `path` is
    // the key's full path, for the error text.
    static void DeleteBelow(RegistryRoot root, HKEY parent, const std::wstring& name,
                            const std::string& path) {
        {
            Key k;
            LONG rc = RegOpenKeyExW(parent, name.c_str(), 0,
                                    KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE | DELETE, k.out());
            if (rc == ERROR_FILE_NOT_FOUND) return;
            if (rc != ERROR_SUCCESS) Fail("open key for deleting", root, path, rc);
            // Collect the names first: enumerating while deleting shifts
            // the indexes.
            std::vector<std::wstring> children;
            for (DWORD i = 0;; ++i) {
                wchar_t child[256];  // key names are at most 255 characters
                DWORD length = 256;
                rc = RegEnumKeyExW(k.get(), i, child, &length, nullptr, nullptr, nullptr, nullptr);
                if (rc == ERROR_NO_MORE_ITEMS) break;
                if (rc != ERROR_SUCCESS) Fail("list subkeys of", root, path, rc);
                children.emplace_back(child, length);
            }
            for (const std::wstring& child : children)
                DeleteBelow(root, k.get(), child, path + "\\" + WideToUtf8(child));
        }
        LONG rc = RegDeleteKeyW(parent, name.c_str());
        if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) Fail("delete key", root, path, rc);
    }
};

}  // namespace

Registry& SystemRegistry() {
    static Win32Registry registry;
    return registry;
}

}  // namespace qwz::platform
