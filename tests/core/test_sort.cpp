// Pair sorting: the path text order, the comparators, and both sorts checked against a plain reference on
// tie-heavy generated pair lists.
#include "engine/SortProcedures.h"

#include <gtest/gtest.h>

#include <QStringList>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <tuple>

namespace {

QString u(const char16_t* s) { return QString::fromUtf16(s); }

int sign(int v) { return (v > 0) - (v < 0); }

// The reference key of a path: UTF-16 units with a-z raised, compared as plain unit strings.
std::u16string foldedKey(const QString& s) {
    std::u16string out;
    for (QChar c : s) {
        char16_t v = c.unicode();
        if (v >= u'a' && v <= u'z')
            v = char16_t(v - 32);
        out.push_back(v);
    }
    return out;
}

// A catalogue of pictures whose paths are full of ties, case variants, prefixes, delimiters, underscores,
// digits and accented letters.
struct PairWorld {
    Catalogue cat;
    TPicturePairs pairs;

    explicit PairWorld(int pictureCount, int pairCount, unsigned seed) {
        std::mt19937 rng(seed);
        const QStringList folders = {u(u"C:\\AB\\"), u(u"C:\\A\\"),  u(u"c:\\a\\"),     u(u"/x/"),
                                     u(u"/x/y/"),    u(u"/X/Y/"),    u(u"/x_/"),         u(u"/x0/"),
                                     u(u"/\u00c9/"), u(u"/\u00e9/"), u(u"/x/\u00e9t\u00e9/"), u(u"/")};
        for (const QString& f : folders)
            cat.FolderPaths.push_back(f);
        const std::u16string alphabet = u"aAbBzZ_\\09.\u00e9\u00c9";
        const QStringList fixedNames = {u(u"x.jpg"), u(u"X.JPG"), u(u"x.jpg2"), u(u"x"), u(u"x.jpg_")};
        std::uniform_int_distribution<int> folderPick(0, int(folders.size()) - 1);
        std::uniform_int_distribution<int> lengthPick(1, 5);
        std::uniform_int_distribution<int> letterPick(0, int(alphabet.size()) - 1);
        std::uniform_int_distribution<int> fixedPick(0, int(fixedNames.size()) - 1);
        for (int i = 0; i < pictureCount; ++i) {
            TPicInfo p;
            p.PathInd = folderPick(rng);
            if (i % 3 == 0) {
                p.FileName = fixedNames[fixedPick(rng)];
            } else {
                const int len = lengthPick(rng);
                for (int k = 0; k < len; ++k)
                    p.FileName += QChar(alphabet[size_t(letterPick(rng))]);
            }
            cat.Pictures.push_back(p);
        }
        if (pictureCount == 0)
            return;
        const double similarities[] = {1, 33.5, 50, 99.999, 100};
        std::uniform_int_distribution<int> picPick(0, pictureCount - 1);
        std::uniform_int_distribution<int> simPick(0, 9);
        std::uniform_int_distribution<int> percentPick(1, 100);
        for (int i = 0; i < pairCount; ++i) {
            const int s = simPick(rng);
            pairs.push_back({picPick(rng), picPick(rng), s < 5 ? similarities[s] : double(percentPick(rng))});
        }
    }

    QString path(int32_t pic) const { return cat.PicturePath(pic); }
};

enum class Column { First, Second, Similarity };
enum class Shape { Shuffled, Ascending, Descending, AllEqualKeys };

struct Key {
    std::u16string text;
    double similarity = 0;
    bool operator<(const Key& o) const { return std::tie(text, similarity) < std::tie(o.text, o.similarity); }
    bool operator==(const Key& o) const = default;
};

Key keyOf(const PairWorld& w, const TPicturePair& p, Column c) {
    switch (c) {
    case Column::First: return {foldedKey(w.path(p.PicIndex1)), 0};
    case Column::Second: return {foldedKey(w.path(p.PicIndex2)), 0};
    case Column::Similarity: return {{}, p.Similarity};
    }
    return {};
}

std::vector<Key> keysOf(const PairWorld& w, const TPicturePairs& pairs, Column c) {
    std::vector<Key> keys;
    for (const TPicturePair& p : pairs)
        keys.push_back(keyOf(w, p, c));
    return keys;
}

void runSort(PairWorld& w, TPicturePairs& pairs, int32_t lo, int32_t hi, Column c, bool descending,
             const std::function<void()>& messages = {}) {
    switch (c) {
    case Column::First:
        SortPairsByPath(w.cat.Pictures, pairs, w.cat.FolderPaths, lo, hi, CompareByFirstPath, descending, messages);
        break;
    case Column::Second:
        SortPairsByPath(w.cat.Pictures, pairs, w.cat.FolderPaths, lo, hi, CompareBySecondPath, descending, messages);
        break;
    case Column::Similarity:
        SortPairsBySimilarity(pairs, lo, hi, CompareBySimilarity, descending, messages);
        break;
    }
}

auto asTuple(const TPicturePair& p) { return std::make_tuple(p.PicIndex1, p.PicIndex2, p.Similarity); }

void expectPermutation(TPicturePairs before, TPicturePairs after) {
    auto byFields = [](const TPicturePair& a, const TPicturePair& b) { return asTuple(a) < asTuple(b); };
    std::sort(before.begin(), before.end(), byFields);
    std::sort(after.begin(), after.end(), byFields);
    EXPECT_TRUE(before == after) << "the sort must only move whole elements";
}

void expectSortedLike(const PairWorld& w, const TPicturePairs& input, const TPicturePairs& output, Column c,
                      bool descending) {
    std::vector<Key> reference = keysOf(w, input, c);
    std::sort(reference.begin(), reference.end());
    if (descending)
        std::reverse(reference.begin(), reference.end());
    const std::vector<Key> got = keysOf(w, output, c);
    ASSERT_EQ(got.size(), reference.size());
    for (size_t i = 0; i < got.size(); ++i)
        ASSERT_TRUE(got[i] == reference[i]) << "first difference at " << i;
    expectPermutation(input, output);
}

// Arranges the pairs in the given shape for the column before the sort under test runs.
void shape(PairWorld& w, TPicturePairs& pairs, Column c, Shape s) {
    auto less = [&](const TPicturePair& a, const TPicturePair& b) { return keyOf(w, a, c) < keyOf(w, b, c); };
    switch (s) {
    case Shape::Shuffled: break;
    case Shape::Ascending: std::stable_sort(pairs.begin(), pairs.end(), less); break;
    case Shape::Descending:
        std::stable_sort(pairs.begin(), pairs.end(), less);
        std::reverse(pairs.begin(), pairs.end());
        break;
    case Shape::AllEqualKeys:
        for (TPicturePair& p : pairs) {
            p.Similarity = 50;
            p.PicIndex1 = p.PicIndex1 % 2 == 0 ? 0 : 3;
            p.PicIndex2 = p.PicIndex1;
        }
        // Pictures 0 and 3: one folder, names differing only in case, so every key ties.
        w.cat.Pictures[0].PathInd = w.cat.Pictures[3].PathInd = 3;
        w.cat.Pictures[0].FileName = u(u"same.JPG");
        w.cat.Pictures[3].FileName = u(u"SAME.jpg");
        break;
    }
}

const char* columnName(Column c) {
    return c == Column::First ? "FirstPath" : c == Column::Second ? "SecondPath" : "Similarity";
}
const char* shapeName(Shape s) {
    switch (s) {
    case Shape::Shuffled: return "Shuffled";
    case Shape::Ascending: return "Ascending";
    case Shape::Descending: return "Descending";
    case Shape::AllEqualKeys: return "AllEqualKeys";
    }
    return "";
}

}  // namespace

struct TextCase {
    const char16_t* s;
    const char16_t* t;
    int expectedSign;
};

class PathTextTest : public ::testing::TestWithParam<TextCase> {};

TEST_P(PathTextTest, SignOfTheComparison) {
    const TextCase& c = GetParam();
    EXPECT_EQ(sign(ComparePathText(u(c.s), u(c.t))), c.expectedSign);
    EXPECT_EQ(sign(ComparePathText(u(c.t), u(c.s))), -c.expectedSign) << "the order must be antisymmetric";
}

INSTANTIATE_TEST_SUITE_P(
    Sort, PathTextTest,
    ::testing::Values(TextCase{u"C:\\AB\\x.jpg", u"C:\\A\\x.jpg", -1},  // the delimiter sorts after letters
                      TextCase{u"c:\\pics\\A.JPG", u"C:\\PICS\\a.jpg", 0},  // only case differs
                      TextCase{u"/a/b_c", u"/a/bzc", 1},                    // underscore after letters
                      TextCase{u"/a/b_c", u"/a/BZC", 1},                    // even against capitals
                      TextCase{u"/a/1", u"/a/a", -1},                       // digits before letters
                      TextCase{u"/a/b", u"/a/b.jpg", -1},                   // a prefix sorts first
                      TextCase{u"", u"a", -1}, TextCase{u"", u"", 0},
                      TextCase{u"\u00c9", u"\u00e9", -1},  // accented letters are not folded
                      TextCase{u"z", u"\u00c9", -1},       // and sort after every ASCII unit
                      TextCase{u"\u00e9", u"\u00c9", 1}, TextCase{u"[", u"a", 1},  // '[' 0x5B against 'A' 0x41
                      TextCase{u"@", u"a", -1}));

struct SimilarityCase {
    const char* name;
    double a;
    double b;
    int ascending;
};

class SimilarityCompareTest : public ::testing::TestWithParam<SimilarityCase> {};

TEST_P(SimilarityCompareTest, BothDirections) {
    const SimilarityCase& c = GetParam();
    const TPicturePair a{0, 1, c.a};
    const TPicturePair b{2, 3, c.b};
    EXPECT_EQ(CompareBySimilarity(a, b, false), c.ascending);
    EXPECT_EQ(CompareBySimilarity(a, b, true), -c.ascending);
}

INSTANTIATE_TEST_SUITE_P(
    Sort, SimilarityCompareTest,
    ::testing::Values(SimilarityCase{"Smaller", 1, 100, -1}, SimilarityCase{"Greater", 99.5, 99.25, 1},
                      SimilarityCase{"Equal", 50, 50, 0}, SimilarityCase{"SignedZeros", -0.0, 0.0, 0},
                      SimilarityCase{"NaNBelowNumbers", std::numeric_limits<double>::quiet_NaN(), 1, -1},
                      SimilarityCase{"NaNEqualsNaN", std::numeric_limits<double>::quiet_NaN(),
                                     std::numeric_limits<double>::quiet_NaN(), 0}),
    [](const ::testing::TestParamInfo<SimilarityCase>& info) { return std::string(info.param.name); });

TEST(Sort, PathComparatorsReadTheirOwnIndexAndDirection) {
    PairWorld w(0, 0, 1);
    w.cat.Pictures.resize(3);
    w.cat.Pictures[0] = TPicInfo{};
    w.cat.Pictures[0].FileName = u(u"a.jpg");
    w.cat.Pictures[0].PathInd = 3;  // "/x/"
    w.cat.Pictures[1].FileName = u(u"b.jpg");
    w.cat.Pictures[1].PathInd = 3;
    w.cat.Pictures[2].FileName = u(u"A.JPG");
    w.cat.Pictures[2].PathInd = 3;
    const TPicturePair p{0, 1, 50};
    const TPicturePair q{1, 2, 50};
    EXPECT_LT(CompareByFirstPath(w.cat.Pictures, w.cat.FolderPaths, p, q, false), 0);
    EXPECT_GT(CompareByFirstPath(w.cat.Pictures, w.cat.FolderPaths, p, q, true), 0);
    EXPECT_GT(CompareBySecondPath(w.cat.Pictures, w.cat.FolderPaths, p, q, false), 0);
    EXPECT_LT(CompareBySecondPath(w.cat.Pictures, w.cat.FolderPaths, p, q, true), 0);
    const TPicturePair r{2, 0, 50};
    EXPECT_EQ(CompareByFirstPath(w.cat.Pictures, w.cat.FolderPaths, p, r, false), 0);
    EXPECT_EQ(CompareByFirstPath(w.cat.Pictures, w.cat.FolderPaths, p, r, true), 0);
}

using SortParam = std::tuple<Column, bool, Shape>;

class SortAgainstReference : public ::testing::TestWithParam<SortParam> {};

TEST_P(SortAgainstReference, ThreeThousandPairs) {
    const auto [column, descending, s] = GetParam();
    PairWorld w(400, 3000, 20240611u + unsigned(column) * 7 + unsigned(s));
    TPicturePairs pairs = w.pairs;
    shape(w, pairs, column, s);
    const TPicturePairs input = pairs;
    int messages = 0;
    runSort(w, pairs, 0, int32_t(pairs.size()) - 1, column, descending, [&] { ++messages; });
    EXPECT_EQ(messages, 1);
    expectSortedLike(w, input, pairs, column, descending);
}

INSTANTIATE_TEST_SUITE_P(
    Sort, SortAgainstReference,
    ::testing::Combine(::testing::Values(Column::First, Column::Second, Column::Similarity), ::testing::Bool(),
                       ::testing::Values(Shape::Shuffled, Shape::Ascending, Shape::Descending, Shape::AllEqualKeys)),
    [](const ::testing::TestParamInfo<SortParam>& info) {
        return std::string(columnName(std::get<0>(info.param))) +
               (std::get<1>(info.param) ? "Descending" : "Ascending") + "From" + shapeName(std::get<2>(info.param));
    });

class SortSizes : public ::testing::TestWithParam<int> {};

TEST_P(SortSizes, EveryColumnBothWays) {
    const int n = GetParam();
    for (Column c : {Column::First, Column::Second, Column::Similarity}) {
        for (bool descending : {false, true}) {
            PairWorld w(60, n, unsigned(n) * 31 + unsigned(c));
            TPicturePairs pairs = w.pairs;
            runSort(w, pairs, 0, n - 1, c, descending);
            expectSortedLike(w, w.pairs, pairs, c, descending);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Sort, SortSizes, ::testing::Values(1, 2, 3, 5, 15, 16, 17, 18, 32, 33, 64, 257, 1000));

TEST(Sort, ShortRangesAreLeftToTheInsertionPass) {
    for (int n = 1; n <= 16; ++n) {
        PairWorld w(30, n, unsigned(n));
        TPicturePairs pairs = w.pairs;
        QuickSortPass(pairs, 0, n - 1,
                      [](const TPicturePair& a, const TPicturePair& b) { return CompareBySimilarity(a, b, false); });
        EXPECT_TRUE(pairs == w.pairs) << "quicksort pass touched a range of " << n;
    }
}

TEST(Sort, QuickSortPassLeavesTheSmallestAmongTheFirstSixteen) {
    for (unsigned seed = 1; seed <= 40; ++seed) {
        PairWorld w(50, 500 + int(seed) * 13, seed);
        TPicturePairs pairs = w.pairs;
        auto cmp = [&](const TPicturePair& a, const TPicturePair& b) {
            return CompareByFirstPath(w.cat.Pictures, w.cat.FolderPaths, a, b, false);
        };
        QuickSortPass(pairs, 0, int32_t(pairs.size()) - 1, cmp);
        const auto firstRunMin = *std::min_element(pairs.begin(), pairs.begin() + 16,
                                                   [&](auto& a, auto& b) { return cmp(a, b) < 0; });
        for (const TPicturePair& p : pairs)
            ASSERT_LE(cmp(firstRunMin, p), 0) << "the insertion pass's sentinel would fail, seed " << seed;
    }
}

TEST(Sort, SingleElementRangeIsUnchanged) {
    PairWorld w(10, 5, 9);
    TPicturePairs pairs = w.pairs;
    for (Column c : {Column::First, Column::Second, Column::Similarity}) {
        runSort(w, pairs, 2, 2, c, true);
        EXPECT_TRUE(pairs == w.pairs);
    }
}

TEST(Sort, EmptyListIsLeftAlone) {
    PairWorld w(10, 0, 3);
    TPicturePairs pairs;
    int messages = 0;
    runSort(w, pairs, 0, -1, Column::First, false, [&] { ++messages; });
    runSort(w, pairs, 0, -1, Column::Similarity, true, [&] { ++messages; });
    EXPECT_TRUE(pairs.empty());
    EXPECT_EQ(messages, 0);
}

TEST(Sort, OnlyTheGivenRangeMoves) {
    PairWorld w(80, 300, 77);
    TPicturePairs pairs = w.pairs;
    const int32_t lo = 40;
    const int32_t hi = 250;
    runSort(w, pairs, lo, hi, Column::Second, false);
    for (int32_t i = 0; i < int32_t(pairs.size()); ++i) {
        if (i < lo || i > hi) {
            EXPECT_TRUE(pairs[size_t(i)] == w.pairs[size_t(i)]) << "outside element " << i << " moved";
        }
    }
    const TPicturePairs in(w.pairs.begin() + lo, w.pairs.begin() + hi + 1);
    const TPicturePairs out(pairs.begin() + lo, pairs.begin() + hi + 1);
    expectSortedLike(w, in, out, Column::Second, false);
}

TEST(Sort, MessagesRunOnceBetweenThePasses) {
    PairWorld w(100, 2000, 5);
    TPicturePairs pairs = w.pairs;
    int calls = 0;
    bool sortedAtThatPoint = true;
    runSort(w, pairs, 0, int32_t(pairs.size()) - 1, Column::Similarity, false, [&] {
        ++calls;
        sortedAtThatPoint = std::is_sorted(pairs.begin(), pairs.end(),
                                           [](auto& a, auto& b) { return a.Similarity < b.Similarity; });
    });
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(sortedAtThatPoint) << "the insertion pass had not yet run";
    EXPECT_TRUE(std::is_sorted(pairs.begin(), pairs.end(), [](auto& a, auto& b) { return a.Similarity < b.Similarity; }));
}

// Equal elements end in the order the steps give, which is not the input order.
TEST(Sort, TieOrderFollowsTheSentinelSwap) {
    TPicturePairs pairs = {{0, 1, 10}, {2, 3, 10}, {4, 5, 5}};
    SortPairsBySimilarity(pairs, 0, 2, CompareBySimilarity, false);
    EXPECT_EQ(pairs, (TPicturePairs{{4, 5, 5}, {2, 3, 10}, {0, 1, 10}}));
}

TEST(Sort, PathsDifferingOnlyInCaseKeepTheOrderTheStepsGive) {
    Catalogue cat;
    cat.FolderPaths = {u(u"/p/")};
    cat.Pictures.resize(3);
    cat.Pictures[0].FileName = u(u"b");
    cat.Pictures[1].FileName = u(u"B");
    cat.Pictures[2].FileName = u(u"a");
    TPicturePairs pairs = {{0, 0, 1}, {1, 1, 1}, {2, 2, 1}};
    SortPairsByPath(cat.Pictures, pairs, cat.FolderPaths, 0, 2, CompareByFirstPath, false);
    EXPECT_EQ(pairs, (TPicturePairs{{2, 2, 1}, {1, 1, 1}, {0, 0, 1}}));
}

TEST(Sort, PrefixFirstAscendingAndLastDescending) {
    Catalogue cat;
    cat.FolderPaths = {u(u"/p/"), u(u"/p/q/")};
    cat.Pictures.resize(3);
    cat.Pictures[0].FileName = u(u"x.jpg2");
    cat.Pictures[1].FileName = u(u"x.jpg");
    cat.Pictures[2].FileName = u(u"x.jpg");
    cat.Pictures[2].PathInd = 1;
    // "/p/q/x.jpg" < "/p/x.jpg" < "/p/x.jpg2": 'Q' before 'X', then the prefix first.
    TPicturePairs pairs = {{0, 0, 1}, {2, 2, 1}, {1, 1, 1}};
    SortPairsByPath(cat.Pictures, pairs, cat.FolderPaths, 0, 2, CompareByFirstPath, false);
    EXPECT_EQ(pairs, (TPicturePairs{{2, 2, 1}, {1, 1, 1}, {0, 0, 1}}));
    SortPairsByPath(cat.Pictures, pairs, cat.FolderPaths, 0, 2, CompareByFirstPath, true);
    EXPECT_EQ(pairs, (TPicturePairs{{0, 0, 1}, {1, 1, 1}, {2, 2, 1}}));
}
