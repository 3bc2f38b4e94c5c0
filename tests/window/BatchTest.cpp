#include "app/Batch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <mutex>
#include <numeric>
#include <stdexcept>
#include <string>
#include <vector>

namespace qwz {
namespace {

using std::filesystem::path;

TEST(BatchChoicesTest, EveryBoxWritesItsOwnFlagAndTheIndexGivesTheTarget) {
    for (int index = 0; index < 3; ++index) {
        BatchChoices c;
        c.VersionIndex = index;
        TQWZSaveParams p;
        p.TargetVersion = 0;
        WriteSaveParams(c, p);
        EXPECT_EQ(p.TargetVersion, 202 + index);
        EXPECT_TRUE(p.KeepsEverything());
        EXPECT_TRUE(p.KeepOriginal);
        // The request carries the same choices; nothing reads the process's.
        const ConversionRequest r = RequestFromChoices(c);
        EXPECT_EQ(r.target, 202 + index);
        EXPECT_FALSE(r.leaveUpTo.has_value());
        EXPECT_TRUE(r.params.KeepsEverything() && r.params.KeepOriginal);
    }
    // One box unticked at a time, in the window's order: exactly its flag
    // goes false, so two crossed boxes cannot pass.
    bool TQWZSaveParams::*flags[] = {&TQWZSaveParams::KeepLines, &TQWZSaveParams::KeepPolylines,
                                     &TQWZSaveParams::KeepArcs, &TQWZSaveParams::KeepCircles,
                                     &TQWZSaveParams::KeepUV, &TQWZSaveParams::KeepScalingZones,
                                     &TQWZSaveParams::KeepOtherExtra, &TQWZSaveParams::KeepOriginal};
    ASSERT_EQ(std::size(flags), kKeepFlagCount);
    for (size_t off = 0; off < kKeepFlagCount; ++off) {
        BatchChoices c;
        c.Ticked[off] = false;
        TQWZSaveParams p;
        WriteSaveParams(c, p);
        const ConversionRequest r = RequestFromChoices(c);
        for (size_t f = 0; f < kKeepFlagCount; ++f) {
            EXPECT_EQ(p.*flags[f], f != off) << off << " " << f;
            EXPECT_EQ(r.params.*flags[f], f != off) << off << " " << f;
        }
    }
    // A previous batch's values are all overwritten.
    TQWZSaveParams p;
    p.KeepLines = p.KeepUV = p.KeepOriginal = false;
    p.TargetVersion = 202;
    WriteSaveParams(BatchChoices{}, p);
    EXPECT_EQ(p.TargetVersion, 203);
    EXPECT_TRUE(p.KeepLines && p.KeepUV && p.KeepOriginal);
}

// A fake conversion: the result is taken from the file name's first letter
// (c converted, s skipped, e error, x throws). Files are converted on
// several threads: what happened is kept as the progress calls in order,
// and the conversions each with the number of progress calls made before it.
struct FakeConversion {
    std::mutex mutex;
    std::vector<size_t> before;
    std::vector<std::pair<std::string, size_t>> converted;  // "c1.qwz 204", progress calls before it
    BatchHooks Hooks(size_t stopAt = size_t(-1)) {
        BatchHooks h;
        h.Convert = [this](const path& p, const ConversionRequest& request) {
            const int target = request.target;
            std::string name = p.filename().string();
            {
                std::lock_guard<std::mutex> lock(mutex);
                converted.emplace_back(name + " " + std::to_string(target), before.size());
            }
            ConversionOutcome outcome;
            switch (name[0]) {
            case 'c': outcome.status = ConversionStatus::Converted; break;
            case 's': outcome.status = ConversionStatus::Skipped; break;
            case 'x': throw std::runtime_error("brak miejsca\nna dysku");
            default: outcome.reason = "uszkodzony plik (" + name + ")"; break;
            }
            return outcome;
        };
        h.BeforeFile = [this, stopAt](size_t i) {
            std::lock_guard<std::mutex> lock(mutex);
            before.push_back(i);
            return i != stopAt;
        };
        return h;
    }
    // Progress 0, 1, … came in order, and each file given was converted
    // once, after the progress call of its own index.
    void ExpectOrder(const std::vector<std::string>& files, size_t progressCalls) {
        std::vector<size_t> indices(progressCalls);
        std::iota(indices.begin(), indices.end(), size_t(0));
        EXPECT_EQ(before, indices);
        ASSERT_EQ(converted.size(), files.size());
        for (size_t i = 0; i < files.size(); ++i) {
            const auto it = std::find_if(converted.begin(), converted.end(),
                                         [&](const auto& c) { return c.first == files[i]; });
            ASSERT_NE(it, converted.end()) << files[i];
            EXPECT_GT(it->second, i) << files[i];
        }
    }
};

TEST(RunBatchTest, CountsEachResultInOrderWithTheProgressBeforeEveryFile) {
    FakeConversion fake;
    std::vector<path> files = {"dir/c1.qwz", "dir/s1.qwz", "dir/e1.qwz", "dir/c2.qwz", "dir/x1.qwz"};
    ConversionRequest request;
    request.target = 204;
    BatchSummary s = RunBatch(files, request, fake.Hooks());
    EXPECT_EQ(s.Chosen, 5u);
    EXPECT_EQ(s.Converted, 2u);
    EXPECT_EQ(s.Skipped, 1u);
    EXPECT_EQ(s.Errors, 2u);
    EXPECT_EQ(s.NotProcessed, 0u);
    fake.ExpectOrder({"c1.qwz 204", "s1.qwz 204", "e1.qwz 204", "c2.qwz 204", "x1.qwz 204"}, 5);
    ASSERT_EQ(s.Failures.size(), 2u);
    EXPECT_EQ(s.Failures[0].Name, "e1.qwz");
    EXPECT_EQ(s.Failures[0].Reason, "uszkodzony plik (e1.qwz)");
    EXPECT_EQ(s.Failures[1].Name, "x1.qwz");
    EXPECT_EQ(s.Failures[1].Reason, "brak miejsca na dysku");  // one line
}

TEST(RunBatchTest, ClosingTheWindowStopsBeforeTheNextFile) {
    FakeConversion fake;
    std::vector<path> files = {"c1.qwz", "c2.qwz", "c3.qwz", "c4.qwz"};
    ConversionRequest request;
    request.target = 203;
    BatchSummary s = RunBatch(files, request, fake.Hooks(2));
    EXPECT_EQ(s.Converted, 2u);
    EXPECT_EQ(s.NotProcessed, 2u);
    EXPECT_EQ(s.Chosen, 4u);
    fake.ExpectOrder({"c1.qwz 203", "c2.qwz 203"}, 3);
    EXPECT_EQ(SummaryText(s),
              "Przekonwertowano plików 2 / 4\npominięte: 0\nbłędy: 0\n\n"
              "Przerwano po zamknięciu okna, nieprzetworzone pliki: 2");
}

TEST(SummaryTextTest, ThreeLinesThenTheFailedFilesAtMostTen) {
    BatchSummary s;
    s.Chosen = 5;
    s.Converted = 3;
    s.Skipped = 2;
    EXPECT_EQ(SummaryText(s), "Przekonwertowano plików 3 / 5\npominięte: 2\nbłędy: 0");

    s.Chosen = 1000;
    s.Converted = 900;
    s.Skipped = 88;
    s.Errors = 12;
    for (int i = 1; i <= 12; ++i)
        s.Failures.push_back({"plik" + std::to_string(i) + ".qwz", i == 2 ? "" : "powód " + std::to_string(i)});
    std::string expected = "Przekonwertowano plików 900 / 1000\npominięte: 88\nbłędy: 12\n\n"
                           "plik1.qwz: powód 1\nplik2.qwz\n";
    for (int i = 3; i <= 10; ++i)
        expected += "plik" + std::to_string(i) + ".qwz: powód " + std::to_string(i) + "\n";
    expected += "… i jeszcze 2";
    EXPECT_EQ(SummaryText(s), expected);

    s.Failures.resize(10);
    s.Errors = 10;
    std::string ten = SummaryText(s);
    EXPECT_EQ(ten.find("…"), std::string::npos);
    EXPECT_TRUE(ten.ends_with("\nplik10.qwz: powód 10")) << ten;
}

TEST(SplitDialogSelectionTest, OnePathOrAFolderWithNames) {
    using namespace std::string_literals;
    auto one = SplitDialogSelection(L"C:\\dane\\hala.qwz\0\0"s);
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0].wstring(), L"C:\\dane\\hala.qwz");

    auto many = SplitDialogSelection(L"C:\\dane\0b.qwz\0a.qwz\0c d.qwz\0\0garbage"s);
    ASSERT_EQ(many.size(), 3u);  // in the dialog's order, nothing after the end
    EXPECT_EQ(many[0].wstring(), L"C:\\dane\\b.qwz");
    EXPECT_EQ(many[1].wstring(), L"C:\\dane\\a.qwz");
    EXPECT_EQ(many[2].wstring(), L"C:\\dane\\c d.qwz");

    auto root = SplitDialogSelection(L"C:\\\0a.qwz\0b.qwz\0\0"s);
    ASSERT_EQ(root.size(), 2u);
    EXPECT_EQ(root[0].wstring(), L"C:\\a.qwz");

    EXPECT_TRUE(SplitDialogSelection(L"\0\0"s).empty());
    EXPECT_TRUE(SplitDialogSelection(L""s).empty());
}

}  // namespace
}  // namespace qwz
