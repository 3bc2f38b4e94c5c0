#include "replace/TemporaryFile.h"

#include "platform/PathNames.h"
#include "replace/Leftovers.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <thread>

namespace qwz::replace {
namespace {

constexpr int kTemporaryNameAttempts = 16;
constexpr int kRemoveAttempts = 3;

uint32_t NextTag() {
    static std::atomic<uint32_t> counter{0};
    static const uint32_t seed = [] {
        std::random_device rd;
        return uint32_t(rd()) ^
               uint32_t(std::chrono::steady_clock::now().time_since_epoch().count());
    }();
    return seed + 0x9E3779B9u * ++counter;
}

using NativeString = std::filesystem::path::string_type;
using NativeChar = NativeString::value_type;

// FNV-1a over the name's code units. Windows names differ in letter case
// only when they are the same file, so there the ASCII letters are folded.
uint32_t NameHash(const std::filesystem::path& target) {
    uint32_t h = 2166136261u;
    const NativeString name = target.filename().native();
    for (NativeChar c : name) {
#ifdef _WIN32
        if (c >= NativeChar('A') && c <= NativeChar('Z')) c = NativeChar(c - 'A' + 'a');
#endif
        for (size_t byte = 0; byte < sizeof c; ++byte) {
            h ^= uint32_t((uint64_t(c) >> (8 * byte)) & 0xFF);
            h *= 16777619u;
        }
    }
    return h;
}

std::string Hex8(uint32_t v) {
    char hex[9];
    std::snprintf(hex, sizeof hex, "%08x", unsigned(v));
    return hex;
}

}  // namespace

bool RemoveWithRetries(FileOps& ops, const std::filesystem::path& path, Reason& error) {
    for (int attempt = 1;; ++attempt) {
        if (ops.Remove(path, error)) return true;
        if (attempt == kRemoveAttempts) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

bool CreateTemporary(FileOps& ops, const std::filesystem::path& target, FileHandle like, TemporaryFile& temp,
                     Reason& error, std::vector<std::string>* notCarried) {
    for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
        std::filesystem::path candidate = TemporaryNameBeside(target, NextTag());
        bool exists = false;
        if (ops.CreateNew(candidate, target, temp.file, exists, error)) {
            temp.path = candidate;
            // Before a byte is written: the file is never open to anyone
            // the original is not.
            std::vector<std::string> missed;
            ops.CarryIdentity(like, temp.file, missed);
            if (notCarried) notCarried->insert(notCarried->end(), missed.begin(), missed.end());
            return true;
        }
        if (!exists) return false;
    }
    return false;
}

bool WriteTemporaryFile(FileOps& ops, const std::filesystem::path& target, FileHandle like, TemporaryFile& temp,
                        const std::function<bool(Reason& error)>& fill, FileState& flushed, Reason& error,
                        std::vector<std::string>* notCarried, bool flush) {
    if (!CreateTemporary(ops, target, like, temp, error, notCarried)) return false;
    if (!fill(error)) return false;
    return (!flush || ops.Flush(temp.file, error)) && ops.StateOf(temp.file, flushed, error) &&
           ops.Close(temp.file, error);
}

bool WriteAll(FileOps& ops, FileHandle file, const uint8_t* data, size_t size, size_t chunk,
              const std::filesystem::path& path, Reason& error) {
    chunk = std::max<size_t>(chunk, 1);
    for (size_t done = 0; done < size;) {
        size_t written = 0;
        const size_t want = std::min(chunk, size - done);
        if (!ops.Write(file, data + done, want, written, error)) return false;
        if (written == 0 || written > want) {
            error = Reason(StatusCode::IoError, "nie można zapisać pliku " + PathForMessage(path));
            return false;
        }
        done += written;
    }
    return true;
}

std::filesystem::path TemporaryNameBeside(const std::filesystem::path& target, uint32_t tag) {
    const std::string name = "~qwz-" + Hex8(NameHash(target)) + "-" + Hex8(tag) + ".tmp";
    return target.parent_path() / std::filesystem::path(name);
}

NativeString TemporaryPrefix(const std::filesystem::path& target) {
    return std::filesystem::path("~qwz-" + Hex8(NameHash(target)) + "-").native();
}

namespace {

// Whether `name` is "~qwz-<hash of target>-<8 hex digits><extension>".
bool IsNameOf(const std::filesystem::path& name, const std::filesystem::path& target, const char* extension) {
    // Native strings: no conversion that could fail on a name the locale
    // cannot spell.
    const NativeString n = name.filename().native();
    const NativeString prefix = TemporaryPrefix(target);
    const NativeString tmp = std::filesystem::path(extension).native();
    if (n.size() != prefix.size() + 8 + tmp.size() || n.compare(0, prefix.size(), prefix) != 0 ||
        n.compare(prefix.size() + 8, tmp.size(), tmp) != 0)
        return false;
    return std::all_of(n.begin() + long(prefix.size()), n.begin() + long(prefix.size()) + 8,
                       [](NativeChar c) {
                           return (c >= NativeChar('0') && c <= NativeChar('9')) ||
                                  (c >= NativeChar('a') && c <= NativeChar('f'));
                       });
}

}  // namespace

bool IsTemporaryNameOf(const std::filesystem::path& name, const std::filesystem::path& target) {
    return IsNameOf(name, target, ".tmp");
}

std::filesystem::path AsideNameBeside(const std::filesystem::path& target) {
    const std::string name = "~qwz-" + Hex8(NameHash(target)) + "-" + Hex8(NextTag()) + ".org";
    return target.parent_path() / std::filesystem::path(name);
}

bool IsAsideNameOf(const std::filesystem::path& name, const std::filesystem::path& target) {
    return IsNameOf(name, target, ".org");
}

std::filesystem::path OriginalLeftAside(const std::filesystem::path& target, FileOps& ops) {
    std::vector<std::filesystem::path> names;
    if (!ops.ListFolder(FolderOf(target), names)) return {};
    for (const std::filesystem::path& name : names)
        if (IsAsideNameOf(name, target) && ops.Examine(target.parent_path() / name, false, nullptr) == NameKind::Regular)
            return target.parent_path() / name;
    return {};
}

std::filesystem::path NameBeside(const std::filesystem::path& file, const std::string& label, int n) {
    const std::string suffix = n == 1 ? " (" + label + ")" : " (" + label + " " + std::to_string(n) + ")";
    std::filesystem::path name = file.stem();
    name += std::filesystem::path(std::u8string(suffix.begin(), suffix.end()));  // UTF-8, on Windows too
    name += file.extension();
    return std::filesystem::path(file).replace_filename(name);
}

NoReplace MoveWithoutReplacing(FileOps& ops, const std::filesystem::path& from, const std::filesystem::path& to,
                               Reason& error) {
    error.clear();
    const NoReplace moved = ops.RenameNoReplace(from, to, error);
    if (moved != NoReplace::Unsupported) return moved;
    // A second name, then the first one removed.
    error.clear();
    const NoReplace linked = ops.Link(from, to, error);
    if (linked == NoReplace::Done) RemoveWithRetries(ops, from, error);
    return linked;
}

std::filesystem::path KeepBeside(FileOps& ops, const std::filesystem::path& from, const std::filesystem::path& file,
                                 const std::string& label) {
    constexpr int kNames = 100;
    for (int n = 1; n <= kNames; ++n) {
        const std::filesystem::path name = NameBeside(file, label, n);
        Reason error;
        const NoReplace done = MoveWithoutReplacing(ops, from, name, error);
        if (done == NoReplace::Done) return name;
        if (done != NoReplace::NameTaken) return {};
    }
    return {};
}

bool RemoveStaleTemporaries(const std::filesystem::path& target, FileOps& ops) {
    std::vector<std::filesystem::path> paths;
    bool temporary = false;
    if (LeftoverIndex* index = LeftoverIndex::Current()) {
        paths = index->Take(target, ops);
    } else {
        std::vector<std::filesystem::path> names;
        if (!ops.ListFolder(FolderOf(target), names)) return false;
        for (const std::filesystem::path& name : names)
            if (IsTemporaryNameOf(name, target) || IsAsideNameOf(name, target)) paths.push_back(target.parent_path() / name);
    }
    for (const std::filesystem::path& path : paths) {
        Reason ignored;
        FileState state;
        if (ops.Examine(path, false, &state) != NameKind::Regular) continue;
        temporary = temporary || IsTemporaryNameOf(path, target);
        if (!IsAsideNameOf(path, target) || state.links >= 2) ops.Remove(path, ignored);
        else KeepBeside(ops, path, target, "oryginał");
    }
    return temporary;
}

}  // namespace qwz::replace
