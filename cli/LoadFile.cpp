#include "cli/LoadFile.h"

#include "bytes/FormatError.h"
#include "cli/Text.h"
#include "format/VersionTable.h"
#include "platform/DebugOutput.h"
#include "platform/FileRead.h"

#include <cstring>

namespace qwz::cli {
DebugCapture::DebugCapture(std::vector<std::string>& lines)
    : previous_(platform::SetDebugSink([&lines](std::string_view text, bool) { lines.emplace_back(text); })) {}

DebugCapture::~DebugCapture() { platform::SetDebugSink(previous_); }

LoadOutcome LoadDocument(const std::filesystem::path& path, KlasaQwz& doc) {
    LoadOutcome r;
    if (!platform::IsRegularFile(path)) {
        std::error_code ec;
        r.reason = std::filesystem::is_directory(path, ec) ? "to jest folder, nie plik"
                   : std::filesystem::exists(path, ec)     ? "to nie jest zwykły plik"
                                                           : "nie ma takiego pliku";
        return r;
    }
    try {
        // The whole file is one allocation: too large for the memory left
        // is a reason like any other, and the next file is still tried.
        std::vector<uint8_t> bytes;
        std::string error;
        if (!platform::ReadWholeFile(path, bytes, &error)) {
            r.reason = error.empty() ? "nie można odczytać pliku" : error;
            return r;
        }
        if (bytes.size() < 3 || std::memcmp(bytes.data(), "QWZ", 3) != 0) {
            r.reason = "to nie jest plik QWZ (brak znacznika \"QWZ\" na początku)";
            return r;
        }
        if (bytes.size() < 4) {
            r.reason = "plik urwany na bajcie 3 (wersja formatu)";
            r.hasOffset = true;
            r.offset = 3;
            r.field = "wersja formatu";
            return r;
        }
        const int version = bytes[3];
        if (!IsReadableVersion(version)) {
            r.reason = "nieobsługiwana wersja formatu " + std::to_string(version) +
                       " (obsługiwane: " + VersionListText(ReadVersions()) + ")";
            return r;
        }
        DebugCapture capture(r.notes);
        if (doc.LoadBuffer(std::move(bytes)) == 0) {
            r.reason = "nie udało się wczytać pliku";
            return r;
        }
    } catch (const FormatError& e) {
        r.reason = e.what();
        if (e.kind() != FormatError::Kind::Unwritable) {
            r.hasOffset = true;
            r.offset = e.offset();
            r.field = e.field();
        }
        return r;
    } catch (const std::bad_alloc&) {
        r.reason = "za mało pamięci, by wczytać plik";
        return r;
    } catch (const std::exception& e) {
        r.reason = "błąd odczytu: " + ExceptionText(e);
        return r;
    }
    // What the tail reader skipped, in the user's words rather than the
    // debug line's.
    if (!doc.GetDefinition()->TailDamage.empty()) r.notes = {doc.GetDefinition()->TailDamage};
    r.ok = true;
    return r;
}

}  // namespace qwz::cli
