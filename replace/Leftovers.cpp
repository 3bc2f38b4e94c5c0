#include "replace/Leftovers.h"

#include "platform/PathNames.h"
#include "replace/SafeReplace.h"

namespace qwz::replace {
namespace {

thread_local LeftoverIndex* current = nullptr;

}  // namespace

std::vector<std::filesystem::path> LeftoverIndex::Take(const std::filesystem::path& target, FileOps& ops) {
    const NativeString prefix = TemporaryPrefix(target);
    std::vector<std::filesystem::path> taken;
    std::lock_guard<std::mutex> lock(mutex_);
    auto [folder, fresh] = folders_.try_emplace(FolderOf(target).native());
    if (fresh) {
        std::vector<std::filesystem::path> names;
        if (ops.ListFolder(folder->first, names)) {
            // Only the prefix is kept apart here: each name is judged in
            // full by the conversion of its own file.
            const size_t length = prefix.size();
            for (std::filesystem::path& name : names)
                if (name.native().size() > length && name.native().compare(0, 5, prefix, 0, 5) == 0)
                    folder->second[name.native().substr(0, length)].push_back(std::move(name));
        }
    }
    const auto own = folder->second.find(prefix);
    if (own == folder->second.end()) return taken;
    for (const std::filesystem::path& name : own->second)
        if (IsTemporaryNameOf(name, target) || IsAsideNameOf(name, target)) taken.push_back(target.parent_path() / name);
    folder->second.erase(own);
    return taken;
}

LeftoverIndex::Scope::Scope(LeftoverIndex& index) : previous_(current) { current = &index; }

LeftoverIndex::Scope::~Scope() { current = previous_; }

LeftoverIndex* LeftoverIndex::Current() { return current; }

}  // namespace qwz::replace
