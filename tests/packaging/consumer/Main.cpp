// Through the public API only: checks IN, converts it in place to VERSION
// (the original kept beside it), reads the result as a document, then
// restores the original. Prints
// "<version before> <version after> <meshes before> <meshes after> <dropped kinds> <restored>"
// and nothing else; files that are no QWZ file must fail with a reason.
#include <qwz/Check.h>
#include <qwz/Convert.h>
#include <qwz/Document.h>
#include <qwz/Restore.h>

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: qwz_consumer FILE.qwz NOT-QWZ VERSION\n");
        return 2;
    }
    const qwz::api::CheckResult before = qwz::api::Check(argv[1]);
    qwz::api::Document original;
    if (before.status != qwz::api::CheckStatus::Sound || original.Read(argv[1]).status != qwz::api::CheckStatus::Sound) {
        std::fprintf(stderr, "qwz_consumer: %s\n", before.reason.c_str());
        return 1;
    }
    qwz::api::ConvertRequest request;
    request.target = std::stoi(argv[3]);
    request.keep.lines = false;
    const qwz::api::ConvertResult converted = qwz::api::Convert(argv[1], request);
    if (converted.status != qwz::api::ConvertStatus::Converted || converted.backup.empty()) {
        std::fprintf(stderr, "qwz_consumer: not converted: %s\n", converted.reason.c_str());
        return 1;
    }
    qwz::api::Document after;
    const qwz::api::CheckResult read = after.Read(argv[1]);
    const qwz::api::ConvertResult junk = qwz::api::Convert(argv[2], request);
    if (read.status != qwz::api::CheckStatus::Sound || junk.status != qwz::api::ConvertStatus::Failed ||
        junk.reason.empty() || qwz::api::Check(argv[2]).status == qwz::api::CheckStatus::Sound) {
        std::fprintf(stderr, "qwz_consumer: the converted file reads: %s; the other: %s\n", read.reason.c_str(),
                     junk.reason.c_str());
        return 1;
    }
    const qwz::api::RestoreResult restored = qwz::api::Restore(argv[1]);
    std::string dropped;
    for (const qwz::api::DroppedKind& kind : converted.dropped) dropped += (dropped.empty() ? "" : ",") + kind.kind;
    std::printf("%d %d %zu %zu %s %s\n", original.Describe().version, after.Describe().version,
                original.Describe().meshes.size(), after.Describe().meshes.size(),
                dropped.empty() ? "-" : dropped.c_str(),
                restored.status == qwz::api::RestoreStatus::Restored ? "restored" : restored.reason.c_str());
    return 0;
}
