#include "cli/LoadFile.h"

#include "cli/Text.h"
#include "engine/LoadQwz.h"
#include "platform/FileOps.h"
#include "platform/FileRead.h"

#include <new>

namespace qwz::cli {
LoadOutcome LoadDocument(const std::filesystem::path& path, KlasaQwz& doc) {
    LoadOutcome r;
    // What is at the name is told as the conversion tells it.
    switch (platform::SystemFileOps().Examine(path, true, nullptr)) {
    case platform::NameKind::Missing: r.reason = "plik nie istnieje"; r.noFile = true; return r;
    case platform::NameKind::Regular: break;
    default: r.reason = "to nie jest zwykły plik"; r.noFile = true; return r;
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
        ReadResult read;
        LoadResult load = LoadQwzBytes(std::move(bytes), doc, {}, &read);
        // What the tail reader skipped, in the user's words.
        for (const Warning& w : read.warnings)
            if (w.kind == Warning::Kind::DamagedTail) r.notes.push_back(w.text);
        if (!load.ok) {
            r.reason = load.reason;
            r.hasOffset = load.hasOffset;
            r.offset = load.offset;
            r.field = load.field;
            return r;
        }
    } catch (const std::bad_alloc&) {
        r.reason = "za mało pamięci, by wczytać plik";
        return r;
    } catch (const std::exception& e) {
        r.reason = ExceptionText(e);
        return r;
    }
    r.ok = true;
    return r;
}

}  // namespace qwz::cli
