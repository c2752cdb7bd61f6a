// The fast candidate search against the plain reference: the same partner and score for every picture of
// generated signature sets, with no whole-file comparison the reference would not make, alone and inside
// MatchPictures (pairs, texts, stops).
#include "engine/FastMatcher.h"
#include "engine/PairMatcher.h"

#include "FakeSearchHost.h"
#include "PictureFixtures.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <vector>

namespace {

constexpr int kSide = 128;

// A signed position: position * 2 + sign (0 positive, 1 negative).
using Token = int;

struct GeneratedPicture {
    TCCVStage Stage = TCCVStage::Full;
    int32_t Width = 100, Height = 100;
    std::vector<TWaveletPoint> Pos, Neg;
    int Head = 0;     // pictures with the same number share their 256-byte head
    int Content = 0;  // and with the same number also the whole file
    int64_t Size = 4000;  // as the scan recorded it; equal contents have equal sizes
};

// Knobs of one generated set; probabilities are per picture.
struct SetRecipe {
    const char* name;
    int pictures;
    double coarse;        // share of tokens drawn near the matrix's corner, where real signatures crowd
    double planted;       // a variant of an earlier picture sharing a chosen count of tokens with it
    double none;          // left out by the matcher
    double sameHead;      // shares its head with an earlier picture
    double sameFile;      // ... and is the same file
    double irregular;     // lists that repeat a position or use columns past 127
    double partial;       // fewer than 250 tokens
    bool onlyIdentical;
    int threads;
    int32_t parallelFrom;
    int32_t blockSize;
    uint32_t seed;
    bool wide = true;  // 512-bit scan where the processor has it; false: the portable loop
};

// The proportions of the aspect test's edges: 1.5 exactly (both orientations) and just above.
constexpr std::array<std::pair<int32_t, int32_t>, 8> kSizes = {{{100, 100},
                                                                 {150, 100},
                                                                 {100, 150},
                                                                 {151, 100},
                                                                 {225, 100},
                                                                 {226, 100},
                                                                 {300, 200},
                                                                 {640, 480}}};

void PrintTo(const SetRecipe& r, std::ostream* os) { *os << r.name; }

class Generator {
public:
    explicit Generator(const SetRecipe& r) : r_(r), rng_(r.seed) {}

    std::vector<GeneratedPicture> Make() {
        std::vector<GeneratedPicture> out;
        for (int i = 0; i < r_.pictures; ++i) {
            GeneratedPicture p;
            const auto size = kSizes[pick(kSizes.size())];
            p.Width = size.first;
            p.Height = size.second;
            p.Head = p.Content = nextId_++;
            p.Size = 4000 + static_cast<int64_t>(pick(3));
            if (chance(r_.none))
                p.Stage = TCCVStage::None;
            std::vector<Token> tokens;
            size_t base = out.size();
            if (!out.empty() && chance(r_.planted)) {
                static constexpr int kCounts[] = {124, 125, 126, 250, 130, 110};
                base = pick(out.size());
                tokens = variantOf(tokensOf(out[base]), kCounts[pick(std::size(kCounts))]);
            } else {
                tokens = fresh(chance(r_.partial) ? 1 + static_cast<int>(pick(249)) : kWaveletSlots, {});
            }
            assign(tokens, p);
            if (!out.empty() && chance(r_.sameHead)) {
                // Half of the time the head of the picture it was planted from: equal heads, alike or not.
                const GeneratedPicture& other = out[base < out.size() && chance(0.5) ? base : pick(out.size())];
                p.Head = other.Head;
                if (chance(r_.sameFile)) {
                    p.Content = other.Content;
                    p.Size = other.Size;
                } else {
                    p.Content = nextId_++;
                    p.Size = chance(0.5) ? other.Size : other.Size + 1 + static_cast<int64_t>(pick(5));
                }
            }
            if (chance(r_.irregular))
                roughen(p);
            if (r_.onlyIdentical)
                p.Pos.clear(), p.Neg.clear();
            out.push_back(p);
        }
        return out;
    }

private:
    bool chance(double p) { return std::uniform_real_distribution<double>(0, 1)(rng_) < p; }
    size_t pick(size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(rng_); }

    int randomPosition() {
        if (chance(r_.coarse)) {
            // Log-uniform rows and columns: most near 0, as the coarse wavelet levels of photographs.
            auto coord = [&] {
                return std::min(kSide - 1, static_cast<int>(std::exp(std::uniform_real_distribution<double>(
                                                                0, std::log(kSide))(rng_))) - 1);
            };
            return coord() * kSide + coord();
        }
        return static_cast<int>(pick(kSide * kSide));
    }

    // `count` tokens at distinct positions not in `avoid` (positions), never position 0.
    std::vector<Token> fresh(int count, std::set<int> avoid) {
        std::vector<Token> out;
        while (static_cast<int>(out.size()) < count) {
            const int position = randomPosition();
            if (position == 0 || !avoid.insert(position).second)
                continue;
            out.push_back(position * 2 + static_cast<int>(pick(2)));
        }
        return out;
    }

    // Shares exactly `shared` tokens with `base` (or all of them when it has fewer); the others stand at
    // positions `base` does not use.
    std::vector<Token> variantOf(std::vector<Token> base, int shared) {
        std::shuffle(base.begin(), base.end(), rng_);
        std::set<int> used;
        for (Token t : base)
            used.insert(t / 2);
        std::vector<Token> out(base.begin(), base.begin() + std::min<size_t>(base.size(), shared));
        const std::vector<Token> extra = fresh(kWaveletSlots - static_cast<int>(out.size()), used);
        out.insert(out.end(), extra.begin(), extra.end());
        return out;
    }

    static std::vector<Token> tokensOf(const GeneratedPicture& p) {
        std::vector<Token> out;
        for (const TWaveletPoint& q : p.Pos)
            out.push_back((q.X * kSide + q.Y) * 2);
        for (const TWaveletPoint& q : p.Neg)
            out.push_back((q.X * kSide + q.Y) * 2 + 1);
        return out;
    }

    // Lists in the signature code's order (ascending positions), capped at 250 per sign.
    static void assign(std::vector<Token> tokens, GeneratedPicture& p) {
        std::sort(tokens.begin(), tokens.end());
        for (Token t : tokens) {
            const TWaveletPoint q{static_cast<uint8_t>(t / 2 / kSide), static_cast<uint8_t>(t / 2 % kSide)};
            auto& list = (t % 2) ? p.Neg : p.Pos;
            if (list.size() < kWaveletSlots)
                list.push_back(q);
        }
    }

    // What the signature code never writes but the record can hold: a repeated entry, or a column past 127
    // (which the reference reads as the next row's start).
    void roughen(GeneratedPicture& p) {
        auto& list = p.Pos.empty() ? p.Neg : p.Pos;
        if (list.empty())
            return;
        if (chance(0.5) || list.size() >= kWaveletSlots) {
            std::fill(list.begin(), list.begin() + static_cast<long>(list.size() / 2), list.front());
        } else {
            list.push_back({static_cast<uint8_t>(pick(100)), static_cast<uint8_t>(128 + pick(100))});
        }
    }

    const SetRecipe& r_;
    std::mt19937 rng_;
    int nextId_ = 1;
};

// The sign matrix the matcher holds for a picture; a position listed with both signs ends up negative.
void signMatrixOf(const GeneratedPicture& p, TSignatureMatrix& m) {
    m.fill(0);
    for (const TWaveletPoint& q : p.Pos)
        m[q.X * 128u + q.Y] = 1;
    for (const TWaveletPoint& q : p.Neg)
        m[q.X * 128u + q.Y] = -1;
}

TPicInfo recordOf(const GeneratedPicture& p, int32_t i) {
    TPicInfo pic;
    pic.FileName = QStringLiteral("p%1.jpg").arg(i);
    pic.CCVStage = p.Stage;
    pic.Width = p.Width;
    pic.Height = p.Height;
    pic.Size = p.Size;
    std::copy(p.Pos.begin(), p.Pos.end(), pic.WaveletCoefsPos.begin());
    std::copy(p.Neg.begin(), p.Neg.end(), pic.WaveletCoefsNeg.begin());
    for (size_t k = 0; k < pic.PreBuffer.size(); ++k)
        pic.PreBuffer[k] = static_cast<uint8_t>(p.Head * 131 + k * (p.Head % 7));
    return pic;
}

// Whole-file comparisons and content hashes answered from the generated contents, each one written down.
// The hashes collide often, and some files cannot be hashed, so that both cost only extra comparisons.
struct FakeFiles {
    std::map<QString, int> content;
    QStringList calls;
    std::map<QString, int> hashes;  // per path: how often its content was hashed

    FilesEqualFn Fn() {
        return [this](const QString& a, const QString& b) {
            calls << a + QStringLiteral(" = ") + b;
            return content.at(a) == content.at(b);
        };
    }
    ContentHashFn Hash() {
        return [this](const QString& path) -> std::optional<uint64_t> {
            ++hashes[path];
            const int c = content.at(path);
            if (c % 13 == 0)
                return std::nullopt;
            return static_cast<uint64_t>(c % 4);
        };
    }
};

class FastMatcherSetTest : public testing::TestWithParam<SetRecipe> {};

TEST_P(FastMatcherSetTest, SamePartnersScoresAndFileComparisonsAsTheReference) {
    const SetRecipe& r = GetParam();
    const std::vector<GeneratedPicture> set = Generator(r).Make();
    Catalogue cat;
    cat.Reset();
    cat.AllocateInitial();
    cat.AppendFolderPath(QStringLiteral("/generated/"));
    FakeFiles reference, fast;
    for (size_t i = 0; i < set.size(); ++i) {
        cat.AppendPicture(recordOf(set[i], static_cast<int32_t>(i)));
        cat.ApplyPictureGrowth();
        reference.content[cat.PicturePath(static_cast<int32_t>(i))] = set[i].Content;
    }
    cat.TrimPicturesAndPaths();
    fast.content = reference.content;

    FastPartnerFinder finder(cat, {r.threads, r.parallelFrom, r.blockSize, r.wide}, fast.Hash());
    auto m = std::make_unique<TSignatureMatrix>();
    int partners = 0;
    int alikeWithEqualHeads = 0;  // partners by signature whose head equals the picture's
    for (int32_t i = 0; i < cat.PicCapacity; ++i) {
        const GeneratedPicture& current = set[static_cast<size_t>(i)];
        if (current.Stage != TCCVStage::Full)
            continue;
        signMatrixOf(current, *m);
        const qsizetype referenceBefore = reference.calls.size();
        const qsizetype fastBefore = fast.calls.size();
        const PartnerMatch expected = FindPartnerReference(cat, i, *m, r.onlyIdentical, reference.Fn());
        const PartnerMatch got = finder.Find(i, *m, r.onlyIdentical, fast.Fn());
        ASSERT_EQ(got.Partner, expected.Partner) << "picture " << i;
        ASSERT_EQ(got.Score, expected.Score) << "picture " << i;
        const QStringList referenceCalls = reference.calls.mid(referenceBefore);
        for (const QString& call : fast.calls.mid(fastBefore))
            ASSERT_TRUE(referenceCalls.contains(call)) << "picture " << i << ": " << qPrintable(call);
        partners += expected.Partner >= 0;
        if (expected.Partner >= 0) {
            const GeneratedPicture& partner = set[static_cast<size_t>(expected.Partner)];
            alikeWithEqualHeads += partner.Head == current.Head && partner.Content != current.Content;
        }
    }
    for (const auto& [path, count] : fast.hashes)
        ASSERT_EQ(count, 1) << qPrintable(path) << " hashed more than once";
    // The set must exercise what it is meant to: pairs found, and, where heads repeat, file comparisons
    // and pairs of alike pictures that share their heads.
    EXPECT_GT(partners, 0);
    if (r.sameHead > 0) {
        EXPECT_GT(reference.calls.size(), 0);
        EXPECT_LE(fast.calls.size(), reference.calls.size());
        if (!r.onlyIdentical && r.sameHead >= 0.25) {
            EXPECT_GT(alikeWithEqualHeads, 0);
        }
    }
    if (!r.onlyIdentical) {
        EXPECT_GT(finder.Statistics().Candidates, 0);
    }
    RecordProperty("partners", partners);
}

// name, pictures, coarse, planted, none, sameHead, sameFile, irregular, partial, onlyIdentical, threads,
// parallelFrom, blockSize, seed
INSTANTIATE_TEST_SUITE_P(
    Table, FastMatcherSetTest,
    testing::Values(SetRecipe{"UniformPlanted", 300, 0.0, 0.3, 0.0, 0.0, 0.0, 0.0, 0.0, false, 1, 1 << 30, 4096, 1},
                    SetRecipe{"CoarsePlanted", 300, 0.9, 0.3, 0.0, 0.0, 0.0, 0.0, 0.0, false, 1, 1 << 30, 4096, 2},
                    SetRecipe{"CoarseMostlyPlanted", 300, 1.0, 0.7, 0.0, 0.0, 0.0, 0.0, 0.1, false, 1, 1 << 30,
                              4096, 3},
                    SetRecipe{"LeftOutPictures", 300, 0.8, 0.4, 0.3, 0.0, 0.0, 0.0, 0.0, false, 1, 1 << 30, 4096,
                              4},
                    SetRecipe{"HeadsEqualAndUnequalFiles", 300, 0.8, 0.4, 0.1, 0.25, 0.5, 0.0, 0.0, false, 1,
                              1 << 30, 4096, 5},
                    SetRecipe{"IrregularLists", 300, 0.8, 0.4, 0.1, 0.05, 0.5, 0.15, 0.1, false, 1, 1 << 30, 4096,
                              6},
                    SetRecipe{"OnlyIdentical", 300, 0.8, 0.0, 0.1, 0.3, 0.5, 0.0, 0.0, true, 1, 1 << 30, 4096, 7},
                    SetRecipe{"MostHeadsEqual", 400, 0.8, 0.5, 0.05, 0.9, 0.15, 0.0, 0.0, false, 1, 1 << 30, 4096,
                              14},
                    SetRecipe{"MostHeadsEqualOnlyIdentical", 400, 0.8, 0.0, 0.05, 0.9, 0.3, 0.0, 0.0, true, 1, 1 << 30,
                              4096, 15},
                    SetRecipe{"ThreadsSmallBlocks", 400, 0.9, 0.4, 0.1, 0.1, 0.5, 0.02, 0.05, false, 3, 1, 7, 8},
                    SetRecipe{"ThreadsOneBlockEach", 400, 0.9, 0.4, 0.1, 0.1, 0.5, 0.0, 0.0, false, 2, 50, 64, 9},
                    SetRecipe{"PastTheFirstReranking", 1300, 0.9, 0.15, 0.05, 0.02, 0.5, 0.01, 0.02, false, 2, 600,
                              97, 10},
                    SetRecipe{"PortableLoop", 300, 0.9, 0.4, 0.1, 0.1, 0.5, 0.02, 0.05, false, 1, 1 << 30, 4096, 12,
                              false},
                    SetRecipe{"PortableLoopThreads", 400, 0.9, 0.4, 0.1, 0.1, 0.5, 0.02, 0.05, false, 3, 1, 13, 13,
                              false}),
    [](const testing::TestParamInfo<SetRecipe>& info) { return std::string(info.param.name); });

// Signatures crowd in the matrix's coarse corner, where the sketch keeps exact bits: unrelated ones are
// turned away by their bound without being counted.
TEST(FastMatcherBoundTest, UnrelatedCoarseSignaturesAreRejectedUncounted) {
    Catalogue cat;
    cat.Reset();
    cat.AllocateInitial();
    cat.AppendFolderPath(QStringLiteral("/generated/"));
    std::mt19937 rng(5);
    std::vector<GeneratedPicture> set(200);
    for (size_t i = 0; i < set.size(); ++i) {
        std::vector<TWaveletPoint> corner;  // the 406 positions with row + column below 28, but (0, 0)
        for (int x = 0; x < 28; ++x)
            for (int y = 0; x + y < 28; ++y)
                if (x + y > 0)
                    corner.push_back({static_cast<uint8_t>(x), static_cast<uint8_t>(y)});
        std::shuffle(corner.begin(), corner.end(), rng);
        for (int k = 0; k < kWaveletSlots; ++k)
            (rng() % 2 ? set[i].Pos : set[i].Neg).push_back(corner[static_cast<size_t>(k)]);
        set[i].Head = static_cast<int>(i) + 1;
        cat.AppendPicture(recordOf(set[i], static_cast<int32_t>(i)));
        cat.ApplyPictureGrowth();
    }
    cat.TrimPicturesAndPaths();
    for (bool wide : {true, false}) {
        SCOPED_TRACE(wide ? "wide" : "portable");
        FastPartnerFinder finder(cat, {.WideInstructions = wide});
        TSignatureMatrix m;
        const auto never = [](const QString&, const QString&) { return false; };
        for (int32_t i = 0; i < cat.PicCapacity; ++i) {
            signMatrixOf(set[static_cast<size_t>(i)], m);
            ASSERT_EQ(finder.Find(i, m, false, never).Partner, FindPartnerReference(cat, i, m, false, never).Partner);
        }
        const FastPartnerFinder::Stats stats = finder.Statistics();
        EXPECT_EQ(stats.Candidates, 200 * 199 / 2);
        EXPECT_LT(stats.Verified * 100, stats.Candidates);
    }
}

// The matrix is read as the reference reads it: any value above zero is a positive sign, below zero a
// negative one; zeros of either sign and NaN are no sign at all.
TEST(FastMatcherMatrixTest, UnusualValuesCountAsTheReferenceReadsThem) {
    Catalogue cat;
    cat.Reset();
    cat.AllocateInitial();
    cat.AppendFolderPath(QStringLiteral("/generated/"));
    GeneratedPicture earlier;
    for (int k = 0; k < 200; ++k)
        earlier.Pos.push_back({static_cast<uint8_t>(1 + k / 64), static_cast<uint8_t>(k % 64)});
    earlier.Head = 1;
    cat.AppendPicture(recordOf(earlier, 0));
    GeneratedPicture current;
    current.Head = 2;
    cat.AppendPicture(recordOf(current, 1));
    cat.TrimPicturesAndPaths();

    struct Case {
        const char* name;
        int tiny, nan, negativeZero;  // how many of the earlier positions hold each value; the rest hold 0.0
        int32_t partner;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (const Case& c : {Case{"TinyPositivesCount", 125, 75, 0, 0}, Case{"NaNNeverCounts", 124, 76, 0, -1},
                          Case{"NegativeZeroNeverCounts", 124, 0, 76, -1}}) {
        SCOPED_TRACE(c.name);
        TSignatureMatrix m{};
        for (int k = 0; k < 200; ++k) {
            const TWaveletPoint p = earlier.Pos[static_cast<size_t>(k)];
            double& v = m[p.X * 128u + p.Y];
            v = k < c.tiny ? 1e-300 : k < c.tiny + c.nan ? nan : k < c.tiny + c.nan + c.negativeZero ? -0.0 : 0.0;
        }
        const auto never = [](const QString&, const QString&) { return false; };
        FastPartnerFinder finder(cat);
        EXPECT_EQ(finder.Find(1, m, false, never).Partner, c.partner);
        EXPECT_EQ(FindPartnerReference(cat, 1, m, false, never).Partner, c.partner);
    }
}

// Planted counts one by one, the partner being far from the picture: the nearest pass, not the best. With
// coarse signatures the shared tokens sit mostly on exact bits; with spread ones on hashed bits, where several
// tokens share a bit: a variant made of the shared tokens alone reaches 125 only through the collision counts.
struct CountCase {
    const char* name;
    int count;
    bool pairs;
    double coarse = 0.9;
    bool padded = true;  // the variant filled up to 250 tokens with positions picture 0 does not use
};

class FastMatcherCountTest : public testing::TestWithParam<CountCase> {};

TEST_P(FastMatcherCountTest, ThresholdAtOneHundredAndTwentyFive) {
    const CountCase& c = GetParam();
    SetRecipe r{"", 2, c.coarse, 0, 0, 0, 0, 0, 0, false, 1, 1 << 30, 4096, 11};
    std::vector<GeneratedPicture> set = Generator(r).Make();
    // Picture 1 shares exactly c.count tokens with picture 0; 40 unrelated pictures stand between them.
    r.pictures = 40;
    r.coarse = 0;  // spread thin, so that none of them pairs with either end
    r.seed = 12;
    const std::vector<GeneratedPicture> between = Generator(r).Make();
    std::vector<Token> tokens;
    for (const TWaveletPoint& q : set[0].Pos)
        tokens.push_back((q.X * kSide + q.Y) * 2);
    for (const TWaveletPoint& q : set[0].Neg)
        tokens.push_back((q.X * kSide + q.Y) * 2 + 1);
    GeneratedPicture variant;
    std::set<int> used;
    for (Token t : tokens)
        used.insert(t / 2);
    for (int k = 0; k < c.count; ++k)
        (tokens[static_cast<size_t>(k)] % 2 ? variant.Neg : variant.Pos)
            .push_back({static_cast<uint8_t>(tokens[static_cast<size_t>(k)] / 2 / kSide),
                        static_cast<uint8_t>(tokens[static_cast<size_t>(k)] / 2 % kSide)});
    for (int position = 1; c.padded && variant.Pos.size() + variant.Neg.size() < kWaveletSlots; ++position) {
        if (!used.count(position))
            variant.Neg.push_back({static_cast<uint8_t>(position / kSide), static_cast<uint8_t>(position % kSide)});
    }
    set.resize(1);
    set.insert(set.end(), between.begin(), between.end());
    set.push_back(variant);

    Catalogue cat;
    cat.Reset();
    cat.AllocateInitial();
    cat.AppendFolderPath(QStringLiteral("/generated/"));
    for (size_t i = 0; i < set.size(); ++i) {
        set[i].Head = static_cast<int>(i) + 1;
        cat.AppendPicture(recordOf(set[i], static_cast<int32_t>(i)));
        cat.ApplyPictureGrowth();
    }
    cat.TrimPicturesAndPaths();
    FastPartnerFinder finder(cat);
    TSignatureMatrix m;
    PartnerMatch last;
    for (int32_t i = 0; i < cat.PicCapacity; ++i) {
        signMatrixOf(set[static_cast<size_t>(i)], m);
        const auto never = [](const QString&, const QString&) { return false; };
        const PartnerMatch expected = FindPartnerReference(cat, i, m, false, never);
        last = finder.Find(i, m, false, never);
        ASSERT_EQ(last.Partner, expected.Partner);
        ASSERT_EQ(last.Score, expected.Score);
    }
    EXPECT_EQ(last.Partner, c.pairs ? 0 : -1);
}

INSTANTIATE_TEST_SUITE_P(Table, FastMatcherCountTest,
                         testing::Values(CountCase{"Count124", 124, false}, CountCase{"Count125", 125, true},
                                         CountCase{"Count126", 126, true}, CountCase{"Count250", 250, true},
                                         CountCase{"Count124Spread", 124, false, 0.0, false},
                                         CountCase{"Count125Spread", 125, true, 0.0, false}),
                         [](const testing::TestParamInfo<CountCase>& info) { return std::string(info.param.name); });

// --- Inside MatchPictures: pairs, texts and stops as the reference would leave them.

class FeedSource : public PictureSource {
public:
    explicit FeedSource(const std::vector<GeneratedPicture>& set) : set_(set) {}
    LoadResult Measure(int32_t index, const QString&) override {
        current_ = &set_.at(static_cast<size_t>(index));
        if (current_->Stage != TCCVStage::Full)
            throw PictureError("cannot decode");
        return {current_->Height, current_->Width, 1};
    }
    void Sign(TSignatureMatrix& m, TWaveletCoefs& pos, TWaveletCoefs& neg) override {
        signMatrixOf(*current_, m);
        pos.fill({});
        neg.fill({});
        std::copy(current_->Pos.begin(), current_->Pos.end(), pos.begin());
        std::copy(current_->Neg.begin(), current_->Neg.end(), neg.begin());
    }

private:
    const std::vector<GeneratedPicture>& set_;
    const GeneratedPicture* current_ = nullptr;
};

class FastMatcherRunTest : public testing::TestWithParam<int> {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        SetRecipe r{"", 120, 0.9, 0.5, 0.1, 0.15, 0.5, 0.0, 0.0, false, 1, 1 << 30, 4096, 21};
        set_ = Generator(r).Make();
        cat_.Reset();
        cat_.AllocateInitial();
        cat_.AppendFolderPath(dir_.path() + QLatin1Char('/'));
        for (size_t i = 0; i < set_.size(); ++i) {
            // Equal heads are 296 bytes alike; equal contents add the same tail, others a tail of their own.
            QByteArray bytes = QByteArray::number(set_[i].Head).leftJustified(kHeadLength + 40, '#');
            bytes.append(QByteArray::number(set_[i].Content));
            TPicInfo pic;
            pic.FileName = QStringLiteral("p%1.jpg").arg(i);
            pic.Size = bytes.size();
            fixtures::WriteBytes(dir_.filePath(pic.FileName), bytes);
            cat_.AppendPicture(pic);
            cat_.ApplyPictureGrowth();
        }
        cat_.TrimPicturesAndPaths();
        cat_.AllocatePairs();
    }

    // The pairs the reference gives for pictures 0..last, from the records the run left.
    TPicturePairs referencePairs(int32_t last) {
        TPicturePairs out;
        TSignatureMatrix m;
        const FilesEqualFn files = [](const QString& a, const QString& b) { return FilesEqual(a, b); };
        for (int32_t i = 0; i <= last; ++i) {
            if (cat_.Pictures[static_cast<size_t>(i)].CCVStage != TCCVStage::Full)
                continue;
            signMatrixOf(set_[static_cast<size_t>(i)], m);
            const PartnerMatch match = FindPartnerReference(cat_, i, m, false, files);
            if (match.Partner >= 0)
                out.push_back({match.Partner, i, SimilarityFromScore(match.Score)});
        }
        return out;
    }

    QTemporaryDir dir_;
    std::vector<GeneratedPicture> set_;
    Catalogue cat_;
    TSettings settings_;
    FakeSearchHost host_;
};

TEST_P(FastMatcherRunTest, StopLeavesWhatTheReferenceLeaves) {
    const int stopAt = GetParam();  // message point at which the stop is raised; 0: never
    settings_.MinPicWidth = settings_.MinPicHeight = 0;
    host_.stopAfterMessages = stopAt;
    FeedSource source(set_);
    MatchPictures(cat_, settings_, host_, source);
    cat_.TrimPairs();

    const TPicturePairs expected = referencePairs(cat_.LastPicIndex);
    EXPECT_EQ(cat_.PicturePairs, expected);
    if (stopAt == 0) {
        EXPECT_GT(expected.size(), 10u);
    }
    // One progress line per picture taken in, the closing line only when the run was not stopped.
    QStringList texts;
    for (int32_t i = 0; i <= cat_.LastPicIndex; ++i) {
        if (set_[static_cast<size_t>(i)].Stage == TCCVStage::Full)
            texts << QStringLiteral("Total pictures scanned: %1 / %2").arg(i + 1).arg(cat_.PicCapacity);
    }
    if (!host_.stopped)
        texts << QStringLiteral("Total pictures scanned: %1 / %1").arg(cat_.PicCapacity);
    EXPECT_EQ(host_.filesCountTexts, texts);
    EXPECT_EQ(host_.duplicatesTexts.size(), static_cast<qsizetype>(expected.size()));
    for (size_t i = static_cast<size_t>(cat_.LastPicIndex) + 1; i < set_.size(); ++i)
        EXPECT_EQ(cat_.Pictures[i].CCVStage, TCCVStage::None);
}

INSTANTIATE_TEST_SUITE_P(StopPoints, FastMatcherRunTest, testing::Values(0, 2, 17, 60, 95, 119, 121));

// --- Pairs the user said are not duplicates: both searches pass a refused candidate over and go on with the
// next earlier one.

struct RuleVeto : CandidateVeto {
    explicit RuleVeto(std::function<bool(int32_t, int32_t)> r) : rule(std::move(r)) {}
    bool Refuses(const Catalogue&, int32_t earlier, int32_t current) override {
        const bool refused = rule(earlier, current);
        refusals += refused;
        return refused;
    }
    std::function<bool(int32_t, int32_t)> rule;
    int refusals = 0;
};

struct VetoCase {
    const char* name;
    // Given the pairs found without a veto, which (earlier, current) candidates to refuse.
    std::function<std::function<bool(int32_t, int32_t)>(const TPicturePairs&)> rule;
};

class FastMatcherVetoTest : public FastMatcherRunTest {};

TEST_F(FastMatcherVetoTest, RefusedPartnersAreReplacedByTheNextEarlierOneAsTheReferenceFinds) {
    settings_.MinPicWidth = settings_.MinPicHeight = 0;
    FeedSource plainSource(set_);
    MatchPictures(cat_, settings_, host_, plainSource);
    cat_.TrimPairs();
    const TPicturePairs plain = cat_.PicturePairs;
    ASSERT_GT(plain.size(), 10u);

    const VetoCase cases[] = {
        {"EveryPartnerOnce",
         [](const TPicturePairs& pairs) {
             auto refused = std::make_shared<std::set<std::pair<int32_t, int32_t>>>();
             for (const TPicturePair& p : pairs)
                 refused->insert({p.PicIndex1, p.PicIndex2});
             return [refused](int32_t j, int32_t i) { return refused->count({j, i}) > 0; };
         }},
        {"EvenSums", [](const TPicturePairs&) { return [](int32_t j, int32_t i) { return (i + j) % 2 == 0; }; }},
        {"OnePictureWithEveryone",
         [](const TPicturePairs& pairs) {
             const int32_t victim = pairs[pairs.size() / 2].PicIndex2;
             return [victim](int32_t j, int32_t i) { return i == victim || j == victim; };
         }},
        {"Everything", [](const TPicturePairs&) { return [](int32_t, int32_t) { return true; }; }},
    };
    for (const VetoCase& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        settings_.MinPicWidth = settings_.MinPicHeight = 0;
        RuleVeto veto(c.rule(plain));
        FeedSource source(set_);
        MatchPictures(cat_, settings_, host_, source, 1, nullptr, &veto);
        cat_.TrimPairs();

        RuleVeto referenceVeto(c.rule(plain));
        TPicturePairs expected;
        TSignatureMatrix m;
        const FilesEqualFn files = [](const QString& a, const QString& b) { return FilesEqual(a, b); };
        for (int32_t i = 0; i < cat_.PicCapacity; ++i) {
            if (cat_.Pictures[static_cast<size_t>(i)].CCVStage != TCCVStage::Full)
                continue;
            signMatrixOf(set_[static_cast<size_t>(i)], m);
            const PartnerMatch match = FindPartnerReference(cat_, i, m, false, files, &referenceVeto);
            if (match.Partner >= 0)
                expected.push_back({match.Partner, i, SimilarityFromScore(match.Score)});
        }
        EXPECT_EQ(cat_.PicturePairs, expected);
        EXPECT_EQ(veto.refusals, referenceVeto.refusals);
        EXPECT_GT(veto.refusals, 0);
        if (std::string(c.name) == "EveryPartnerOnce") {
            // Some pictures still find a partner further back.
            EXPECT_GT(expected.size(), 0u);
            for (const TPicturePair& p : expected)
                EXPECT_EQ(std::count(plain.begin(), plain.end(), p), 0);
        }
        if (std::string(c.name) == "Everything") {
            EXPECT_TRUE(expected.empty());
        }
    }
}

// A search limited to the pictures below a bound, on the threaded scan with small blocks: the reference with
// every candidate at or above the bound refused.
TEST(FastMatcherBelowTest, OnlyCandidatesBelowTheBoundAsTheReferenceWithThemRefused) {
    const SetRecipe r{"", 400, 0.9, 0.5, 0.1, 0.1, 0.5, 0.02, 0.05, false, 3, 1, 7, 31};
    const std::vector<GeneratedPicture> set = Generator(r).Make();
    Catalogue cat;
    cat.Reset();
    cat.AllocateInitial();
    cat.AppendFolderPath(QStringLiteral("/generated/"));
    FakeFiles files;
    for (size_t i = 0; i < set.size(); ++i) {
        cat.AppendPicture(recordOf(set[i], static_cast<int32_t>(i)));
        cat.ApplyPictureGrowth();
        files.content[cat.PicturePath(static_cast<int32_t>(i))] = set[i].Content;
    }
    cat.TrimPicturesAndPaths();
    FastPartnerFinder finder(cat, {r.threads, r.parallelFrom, r.blockSize, r.wide}, files.Hash());
    auto m = std::make_unique<TSignatureMatrix>();
    int found = 0;
    for (int32_t i = 0; i < cat.PicCapacity; ++i) {
        if (set[static_cast<size_t>(i)].Stage != TCCVStage::Full)
            continue;
        signMatrixOf(set[static_cast<size_t>(i)], *m);
        for (int32_t below = i; below > 0;) {
            RuleVeto above([below](int32_t j, int32_t) { return j >= below; });
            const PartnerMatch expected = FindPartnerReference(cat, i, *m, false, files.Fn(), &above);
            const PartnerMatch got = finder.Find(i, *m, false, files.Fn(), below);
            ASSERT_EQ(got.Partner, expected.Partner) << "picture " << i << " below " << below;
            ASSERT_EQ(got.Score, expected.Score) << "picture " << i << " below " << below;
            if (got.Partner < 0)
                break;
            ++found;
            below = got.Partner;
        }
    }
    EXPECT_GT(found, 100);
}

// --- The record stays compact.

TEST(FastMatcherRecordTest, PictureRecordAndMatchIndexFitInOneAndAHalfKilobytes) {
    EXPECT_LE(sizeof(TPicInfo), kPictureRecordBudget);
    EXPECT_LE(sizeof(TPicInfo) + FastPartnerFinder::kBytesPerPicture, kPictureRecordBudget);
    EXPECT_EQ(sizeof(TWaveletPoint), 2u);
}

}  // namespace
