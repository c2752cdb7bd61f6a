// The results browser's decisions without a window: which picture an action targets, what a delete or move
// leaves of the pair list and which row is selected after it, the window state's table of controls, and
// the summary texts formed from a search's numbers.
#include "engine/PairActions.h"
#include "engine/SearchTexts.h"
#include "ui/WindowState.h"

#include <gtest/gtest.h>

namespace {

// Four pictures in one folder and the pairs (0,1), (2,1), (3,2).
void FillFourPictures(Catalogue& cat) {
    cat.AllocateInitial();
    cat.AppendFolderPath(QStringLiteral("/p/"));
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg", "d.jpg"}) {
        TPicInfo pic;
        pic.FileName = QLatin1String(name);
        pic.PathInd = 0;
        cat.AppendPicture(std::move(pic));
        cat.ApplyPictureGrowth();
    }
    cat.TrimPicturesAndPaths();
    cat.AllocatePairs();
    cat.AppendPair({0, 1, 90});
    cat.AppendPair({2, 1, 80});
    cat.AppendPair({3, 2, 70});
    cat.TrimPairs();
}

struct TargetCase {
    const char* name;
    int rowCount;
    int row;
    PairSide side;
    int expectedPicture;  // -1: no target
};

class ActionTargetTest : public testing::TestWithParam<TargetCase> {};

TEST_P(ActionTargetTest, NamesThePictureOnTheSideOfTheRow) {
    const TargetCase& c = GetParam();
    Catalogue cat;
    FillFourPictures(cat);
    const std::optional<ActionTarget> target = ActionTargetOf(cat, c.rowCount, c.row, c.side);
    if (c.expectedPicture < 0) {
        EXPECT_FALSE(target.has_value());
        return;
    }
    ASSERT_TRUE(target.has_value());
    EXPECT_EQ(target->Row, c.row);
    EXPECT_EQ(target->PicIndex, c.expectedPicture);
}

INSTANTIATE_TEST_SUITE_P(Table, ActionTargetTest,
                         testing::Values(TargetCase{"FirstRowLeft", 3, 0, PairSide::Left, 0},
                                         TargetCase{"SecondRowRight", 3, 1, PairSide::Right, 1},
                                         TargetCase{"LastRowLeft", 3, 2, PairSide::Left, 3},
                                         TargetCase{"NoRowSelected", 3, -1, PairSide::Left, -1},
                                         TargetCase{"EmptyList", 0, 0, PairSide::Left, -1},
                                         TargetCase{"RowBeyondTheList", 2, 2, PairSide::Left, -1},
                                         TargetCase{"RowBeyondThePairs", 5, 3, PairSide::Right, -1}),
                         [](const testing::TestParamInfo<TargetCase>& info) { return std::string(info.param.name); });

TEST(PairActionsTest, ForgettingAPictureDropsItsPairsAndKeepsItsRecord) {
    Catalogue cat;
    FillFourPictures(cat);
    ForgetPicture(cat, 1);
    ASSERT_EQ(cat.PairCapacity, 1);
    EXPECT_EQ(cat.PicturePairs[0], (TPicturePair{3, 2, 70}));
    EXPECT_TRUE(cat.Pictures[1].Deleted);
    EXPECT_FALSE(cat.Pictures[2].Deleted);
    EXPECT_EQ(cat.LastPicIndex, 3);
    // The row after the action keeps its place where it can, else takes the last row.
    EXPECT_EQ(RowAfterFileAction(cat, 0), 0);
    EXPECT_EQ(RowAfterFileAction(cat, 2), 0);
    ForgetPicture(cat, 2);
    EXPECT_EQ(RowAfterFileAction(cat, 0), -1);
    EXPECT_FALSE(PairAtRow(cat, 1, 0).has_value());
}

TEST(PairActionsTest, APairWhoseIndicesLeadNowhereIsNotShown) {
    Catalogue cat;
    FillFourPictures(cat);
    cat.PicturePairs[1].PicIndex1 = 9;
    EXPECT_TRUE(PairAtRow(cat, 3, 0).has_value());
    EXPECT_FALSE(PairAtRow(cat, 3, 1).has_value());
    EXPECT_FALSE(ActionTargetOf(cat, 3, 1, PairSide::Left).has_value());
    EXPECT_TRUE(ActionTargetOf(cat, 3, 1, PairSide::Right).has_value());
}

TEST(WindowStateTest, TableOfEnabledControls) {
    for (size_t i = 0; i < kControlGroups; ++i) {
        const auto group = static_cast<TControl>(i);
        EXPECT_TRUE(ControlEnabled(TWindowState::Idle, group));
        EXPECT_EQ(ControlEnabled(TWindowState::Closing, group), ControlEnabled(TWindowState::Idle, group));
        EXPECT_EQ(ControlEnabled(TWindowState::Stopping, group), ControlEnabled(TWindowState::Searching, group));
        // A sort holds only the Start command back; a search leaves only the Start (Stop) command.
        EXPECT_EQ(ControlEnabled(TWindowState::Sorting, group), group != TControl::StartCommand);
        EXPECT_EQ(ControlEnabled(TWindowState::Searching, group), group == TControl::StartCommand);
    }
    EXPECT_TRUE(SearchRunning(TWindowState::Stopping));
    EXPECT_FALSE(SearchRunning(TWindowState::Closing));
    EXPECT_FALSE(PairListFree(TWindowState::Sorting));
    EXPECT_TRUE(PairListFree(TWindowState::Idle));
}

TEST(SearchTextsTest, SummaryMessageAndLinesComeFromTheSameNumbers) {
    SearchOutcome outcome;
    outcome.End = SearchEnd::Interrupted;
    outcome.Progress = {SearchPhase::Matching, 12, 30, 4};
    outcome.ElapsedMs = 3723000;
    EXPECT_EQ(SummaryLines(outcome),
              (QStringList{"Search interrupted.", "Total pictures scanned: 12 / 30", "Similar pairs found: 4",
                           "Elapsed time: 01:02:03"}));
    EXPECT_EQ(SummaryMessage(outcome), "Search interrupted." + QString(36, QLatin1Char(' ')) +
                                           "\n\r\n\rTotal pictures scanned: 12 / 30\n\rSimilar pairs found: 4\n\r"
                                           "Elapsed time: 01:02:03\n\r");
    outcome.PicturesScanned = 1234;
    outcome.PairsFound = 4;
    const SummaryCountTexts counts = SummaryCounts(outcome, QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(counts.Scanned, "Files scanned: 1,234");
    EXPECT_EQ(counts.Duplicates, "Duplicates found: 4");
    EXPECT_EQ(counts.DiskUsage, "Disk Space Usage: 0 B");
}

}  // namespace
