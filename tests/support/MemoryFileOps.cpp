#include "support/MemoryFileOps.h"

#include "platform/PathText.h"
#include "platform/SystemError.h"

#include <algorithm>
#include <cerrno>

namespace qwz::test {

using platform::FileHandle;
using platform::FileState;
using platform::NameKind;
using platform::NoReplace;

namespace {

constexpr uint64_t kRoot = 1;
constexpr int kLinkLimit = 40;  // links followed in one path, as Linux allows

const std::filesystem::path::string_type kDot = std::filesystem::path(".").native();
const std::filesystem::path::string_type kDotDot = std::filesystem::path("..").native();

}  // namespace

// A way that failed before the last name.
MemoryFileOps::Found MemoryFileOps::Failed(int error) {
    Found found;
    found.error = error;
    return found;
}

namespace {

}  // namespace

MemoryFileOps::MemoryFileOps() {
    const uint64_t root = NewNode(NameKind::Folder);
    nodes_[root].parent = root;
    nodes_[root].names = 1;
}

uint64_t MemoryFileOps::NewNode(NameKind kind) {
    const uint64_t id = nextNode_++;
    nodes_[id].kind = kind;
    nodes_[id].modified = ++clock_;
    return id;
}

MemoryFileOps::Found MemoryFileOps::At(uint64_t node) const {
    const Node& n = nodes_.at(node);
    return {0, n.parent, n.name, node};
}

MemoryFileOps::Found MemoryFileOps::Resolve(const Path& path, bool follow) const {
    int links = 0;
    return Walk(kRoot, path, follow, links);
}

// One name after another from `from` (the root for a path from the root):
// a link on the way is followed from its own folder, and so is one at the
// end when asked.
MemoryFileOps::Found MemoryFileOps::Walk(uint64_t from, const Path& path, bool follow, int& links) const {
    std::vector<Key> parts;
    for (const Path& part : path.relative_path())
        if (!part.empty()) parts.push_back(part.native());
    uint64_t at = path.has_root_directory() ? kRoot : from;
    Found found = At(at);
    for (size_t i = 0; i < parts.size(); ++i) {
        const bool last = i + 1 == parts.size();
        const Node& folder = nodes_.at(at);
        if (folder.kind != NameKind::Folder) return Failed(ENOTDIR);
        if (parts[i] == kDot || parts[i] == kDotDot) {
            at = parts[i] == kDot ? at : folder.parent;
            found = At(at);
            continue;
        }
        const auto entry = folder.entries.find(parts[i]);
        if (entry == folder.entries.end()) return last ? Found{ENOENT, at, parts[i], 0} : Failed(ENOENT);
        found = {0, at, parts[i], entry->second};
        const Node& node = nodes_.at(entry->second);
        if (node.kind == NameKind::Link && (!last || follow)) {
            if (++links > kLinkLimit) return Failed(ELOOP);
            found = Walk(at, node.target, true, links);
            if (found.error != 0) return last && found.error == ENOENT ? found : Failed(found.error);
        }
        at = found.node;
    }
    return found;
}

MemoryFileOps::Path MemoryFileOps::PathOf(uint64_t folder) const {
    std::vector<Key> names;
    for (uint64_t at = folder; at != kRoot; at = nodes_.at(at).parent) names.push_back(nodes_.at(at).name);
    Path path = "/";
    for (auto name = names.rbegin(); name != names.rend(); ++name) path /= *name;
    return path;
}

const MemoryFileOps::Node* MemoryFileOps::NodeAt(const Path& path, bool follow) const {
    const Found found = Resolve(path, follow);
    return found.error == 0 && found.node != 0 ? &nodes_.at(found.node) : nullptr;
}

MemoryFileOps::Handle* MemoryFileOps::HandleOf(FileHandle file) {
    const auto handle = handles_.find(file.value);
    return handle == handles_.end() ? nullptr : &handle->second;
}

uint64_t MemoryFileOps::SizeOf(const Node& node) const {
    return std::max<uint64_t>(node.data.size(), node.zerosTo);
}

FileState MemoryFileOps::StateOfNode(uint64_t id) const {
    const Node& node = nodes_.at(id);
    FileState state;
    state.device = 1;
    state.file = id;
    state.size = node.kind == NameKind::Regular ? SizeOf(node) : 0;
    state.modified = node.modified;
    state.links = node.names;
    state.allocated = node.kind == NameKind::Regular ? node.data.size() : 0;
    return state;
}

Reason MemoryFileOps::Refuse(const char* what, const Path& path, int code) const {
    return std::string(what) + " " + platform::PathForMessage(path) + ": " + platform::ErrnoReason(code);
}

// Each change is made at once and kept as not yet synced in its folder.
void MemoryFileOps::Rename(const std::vector<NameChange>& changes) {
    for (const NameChange& change : changes) {
        Node& folder = nodes_.at(change.folder);
        for (const auto& [name, node] : change.names) {
            const auto old = folder.entries.find(name);
            if (old != folder.entries.end()) --nodes_.at(old->second).names;
            if (node == 0) {
                folder.entries.erase(name);
                continue;
            }
            folder.entries[name] = node;
            Node& named = nodes_.at(node);
            ++named.names;
            if (named.kind == NameKind::Folder) {
                named.parent = change.folder;
                named.name = name;
            }
        }
        unsynced_.push_back(change);
    }
    Step();
}

void MemoryFileOps::Step() {
    if (afterStep) afterStep();
}

// --- The test's own making and looking ---

uint64_t MemoryFileOps::MadeAt(const Path& path, NameKind kind) {
    std::lock_guard lock(mutex_);
    if (path.has_parent_path() && path.parent_path() != path) MakeFolder(path.parent_path());
    const Found found = Resolve(path, false);
    if (found.node != 0) return found.node;
    if (found.folder == 0) return 0;
    const uint64_t id = NewNode(kind);
    Node& folder = nodes_.at(found.folder);
    folder.entries[found.name] = folder.synced[found.name] = id;
    nodes_.at(id).names = 1;
    if (kind == NameKind::Folder) {
        nodes_.at(id).parent = found.folder;
        nodes_.at(id).name = found.name;
    }
    return id;
}

void MemoryFileOps::MakeFolder(const Path& path) { MadeAt(path, NameKind::Folder); }

MemoryFileOps::Path MemoryFileOps::Put(const Path& path, const Bytes& bytes) {
    std::lock_guard lock(mutex_);
    Node& file = nodes_.at(MadeAt(path, NameKind::Regular));
    file.data = file.durable = bytes;
    file.zerosTo = 0;
    file.modified = ++clock_;
    return path;
}

void MemoryFileOps::MakeLink(const Path& target, const Path& link) {
    std::lock_guard lock(mutex_);
    nodes_.at(MadeAt(link, NameKind::Link)).target = target;
}

void MemoryFileOps::MakeFifo(const Path& path) { MadeAt(path, NameKind::Other); }

void MemoryFileOps::SetReadOnly(const Path& path, bool readOnly) {
    std::lock_guard lock(mutex_);
    const Found found = Resolve(path, true);
    if (found.node != 0) nodes_.at(found.node).readOnly = readOnly;
}

void MemoryFileOps::Grow(const Path& path, uint64_t size) {
    std::lock_guard lock(mutex_);
    const Found found = Resolve(path, true);
    if (found.node != 0) nodes_.at(found.node).zerosTo = size;
}

void MemoryFileOps::Make(const Path& folder, const Folder& content) {
    std::lock_guard lock(mutex_);
    MakeFolder(folder);
    for (const auto& [name, what] : content) {
        const Path path = folder / name;
        if (what == "@folder") MakeFolder(path);
        else if (what == "@fifo") MakeFifo(path);
        else if (what.rfind("@link:", 0) == 0) MakeLink(what.substr(6), path);
        else if (what.rfind("@hard:", 0) != 0) Put(path, what);
    }
    for (const auto& [name, what] : content) {
        if (what.rfind("@hard:", 0) != 0) continue;
        const Found existing = Resolve(folder / what.substr(6), false);
        Node& in = nodes_.at(existing.folder);
        in.entries[Path(name).native()] = in.synced[Path(name).native()] = existing.node;
        ++nodes_.at(existing.node).names;
    }
}

MemoryFileOps::Bytes MemoryFileOps::Read(const Path& path) const {
    std::lock_guard lock(mutex_);
    const Node* file = NodeAt(path, true);
    if (!file || file->kind != NameKind::Regular) return {};
    Bytes bytes = file->data;
    bytes.resize(SizeOf(*file));
    return bytes;
}

MemoryFileOps::Folder MemoryFileOps::Snapshot(const Path& folder) const {
    std::lock_guard lock(mutex_);
    Folder out;
    const Node* at = NodeAt(folder, true);
    if (!at || at->kind != NameKind::Folder) return out;
    for (const auto& [name, id] : at->entries) {
        const Node& node = nodes_.at(id);
        std::string& what = out[platform::PathUtf8(name)];
        switch (node.kind) {
        case NameKind::Folder: what = "@folder"; break;
        case NameKind::Link: what = "@link:" + platform::PathUtf8(node.target); break;
        case NameKind::Regular: what.assign(node.data.begin(), node.data.end()); break;
        default: what = "@fifo"; break;
        }
    }
    return out;
}

std::vector<std::map<std::string, MemoryFileOps::Bytes>> MemoryFileOps::StatesAfterPowerLoss(
    const Path& folder) const {
    std::lock_guard lock(mutex_);
    const Found at = Resolve(folder, true);
    std::vector<const NameChange*> changes;
    for (const NameChange& change : unsynced_)
        if (change.folder == at.node) changes.push_back(&change);
    std::vector<std::map<std::string, Bytes>> states;
    if (at.node == 0 || changes.size() > 20) return states;
    for (uint32_t subset = 0; subset < (1u << changes.size()); ++subset) {
        std::map<Key, uint64_t> names = nodes_.at(at.node).synced;
        for (size_t i = 0; i < changes.size(); ++i) {
            if (!(subset & (1u << i))) continue;
            for (const auto& [name, node] : changes[i]->names) {
                if (node == 0) names.erase(name);
                else names[name] = node;
            }
        }
        std::map<std::string, Bytes> state;
        for (const auto& [name, id] : names)
            if (nodes_.at(id).kind == NameKind::Regular) state[platform::PathUtf8(name)] = nodes_.at(id).durable;
        states.push_back(std::move(state));
    }
    return states;
}

// --- FileOps ---

NameKind MemoryFileOps::Examine(const Path& path, bool follow, FileState* state) {
    std::lock_guard lock(mutex_);
    const Found found = Resolve(path, follow);
    if (found.error != 0 || found.node == 0) return NameKind::Missing;
    if (state) *state = StateOfNode(found.node);
    return nodes_.at(found.node).kind;
}

Reason MemoryFileOps::WhyMissing(const Path& path) {
    std::lock_guard lock(mutex_);
    const Found found = Resolve(path, true);
    return platform::ErrnoReason(found.error != 0 ? found.error : ENOENT);
}

bool MemoryFileOps::LinkTarget(const Path& path, Path& target) {
    std::lock_guard lock(mutex_);
    const Node* link = NodeAt(path, false);
    if (!link || link->kind != NameKind::Link) return false;
    const Found found = Resolve(path, true);
    if (found.error != 0 || found.node == 0) return false;
    target = PathOf(found.folder) / found.name;
    return true;
}

bool MemoryFileOps::IsReadOnly(const Path& path) {
    std::lock_guard lock(mutex_);
    const Node* node = NodeAt(path, true);
    return node && node->readOnly;
}

bool MemoryFileOps::ReadFolder(const Path& folder, std::vector<platform::FolderEntry>& entries, Reason& error) {
    std::lock_guard lock(mutex_);
    const Found found = Resolve(folder, true);
    if (found.error != 0 || found.node == 0 || nodes_.at(found.node).kind != NameKind::Folder) {
        error = platform::ErrnoReason(found.error != 0 ? found.error : found.node == 0 ? ENOENT : ENOTDIR);
        return false;
    }
    for (const auto& [name, id] : nodes_.at(found.node).entries) entries.push_back({name, nodes_.at(id).kind});
    return true;
}

bool MemoryFileOps::OpenToRead(const Path& path, FileHandle& file, Reason& error) {
    std::lock_guard lock(mutex_);
    const Found found = Resolve(path, true);
    if (found.error != 0 || found.node == 0) {
        error = "nie można otworzyć pliku: " + platform::ErrnoReason(found.error != 0 ? found.error : ENOENT);
        return false;
    }
    if (nodes_.at(found.node).kind != NameKind::Regular) {
        error = Reason(StatusCode::NotRegularFile, "to nie jest zwykły plik");
        return false;
    }
    file.value = nextHandle_++;
    handles_[file.value] = {found.node, 0, false, path};
    return true;
}

platform::LockResult MemoryFileOps::TryLock(FileHandle file, platform::FileLock&, Reason& error) {
    std::lock_guard lock(mutex_);
    const Handle* handle = HandleOf(file);
    if (!handle) {
        error = "nie można zablokować pliku: " + platform::ErrnoReason(EBADF);
        return platform::LockResult::Failed;
    }
    intptr_t& holder = nodes_.at(handle->node).lockedBy;
    if (holder != -1 && holder != file.value) return platform::LockResult::Held;
    holder = file.value;
    return platform::LockResult::Locked;
}

bool MemoryFileOps::StateOf(FileHandle file, FileState& state, Reason& error) {
    std::lock_guard lock(mutex_);
    const Handle* handle = HandleOf(file);
    if (!handle) {
        error = "nie można odczytać stanu pliku: " + platform::ErrnoReason(EBADF);
        return false;
    }
    state = StateOfNode(handle->node);
    return true;
}

bool MemoryFileOps::ReadAt(FileHandle file, uint64_t offset, uint8_t* data, size_t size, size_t& got,
                           Reason& error) {
    std::lock_guard lock(mutex_);
    const Handle* handle = HandleOf(file);
    if (!handle) {
        error = "błąd odczytu pliku: " + platform::ErrnoReason(EBADF);
        return false;
    }
    const Node& node = nodes_.at(handle->node);
    const uint64_t end = SizeOf(node);
    got = offset < end ? size_t(std::min<uint64_t>(size, end - offset)) : 0;
    for (size_t i = 0; i < got; ++i) data[i] = offset + i < node.data.size() ? node.data[offset + i] : 0;
    return true;
}

bool MemoryFileOps::CreateNew(const Path& path, const Path& like, FileHandle& file, bool& exists, Reason& error) {
    std::lock_guard lock(mutex_);
    const Found found = Resolve(path, false);
    exists = found.node != 0;
    const int code = exists ? EEXIST : found.folder == 0 ? (found.error ? found.error : ENOENT)
                                     : NameTooLong(found.name) ? ENAMETOOLONG : 0;
    if (code != 0) {
        error = Refuse("nie można utworzyć pliku", path, code);
        return false;
    }
    const Node* original = NodeAt(like, true);
    const uint64_t id = NewNode(NameKind::Regular);
    nodes_.at(id).readOnly = original && original->readOnly;
    file.value = nextHandle_++;
    handles_[file.value] = {id, 0, true, path};
    Rename({{found.folder, {{found.name, id}}}});
    return true;
}

bool MemoryFileOps::Write(FileHandle file, const uint8_t* data, size_t size, size_t& written, Reason& error) {
    std::lock_guard lock(mutex_);
    Handle* handle = HandleOf(file);
    if (!handle || !handle->write) {
        error = "nie można zapisać pliku: " + platform::ErrnoReason(EBADF);
        return false;
    }
    Node& node = nodes_.at(handle->node);
    if (node.data.size() < handle->position + size) node.data.resize(handle->position + size);
    std::copy_n(data, size, node.data.begin() + long(handle->position));
    handle->position += size;
    node.modified = ++clock_;
    written = size;
    Step();
    return true;
}

bool MemoryFileOps::Flush(FileHandle file, Reason& error) {
    std::lock_guard lock(mutex_);
    const Handle* handle = HandleOf(file);
    if (!handle) {
        error = "nie można zapisać pliku na dysk: " + platform::ErrnoReason(EBADF);
        return false;
    }
    Node& node = nodes_.at(handle->node);
    node.durable = node.data;
    Step();
    return true;
}

bool MemoryFileOps::Close(FileHandle& file, Reason& error) {
    std::lock_guard lock(mutex_);
    const Handle* handle = HandleOf(file);
    const intptr_t value = file.value;
    file.value = -1;
    if (!handle) {
        error = "nie można zamknąć pliku: " + platform::ErrnoReason(EBADF);
        return false;
    }
    intptr_t& holder = nodes_.at(handle->node).lockedBy;
    if (holder == value) holder = -1;
    handles_.erase(value);
    return true;
}

NoReplace MemoryFileOps::Link(const Path& existing, const Path& newName, Reason& error) {
    std::lock_guard lock(mutex_);
    const Found from = Resolve(existing, false), to = Resolve(newName, false);
    const char* what = "nie można utworzyć kopii zapasowej";
    if (!hardLinks) return (error = Refuse(what, newName, EPERM), NoReplace::Unsupported);
    if (to.node != 0) return (error = Refuse(what, newName, EEXIST), NoReplace::NameTaken);
    const int code = from.node == 0 || to.folder == 0 ? ENOENT
                     : nodes_.at(from.node).kind == NameKind::Folder ? EPERM
                     : NameTooLong(to.name) ? ENAMETOOLONG : 0;
    if (code != 0) return (error = Refuse(what, newName, code), NoReplace::Failed);
    Rename({{to.folder, {{to.name, from.node}}}});
    return NoReplace::Done;
}

NoReplace MemoryFileOps::RenameNoReplace(const Path& from, const Path& to, Reason& error) {
    std::lock_guard lock(mutex_);
    const Found source = Resolve(from, false), target = Resolve(to, false);
    const char* what = "nie można zmienić nazwy pliku na";
    if (target.node != 0) return (error = Refuse(what, to, EEXIST), NoReplace::NameTaken);
    const int code = source.node == 0 || target.folder == 0 ? ENOENT : NameTooLong(target.name) ? ENAMETOOLONG : 0;
    if (code != 0) return (error = Refuse(what, to, code), NoReplace::Failed);
    if (source.folder == target.folder) Rename({{target.folder, {{source.name, 0}, {target.name, source.node}}}});
    else Rename({{target.folder, {{target.name, source.node}}}, {source.folder, {{source.name, 0}}}});
    return NoReplace::Done;
}

bool MemoryFileOps::RenameReplace(const Path& from, const Path& to, Reason& error) {
    std::lock_guard lock(mutex_);
    const Found source = Resolve(from, false), target = Resolve(to, false);
    const bool folderOver = target.node != 0 && nodes_.at(target.node).kind == NameKind::Folder &&
                            (source.node == 0 || nodes_.at(source.node).kind != NameKind::Folder);
    const int code = source.node == 0 || target.folder == 0 ? ENOENT
                     : folderOver ? EISDIR
                     : NameTooLong(target.name) ? ENAMETOOLONG : 0;
    if (code != 0) {
        error = Refuse("nie można zastąpić pliku", to, code);
        return false;
    }
    if (source.node == target.node) return true;  // two names of one file: nothing to do, as rename(2)
    if (source.folder == target.folder) Rename({{target.folder, {{source.name, 0}, {target.name, source.node}}}});
    else Rename({{target.folder, {{target.name, source.node}}}, {source.folder, {{source.name, 0}}}});
    return true;
}

// The name the file was opened by moves, while it still leads to the file.
NoReplace MemoryFileOps::RenameHeld(FileHandle file, const Path& to, Reason& error) {
    std::lock_guard lock(mutex_);
    const Handle* handle = HandleOf(file);
    if (renameHeld && handle && Resolve(handle->path, false).node == handle->node)
        return RenameNoReplace(handle->path, to, error);
    error = Refuse("nie można zmienić nazwy pliku na", to, renameHeld ? ENOENT : EINVAL);
    return renameHeld ? NoReplace::Failed : NoReplace::Unsupported;
}

NoReplace MemoryFileOps::Exchange(const Path& a, const Path& b, Reason& error) {
    std::lock_guard lock(mutex_);
    const char* what = "nie można zastąpić pliku";
    if (!exchange) return (error = Refuse(what, b, EINVAL), NoReplace::Unsupported);
    const Found first = Resolve(a, false), second = Resolve(b, false);
    if (first.node == 0 || second.node == 0) return (error = Refuse(what, b, ENOENT), NoReplace::Failed);
    if (first.folder == second.folder)
        Rename({{first.folder, {{first.name, second.node}, {second.name, first.node}}}});
    else
        Rename({{first.folder, {{first.name, second.node}}}, {second.folder, {{second.name, first.node}}}});
    return NoReplace::Done;
}

bool MemoryFileOps::SyncFolder(const Path& folder, Reason& error) {
    std::lock_guard lock(mutex_);
    const Found found = Resolve(folder, true);
    if (found.error != 0 || found.node == 0) {
        error = Refuse("nie można otworzyć folderu", folder, found.error != 0 ? found.error : ENOENT);
        return false;
    }
    Node& node = nodes_.at(found.node);
    node.synced = node.entries;
    std::erase_if(unsynced_, [&](const NameChange& change) { return change.folder == found.node; });
    Step();
    return true;
}

bool MemoryFileOps::Remove(const Path& path, Reason& error) {
    std::lock_guard lock(mutex_);
    const Found found = Resolve(path, false);
    const int code = found.node == 0 ? (found.error != 0 ? found.error : ENOENT)
                     : nodes_.at(found.node).kind == NameKind::Folder ? EISDIR : 0;
    if (code != 0) {
        error = Refuse("nie można usunąć pliku", path, code);
        return false;
    }
    Rename({{found.folder, {{found.name, 0}}}});
    return true;
}

}  // namespace qwz::test
