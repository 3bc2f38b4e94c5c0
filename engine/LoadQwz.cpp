#include "engine/LoadQwz.h"

#include "bytes/FormatError.h"
#include "engine/ExceptionText.h"
#include "format/VersionTable.h"

#include <cstring>
#include <new>

namespace qwz {

namespace {

// Checks the header of `data`, then loads with `load`, which returns the
// version loaded (0: nothing).
template <typename Load>
LoadResult LoadChecked(const uint8_t* data, size_t size, const Load& load) {
    LoadResult r;
    if (size < 3 || std::memcmp(data, "QWZ", 3) != 0) {
        r.code = StatusCode::NotQwz;
        r.reason = "to nie jest plik QWZ (brak znacznika \"QWZ\" na początku)";
        return r;
    }
    if (size < 4) {
        r.code = StatusCode::Damaged;
        r.reason = "plik urwany na bajcie 3 (wersja formatu)";
        r.hasOffset = true;
        r.offset = 3;
        r.field = "wersja formatu";
        return r;
    }
    const int version = data[3];
    // A version that is not read loads no content: writing it would empty
    // the file.
    if (!IsReadableVersion(version)) {
        r.code = StatusCode::UnsupportedVersion;
        r.reason = "nieobsługiwana wersja formatu " + std::to_string(version) + " (obsługiwane: " +
                   VersionListText(ReadVersions()) + ")";
        return r;
    }
    try {
        if (load() == 0) {
            r.code = StatusCode::Unexpected;
            r.reason = "nie udało się wczytać pliku";
            return r;
        }
    } catch (const FormatError& e) {
        r.reason = e.what();
        r.code = e.kind() == FormatError::Kind::Unwritable ? StatusCode::DoesNotFit
                                                            : StatusCode::Damaged;
        if (e.kind() != FormatError::Kind::Unwritable) {
            r.hasOffset = true;
            r.offset = e.offset();
            r.field = e.field();
        }
        return r;
    } catch (const std::bad_alloc&) {
        r.code = StatusCode::OutOfMemory;
        r.reason = "za mało pamięci, by wczytać plik";
        return r;
    } catch (const std::exception&) {
        r.code = StatusCode::Unexpected;
        r.reason = "nieoczekiwany błąd odczytu";
        return r;
    }
    r.ok = true;
    return r;
}

}  // namespace

LoadResult LoadQwzBytes(std::vector<uint8_t>&& bytes, KlasaQwz& doc, const ReadOptions& options, ReadResult* read) {
    const uint8_t* data = bytes.data();
    const size_t size = bytes.size();
    return LoadChecked(data, size, [&] { return doc.LoadBuffer(std::move(bytes), 0, options, read); });
}

LoadResult LoadQwzView(const uint8_t* data, size_t size, KlasaQwz& doc, const ReadOptions& options,
                       ReadResult* read) {
    return LoadChecked(data, size, [&] { return doc.LoadBytes(data, size, 0, options, read); });
}

LoadResult LoadQwzFile(const std::filesystem::path& path, KlasaQwz& doc, platform::FileOps& ops,
                       ReadResult* read) {
    LoadResult r;
    // What is at the name is told as the conversion tells it.
    switch (ops.Examine(path, true, nullptr)) {
    case platform::NameKind::Missing:
        r.code = StatusCode::NotFound;
        r.reason = "plik nie istnieje";
        r.noFile = true;
        return r;
    case platform::NameKind::Regular: break;
    default:
        r.code = StatusCode::NotRegularFile;
        r.reason = "to nie jest zwykły plik";
        r.noFile = true;
        return r;
    }
    std::vector<uint8_t> bytes;
    r.unread = true;
    try {
        // The whole file is one allocation: too large for the memory left
        // is a reason like any other, and the next file is still tried.
        Reason error;
        if (!ops.ReadAll(path, bytes, error)) {
            r.code = error.code;
            r.reason = error.empty() ? "nie można odczytać pliku" : error.str();
            return r;
        }
    } catch (const std::bad_alloc&) {
        r.code = StatusCode::OutOfMemory;
        r.reason = "za mało pamięci, by wczytać plik";
        return r;
    } catch (const std::exception& e) {
        const Reason why = ExceptionReason(e);
        r.code = why.code;
        r.reason = why.str();
        return r;
    }
    return LoadQwzBytes(std::move(bytes), doc, {}, read);
}

}  // namespace qwz
