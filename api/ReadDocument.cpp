#include "api/ReadDocument.h"

#include "api/Remarks.h"
#include "bytes/StatusCode.h"
#include "engine/ExceptionText.h"
#include "engine/LoadQwz.h"
#include "platform/FileOps.h"
#include "bytes/StatusCode.h"

#include <exception>
#include <new>

namespace qwz::api {
namespace {

// The engine's load, its remarks kept as the call's, judged as Check
// reports a file. `load` loads into `doc`, filling the ReadResult given.
template <typename Load>
CheckResult Judged(KlasaQwz& doc, const Load& load) {
    CheckResult r;
    try {
        std::vector<std::string> said;
        ReadResult read;
        LoadResult loaded;
        {
            CallRemarks remarks(said);
            loaded = load(read);
            RemarkWarnings(read.warnings);
        }
        if (!loaded.ok) {
            r.status = loaded.noFile   ? CheckStatus::NoFile
                       : loaded.unread ? CheckStatus::Failed
                                       : CheckStatus::Damaged;
            r.code = std::string(StatusCodeName(loaded.code));
            r.reason = loaded.reason;
            r.hasOffset = loaded.hasOffset;
            r.offset = loaded.offset;
            r.field = loaded.field;
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

}  // namespace

CheckResult ReadDocument(const std::filesystem::path& path, KlasaQwz& doc) {
    return Judged(doc, [&](ReadResult& read) { return LoadQwzFile(path, doc, platform::SystemFileOps(), &read); });
}

CheckResult ReadDocument(std::vector<uint8_t>&& bytes, KlasaQwz& doc) {
    return Judged(doc, [&](ReadResult& read) { return LoadQwzBytes(std::move(bytes), doc, {}, &read); });
}

}  // namespace qwz::api
