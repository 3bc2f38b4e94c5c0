// One rule for symbolic links, the same in a conversion, a folder walk and
// a restore, natively and for the Windows programs under Wine: a link
// stands for the file it leads to, which is converted or restored in place
// beside itself, its backup beside it; the link stays a link and no name is
// made after the link. A backup name that is a link is never followed.
#include "app/ConvertFile.h"
#include "app/SampleFiles.h"
#include "engine/FileWalk.h"
#include "engine/Restore.h"
#include "support/SymbolicLink.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <map>

namespace qwz {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

// A conversion to 203 as the command line asks for it.
ConversionOutcome Convert(const fs::path& file) { return ConvertAndReport(file, RequestFor(203, {})); }

enum class Run { ConvertLink, WalkFolder, RestoreLink, RestoreBesideALinkedBackup };

struct LinkRow {
    const char* name;
    Run run;
    std::map<std::string, int> before;  // regular files: name -> 204 (a sample) or 203 (converted)
    std::map<std::string, std::string> links;  // link -> target
    std::map<std::string, int> after;   // regular files afterwards (0: the original's bytes)
    const char* says;                   // part of the reason of a refusal; "" when it succeeds
};

const LinkRow kRows[] = {
    {"a link named converts the file it leads to", Run::ConvertLink, {{"real.qwz", 204}}, {{"alias.qwz", "real.qwz"}},
     {{"real.qwz", 203}, {"real_org.qwz", 0}}, ""},
    {"a folder walk meets the file and its link: converted once", Run::WalkFolder, {{"real.qwz", 204}},
     {{"alias.qwz", "real.qwz"}}, {{"real.qwz", 203}, {"real_org.qwz", 0}}, ""},
    {"a link named restores the file it leads to", Run::RestoreLink, {{"real.qwz", 204}},
     {{"alias.qwz", "real.qwz"}}, {{"real.qwz", 0}}, ""},
    {"a backup name that is a link is not followed", Run::RestoreBesideALinkedBackup,
     {{"a.qwz", 203}, {"other.qwz", 204}}, {{"a_org.qwz", "other.qwz"}}, {{"a.qwz", 203}, {"other.qwz", 0}},
     "dowiązaniem symbolicznym"},
};

TEST(SymbolicLink, OneRuleForConversionWalkAndRestore) {
    const std::vector<uint8_t> original = test::Sample204(3);
    QWZ_REQUIRE_LAYOUTS(original, 203);
    std::vector<uint8_t> converted;
    {
        TempDir dir;
        const fs::path plain = dir.write("plain.qwz", original);
        const ConversionOutcome outcome = Convert(plain);
        ASSERT_EQ(outcome.status, ConversionStatus::Converted) << outcome.reason;
        converted = TempDir::read(plain);
    }
    for (const LinkRow& row : kRows) {
        SCOPED_TRACE(row.name);
        TempDir dir;
        // The links go before the folder does.
        struct Links {
            const TempDir& dir;
            const LinkRow& row;
            ~Links() {
                for (const auto& entry : row.links) test::RemoveSymbolicLink(dir.path() / entry.first);
            }
        } links{dir, row};
        for (const auto& [name, version] : row.before) dir.write(name, version == 204 ? original : converted);
        for (const auto& [link, target] : row.links)
            if (!test::MakeSymbolicLink(target, dir.path() / link)) GTEST_SKIP() << "no symbolic links here";

        Reason reason;
        switch (row.run) {
        case Run::ConvertLink: {
            const ConversionOutcome outcome = Convert(dir.path() / "alias.qwz");
            EXPECT_EQ(outcome.status, ConversionStatus::Converted) << outcome.reason;
            break;
        }
        case Run::WalkFolder:
            for (const WalkEntry& e : CollectFiles({dir.path()}, false)) {
                const ConversionOutcome outcome = Convert(e.path);
                // Where the walk cannot tell a link (under Wine), the file
                // reached a second time is already converted.
                EXPECT_NE(outcome.status, ConversionStatus::Failed) << outcome.reason;
            }
            break;
        case Run::RestoreLink:
        case Run::RestoreBesideALinkedBackup: {
            // A restore puts back only what a conversion wrote.
            if (row.run == Run::RestoreLink) {
                const ConversionOutcome outcome = Convert(dir.path() / "real.qwz");
                ASSERT_EQ(outcome.status, ConversionStatus::Converted) << outcome.reason;
            }
            const RestoreResult r =
                RestoreQwz(dir.path() / (row.run == Run::RestoreLink ? "alias.qwz" : "a.qwz"), true);
            EXPECT_EQ(r.status, *row.says ? RestoreStatus::Failed : RestoreStatus::Restored) << r.reason;
            reason = Reason(r.code, r.reason);
            break;
        }
        }
        if (*row.says) {
            EXPECT_NE(reason.find(row.says), std::string::npos) << reason;
        }

        // The links are still links to their files; every other name is one
        // of the files expected, with the bytes expected.
        for (const auto& [link, target] : row.links) {
            fs::path resolved;
            EXPECT_TRUE(platform::SystemFileOps().LinkTarget(dir.path() / link, resolved)) << link;
            EXPECT_EQ(resolved.filename(), fs::path(target)) << link;
        }
        std::map<std::string, int> after;
        for (const auto& entry : fs::directory_iterator(dir.path())) {
            const std::string name = entry.path().filename().string();
            if (row.links.count(name)) continue;
            const std::vector<uint8_t> bytes = TempDir::read(entry.path());
            after[name] = bytes == original ? 0 : bytes == converted ? 203 : -1;
        }
        EXPECT_EQ(after, row.after);
    }
}

}  // namespace
}  // namespace qwz
