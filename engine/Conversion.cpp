#include "engine/Conversion.h"

#include "engine/ExceptionText.h"
#include "engine/LoadQwz.h"
#include "format/Klasaqwz.h"
#include "format/VersionTable.h"
#include "model/Downgrade.h"
#include "model/MeshSource.h"
#include "replace/BackupName.h"
#include "replace/NewFile.h"
#include "replace/OriginalFile.h"
#include "replace/SafeReplace.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <new>
#include <string>
#include <vector>

namespace qwz {
namespace {

bool Fail(ConversionOutcome& r, const Reason& reason) {
    r.status = ConversionStatus::Failed;
    r.code = reason.code;
    r.reason = reason.str();
    return false;
}

bool Skip(ConversionOutcome& r) {
    r.status = ConversionStatus::Skipped;
    r.code = StatusCode::UpToDate;
    r.reason = "już w wersji " + std::to_string(r.fromVersion) + ", nic do zmiany";
    return false;
}

// The version at or below which a file that loses nothing is left as it is
// (none for the file's own version).
int LeaveUpTo(const ConversionRequest& request) {
    return request.leaveUpTo.value_or(request.ownVersion ? 0 : request.target);
}

// A file that keeps everything and is already at or below the version asked
// for is skipped from its header alone, whatever its size: nothing of it
// would change. False when the rest of the file has to be read to decide.
bool SkippedByHeader(replace::OriginalFile& original, const ConversionRequest& request, ConversionOutcome& r) {
    if (!request.params.KeepsEverything()) return false;
    uint8_t header[4] = {};
    size_t got = 0;
    Reason ignored;
    if (!original.ops().ReadAt(original.handle(), 0, header, sizeof header, got, ignored) ||
        got != sizeof header || std::memcmp(header, "QWZ", 3) != 0 || !IsReadableVersion(header[3]))
        return false;
    const int version = header[3];
    if (LeaveUpTo(request) < version) return false;
    r.fromVersion = version;
    r.sizeBefore = original.state().size;
    Skip(r);
    return true;
}

// The warning of a damaged tail among `warnings`; nullptr when the tail was
// whole.
const Warning* TailDamage(const Warnings& warnings) {
    for (const Warning& w : warnings)
        if (w.kind == Warning::Kind::DamagedTail) return &w;
    return nullptr;
}

// Decides on the original loaded into `doc` (with its meshes left in the
// file's bytes). False when the file is skipped or refused (the result says
// which); otherwise the result holds the file's version and `doc` is ready
// for its one save.
bool Decide(const ConversionRequest& request, const LoadResult& load, KlasaQwz& doc, ConversionOutcome& r) {
    const TQWZSaveParams& params = request.params;
    if (!load.ok) return Fail(r, Reason(load.code, load.reason));
    r.fromVersion = doc.Version;

    const int leaveUpTo = LeaveUpTo(request);
    if ((leaveUpTo >= r.fromVersion && params.KeepsEverything()) || !NeedsConversion(doc, params, leaveUpTo))
        return Skip(r);
    // A damaged block ends the tail and everything after it is unread:
    // writing the document would drop that data without a word.
    if (const Warning* damage = TailDamage(r.warnings)) return Fail(r, Reason(StatusCode::Damaged, damage->text));
    return true;
}

// Saves the document a part at a time into `part`; the result gets the new
// file's version, size and what it leaves out. Returns the loaded file's
// buffer, whose memory the caller may use again.
std::vector<uint8_t> Save(KlasaQwz& doc, const MeshSource& meshes, const ConversionRequest& request,
                          const replace::FilePart& part, const platform::FileView& view, ConversionOutcome& r) {
    uint64_t size = 0;
    // The file's own version is asked of the document as its automatic
    // target, which moves to the layout that holds what the file has.
    const int target = request.ownVersion ? 0 : std::min(r.fromVersion, request.target);
    // The version byte of the new file is the writer's: a target below the
    // oldest layout written is written by it, while the document keeps the
    // lower number.
    r.toVersion = doc.SaveStreamed(target, request.params, [&](const uint8_t* data, size_t n) {
        size += n;
        part(data, n);
        // A part handed over as it lies in the original is not read again.
        view.LetGo(data, n);
    }, meshes, r.warnings, &r.maxVertexError);
    r.sizeAfter = size;
    r.dropped = CountDropped(doc, r.toVersion, request.params);
    return doc.TakeBuffer();
}

// Thrown when the view of the original was found cut while it was read.
struct OriginalCut {};

// The check of the file read back: walked, not loaded (a second full
// document of a large file would cost as much memory as the first), and it
// must read as the version written. Its warnings join the result's.
auto ReadBackCheck(ConversionOutcome& r) {
    return [&r](const uint8_t* back, size_t size, Reason& why) {
        KlasaQwz check;
        try {
            // The file read back is not needed after the walk.
            ReadResult read;
            const uint8_t version = check.WalkBytes(back, size, true, &read);
            r.warnings.insert(r.warnings.end(), read.warnings.begin(), read.warnings.end());
            if (version == r.toVersion) return true;
            why = Reason(StatusCode::VerifyFailed,
                         "zapisany plik nie daje się odczytać jako wersja " + std::to_string(r.toVersion));
        } catch (const std::bad_alloc&) {
            why = Reason(StatusCode::OutOfMemory, "za mało pamięci, by sprawdzić zapisany plik");
        } catch (const std::exception& e) {
            why = Reason(StatusCode::VerifyFailed, "zapisany plik nie daje się odczytać: " + ExceptionText(e));
        }
        return false;
    };
}

// The file `make` makes written under the output folder (or, for a dry
// run, made and the output judged). False when it is not: failed, or
// skipped because the file there is not older than the original.
bool WriteToOutput(const ConversionRequest& request, replace::OriginalFile& original, const replace::FileMaker& make,
                   replace::ReplaceOptions made, ConversionOutcome& r) {
    replace::NewFileOptions options;
    options.folder = request.outputFolder;
    options.relative = request.outputRelative;
    options.write = request.write;
    options.force = request.force;
    options.made = std::move(made);
    Reason reason;
    switch (replace::WriteNewFile(original, make, options, reason)) {
    case replace::NewFileDone::Written: r.output = options.folder / options.relative; return true;
    case replace::NewFileDone::KeptNewer:
        r.status = ConversionStatus::Skipped;
        r.code = reason.code;
        r.reason = reason.str();
        return false;
    case replace::NewFileDone::Failed: break;
    }
    return Fail(r, reason);
}

// A file that needs no conversion goes to the output folder as it is, so
// that the folder holds the whole tree: its bytes read from the held
// original, written and checked as a converted file is.
void CopyToOutput(const ConversionRequest& request, replace::OriginalFile& original, ConversionOutcome& r) {
    Reason readFailure;
    const replace::FileMaker copy = [&](const replace::FilePart& part) {
        uint64_t copied = 0;
        original.ReadInParts(
            size_t(1) << 20,
            [&part](const uint8_t* data, size_t n, Reason&) {
                part(data, n);
                return true;
            },
            copied, readFailure);
        return std::vector<uint8_t>();
    };
    replace::ReplaceOptions made;
    made.verify = [&readFailure](const uint8_t*, size_t, Reason& why) {
        if (readFailure.empty()) return true;
        why = readFailure;
        return false;
    };
    const ConversionOutcome skipped = r;
    if (WriteToOutput(request, original, copy, std::move(made), r)) return;
    // Kept newer: why nothing changes, and why the file was not copied.
    if (r.status == ConversionStatus::Skipped) r.reason = skipped.reason + "; " + r.reason;
}

// With refuseLoss: a file whose conversion would leave out content fails,
// and nothing is written. True when refused.
bool RefusedForLoss(const KlasaQwz& doc, const ConversionRequest& request, ConversionOutcome& r) {
    if (!request.refuseLoss) return false;
    const int target = request.ownVersion ? r.fromVersion : std::min(r.fromVersion, request.target);
    const Dropped dropped = CountDropped(doc, WriterFor(target).version, request.params);
    if (!dropped.Any()) return false;
    r.dropped = dropped;
    Fail(r, Reason(StatusCode::WouldLose, "konwersja usunęłaby: " + DroppedText(dropped) +
                                              "; plik nie został przekonwertowany (--fail-on-loss)"));
    return true;
}

// Writes the converted file in place of the original, or under the output
// folder (or, for a dry run, makes it and asks whether it could be).
void Replace(const std::filesystem::path& path, const ConversionRequest& request, replace::OriginalFile& original,
             platform::FileView& view, KlasaQwz& doc, const MeshSource& meshes, ConversionOutcome& r) {
    Reason reason;

    replace::ReplaceOptions options;
    const bool toOutput = !request.outputFolder.empty();
    if (request.params.KeepOriginal && !toOutput) options.backup = replace::BackupPath(path);
    options.write = request.write;
    // The new file is written as it is made, a batch of meshes at a time
    // (a dry run makes and counts it, and keeps nothing), then checked.
    options.verify = ReadBackCheck(r);
    // The view is let go once the file is made: the read-back then takes
    // pages the original's had.
    const replace::FileMaker make = [&](const replace::FilePart& part) {
        std::vector<uint8_t> spare = Save(doc, meshes, request, part, view, r);
        if (!view.Intact()) throw OriginalCut{};
        view.Reset();
        return spare;
    };
    std::vector<std::string> notCarried;
    options.notCarried = &notCarried;
    if (toOutput) {
        if (!WriteToOutput(request, original, make, options, r)) return;
    } else if (!replace::Replace(original, make, options, reason)) {
        Fail(r, reason);
        return;
    }
    reason.clear();
    if (!notCarried.empty()) {
        std::string note = "nowy plik nie dostał wszystkiego, co system plików wiedział o oryginale: ";
        for (size_t i = 0; i < notCarried.size(); ++i) note += (i ? "; " : "") + notCarried[i];
        reason = Reason(StatusCode::Converted, note);
    }
    r.status = ConversionStatus::Converted;
    r.code = StatusCode::Converted;
    r.reason = request.write ? reason.str() : std::string();
    r.backup = options.backup;
}

// A kept original is left as it is: converting it again would make a
// backup of the backup and leave two files that claim to be the original.
bool SkippedAsBackup(const std::filesystem::path& path, platform::FileOps& ops, ConversionOutcome& r) {
    const std::filesystem::path original = replace::OriginalOfKeptBackup(path, ops);
    if (original.empty()) return false;
    platform::FileState state;
    if (ops.Examine(path, true, &state) == platform::NameKind::Regular) r.sizeBefore = state.size;
    r.status = ConversionStatus::Skipped;
    r.code = StatusCode::IsBackup;
    r.reason = "to kopia zapasowa pliku " + platform::PathForMessage(original.filename()) + ", zostaje bez zmian";
    return true;
}

// Loads the original into `doc` from `view`, or read into memory when the
// view is empty, with its meshes left in the file's bytes: each is built
// when it is measured and again when it is written. `read` gets them and
// the result the readers' warnings. False when the file could not be read
// (the result says why).
bool LoadOriginal(replace::OriginalFile& original, const platform::FileView& view, KlasaQwz& doc, ReadResult& read,
                  LoadResult& load, ConversionOutcome& r) {
    ReadOptions options;
    options.meshes = ReadOptions::Meshes::LeaveInBytes;
    if (!view.empty()) {
        // Each mesh left in the view is read again once to be measured and
        // once to be written, and a view read piece by piece gives it back
        // after each.
        options.bytesRead = [&view](const uint8_t* bytes, size_t size) { view.LetGo(bytes, size); };
        load = LoadQwzView(view.data(), view.size(), doc, options, &read);
        // The load walked the whole file.
        view.LetGo(view.data(), view.size());
    } else {
        std::vector<uint8_t> bytes;
        Reason reason;
        if (!original.Read(bytes, reason)) return Fail(r, reason);
        load = LoadQwzBytes(std::move(bytes), doc, options, &read);
    }
    r.warnings = std::move(read.warnings);
    return true;
}

// Only a version with a writer of its own (or the file's own) is a target:
// any other would be written as another (201 as 202, 999 refused by the
// writer, 0 as the file's own, -52 as its low byte 204).
bool RefusedTarget(const ConversionRequest& request, ConversionOutcome& r) {
    if (request.ownVersion) return false;
    if (const VersionLayout* layout = FindVersion(request.target); layout && layout->write) return false;
    Fail(r, Reason(StatusCode::UnsupportedTarget, "nieobsługiwana wersja docelowa " + std::to_string(request.target) +
                                                      " (zapisywane: " + VersionListText(WrittenVersions()) + ")"));
    return true;
}

void Convert(const std::filesystem::path& named, const ConversionRequest& request, platform::FileOps& ops,
             ConversionOutcome& r) {
    // A symbolic link stands for the file it leads to: that file is
    // converted in place, its backup beside it, and the link stays a link.
    std::filesystem::path path = named;
    if (std::filesystem::path target; ops.LinkTarget(named, target)) path = target;

    if (RefusedTarget(request, r)) return;

    if (SkippedAsBackup(path, ops, r)) return;

    // The original stays open and locked until it has been replaced (or the
    // plan made), so that no other conversion of it runs meanwhile and any
    // change to it is seen.
    // With an output folder the original is only read: a name that is
    // missing is not looked for beside it (Open would put back an original
    // a stopped conversion left aside), and what stopped runs left there
    // stays.
    const bool toOutput = !request.outputFolder.empty();
    if (toOutput && ops.Examine(path, true, nullptr) == platform::NameKind::Missing) {
        Fail(r, Reason(StatusCode::NotFound, "plik nie istnieje"));
        return;
    }
    replace::OriginalFile original(ops);
    Reason reason;
    if (!replace::Hold(original, path, request.write && !toOutput, reason)) {
        Fail(r, reason);
        return;
    }
    if (SkippedByHeader(original, request, r)) {
        if (toOutput) CopyToOutput(request, original, r);
        return;
    }
    // The file is seen in place where the system can (read into memory
    // otherwise): then its pages are the system's cache, not fresh memory
    // of the process's, and nothing is copied.
    platform::FileView view;
    if (!original.See(view, reason)) {
        Fail(r, reason);
        return;
    }
    const bool seen = !view.empty();
    // What is read through the view is the file's only while no other
    // program cut or changed the file meanwhile.
    const auto changedMeanwhile = [&] {
        Reason ignored;
        return seen && (!view.Intact() || !original.Unchanged(ignored));
    };
    KlasaQwz doc;
    ReadResult read;
    LoadResult load;
    if (!LoadOriginal(original, view, doc, read, load, r)) return;
    // The save is the document's last use: meshes built in memory are given
    // back as they are written.
    const MeshesInMemory built(*doc.GetDefinition(), doc.GetDefinition().get());
    const MeshSource& meshes = read.meshes ? *read.meshes : built;
    r.sizeBefore = original.state().size;
    if (!Decide(request, load, doc, r)) {
        if (r.status == ConversionStatus::Failed && changedMeanwhile()) Fail(r, replace::ChangedDuringConversion(path));
        else if (r.status == ConversionStatus::Skipped && toOutput) CopyToOutput(request, original, r);
        return;
    }
    if (RefusedForLoss(doc, request, r)) return;
    try {
        Replace(path, request, original, view, doc, meshes, r);
    } catch (...) {
        if (!changedMeanwhile()) throw;
        Fail(r, replace::ChangedDuringConversion(path));
    }
    // A reason that says so already may say where another program's file is kept.
    if (r.status == ConversionStatus::Failed && r.code != StatusCode::Changed && changedMeanwhile())
        Fail(r, replace::ChangedDuringConversion(path));
}

}  // namespace

ConversionOutcome ConvertQwz(const std::filesystem::path& path, const ConversionRequest& request,
                            platform::FileOps& ops) {
    ConversionOutcome r;
    try {
        Convert(path, request, ops, r);
    } catch (const std::exception& e) {
        Fail(r, ExceptionReason(e));
    } catch (...) {
        Fail(r, Reason(StatusCode::Unexpected, "nieoczekiwany błąd"));
    }
    return r;
}

}  // namespace qwz
