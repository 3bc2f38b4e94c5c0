#include "engine/Conversion.h"

#include "document/Klasaqwz.h"
#include "engine/BackupName.h"
#include "engine/ExceptionText.h"
#include "engine/LoadQwz.h"
#include "format/VersionTable.h"
#include "model/Downgrade.h"
#include "platform/OriginalFile.h"
#include "platform/SafeReplace.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <new>

namespace qwz {
namespace {

bool Fail(ConversionOutcome& r, std::string reason) {
    r.status = ConversionStatus::Failed;
    r.reason = std::move(reason);
    return false;
}

bool Skip(ConversionOutcome& r) {
    r.status = ConversionStatus::Skipped;
    r.reason = "już w wersji " + std::to_string(r.fromVersion) + ", nic do zmiany";
    return false;
}

// A file that keeps everything and is already at or below the version asked
// for (by the request or by the parameters' own target) is skipped from its
// header alone, whatever its size: nothing of it would change. False when
// the rest of the file has to be read to decide.
bool SkippedByHeader(platform::OriginalFile& original, const ConversionRequest& request, ConversionOutcome& r) {
    if (!request.params.KeepsEverything()) return false;
    uint8_t header[4] = {};
    size_t got = 0;
    std::string ignored;
    if (!original.ops().ReadAt(original.handle(), 0, header, sizeof header, got, ignored) ||
        got != sizeof header || std::memcmp(header, "QWZ", 3) != 0 || !IsReadableVersion(header[3]))
        return false;
    const int version = header[3];
    if (request.target < version && request.params.TargetVersion < version) return false;
    r.fromVersion = version;
    r.sizeBefore = original.state().size;
    Skip(r);
    return true;
}

// Loads the original's bytes and decides. False when the file is skipped or
// refused (the result says which); otherwise `bytes` holds the whole new
// file and the result its version and what it leaves out. The document,
// and with it the original's bytes, is gone on return.
bool MakeNewFile(const ConversionRequest& request, std::vector<uint8_t>& bytes, ConversionOutcome& r) {
    const TQWZSaveParams& params = request.params;
    KlasaQwz doc;
    // The document keeps the original's buffer and leaves the meshes in it
    // until the save builds them, one batch at a time.
    doc.MeshesOnDemand = true;
    LoadResult load = LoadQwzBytes(std::move(bytes), doc);
    if (!load.ok) return Fail(r, load.reason);
    r.fromVersion = doc.Version;

    if ((request.target >= r.fromVersion && params.KeepsEverything()) || !NeedsConversion(doc, params))
        return Skip(r);
    // A damaged block ends the tail and everything after it is unread:
    // writing the document would drop that data without a word.
    if (!doc.GetDefinition()->TailDamage.empty()) return Fail(r, doc.GetDefinition()->TailDamage);

    // The save is the document's last use: its meshes go as they are written.
    doc.ReleaseMeshesWhenWritten = true;
    bytes = doc.SaveBytes(std::min(r.fromVersion, request.target), request.params);
    // The version byte of the new file: a target below the oldest layout
    // written is written by its writer, while the document keeps the
    // lower number.
    r.toVersion = bytes.size() >= 4 ? bytes[3] : 0;
    r.sizeAfter = bytes.size();
    r.dropped = CountDropped(doc, r.toVersion, params);
    return true;
}

void Convert(const std::filesystem::path& path, const ConversionRequest& request, platform::FileOps& ops,
             ConversionOutcome& r) {
    // A negative target would reach the writer as its low byte: -52 is 204.
    if (request.target < 0) {
        Fail(r, "nieprawidłowa wersja docelowa " + std::to_string(request.target));
        return;
    }

    // A kept original is left as it is: converting it again would make a
    // backup of the backup and leave two files that claim to be the original.
    if (const std::filesystem::path original = OriginalOfKeptBackup(path, ops); !original.empty()) {
        platform::FileState state;
        if (ops.Examine(path, true, &state) == platform::NameKind::Regular) r.sizeBefore = state.size;
        r.status = ConversionStatus::Skipped;
        r.reason = "to kopia zapasowa pliku " + platform::PathForMessage(original.filename()) + ", zostaje bez zmian";
        return;
    }

    // The original stays open and locked until it has been replaced (or the
    // plan made), so that no other conversion of it runs meanwhile and any
    // change to it is seen.
    platform::OriginalFile original(ops);
    std::vector<uint8_t> bytes;
    std::string reason;
    if (!original.Open(path, reason)) {
        Fail(r, reason);
        return;
    }
    if (SkippedByHeader(original, request, r)) return;
    if (!original.Read(bytes, reason)) {
        Fail(r, reason);
        return;
    }
    r.sizeBefore = original.state().size;

    // The whole new file is made in memory before the disk is touched.
    if (!MakeNewFile(request, bytes, r)) return;

    platform::ReplaceOptions options;
    if (request.params.KeepOriginal) options.backup = BackupPath(path);
    if (!request.write) {
        // What the replacement would refuse before writing anything.
        if (!platform::CanReplace(original, options.backup, reason)) {
            Fail(r, reason);
            return;
        }
    } else {
        const int written = r.toVersion;
        options.verify = [written](const std::vector<uint8_t>& back, std::string& why) {
            KlasaQwz check;
            try {
                // Walked, not loaded: a second full document of a large
                // file would cost as much memory as the first.
                if (check.WalkBytes(back.data(), back.size()) == written) return true;
                why = "zapisany plik nie daje się odczytać jako wersja " + std::to_string(written);
            } catch (const std::bad_alloc&) {
                why = "za mało pamięci, by sprawdzić zapisany plik";
            } catch (const std::exception& e) {
                why = "zapisany plik nie daje się odczytać: " + ExceptionText(e);
            }
            return false;
        };
        if (!platform::ReplaceFileSafely(original, bytes, options, reason)) {
            Fail(r, reason);
            return;
        }
    }
    r.status = ConversionStatus::Converted;
    r.reason.clear();
    r.backup = options.backup;
}

}  // namespace

ConversionOutcome ConvertQwz(const std::filesystem::path& path, const ConversionRequest& request,
                            platform::FileOps& ops) {
    ConversionOutcome r;
    try {
        Convert(path, request, ops, r);
    } catch (const std::exception& e) {
        Fail(r, ExceptionText(e));
    } catch (...) {
        Fail(r, "nieoczekiwany błąd");
    }
    return r;
}

}  // namespace qwz
