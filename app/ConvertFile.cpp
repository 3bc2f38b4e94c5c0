#include "app/ConvertFile.h"

#include "bytes/FormatError.h"
#include "document/Klasaqwz.h"
#include "format/VersionTable.h"
#include "model/Downgrade.h"
#include "model/Qwzsaveparams.h"
#include "platform/DebugOutput.h"
#include "platform/OriginalFile.h"
#include "platform/PathText.h"
#include "platform/SafeReplace.h"

#include <algorithm>
#include <exception>
#include <new>
#include <optional>

namespace qwz {
namespace {

// Per thread, so that conversions of several files at once keep their own.
std::string& LastFailure() {
    thread_local std::string reason;
    return reason;
}

// One line whatever the name holds, and never an exception of its own.
std::string Quoted(const std::filesystem::path& path) { return "\"" + platform::PathForText(path) + "\""; }

int Failed(const std::filesystem::path& path, const std::string& reason) {
    LastFailure() = reason;
    platform::DebugOutputW("Nie przekonwertowano pliku " + Quoted(path) + ": " + reason);
    return kConversionFailed;
}

int Skipped(const std::filesystem::path& path) {
    platform::DebugOutputW("Plik " + Quoted(path) + " jest już w odpowiedniej wersji");
    return kSkipped;
}

// Loads the original's bytes and decides. Returns the result when the file
// is skipped or refused; otherwise `bytes` holds the whole new file.
std::optional<int> MakeNewFile(const std::filesystem::path& path, int target,
                               const TQWZSaveParams& params, std::vector<uint8_t>& bytes) {
    KlasaQwz doc;
    // The document keeps the original's buffer and writes the new file into it.
    if (doc.LoadBuffer(std::move(bytes)) == 0)
        return Failed(path, "to nie jest plik QWZ");
    // An unknown version loads no content; writing it would empty the file.
    if (!IsReadableVersion(doc.Version))
        return Failed(path, "nieobsługiwana wersja pliku " + std::to_string(doc.Version));

    if (target >= doc.Version && params.KeepsEverything()) return Skipped(path);
    if (!NeedsConversion(doc, params)) return Skipped(path);
    // A damaged block ends the tail and everything after it is unread:
    // writing the document would drop that data without a word.
    if (!doc.GetDefinition()->TailDamage.empty())
        return Failed(path, doc.GetDefinition()->TailDamage);

    bytes = doc.SaveBytes(std::min(int(doc.Version), target), params);
    return std::nullopt;
}

int Convert(const std::filesystem::path& path, int target, platform::FileOps& ops) {
    TQWZSaveParamsPtr params = GetSaveParams();
    // A negative target would reach the writer as its low byte: -52 is 204.
    if (target < 0)
        return Failed(path, "nieprawidłowa wersja docelowa " + std::to_string(target));

    // The original stays open and locked until it has been replaced, so
    // that no other conversion of it runs meanwhile and any change to it
    // is seen.
    platform::OriginalFile original(ops);
    std::vector<uint8_t> bytes;
    std::string reason;
    if (!original.Open(path, reason) || !original.Read(bytes, reason)) return Failed(path, reason);

    // The whole new file is made in memory before the disk is touched; the
    // original's bytes and the document are gone by then.
    if (std::optional<int> decided = MakeNewFile(path, target, *params, bytes)) return *decided;
    // The version byte of the new file: a target below 202 is written by the
    // 202 writer, while the document keeps the lower number.
    const int written = bytes.size() >= 4 ? bytes[3] : -1;

    platform::ReplaceOptions options;
    if (params->KeepOriginal) options.backup = BackupPath(path);
    options.verify = [written](const std::vector<uint8_t>& back, std::string& reason) {
        KlasaQwz check;
        try {
            if (check.LoadBytes(back.data(), back.size()) == written) return true;
            reason = "zapisany plik nie daje się odczytać jako wersja " + std::to_string(written);
        } catch (const std::bad_alloc&) {
            reason = "za mało pamięci, by sprawdzić zapisany plik";
        } catch (const std::exception& e) {
            reason = std::string("zapisany plik nie daje się odczytać: ") + e.what();
        }
        return false;
    };
    if (!platform::ReplaceFileSafely(original, bytes, options, reason)) return Failed(path, reason);
    return kConverted;
}

}  // namespace

const std::string& LastConversionFailure() { return LastFailure(); }

int ConvertFile(const std::filesystem::path& path, int target) {
    return ConvertFile(path, target, platform::SystemFileOps());
}

int ConvertFile(const std::filesystem::path& path, int target, platform::FileOps& ops) {
    LastFailure().clear();
    try {
        return Convert(path, target, ops);
    } catch (const std::bad_alloc&) {
        return Failed(path, "za mało pamięci");
    } catch (const std::exception& e) {
        return Failed(path, e.what());
    } catch (...) {
        return Failed(path, "nieoczekiwany błąd");
    }
}

}  // namespace qwz
