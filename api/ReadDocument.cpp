#include "api/ReadDocument.h"

#include "api/Remarks.h"
#include "bytes/StatusCode.h"
#include "engine/ExceptionText.h"
#include "engine/LoadQwz.h"
#include "platform/FileOps.h"
#include "platform/FileRead.h"

#include <exception>
#include <new>


namespace qwz::api {

CheckResult ReadDocument(const std::filesystem::path& path, KlasaQwz& doc) {
    CheckResult r;
    switch (platform::SystemFileOps().Examine(path, true, nullptr)) {
    case platform::NameKind::Missing:
        r.status = CheckStatus::NoFile;
        r.code = "not-found";
        r.reason = "plik nie istnieje";
        return r;
    case platform::NameKind::Regular: break;
    default:
        r.status = CheckStatus::NoFile;
        r.code = "not-regular-file";
        r.reason = "to nie jest zwykły plik";
        return r;
    }
    std::vector<uint8_t> bytes;
    try {
        std::string error;
        if (!platform::ReadWholeFile(path, bytes, &error)) {
            r.code = "io-error";
            r.reason = error.empty() ? "nie można odczytać pliku" : error;
            return r;
        }
    } catch (const std::bad_alloc&) {
        r.code = "out-of-memory";
        r.reason = "za mało pamięci, by wczytać plik";
        return r;
    }
    return ReadDocument(std::move(bytes), doc);
}

CheckResult ReadDocument(std::vector<uint8_t>&& bytes, KlasaQwz& doc) {
    CheckResult r;
    try {
        std::vector<std::string> said;
        ReadResult read;
        LoadResult load;
        {
            CallRemarks remarks(said);
            load = LoadQwzBytes(std::move(bytes), doc, {}, &read);
            RemarkWarnings(read.warnings);
        }
        if (!load.ok) {
            r.status = CheckStatus::Damaged;
            r.code = std::string(StatusCodeName(load.code));
            r.reason = load.reason;
            r.hasOffset = load.hasOffset;
            r.offset = load.offset;
            r.field = load.field;
            return r;
        }
        r.version = doc.Version;
        // A reader that stopped early says so in the document, in the
        // user's words: the rest of the file would be lost by a save.
        std::string stopped;
        for (const Warning& w : read.warnings)
            if (w.kind == Warning::Kind::DamagedTail) stopped = w.text;
        if (!stopped.empty()) {
            r.status = CheckStatus::Damaged;
            r.code = "damaged";
            r.reason = stopped;
            r.notes = {stopped};
            return r;
        }
    } catch (const std::bad_alloc&) {
        r.code = "out-of-memory";
        r.reason = "za mało pamięci, by wczytać plik";
        return r;
    } catch (const std::exception& e) {
        r.code = "unexpected";
        r.reason = ExceptionText(e);
        return r;
    }
    r.status = CheckStatus::Sound;
    r.code = "readable";
    return r;
}

}  // namespace qwz::api
