// The pair matcher: who pairs with whom, the similarity, the progress texts, stops and a close mid-search.
// Counting and aspect cases feed signatures through PictureSource; identity and size cases decode files.
#include "engine/PairMatcher.h"

#include "FakeSearchHost.h"
#include "PictureFixtures.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <map>

namespace {

// The signature and size the test wants the matcher to see for one picture.
struct Fed {
    int32_t Width = 100;
    int32_t Height = 100;
    std::vector<TWaveletPoint> Pos;
    std::vector<TWaveletPoint> Neg;
    bool Decodes = true;
};

class FeedSource : public PictureSource {
public:
    std::map<int32_t, Fed> pictures;
    int signCalls = 0;

    LoadResult Measure(int32_t index, const QString&) override {
        const Fed& f = pictures.at(index);
        if (!f.Decodes)
            throw PictureError("cannot decode");
        current_ = &f;
        return {f.Height, f.Width, 1};
    }
    void Sign(TSignatureMatrix& m, TWaveletCoefs& pos, TWaveletCoefs& neg) override {
        ++signCalls;
        m.fill(0);
        pos.fill({});
        neg.fill({});
        for (size_t k = 0; k < current_->Pos.size(); ++k) {
            pos[k] = current_->Pos[k];
            m[current_->Pos[k].X * 128u + current_->Pos[k].Y] = 1;
        }
        for (size_t k = 0; k < current_->Neg.size(); ++k) {
            neg[k] = current_->Neg[k];
            m[current_->Neg[k].X * 128u + current_->Neg[k].Y] = -1;
        }
    }

private:
    const Fed* current_ = nullptr;
};

TWaveletPoint at(int x, int y) { return {static_cast<uint8_t>(x), static_cast<uint8_t>(y)}; }

// A full signature: 125 positive positions in rows 1-2, 125 negative ones in rows 3-4.
Fed fullSignature() {
    Fed f;
    for (int k = 0; k < 125; ++k) {
        f.Pos.push_back(at(1 + k / 100, k % 100));
        f.Neg.push_back(at(3 + k / 100, k % 100));
    }
    return f;
}

// A full signature that agrees with fullSignature() in exactly `count` signed positions. The rest stand
// elsewhere, or (to show that only equal signs count) at the same place with the opposite sign.
Fed agreeingIn(int count) {
    const Fed base = fullSignature();
    Fed f;
    std::vector<TWaveletPoint> all = base.Pos;
    all.insert(all.end(), base.Neg.begin(), base.Neg.end());
    for (int k = 0; k < 250; ++k) {
        const bool wasPositive = k < 125;
        if (k < count) {
            (wasPositive ? f.Pos : f.Neg).push_back(all[k]);
        } else if (k % 2 == 0) {
            (wasPositive ? f.Neg : f.Pos).push_back(all[k]);  // same place, other sign
        } else {
            f.Pos.push_back(at(100 + k / 128, k % 128));  // a place the other never kept
        }
    }
    return f;
}

// A full signature in rows no other signature uses.
Fed unrelated() {
    Fed f;
    for (int k = 0; k < 250; ++k)
        (k % 2 ? f.Pos : f.Neg).push_back(at(60 + k / 100, k % 100));
    return f;
}

class MatcherTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        settings_.MinPicWidth = settings_.MinPicHeight = 0;
        cat_.Reset();
        cat_.AllocateInitial();
        cat_.AppendFolderPath(dir_.path() + QLatin1Char('/'));
    }

    // Records a picture whose file holds `bytes` (by default bytes that differ from every other file).
    int32_t addFile(const QString& name, QByteArray bytes = {}) {
        if (bytes.isEmpty())
            bytes = QStringLiteral("distinct content of %1").arg(name).toUtf8();
        fixtures::WriteBytes(dir_.filePath(name), bytes);
        TPicInfo pic;
        pic.FileName = name;
        pic.Size = bytes.size();
        pic.PathInd = 0;
        cat_.AppendPicture(pic);
        cat_.ApplyPictureGrowth();
        return cat_.LastPicIndex;
    }
    int32_t addFed(const Fed& fed) {
        const int32_t i = addFile(QStringLiteral("p%1.jpg").arg(cat_.LastPicIndex + 1));
        source_.pictures[i] = fed;
        return i;
    }

    void runFed() {
        cat_.TrimPicturesAndPaths();
        cat_.AllocatePairs();
        MatchPictures(cat_, settings_, host_, source_);
        cat_.TrimPairs();
    }
    void runDecoding() {
        cat_.TrimPicturesAndPaths();
        cat_.AllocatePairs();
        MatchPictures(cat_, settings_, host_);
        cat_.TrimPairs();
    }
    TPicturePairs pairs() const { return cat_.PicturePairs; }

    QTemporaryDir dir_;
    TSettings settings_;
    Catalogue cat_;
    FakeSearchHost host_;
    FeedSource source_;
};

// --- Counting: how many signed positions two pictures share decides the pair and its similarity.

struct CountCase {
    const char* name;
    int count;
    bool pairs;
    double similarity;
};

class MatcherCountTest : public MatcherTest, public testing::WithParamInterface<CountCase> {};

TEST_P(MatcherCountTest, ScoreThresholdAndSimilarity) {
    const CountCase& c = GetParam();
    addFed(fullSignature());
    addFed(agreeingIn(c.count));
    runFed();
    if (!c.pairs) {
        EXPECT_TRUE(pairs().empty());
        EXPECT_EQ(cat_.PairCapacity, 0);
        return;
    }
    ASSERT_EQ(pairs().size(), 1u);
    EXPECT_EQ(pairs()[0].PicIndex1, 0);
    EXPECT_EQ(pairs()[0].PicIndex2, 1);
    EXPECT_NEAR(pairs()[0].Similarity, c.similarity, 1e-9);
}

INSTANTIATE_TEST_SUITE_P(Table, MatcherCountTest,
                         testing::Values(CountCase{"Count124NoPair", 124, false, 0},
                                         CountCase{"Count125Similarity1", 125, true, 1},
                                         CountCase{"Count126RaisedTo1", 126, true, 1},
                                         CountCase{"Count127", 127, true, 1.6},
                                         CountCase{"Count200", 200, true, 60},
                                         CountCase{"Count250Similarity100", 250, true, 100},
                                         CountCase{"NothingShared", 0, false, 0}),
                         [](const testing::TestParamInfo<CountCase>& info) { return std::string(info.param.name); });

TEST_F(MatcherTest, EmptySlotsNeverCount) {
    // Both pictures keep only (0, 0)-free positions; an earlier picture whose slots are empty agrees in none.
    addFed(Fed{});
    addFed(Fed{});
    runFed();
    EXPECT_TRUE(pairs().empty());
}

TEST_F(MatcherTest, SignatureAgreementCountsSameSignOnly) {
    TPicInfo earlier;
    const Fed f = fullSignature();
    std::copy(f.Pos.begin(), f.Pos.end(), earlier.WaveletCoefsPos.begin());
    std::copy(f.Neg.begin(), f.Neg.end(), earlier.WaveletCoefsNeg.begin());
    TSignatureMatrix m{};
    m[1 * 128 + 0] = 1;    // agrees with a positive position
    m[3 * 128 + 0] = 1;    // a negative position of the earlier one: no
    m[3 * 128 + 1] = -1;   // agrees with a negative position
    m[0] = 1;              // (0, 0) of the empty slots: never
    EXPECT_EQ(SignatureAgreement(earlier, m), 2);
}

// --- Proportions.

struct AspectCase {
    const char* name;
    int32_t w1, h1, w2, h2;
    bool pairs;
};

class MatcherAspectTest : public MatcherTest, public testing::WithParamInterface<AspectCase> {};

TEST_P(MatcherAspectTest, ProportionsWithinOneAndAHalf) {
    const AspectCase& c = GetParam();
    Fed a = fullSignature();
    a.Width = c.w1;
    a.Height = c.h1;
    Fed b = fullSignature();
    b.Width = c.w2;
    b.Height = c.h2;
    addFed(a);
    addFed(b);
    runFed();
    EXPECT_EQ(pairs().size(), c.pairs ? 1u : 0u);
    EXPECT_EQ(AspectCompatible(c.w1, c.h1, c.w2, c.h2), c.pairs);
}

INSTANTIATE_TEST_SUITE_P(Table, MatcherAspectTest,
                         testing::Values(AspectCase{"LandscapeAgainstPortrait", 400, 300, 300, 400, true},
                                         AspectCase{"TwoAgainstOneAndAHalf", 200, 100, 150, 100, true},
                                         AspectCase{"ThreeAgainstOne", 300, 100, 100, 100, false},
                                         AspectCase{"ExactlyOneAndAHalf", 150, 100, 100, 100, true},
                                         AspectCase{"JustAboveOneAndAHalf", 151, 100, 100, 100, false},
                                         AspectCase{"PortraitExactlyOneAndAHalf", 100, 150, 100, 100, true},
                                         AspectCase{"Squares", 5, 5, 4000, 4000, true}),
                         [](const testing::TestParamInfo<AspectCase>& info) { return std::string(info.param.name); });

// --- Order of candidates and of pictures.

TEST_F(MatcherTest, FirstPictureNeverPairs) {
    addFed(fullSignature());
    runFed();
    EXPECT_TRUE(pairs().empty());
    EXPECT_EQ(cat_.Pictures[0].CCVStage, TCCVStage::Full);
}

TEST_F(MatcherTest, NearestPassingCandidateWinsNotTheBest) {
    addFed(fullSignature());   // 0: agrees in all 250 with picture 3
    addFed(agreeingIn(130));   // 1: agrees in 130 with picture 3 (nearest passing)
    addFed(unrelated());       // 2: nearest, but shares nothing
    addFed(fullSignature());   // 3
    runFed();
    // Picture 1 pairs with 0 (130), 2 with nobody, 3 with 1 (130) rather than 0 (250): the nearest passes.
    ASSERT_EQ(pairs().size(), 2u);
    EXPECT_EQ(pairs()[0], (TPicturePair{0, 1, SimilarityFromScore(130 * 100.0 / 250)}));
    EXPECT_EQ(pairs()[1].PicIndex1, 1);
    EXPECT_EQ(pairs()[1].PicIndex2, 3);
}

TEST_F(MatcherTest, UndecodablePictureIsLeftOutAndDoesNotMoveTheProgressLine) {
    addFed(fullSignature());
    Fed broken = fullSignature();
    broken.Decodes = false;
    addFed(broken);
    addFed(fullSignature());
    runFed();
    const TPicInfo& skipped = cat_.Pictures[1];
    EXPECT_EQ(skipped.Width, 0);
    EXPECT_EQ(skipped.Height, 0);
    EXPECT_EQ(skipped.CCVStage, TCCVStage::None);
    EXPECT_EQ(skipped.PreBuffer, TPreBuffer{});
    EXPECT_EQ(host_.filesCountTexts, (QStringList{"Total pictures scanned: 1 / 3", "Total pictures scanned: 3 / 3",
                                                  "Total pictures scanned: 3 / 3"}));
    ASSERT_EQ(pairs().size(), 1u);
    EXPECT_EQ(pairs()[0].PicIndex1, 0);
    EXPECT_EQ(pairs()[0].PicIndex2, 2);
}

TEST_F(MatcherTest, ProgressTextsAndMessagePoints) {
    addFed(fullSignature());
    addFed(fullSignature());
    addFed(agreeingIn(3));
    runFed();
    EXPECT_EQ(host_.messageCount, 3);  // once per picture; no identical heads, so no file comparison
    EXPECT_EQ(host_.filesCountTexts,
              (QStringList{"Total pictures scanned: 1 / 3", "Total pictures scanned: 2 / 3",
                           "Total pictures scanned: 3 / 3", "Total pictures scanned: 3 / 3"}));
    EXPECT_EQ(host_.duplicatesTexts, QStringList{"Similar pairs found: 1"});
    EXPECT_EQ(cat_.LastPicIndex, 2);
}

TEST_F(MatcherTest, NoPicturesReadsZeroOfZero) {
    runFed();
    EXPECT_EQ(host_.filesCountTexts, QStringList{"Total pictures scanned: 0 / 0"});
    EXPECT_EQ(cat_.PairCapacity, 0);
}

TEST_F(MatcherTest, SizeAndStageAreRecorded) {
    Fed f = fullSignature();
    f.Width = 640;
    f.Height = 480;
    addFed(f);
    runFed();
    const TPicInfo& pic = cat_.Pictures[0];
    EXPECT_EQ(pic.Width, 640);
    EXPECT_EQ(pic.Height, 480);
    EXPECT_EQ(pic.CCVStage, TCCVStage::Full);
    EXPECT_EQ(pic.WaveletCoefsPos[0], at(1, 0));
    EXPECT_EQ(pic.WaveletCoefsNeg[124], at(4, 24));
}

TEST_F(MatcherTest, IdenticalOnlyNeverComparesSignatures) {
    settings_.SearchOnlyIdentical = true;
    addFed(fullSignature());
    addFed(fullSignature());
    runFed();
    EXPECT_TRUE(pairs().empty());
    EXPECT_EQ(source_.signCalls, 0);
    EXPECT_EQ(cat_.Pictures[1].WaveletCoefsPos, TWaveletCoefs{});
    EXPECT_EQ(cat_.Pictures[1].CCVStage, TCCVStage::Full);
}

// --- Identity: equal heads decide by the whole file.

QByteArray bytesOfLength(int length, char fill) { return QByteArray(length, fill); }

TEST_F(MatcherTest, IdenticalFilesPairAt100EvenWithUnlikeSignatures) {
    const QByteArray same = bytesOfLength(5000, 'a');
    source_.pictures[addFile("a.jpg", same)] = fullSignature();
    source_.pictures[addFile("b.jpg", same)] = agreeingIn(0);
    runFed();
    ASSERT_EQ(pairs().size(), 1u);
    EXPECT_EQ(pairs()[0], (TPicturePair{0, 1, 100}));
}

TEST_F(MatcherTest, IdenticalFilesPairAt100WhenOnlyIdenticalWanted) {
    settings_.SearchOnlyIdentical = true;
    source_.pictures[addFile("a.jpg", "short same")] = fullSignature();
    source_.pictures[addFile("b.jpg", "short same")] = fullSignature();
    runFed();
    ASSERT_EQ(pairs().size(), 1u);
    EXPECT_EQ(pairs()[0], (TPicturePair{0, 1, 100}));
}

// Files that share their first 256 bytes (one encoder, one size, no camera data) but are not identical are
// judged by their signatures like any others, whether their sizes agree or not. Files of different sizes are
// never compared; only the equal-sized ones cost a comparison (two message points for two blocks).
struct EqualHeadCase {
    const char* name;
    bool sameSize;
    int agreement;  // signed positions the second picture shares with the first
    bool onlyIdentical;
    bool pairs;
    int messages;
};

class MatcherEqualHeadTest : public MatcherTest, public testing::WithParamInterface<EqualHeadCase> {};

TEST_P(MatcherEqualHeadTest, UnequalFilesAreJudgedBySignature) {
    const EqualHeadCase& c = GetParam();
    settings_.SearchOnlyIdentical = c.onlyIdentical;
    QByteArray a = bytesOfLength(2000, 'h');
    QByteArray b = c.sameSize ? a : a + "longer";
    b[1999] = 'x';
    source_.pictures[addFile("a.jpg", a)] = fullSignature();
    source_.pictures[addFile("b.jpg", b)] = agreeingIn(c.agreement);
    runFed();
    if (c.pairs) {
        ASSERT_EQ(pairs().size(), 1u);
        EXPECT_EQ(pairs()[0], (TPicturePair{0, 1, SimilarityFromScore(c.agreement * 100.0 / 250)}));
    } else {
        EXPECT_TRUE(pairs().empty());
    }
    EXPECT_EQ(host_.messageCount, 2 + c.messages);
}

INSTANTIATE_TEST_SUITE_P(Table, MatcherEqualHeadTest,
                         testing::Values(EqualHeadCase{"AlikeSameSize", true, 200, false, true, 2},
                                         EqualHeadCase{"AlikeOtherSize", false, 200, false, true, 0},
                                         EqualHeadCase{"JustAlike", true, 125, false, true, 2},
                                         EqualHeadCase{"NotAlike", true, 124, false, false, 2},
                                         EqualHeadCase{"AlikeButOnlyIdenticalWanted", true, 250, true, false, 2},
                                         EqualHeadCase{"OtherSizeOnlyIdenticalWanted", false, 250, true, false, 0}),
                         [](const testing::TestParamInfo<EqualHeadCase>& info) { return std::string(info.param.name); });

TEST_F(MatcherTest, ThreeIdenticalFilesPairWithTheirNearestPredecessor) {
    const QByteArray same = bytesOfLength(2048, 'z');
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"})
        source_.pictures[addFile(name, same)] = fullSignature();
    runFed();
    ASSERT_EQ(pairs().size(), 2u);
    EXPECT_EQ(pairs()[0], (TPicturePair{0, 1, 100}));
    EXPECT_EQ(pairs()[1], (TPicturePair{1, 2, 100}));
    EXPECT_EQ(host_.duplicatesTexts, (QStringList{"Similar pairs found: 1", "Similar pairs found: 2"}));
}

TEST_F(MatcherTest, FileComparisonProcessesMessagesPerBlock) {
    const QByteArray same = bytesOfLength(3 * 1024, 'q');
    source_.pictures[addFile("a.jpg", same)] = fullSignature();
    source_.pictures[addFile("b.jpg", same)] = fullSignature();
    runFed();
    // Two pictures, plus one point per block pair of the comparison: three full blocks (and perhaps the
    // empty read that ends it).
    EXPECT_GE(host_.messageCount, 2 + 3);
    EXPECT_LE(host_.messageCount, 2 + 4);
}

// --- Stop and close.

TEST_F(MatcherTest, StopEndsAtTheNextPictureWithoutTheFinalProgressText) {
    for (int k = 0; k < 4; ++k)
        addFed(fullSignature());
    host_.stopAfterMessages = 3;  // raised at the start of the third picture
    runFed();
    EXPECT_EQ(cat_.LastPicIndex, 1);
    EXPECT_EQ(host_.filesCountTexts, (QStringList{"Total pictures scanned: 1 / 4", "Total pictures scanned: 2 / 4"}));
    ASSERT_EQ(pairs().size(), 1u);  // the pairs so far stay
    EXPECT_EQ(cat_.Pictures[2].CCVStage, TCCVStage::None);
}

// The window's close releases the catalogue from inside a message point, here in the middle of the whole
// file comparison. The matcher must finish without touching freed records (run under AddressSanitizer to
// see it), and the catalogue must be empty once it has let go.
TEST_F(MatcherTest, CloseDuringFileComparisonReleasesAfterTheMatcherReturns) {
    const QByteArray same = bytesOfLength(4 * 1024, 'c');
    source_.pictures[addFile("a.jpg", same)] = fullSignature();
    source_.pictures[addFile("b.jpg", same)] = fullSignature();
    source_.pictures[addFile("c.jpg")] = fullSignature();
    host_.onMessages = [this](int point) {
        if (point == 3) {  // picture 0, picture 1, then the first block pair of the comparison
            host_.stopped = true;
            cat_.Release();
            EXPECT_TRUE(cat_.ReleaseRequested());
            EXPECT_EQ(cat_.Pictures.size(), 3u);  // still there while the matcher holds it
        }
    };
    cat_.TrimPicturesAndPaths();
    cat_.AllocatePairs();
    MatchPictures(cat_, settings_, host_, source_);
    EXPECT_FALSE(cat_.ReleaseRequested());
    EXPECT_TRUE(cat_.Pictures.empty());
    EXPECT_TRUE(cat_.PicturePairs.empty());
    EXPECT_EQ(cat_.LastPairIndex, -1);
    EXPECT_EQ(host_.filesCountTexts.size(), 2);  // picture 2 never started
}

TEST_F(MatcherTest, PendingReleaseAloneStopsTheRun) {
    for (int k = 0; k < 3; ++k)
        addFed(fullSignature());
    Catalogue::SearchUse outer(cat_);  // the driver's hold, so the release stays pending
    host_.onMessages = [this](int point) {
        if (point == 1)
            cat_.Release();
    };
    cat_.TrimPicturesAndPaths();
    cat_.AllocatePairs();
    MatchPictures(cat_, settings_, host_, source_);
    EXPECT_EQ(source_.signCalls, 0);
    EXPECT_EQ(cat_.Pictures.size(), 3u);
}

// --- Real pictures through the decoder: sizes and identity.

struct SizeCase {
    const char* name;
    int32_t minimum;
    int width, height;
    bool compared;
};

class MatcherMinimumSizeTest : public MatcherTest, public testing::WithParamInterface<SizeCase> {};

TEST_P(MatcherMinimumSizeTest, SmallestSideAndMinimums) {
    const SizeCase& c = GetParam();
    settings_.MinPicWidth = settings_.MinPicHeight = c.minimum;
    const QByteArray png = fixtures::EncodeImage(fixtures::MakeNaturalPicture(c.width, c.height, 7), "png");
    addFile("a.png", png);
    addFile("b.png", png);
    runDecoding();
    EXPECT_EQ(pairs().size(), c.compared ? 1u : 0u);
    const TPicInfo& first = cat_.Pictures[0];
    EXPECT_EQ(first.CCVStage, c.compared ? TCCVStage::Full : TCCVStage::None);
    EXPECT_EQ(first.Width, c.compared ? c.width : 0);
    EXPECT_EQ(first.Height, c.compared ? c.height : 0);
}

INSTANTIATE_TEST_SUITE_P(Table, MatcherMinimumSizeTest,
                         testing::Values(SizeCase{"FourWideLeftOutAtMinimumZero", 0, 4, 100, false},
                                         SizeCase{"FiveByFiveComparedAtMinimumZero", 0, 5, 5, true},
                                         SizeCase{"NarrowAtDefault", 100, 99, 400, false},
                                         SizeCase{"LowAtDefault", 100, 400, 99, false},
                                         SizeCase{"ExactDefault", 100, 100, 100, true}),
                         [](const testing::TestParamInfo<SizeCase>& info) { return std::string(info.param.name); });

TEST_F(MatcherTest, DecodedIdenticalFilesPairAt100InBothModes) {
    const QByteArray png = fixtures::EncodeImage(fixtures::MakeNaturalPicture(160, 120, 3), "png");
    for (bool onlyIdentical : {false, true}) {
        SCOPED_TRACE(onlyIdentical);
        SetUp();
        settings_.SearchOnlyIdentical = onlyIdentical;
        settings_.MinPicWidth = settings_.MinPicHeight = 100;
        addFile("a.png", png);
        addFile("b.png", png);
        runDecoding();
        ASSERT_EQ(pairs().size(), 1u);
        EXPECT_EQ(pairs()[0], (TPicturePair{0, 1, 100}));
        EXPECT_EQ(cat_.Pictures[1].Width, 160);
        EXPECT_EQ(cat_.Pictures[1].Height, 120);
    }
}

TEST_F(MatcherTest, IdenticalUndecodableFilesGiveNoPair) {
    addFile("a.png", "not a picture at all");
    addFile("b.png", "not a picture at all");
    runDecoding();
    EXPECT_TRUE(pairs().empty());
    EXPECT_EQ(cat_.Pictures[0].Width, 0);
    EXPECT_EQ(cat_.Pictures[0].CCVStage, TCCVStage::None);
    // Only the closing line: neither picture wrote its own.
    EXPECT_EQ(host_.filesCountTexts, QStringList{"Total pictures scanned: 2 / 2"});
}

TEST_F(MatcherTest, RecompressedCopyPairsAsSimilar) {
    settings_.MinPicWidth = settings_.MinPicHeight = 100;
    const QImage picture = fixtures::MakeNaturalPicture(320, 240, 11);
    addFile("a.jpg", fixtures::EncodeJpeg(picture, {.Quality = 92}));
    addFile("b.jpg", fixtures::EncodeJpeg(picture, {.Quality = 60}));
    addFile("c.png", fixtures::EncodeImage(fixtures::MakeNaturalPicture(320, 240, 12345), "png"));
    runDecoding();
    ASSERT_EQ(pairs().size(), 1u);
    EXPECT_EQ(pairs()[0].PicIndex1, 0);
    EXPECT_EQ(pairs()[0].PicIndex2, 1);
    EXPECT_GE(pairs()[0].Similarity, 1);
}

}  // namespace
