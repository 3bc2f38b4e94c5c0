#include "engine/ConversionRecord.h"

#include "platform/ContentHash.h"
#include "platform/PathNames.h"
#include "platform/SafeReplace.h"

#include <charconv>
#include <random>
#include <sstream>
#include <vector>

namespace fs = std::filesystem;

namespace qwz {
namespace {

using platform::PathForMessage;

constexpr const char* kFirstLine = "qwz-record 1";
// A record is a few lines; anything much larger is not one.
constexpr uint64_t kLargestRecord = 4096;
// Temporary names tried for the record before giving up.
constexpr int kTemporaryNameAttempts = 8;
// The user's file is read for its digest this much at a time.
constexpr size_t kDigestChunk = size_t(8) << 20;

bool WriteAll(platform::FileOps& ops, platform::FileHandle file, const std::string& text, platform::Reason& error) {
    const auto* data = reinterpret_cast<const uint8_t*>(text.data());
    for (size_t done = 0; done < text.size();) {
        size_t written = 0;
        if (!ops.Write(file, data + done, text.size() - done, written, error)) return false;
        done += written;
    }
    return true;
}

// Parses "size N" and "digest HEX" after the first line; false when the
// text is not a record.
bool Parse(const std::string& text, ConversionRecord& record) {
    std::istringstream in(text);
    std::string line;
    if (!std::getline(in, line) || line != kFirstLine) return false;
    bool size = false, digest = false;
    while (std::getline(in, line)) {
        const auto space = line.find(' ');
        if (space == std::string::npos) continue;
        const std::string key = line.substr(0, space), value = line.substr(space + 1);
        const char* end = value.data() + value.size();
        if (key == "size") {
            size = std::from_chars(value.data(), end, record.size).ptr == end && !value.empty();
        } else if (key == "digest") {
            digest = value.size() == 16 && std::from_chars(value.data(), end, record.digest, 16).ptr == end;
        }
    }
    return size && digest;
}

// The digest of the open file's first `size` bytes; false with `error` when
// a read fails, and with `got` short of `size` when the file ends sooner.
bool Digest(platform::FileOps& ops, platform::FileHandle file, uint64_t size, uint64_t& digest, uint64_t& got,
            platform::Reason& error) {
    platform::ContentHash hash;
    std::vector<uint8_t> chunk(size_t(std::min<uint64_t>(size, kDigestChunk)));
    for (got = 0; got < size;) {
        size_t n = 0;
        const size_t want = size_t(std::min<uint64_t>(chunk.size(), size - got));
        if (!ops.ReadAt(file, got, chunk.data(), want, n, error)) return false;
        if (n == 0) break;
        hash.AddOnEveryCore(chunk.data(), n);
        got += n;
    }
    digest = hash.Value();
    return true;
}

RecordVerdict NotSame(std::string reason) { return {false, std::move(reason)}; }

}  // namespace

fs::path RecordPath(const fs::path& backup) {
    fs::path record = backup;
    record += ".txt";
    return record;
}

std::string RecordText(const ConversionRecord& record) {
    char digest[17] = {};
    for (int i = 0; i < 16; ++i) digest[i] = "0123456789abcdef"[(record.digest >> (60 - 4 * i)) & 0xF];
    return std::string(kFirstLine) + "\nsize " + std::to_string(record.size) + "\ndigest " + digest +
           "\n\nZapis QWZ Downgradera: wielkość i skrót pliku, który konwersja zapisała pod nazwą oryginału.\n"
           "Polecenie \"qwz restore\" przywraca kopię zapasową tylko wtedy, gdy plik jest nadal tym samym plikiem,\n"
           "aby nie stracić pracy zapisanej w nim po konwersji. Usuń ten zapis razem z kopią zapasową.\n";
}

bool KeepRecord(const fs::path& file, const fs::path& backup, const ConversionRecord& record,
                platform::FileOps& ops, std::string& reason) {
    const fs::path name = RecordPath(backup);
    platform::Reason error, ignored;
    platform::FileHandle handle;
    fs::path temp;
    std::random_device random;
    for (int attempt = 0;; ++attempt) {
        temp = platform::TemporaryNameBeside(file, uint32_t(random()));
        bool exists = false;
        if (ops.CreateNew(temp, backup, handle, exists, error)) break;
        if (!exists || attempt == kTemporaryNameAttempts) {
            reason = error;
            return false;
        }
    }
    const bool written = WriteAll(ops, handle, RecordText(record), error) && ops.Flush(handle, error);
    const bool closed = ops.Close(handle, written ? error : ignored);
    if (!written || !closed || !ops.RenameReplace(temp, name, error)) {
        ops.Remove(temp, ignored);
        reason = error;
        return false;
    }
    ops.SyncFolder(platform::FolderOf(name), ignored);
    return true;
}

void DropRecord(const fs::path& backup, platform::FileOps& ops) {
    const fs::path name = RecordPath(backup);
    platform::Reason ignored;
    if (ops.Examine(name, false, nullptr) == platform::NameKind::Regular) ops.Remove(name, ignored);
}

RecordVerdict JudgeAgainstRecord(const fs::path& file, platform::FileHandle held, uint64_t size,
                                 const fs::path& backup, platform::FileOps& ops) {
    const fs::path name = RecordPath(backup);
    const std::string unknown = "nie wiadomo, czy plik " + PathForMessage(file) + " zmieniono po konwersji";
    platform::FileState state;
    const platform::NameKind kind = ops.Examine(name, false, &state);
    if (kind == platform::NameKind::Missing)
        return NotSame("brak zapisu konwersji " + PathForMessage(name) + ": " + unknown);
    std::vector<uint8_t> bytes;
    platform::Reason error;
    ConversionRecord record;
    if (kind != platform::NameKind::Regular || state.size > kLargestRecord || !ops.ReadAll(name, bytes, error) ||
        !Parse(std::string(bytes.begin(), bytes.end()), record))
        return NotSame("zapis konwersji " + PathForMessage(name) + " jest nieczytelny: " + unknown);

    const std::string changed = "plik " + PathForMessage(file) + " zmieniono po konwersji (";
    if (size != record.size)
        return NotSame(changed + "ma " + std::to_string(size) + " B, konwersja zapisała " +
                       std::to_string(record.size) + " B)");
    uint64_t digest = 0, got = 0;
    if (!Digest(ops, held, size, digest, got, error)) return NotSame(error);
    if (got != size || digest != record.digest)
        return NotSame(changed + "ta sama wielkość, inna treść niż zapisana przez konwersję)");
    return {true, {}};
}

}  // namespace qwz
