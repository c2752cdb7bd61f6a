// The catalogue's sizing rules (initial reservation, fallback, growth, trims), pair removal and the release
// that waits for a running search.
#include "engine/Catalogue.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <new>

namespace {

TPicInfo pictureIn(int32_t pathInd, const char* name) {
    TPicInfo p;
    p.FileName = QString::fromLatin1(name);
    p.PathInd = pathInd;
    p.Size = 1;
    return p;
}

void appendPictures(Catalogue& c, int count) {
    for (int i = 0; i < count; ++i) {
        c.AppendPicture(pictureIn(0, "p.jpg"));
        c.ApplyPictureGrowth();
    }
}

}  // namespace

TEST(Catalogue, StartsEmpty) {
    Catalogue c;
    EXPECT_EQ(c.LastPathIndex, -1);
    EXPECT_EQ(c.LastPicIndex, -1);
    EXPECT_EQ(c.LastPairIndex, -1);
    EXPECT_EQ(c.PathCapacity, 0);
    EXPECT_EQ(c.PicCapacity, 0);
    EXPECT_EQ(c.PairCapacity, 0);
    EXPECT_TRUE(c.Pictures.empty());
}

TEST(Catalogue, InitialAllocationGivesZeroFilledEntries) {
    Catalogue c;
    c.AllocateInitial();
    ASSERT_EQ(c.PicCapacity, 30000);
    ASSERT_EQ(c.PathCapacity, 30000);
    EXPECT_EQ(c.Pictures.size(), 30000u);
    EXPECT_EQ(c.FolderPaths.size(), 30000u);
    const TPicInfo& last = c.Pictures.back();
    EXPECT_EQ(last.CCVStage, TCCVStage::None);
    EXPECT_FALSE(last.Deleted);
    EXPECT_EQ(last.Width, 0);
    EXPECT_EQ(last.Height, 0);
    EXPECT_EQ(last.PreBuffer, TPreBuffer{});
    EXPECT_EQ(last.WaveletCoefsPos, TWaveletCoefs{});
    EXPECT_TRUE(c.FolderPaths.back().isEmpty());
}

TEST(Catalogue, PictureGrowthAt29000And30000) {
    Catalogue c;
    c.AllocateInitial();
    appendPictures(c, 29000);  // indices 0..28999
    EXPECT_EQ(c.PicCapacity, 30000);
    appendPictures(c, 1);  // index 29000 = capacity - 1000
    EXPECT_EQ(c.LastPicIndex, 29000);
    EXPECT_EQ(c.PicCapacity, 31000);
    EXPECT_EQ(c.Pictures.size(), 31000u);
    appendPictures(c, 999);  // up to 29999: no further growth
    EXPECT_EQ(c.PicCapacity, 31000);
    appendPictures(c, 1);  // index 30000
    EXPECT_EQ(c.PicCapacity, 32000);
    EXPECT_EQ(c.Pictures.size(), 32000u);
    EXPECT_EQ(c.PathCapacity, 30000) << "folder table grows on its own";
}

TEST(Catalogue, FolderAndPairGrowthFollowTheSameRule) {
    Catalogue c;
    c.AllocateInitial();
    c.AllocatePairs();
    ASSERT_EQ(c.PairCapacity, 30000);
    for (int i = 0; i < 29000; ++i) {
        c.AppendFolderPath(QStringLiteral("/f/"));
        c.AppendPair({0, 1, 50});
    }
    EXPECT_EQ(c.PathCapacity, 30000);
    EXPECT_EQ(c.PairCapacity, 30000);
    c.AppendFolderPath(QStringLiteral("/g/"));
    c.AppendPair({2, 3, 60});
    EXPECT_EQ(c.PathCapacity, 31000);
    EXPECT_EQ(c.FolderPaths.size(), 31000u);
    EXPECT_EQ(c.PairCapacity, 31000);
    EXPECT_EQ(c.PicturePairs.size(), 31000u);
    EXPECT_EQ(c.FolderPaths[29000], QStringLiteral("/g/"));
    EXPECT_EQ(c.PicturePairs[29000], (TPicturePair{2, 3, 60}));
    EXPECT_EQ(c.PicturePairs[28999], (TPicturePair{0, 1, 50}));
}

TEST(Catalogue, FailedInitialAllocationFallsBackTo15000AndGrowsFrom14000) {
    Catalogue c;
    c.AllocationLimitForTests = 29999;
    c.AllocateInitial();
    EXPECT_EQ(c.PicCapacity, 15000);
    EXPECT_EQ(c.PathCapacity, 15000);
    EXPECT_EQ(c.Pictures.size(), 15000u);
    EXPECT_EQ(c.FolderPaths.size(), 15000u);
    appendPictures(c, 14000);
    EXPECT_EQ(c.PicCapacity, 15000);
    appendPictures(c, 1);  // index 14000
    EXPECT_EQ(c.PicCapacity, 16000);
    appendPictures(c, 1000);  // index 15000
    EXPECT_EQ(c.PicCapacity, 17000);
}

TEST(Catalogue, FailedPairAllocationFallsBackTo15000) {
    Catalogue c;
    c.AllocationLimitForTests = 20000;
    c.AllocatePairs();
    EXPECT_EQ(c.PairCapacity, 15000);
    EXPECT_EQ(c.PicturePairs.size(), 15000u);
}

TEST(Catalogue, SecondFailureOfInitialAllocationPropagates) {
    Catalogue c;
    c.AllocationLimitForTests = 14999;
    EXPECT_THROW(c.AllocateInitial(), std::bad_alloc);
    EXPECT_THROW(c.AllocatePairs(), std::bad_alloc);
}

TEST(Catalogue, FailedGrowthPropagatesAfterTheEntryIsStored) {
    Catalogue c;
    c.AllocateInitial();
    c.AllocationLimitForTests = 30000;
    appendPictures(c, 29000);
    c.AppendPicture(pictureIn(0, "last.jpg"));
    EXPECT_THROW(c.ApplyPictureGrowth(), std::bad_alloc);
    EXPECT_EQ(c.LastPicIndex, 29000);
    EXPECT_EQ(c.PicCapacity, 30000) << "capacity must keep matching the array after a failed growth";
    EXPECT_EQ(c.Pictures[29000].FileName, QStringLiteral("last.jpg"));
}

TEST(Catalogue, TrimsMakeCapacityEqualTheCount) {
    Catalogue c;
    c.AllocateInitial();
    c.AppendFolderPath(QStringLiteral("/a/"));
    appendPictures(c, 3);
    const QString last = c.Pictures[2].FileName;
    [[maybe_unused]] const TPicInfo* storage = c.Pictures.data();
    c.TrimPicturesAndPaths();
    EXPECT_EQ(c.PicCapacity, 3);
    EXPECT_EQ(c.Pictures.size(), 3u);
    EXPECT_EQ(c.Pictures[2].FileName, last);
#if defined(__linux__)
    // In place: a list of 100 000 records must not exist twice at the end of a scan.
    EXPECT_EQ(c.Pictures.data(), storage);
#endif
    EXPECT_EQ(c.PathCapacity, 1);
    EXPECT_EQ(c.FolderPaths.size(), 1u);
    c.AllocatePairs();
    c.AppendPair({0, 2, 100});
    c.TrimPairs();
    EXPECT_EQ(c.PairCapacity, 1);
    EXPECT_EQ(c.PicturePairs.size(), 1u);
}

TEST(Catalogue, SearchWithoutPicturesEndsFullyEmpty) {
    Catalogue c;
    c.AllocateInitial();
    c.TrimPicturesAndPaths();
    c.TrimPairs();
    EXPECT_EQ(c.LastPicIndex, -1);
    EXPECT_EQ(c.PicCapacity, 0);
    EXPECT_EQ(c.LastPathIndex, -1);
    EXPECT_EQ(c.PathCapacity, 0);
    EXPECT_EQ(c.PairCapacity, 0);
    EXPECT_TRUE(c.Pictures.empty());
    EXPECT_TRUE(c.PicturePairs.empty());
}

TEST(Catalogue, ResetDropsThePairsOfThePreviousSearch) {
    Catalogue c;
    c.AllocateInitial();
    c.AppendFolderPath(QStringLiteral("/a/"));
    appendPictures(c, 2);
    c.AllocatePairs();
    c.AppendPair({0, 1, 100});
    c.TrimPairs();
    c.TotalSize = 7;

    // A new search stopped during its scan: reset, allocate, trim, and no pair allocation.
    c.Reset();
    EXPECT_EQ(c.TotalSize, 0);
    EXPECT_EQ(c.LastPairIndex, -1);
    c.AllocateInitial();
    c.TrimPicturesAndPaths();
    c.TrimPairs();
    EXPECT_EQ(c.PairCapacity, 0);
    EXPECT_TRUE(c.PicturePairs.empty());
    EXPECT_EQ(c.LastPicIndex, -1);
}

TEST(Catalogue, PicturePathJoinsFolderAndNameDirectly) {
    Catalogue c;
    c.AllocateInitial();
    c.AppendFolderPath(QStringLiteral("/"));
    c.AppendFolderPath(QStringLiteral("/home/u/Bilder/"));
    c.AppendPicture(pictureIn(0, "root.jpg"));
    c.AppendPicture(pictureIn(1, "b.png"));
    EXPECT_EQ(c.PicturePath(0), QStringLiteral("/root.jpg"));
    EXPECT_EQ(c.PicturePath(1), QStringLiteral("/home/u/Bilder/b.png"));
}

struct RemoveCase {
    const char* name;
    std::vector<TPicturePair> before;
    int32_t picture;
    std::vector<TPicturePair> after;
};

class RemovePicturePairsTest : public ::testing::TestWithParam<RemoveCase> {};

TEST_P(RemovePicturePairsTest, KeepsTheOthersInOrder) {
    const RemoveCase& rc = GetParam();
    Catalogue c;
    c.AllocatePairs();
    for (const TPicturePair& p : rc.before)
        c.AppendPair(p);
    c.TrimPairs();
    c.RemovePicturePairs(rc.picture);
    EXPECT_EQ(c.PicturePairs, rc.after);
    EXPECT_EQ(c.LastPairIndex, static_cast<int32_t>(rc.after.size()) - 1);
    EXPECT_EQ(c.PairCapacity, c.LastPairIndex + 1);
}

INSTANTIATE_TEST_SUITE_P(
    Catalogue, RemovePicturePairsTest,
    ::testing::Values(
        RemoveCase{"EitherRole", {{0, 1, 90}, {1, 2, 80}, {0, 2, 70}, {3, 4, 60}}, 1, {{0, 2, 70}, {3, 4, 60}}},
        RemoveCase{"SwappedPairs", {{5, 2, 90}, {2, 7, 80}, {7, 5, 70}}, 5, {{2, 7, 80}}},
        RemoveCase{"NotInAnyPair", {{0, 1, 90}, {2, 3, 80}}, 9, {{0, 1, 90}, {2, 3, 80}}},
        RemoveCase{"EveryPair", {{0, 1, 90}, {1, 0, 80}}, 0, {}},
        RemoveCase{"EmptyList", {}, 0, {}}),
    [](const ::testing::TestParamInfo<RemoveCase>& info) { return std::string(info.param.name); });

// Undone removals give the list back as it was; a pair whose other picture is still gone stays out.
TEST(Catalogue, RestoredPicturesBringTheirPairsBack) {
    Catalogue c;
    c.AllocateInitial();
    c.AppendFolderPath(QStringLiteral("/a/"));
    appendPictures(c, 6);
    c.AllocatePairs();
    const TPicturePairs all{{0, 1, 99}, {1, 2, 98}, {2, 3, 97}, {3, 4, 96}, {1, 4, 95}, {4, 5, 94}};
    for (const TPicturePair& p : all)
        c.AppendPair(p);
    c.TrimPairs();
    const auto forget = [&c](int32_t k) {
        c.RemovePicturePairs(k);
        c.Pictures[static_cast<size_t>(k)].Deleted = true;
    };

    forget(1);
    forget(4);
    ASSERT_EQ(c.PicturePairs, (TPicturePairs{{2, 3, 97}}));
    // Undone newest first: 4 comes back without its pair with 1, which is still gone.
    EXPECT_EQ(c.RestorePicturePairs({4}), 2);
    EXPECT_EQ(c.PicturePairs, (TPicturePairs{{2, 3, 97}, {3, 4, 96}, {4, 5, 94}}));
    EXPECT_FALSE(c.Pictures[4].Deleted);
    EXPECT_EQ(c.RestorePicturePairs({1}), 3);
    EXPECT_EQ(c.PicturePairs, all);
    EXPECT_EQ(c.PairCapacity, 6);
    EXPECT_EQ(c.RestorePicturePairs({4}), 0);  // nothing is brought back twice

    // Out of order, every pair still comes back.
    forget(1);
    forget(4);
    EXPECT_EQ(c.RestorePicturePairs({1}), 2);
    EXPECT_EQ(c.RestorePicturePairs({4}), 3);
    TPicturePairs sorted = c.PicturePairs;
    std::sort(sorted.begin(), sorted.end(), [](const TPicturePair& a, const TPicturePair& b) {
        return a.Similarity > b.Similarity;
    });
    EXPECT_EQ(sorted, all);

    // A batch removed in one pass comes back in one call, in order.
    c.PicturePairs = all;
    std::vector<bool> gone(6, false);
    gone[1] = gone[3] = true;
    c.RemovePairsOfPictures(gone);
    c.Pictures[1].Deleted = c.Pictures[3].Deleted = true;
    ASSERT_EQ(c.PicturePairs, (TPicturePairs{{4, 5, 94}}));
    EXPECT_EQ(c.RestorePicturePairs({1, 3}), 5);
    EXPECT_EQ(c.PicturePairs, all);
    EXPECT_EQ(c.LastPairIndex, 5);

    // A new search forgets what was removed before it.
    forget(0);
    c.Reset();
    EXPECT_EQ(c.RestorePicturePairs({0}), 0);
}

TEST(Catalogue, ReleaseEmptiesEverything) {
    Catalogue c;
    c.AllocateInitial();
    c.AppendFolderPath(QStringLiteral("/a/"));
    appendPictures(c, 2);
    c.AllocatePairs();
    c.AppendPair({0, 1, 100});
    c.Release();
    EXPECT_FALSE(c.ReleaseRequested());
    EXPECT_TRUE(c.FolderPaths.empty());
    EXPECT_TRUE(c.Pictures.empty());
    EXPECT_TRUE(c.PicturePairs.empty());
    EXPECT_EQ(c.LastPairIndex, -1);
    EXPECT_EQ(c.LastPicIndex, -1);
    EXPECT_EQ(c.PairCapacity, 0);
}

TEST(Catalogue, ReleaseWaitsForTheLastSearchUse) {
    Catalogue c;
    c.AllocateInitial();
    c.AppendFolderPath(QStringLiteral("/a/"));
    {
        Catalogue::SearchUse outer(c);
        {
            Catalogue::SearchUse inner(c);
            c.Release();  // the close request arrives in the middle of the search
            EXPECT_TRUE(c.ReleaseRequested());
            EXPECT_EQ(c.Pictures.size(), 30000u) << "the search may still write until it lets go";
            c.AppendPicture(pictureIn(0, "late.jpg"));
            c.ApplyPictureGrowth();
        }
        EXPECT_TRUE(c.ReleaseRequested());
        EXPECT_FALSE(c.Pictures.empty());
    }
    EXPECT_FALSE(c.ReleaseRequested());
    EXPECT_TRUE(c.Pictures.empty());
    EXPECT_TRUE(c.FolderPaths.empty());
    EXPECT_EQ(c.LastPicIndex, -1);
    EXPECT_EQ(c.PicCapacity, 0);
}
