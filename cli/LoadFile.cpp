#include "cli/LoadFile.h"

#include "cli/Text.h"
#include "engine/LoadQwz.h"
#include "platform/FileOps.h"
#include "platform/DebugOutput.h"
#include "platform/FileRead.h"

#include <new>

namespace qwz::cli {
DebugCapture::DebugCapture(std::vector<std::string>& lines)
    : previous_(platform::SetThreadDebugSink([&lines](std::string_view text, bool) { lines.emplace_back(text); })) {}

DebugCapture::~DebugCapture() { platform::SetThreadDebugSink(previous_); }

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
        DebugCapture capture(r.notes);
        LoadResult load = LoadQwzBytes(std::move(bytes), doc);
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
    // What the tail reader skipped, in the user's words rather than the
    // debug line's.
    if (!doc.GetDefinition()->TailDamage.empty()) r.notes = {doc.GetDefinition()->TailDamage};
    r.ok = true;
    return r;
}

}  // namespace qwz::cli
