#include "cli/LoadFile.h"

#include "cli/Text.h"
#include "engine/LoadQwz.h"
#include "platform/FileOps.h"

#include <new>

namespace qwz::cli {
LoadOutcome LoadDocument(const std::filesystem::path& path, KlasaQwz& doc, platform::FileOps& ops) {
    LoadOutcome r;
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
    try {
        // The whole file is one allocation: too large for the memory left
        // is a reason like any other, and the next file is still tried.
        std::vector<uint8_t> bytes;
        Reason error;
        if (!ops.ReadAll(path, bytes, error)) {
            r.code = error.code;
            r.reason = error.empty() ? "nie można odczytać pliku" : error.str();
            return r;
        }
        ReadResult read;
        LoadResult load = LoadQwzBytes(std::move(bytes), doc, {}, &read);
        // What the tail reader skipped, in the user's words.
        for (const Warning& w : read.warnings)
            if (w.kind == Warning::Kind::DamagedTail) r.notes.push_back(w.text);
        if (!load.ok) {
            r.code = load.code;
            r.reason = load.reason;
            r.hasOffset = load.hasOffset;
            r.offset = load.offset;
            r.field = load.field;
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
    r.ok = true;
    return r;
}

}  // namespace qwz::cli
