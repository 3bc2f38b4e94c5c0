// An in-memory registry for tests: keys with a default value and named
// values, case-insensitive paths, and a switch that makes every write fail
// as it does for a user without the right to write the class registry.
#pragma once

#include "platform/Registry.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace qwz::test {

class FakeRegistry : public platform::Registry {
public:
    using Root = platform::RegistryRoot;

    struct Key {
        std::optional<std::string> defaultValue;
        std::map<std::string, std::string> named;
    };

    // Every create, set and delete throws ERROR_ACCESS_DENIED (5) while set.
    bool refuseWrites = false;
    // Every operation, in order: "create <key>", "set <key>", "delete <key>".
    std::vector<std::string> log;

    void CreateKey(Root root, const std::string& key) override {
        Refuse("create", root, key);
        log.push_back("create " + key);
        std::string path;
        for (size_t start = 0;;) {
            size_t slash = key.find('\\', start);
            path = key.substr(0, slash);
            keys_.try_emplace({root, Fold(path)});
            if (slash == std::string::npos) break;
            start = slash + 1;
        }
    }

    void SetDefaultValue(Root root, const std::string& key, const std::string& value) override {
        Refuse("set", root, key);
        auto it = keys_.find({root, Fold(key)});
        if (it == keys_.end()) throw platform::RegistryError("no key " + key, 2);
        log.push_back("set " + key);
        it->second.defaultValue = value;
    }

    void SetStringValue(Root root, const std::string& key, const std::string& name, const std::string& value) override {
        Refuse("set", root, key);
        Key* k = Find(root, key);
        if (!k) throw platform::RegistryError("no key " + key, 2);
        k->named[name] = value;
    }

    bool HasOwnValue(Root root, const std::string& key) override {
        const Key* k = Find(root, key);
        return k && (k->defaultValue || !k->named.empty());
    }

    void DeleteTree(Root root, const std::string& key) override {
        Refuse("delete", root, key);
        std::string folded = Fold(key);
        std::vector<std::string> doomed;
        for (const auto& [id, k] : keys_) {
            if (id.first == root && (id.second == folded || id.second.starts_with(folded + "\\")))
                doomed.push_back(id.second);
        }
        // Deepest first, as the real one has to.
        std::sort(doomed.begin(), doomed.end(), [](const std::string& a, const std::string& b) {
            return std::count(a.begin(), a.end(), '\\') > std::count(b.begin(), b.end(), '\\');
        });
        for (const std::string& path : doomed) {
            log.push_back("delete " + path);
            keys_.erase({root, path});
        }
    }

    void DeleteIfEmpty(Root root, const std::string& key) override {
        const Key* k = Find(root, key);
        const auto next = keys_.upper_bound({root, Fold(key)});
        const bool hasSubkey = next != keys_.end() && next->first.second.starts_with(Fold(key) + "\\");
        if (k && !k->defaultValue && k->named.empty() && !hasSubkey) DeleteTree(root, key);
    }

    // Test set-up and inspection.
    Key* Find(Root root, const std::string& key) {
        auto it = keys_.find({root, Fold(key)});
        return it == keys_.end() ? nullptr : &it->second;
    }
    void Put(Root root, const std::string& key, std::optional<std::string> defaultValue,
             std::map<std::string, std::string> named = {}) {
        bool saved = refuseWrites;
        refuseWrites = false;
        CreateKey(root, key);
        refuseWrites = saved;
        Key& k = keys_[{root, Fold(key)}];
        k.defaultValue = std::move(defaultValue);
        k.named = std::move(named);
    }
    size_t KeyCount() const { return keys_.size(); }

private:
    static std::string Fold(const std::string& s) {
        std::string out = s;
        for (char& c : out) c = char(std::tolower(static_cast<unsigned char>(c)));
        return out;
    }
    void Refuse(const char* what, Root root, const std::string& key) const {
        if (refuseWrites) {
            throw platform::RegistryError(std::string(what) + " " + platform::RootName(root) +
                                              "\\" + key + ": error 5 (Access denied)",
                                          5);
        }
    }

    std::map<std::pair<Root, std::string>, Key> keys_;
};

}  // namespace qwz::test
