// The Windows registry, narrowed to what the Explorer command needs: keys
// under HKEY_CLASSES_ROOT and HKEY_CURRENT_USER, their REG_SZ values (the
// default, unnamed one and named ones), whether a key holds a value of its own, and removing a key
// with everything below it. Key paths and values are UTF-8; the Windows
// implementation stores them as Unicode.
//
// The interface is abstract so that tests can put a fake in its place (for
// example one that refuses every write) with UseRegistry.
#pragma once

#include <stdexcept>
#include <string>

namespace qwz::platform {

enum class RegistryRoot { ClassesRoot, CurrentUser };

// A registry operation failed. The text names the operation, the root and
// key, and the system's own reason.
class RegistryError : public std::runtime_error {
public:
    RegistryError(const std::string& what, long code)
        : std::runtime_error(what), code_(code) {}
    // The system's error code (ERROR_ACCESS_DENIED and the like), or 0.
    long code() const { return code_; }

private:
    long code_;
};

class Registry {
public:
    virtual ~Registry() = default;

    // Creates the key and every missing parent; an existing key is fine.
    // Throws RegistryError.
    virtual void CreateKey(RegistryRoot root, const std::string& key) = 0;

    // Sets the key's default value to `value` (REG_SZ), replacing what was
    // there. The key must exist. Throws RegistryError.
    virtual void SetDefaultValue(RegistryRoot root, const std::string& key,
                                 const std::string& value) = 0;

    // Sets the value `name` of the key to `value` (REG_SZ), replacing what
    // was there. The key must exist. Throws RegistryError.
    virtual void SetStringValue(RegistryRoot root, const std::string& key, const std::string& name,
                                const std::string& value) = 0;

    // True when at least one value sits directly in the key (the default
    // value counts once it is set); subkeys do not count. A missing key
    // holds nothing. Throws RegistryError when the key cannot be read.
    virtual bool HasOwnValue(RegistryRoot root, const std::string& key) = 0;

    // Deletes the key and all its subkeys, deepest first. A missing key is
    // fine. Throws RegistryError at the first key that cannot be deleted;
    // what was deleted before it stays deleted.
    virtual void DeleteTree(RegistryRoot root, const std::string& key) = 0;

    // Deletes the key when it holds neither a value nor a subkey. A missing
    // key is fine. Throws RegistryError.
    virtual void DeleteIfEmpty(RegistryRoot root, const std::string& key) = 0;
};

// The registry the program works on: the one set by UseRegistry, or else
// the system's own (Windows only; elsewhere there is none and this throws
// RegistryError).
Registry& CurrentRegistry();

// Puts `registry` in place of the system's for this process; nullptr
// restores the system's. Returns the one it replaces (nullptr for the
// system's). The caller keeps ownership.
Registry* UseRegistry(Registry* registry);

const char* RootName(RegistryRoot root);

}  // namespace qwz::platform
