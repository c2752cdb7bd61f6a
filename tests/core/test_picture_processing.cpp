// Grey conversion, grey ramp, median filter, average brightness and the Haar wavelet signature.
#include "picture/PictureProcessing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace {

TBitmap MakeBgr(int width, int height, uint8_t r, uint8_t g, uint8_t b)
{
    TBitmap bmp;
    bmp.Reset(width, height, PixelFormat::Bgr24);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            bmp.Row(y)[3 * x] = b;
            bmp.Row(y)[3 * x + 1] = g;
            bmp.Row(y)[3 * x + 2] = r;
        }
    return bmp;
}

TBitmap MakeGrey(const std::vector<std::vector<uint8_t>>& rows)
{
    TBitmap bmp;
    bmp.Reset(static_cast<int>(rows.at(0).size()), static_cast<int>(rows.size()), PixelFormat::Grey8);
    for (int y = 0; y < bmp.Height; ++y)
        std::copy(rows[y].begin(), rows[y].end(), bmp.Row(y));
    return bmp;
}

TBitmap MakeWorkGrey(uint8_t (*level)(int row, int column))
{
    TBitmap bmp;
    bmp.Reset(128, 128, PixelFormat::Grey8);
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 128; ++x)
            bmp.Row(y)[x] = level(y, x);
    return bmp;
}

// ---------------------------------------------------------------------------------------------------------
// Grey conversion

struct GreyCase {
    const char* Name;
    uint8_t R, G, B;
    uint8_t Expected;
};

class GreyConversion : public testing::TestWithParam<GreyCase> {};

TEST_P(GreyConversion, GivesTheTruncatedExtendedPrecisionSum)
{
    const GreyCase& c = GetParam();
    TBitmap bmp = MakeBgr(1, 1, c.R, c.G, c.B);
    ConvertToGrey(bmp);
    EXPECT_EQ(bmp.Pixels[0], c.Expected);
    EXPECT_EQ(bmp.Pixels[1], c.Expected);
    EXPECT_EQ(bmp.Pixels[2], c.Expected);
}

INSTANTIATE_TEST_SUITE_P(Examples, GreyConversion,
                         testing::Values(GreyCase{"Grey7", 7, 7, 7, 6}, GreyCase{"Grey100", 100, 100, 100, 100},
                                         GreyCase{"White", 255, 255, 255, 255},
                                         GreyCase{"ExactSevenGivesSix", 0, 10, 10, 6},
                                         GreyCase{"Red", 255, 0, 0, 76}, GreyCase{"Green", 0, 255, 0, 150},
                                         GreyCase{"Blue", 0, 0, 255, 28}, GreyCase{"Black", 0, 0, 0, 0}),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(GreyConversionLevels, ExactlyFortyEightNeutralLevelsComeOutOneLower)
{
    const std::vector<int> lower = {7,   14,  15,  21,  27,  28,  30,  41,  42,  54,  55,  56,  57,  60,  82,  83,
                                    84,  97,  107, 108, 109, 110, 112, 114, 120, 139, 145, 164, 166, 168, 189, 191,
                                    193, 194, 214, 215, 216, 218, 220, 224, 228, 239, 240, 241, 243, 245, 249, 253};
    ASSERT_EQ(lower.size(), 48u);
    TBitmap bmp;
    bmp.Reset(256, 1, PixelFormat::Bgr24);
    for (int v = 0; v < 256; ++v)
        bmp.Pixels[3 * v] = bmp.Pixels[3 * v + 1] = bmp.Pixels[3 * v + 2] = static_cast<uint8_t>(v);
    ConvertToGrey(bmp);
    for (int v = 0; v < 256; ++v) {
        const bool isLower = std::find(lower.begin(), lower.end(), v) != lower.end();
        EXPECT_EQ(bmp.Pixels[3 * v], isLower ? v - 1 : v) << "level " << v;
    }
}

// Every colour against the formula itself, with each product and sum rounded in extended precision, and
// ApplyGreyPalette (the path the search takes) against ConvertToGrey on the same colours.
TEST(GreyConversionLevels, EveryColourGivesTheTruncatedExtendedPrecisionSum)
{
    static_assert(std::numeric_limits<long double>::digits == 64);
    TBitmap colours;
    for (int red = 0; red < 256; ++red) {
        colours.Reset(256, 256, PixelFormat::Bgr24);
        for (int green = 0; green < 256; ++green) {
            uint8_t* p = colours.Row(green);
            for (int blue = 0; blue < 256; ++blue, p += 3) {
                p[0] = static_cast<uint8_t>(blue);
                p[1] = static_cast<uint8_t>(green);
                p[2] = static_cast<uint8_t>(red);
            }
        }
        TBitmap greys = colours;
        ConvertToGrey(greys);
        ApplyGreyPalette(colours, 1);
        int wrong = 0;
        for (int green = 0; green < 256; ++green) {
            for (int blue = 0; blue < 256; ++blue) {
                const volatile long double r = red, g = green, b = blue;
                const long double sum = ((r * 0.3L) + (g * 0.59L)) + (b * 0.11L);
                const auto expected = static_cast<uint8_t>(static_cast<int>(sum));
                const uint8_t* p = greys.Row(green) + 3 * blue;
                if (p[0] != expected || p[1] != expected || p[2] != expected) {
                    if (++wrong <= 5)
                        ADD_FAILURE() << "ConvertToGrey of (" << red << ", " << green << ", " << blue << ") gave "
                                      << int{p[0]} << ", the formula " << int{expected};
                }
            }
        }
        // The one pass of ApplyGreyPalette against its steps taken one by one.
        TBitmap stepwise;
        stepwise.Reset(256, 256, PixelFormat::Grey8);
        for (size_t k = 0; k < stepwise.Pixels.size(); ++k)
            stepwise.Pixels[k] = greys.Pixels[3 * k];
        MedianFilter3x3(stepwise);
        EXPECT_EQ(colours.Format, PixelFormat::Grey8);
        EXPECT_TRUE(colours.Pixels == stepwise.Pixels) << "red " << red;
        ASSERT_EQ(wrong, 0) << "red " << red;
    }
}

TEST(GreyConversionFormat, LeavesAGreyBitmapAlone)
{
    TBitmap bmp = MakeGrey({{7, 14, 200}});
    const TBitmap before = bmp;
    ConvertToGrey(bmp);
    EXPECT_EQ(bmp.Pixels, before.Pixels);
}

// ---------------------------------------------------------------------------------------------------------
// Grey ramp

TEST(GreyPalette, TurnsTheWorkBitmapIntoEightBitBrightness)
{
    TBitmap bmp = MakeBgr(128, 128, 7, 7, 7);
    ApplyGreyPalette(bmp, 1);
    ASSERT_EQ(bmp.Format, PixelFormat::Grey8);
    ASSERT_EQ(bmp.Width, 128);
    ASSERT_EQ(bmp.Height, 128);
    ASSERT_EQ(bmp.Pixels.size(), 128u * 128u);
    EXPECT_TRUE(std::all_of(bmp.Pixels.begin(), bmp.Pixels.end(), [](uint8_t v) { return v == 6; }));
}

TEST(GreyPalette, ColourPixelsBecomeTheirGreyLevel)
{
    TBitmap bmp = MakeBgr(3, 3, 255, 0, 0);
    ApplyGreyPalette(bmp, 1);
    EXPECT_TRUE(std::all_of(bmp.Pixels.begin(), bmp.Pixels.end(), [](uint8_t v) { return v == 76; }));
}

TEST(GreyPalette, CoarserStepsMapToTheFirstNearestRampEntry)
{
    // Step 4: the ramp's greys are 0,0,0,0,4,4,4,4,8,...; grey 5 is nearest to 4, first held by entry 4.
    TBitmap bmp = MakeGrey({{5, 9, 255}});
    ApplyGreyPalette(bmp, 4);
    EXPECT_EQ(bmp.Pixels, (std::vector<uint8_t>{4, 8, 252}));
}

TEST(GreyPalette, RefusesAStepBelowOne)
{
    TBitmap bmp = MakeBgr(3, 3, 1, 2, 3);
    EXPECT_THROW(ApplyGreyPalette(bmp, 0), std::invalid_argument);
}

// ---------------------------------------------------------------------------------------------------------
// Median filter and average

TEST(MedianFilter, WorksInPlaceFromTheBottomRight)
{
    TBitmap bmp = MakeGrey({{9, 9, 0}, {9, 9, 0}, {0, 9, 0}, {0, 0, 0}});
    MedianFilter3x3(bmp);
    // Row 2 turns 0 first; row 1 then sees only four nines. Border pixels keep their values.
    EXPECT_EQ(bmp.Pixels, (std::vector<uint8_t>{9, 9, 0, 9, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(MedianFilter, LeavesBitmapsWithoutInteriorPixelsUnchanged)
{
    for (const auto& [width, height] : {std::pair{2, 128}, std::pair{128, 2}}) {
        TBitmap bmp;
        bmp.Reset(width, height, PixelFormat::Grey8);
        std::mt19937 random(7);
        for (auto& v : bmp.Pixels)
            v = static_cast<uint8_t>(random());
        const auto before = bmp.Pixels;
        MedianFilter3x3(bmp);
        EXPECT_EQ(bmp.Pixels, before) << width << " x " << height;
    }
}

TEST(MedianFilter, IgnoresTwentyFourBitBitmaps)
{
    TBitmap bmp = MakeBgr(5, 5, 1, 2, 3);
    bmp.Pixels[3 * 12] = 200;
    const auto before = bmp.Pixels;
    MedianFilter3x3(bmp);
    EXPECT_EQ(bmp.Pixels, before);
}

TEST(MedianFilter, UniformImageKeepsItsLevelAndThatIsItsAverage)
{
    TBitmap bmp;
    bmp.Reset(128, 128, PixelFormat::Grey8);
    std::fill(bmp.Pixels.begin(), bmp.Pixels.end(), uint8_t{93});
    MedianFilter3x3(bmp);
    EXPECT_TRUE(std::all_of(bmp.Pixels.begin(), bmp.Pixels.end(), [](uint8_t v) { return v == 93; }));
    EXPECT_EQ(AverageBrightness(bmp), 93);
}

TEST(AverageBrightness, TruncatesTheMean)
{
    EXPECT_EQ(AverageBrightness(MakeGrey({{1, 2}, {2, 2}})), 1);
    EXPECT_EQ(AverageBrightness(MakeGrey({{255, 255}, {255, 254}})), 254);
}

TEST(AverageBrightness, IsZeroForTwentyFourBitAndEmptyBitmaps)
{
    EXPECT_EQ(AverageBrightness(MakeBgr(4, 4, 200, 200, 200)), 0);
    TBitmap empty;
    empty.Reset(0, 0, PixelFormat::Grey8);
    EXPECT_EQ(AverageBrightness(empty), 0);
}

// ---------------------------------------------------------------------------------------------------------
// Sorts, against std::sort on shuffled, tie-heavy input

TEST(Sorts, SortBytesMatchesStdSortOnTheRangeOnly)
{
    std::mt19937 random(11);
    for (int round = 0; round < 200; ++round) {
        std::vector<uint8_t> values(2 + random() % 40);
        for (auto& v : values)
            v = static_cast<uint8_t>(random() % 5);  // few distinct values: many ties
        const int lo = static_cast<int>(random() % values.size());
        const int hi = lo + static_cast<int>(random() % (values.size() - lo));
        std::vector<uint8_t> expected = values;
        std::sort(expected.begin() + lo, expected.begin() + hi + 1);
        SortBytes(values.data(), lo, hi);
        ASSERT_EQ(values, expected) << "round " << round;
    }
}

TEST(Sorts, SortDoublesMatchesStdSort)
{
    std::mt19937 random(12);
    for (int round = 0; round < 50; ++round) {
        std::vector<double> values(1 + random() % 3000);
        for (auto& v : values)
            v = static_cast<double>(random() % 17) / 4.0;
        std::vector<double> expected = values;
        std::sort(expected.begin(), expected.end());
        SortDoubles(values.data(), 0, static_cast<int>(values.size()) - 1);
        ASSERT_EQ(values, expected) << "round " << round;
    }
}

// ---------------------------------------------------------------------------------------------------------
// Haar transform

TEST(HaarTransform1D, GivesTheMeanAndScaledBlockDifferences)
{
    double row[128];
    for (int i = 0; i < 128; ++i)
        row[i] = (i * 37) % 101;
    double input[128];
    std::copy(row, row + 128, input);
    HaarTransform1D(row);

    double mean = 0;
    for (double v : input)
        mean += v;
    EXPECT_NEAR(row[0], mean / 128, 1e-9);
    for (int h = 1; h < 128; h *= 2) {
        const int n = 128 / h;
        for (int i = 0; i < h; ++i) {
            double first = 0, second = 0;
            for (int k = 0; k < n / 2; ++k) {
                first += input[i * n + k];
                second += input[i * n + n / 2 + k];
            }
            EXPECT_NEAR(row[h + i], (first - second) / (std::sqrt(128.0) * std::sqrt(double(n))), 1e-9)
                << "index " << h + i;
        }
    }
}

uint8_t TopBright(int row, int) { return row < 64 ? 200 : 100; }
uint8_t LeftBright(int, int column) { return column < 64 ? 200 : 100; }
uint8_t BottomBright(int row, int) { return row < 64 ? 100 : 200; }
uint8_t Uniform150(int, int) { return 150; }
uint8_t Uniform200(int, int) { return 200; }

TEST(HaarTransform2D, HalfBrightRowsGiveOneVerticalCoefficient)
{
    const TBitmap bmp = MakeWorkGrey(TopBright);
    TSignatureMatrix m{};
    for (int x = 0; x < 128; ++x)
        for (int y = 0; y < 128; ++y)
            m[x * 128 + y] = bmp.Row(x)[y] - 150;
    HaarTransform2D(m);
    for (int i = 0; i < 128 * 128; ++i)
        EXPECT_NEAR(m[i], i == 128 ? 50.0 : 0.0, 1e-9) << "element " << i;
}

struct SignatureCase {
    const char* Name;
    uint8_t (*Level)(int, int);
    int Average;
    int Kept;             // number of retained coefficients
    TWaveletPoint Point;  // the retained position when Kept == 1
    bool Positive;
};

class SignatureExamples : public testing::TestWithParam<SignatureCase> {};

TEST_P(SignatureExamples, RetainExactlyTheExpectedPositions)
{
    const SignatureCase& c = GetParam();
    const TBitmap bmp = MakeWorkGrey(c.Level);
    TSignatureMatrix m;
    m.fill(0.25);  // stale content from an earlier picture must not survive
    ComputeSignatureMatrix(bmp, m, c.Average);

    TWaveletCoefs pos, neg;
    pos.fill({9, 9});
    neg.fill({9, 9});
    CollectCoefficientPositions(m, pos, neg);

    int nonZero = 0;
    for (int i = 0; i < 128 * 128; ++i) {
        ASSERT_TRUE(m[i] == 0.0 || m[i] == 1.0 || m[i] == -1.0) << "element " << i;
        nonZero += m[i] != 0.0;
    }
    EXPECT_EQ(m[0], 0.0);
    EXPECT_EQ(nonZero, c.Kept);
    const TWaveletCoefs empty{};
    if (c.Kept == 0) {
        EXPECT_EQ(pos, empty);
        EXPECT_EQ(neg, empty);
        return;
    }
    EXPECT_EQ(m[c.Point.X * 128 + c.Point.Y], c.Positive ? 1.0 : -1.0);
    const TWaveletCoefs& filled = c.Positive ? pos : neg;
    const TWaveletCoefs& other = c.Positive ? neg : pos;
    EXPECT_EQ(filled[0], c.Point);
    EXPECT_TRUE(std::all_of(filled.begin() + 1, filled.end(), [](TWaveletPoint p) { return p == TWaveletPoint{}; }));
    EXPECT_EQ(other, empty);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, SignatureExamples,
    testing::Values(SignatureCase{"BrightTopRows", TopBright, 150, 1, {1, 0}, true},
                    SignatureCase{"BrightLeftColumns", LeftBright, 150, 1, {0, 1}, true},
                    SignatureCase{"BrightBottomRows", BottomBright, 150, 1, {1, 0}, false},
                    SignatureCase{"UniformAtItsAverage", Uniform150, 150, 0, {}, false},
                    // The mean is the largest magnitude here, yet it is never kept.
                    SignatureCase{"UniformFarFromAverage", Uniform200, 0, 0, {}, false},
                    SignatureCase{"BrightTopMeanNotKept", TopBright, 0, 1, {1, 0}, true}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(Signature, LeavesTheMatrixAloneForATwentyFourBitBitmap)
{
    TBitmap bmp;
    bmp.Reset(128, 128, PixelFormat::Bgr24);
    TSignatureMatrix m;
    m.fill(3.5);
    ComputeSignatureMatrix(bmp, m, 10);
    EXPECT_TRUE(std::all_of(m.begin(), m.end(), [](double v) { return v == 3.5; }));
}

TEST(KeepLargestCoefficients, TiesAtTheThresholdKeepFewerThan250)
{
    // 16084 zeros (the mean's slot included), 100 magnitudes of 1 and 200 of 2: the 16134th smallest is
    // 1, equal to its neighbour, so every 1 is dropped and only the 200 larger ones stay.
    TSignatureMatrix m{};
    m[0] = 1000.0;
    for (int k = 0; k < 300; ++k)
        m[1 + k * 7] = (k % 3 == 0) ? (k % 2 ? 1.0 : -1.0) : (k % 2 ? 2.0 : -2.0);
    TSignatureMatrix expected{};
    for (int k = 0; k < 300; ++k)
        if (k % 3 != 0)
            expected[1 + k * 7] = k % 2 ? 1.0 : -1.0;
    EXPECT_EQ(KeepLargestCoefficients(m), 200);
    EXPECT_EQ(m, expected);
}

// A reference that sorts all magnitudes with SortDoubles: the kept count is 250 exactly when the 16134th
// and 16135th smallest differ, and always agrees with KeepLargestCoefficients.
TEST(KeepLargestCoefficients, AgreesWithAFullSortOnSmallIntegerPictures)
{
    std::mt19937 random(5);
    int tiedPictures = 0;
    for (int round = 0; round < 12; ++round) {
        TBitmap bmp;
        bmp.Reset(128, 128, PixelFormat::Grey8);
        const int levels = 2 + round % 4;  // few levels: many equal coefficients
        for (auto& v : bmp.Pixels)
            v = static_cast<uint8_t>((random() % levels) * (250 / levels));
        TSignatureMatrix m{};
        for (int i = 0; i < 128 * 128; ++i)
            m[i] = bmp.Pixels[i] - 100;
        HaarTransform2D(m);
        const TSignatureMatrix coefficients = m;

        std::vector<double> magnitudes(128 * 128);
        for (int i = 1; i < 128 * 128; ++i)
            magnitudes[i] = std::fabs(coefficients[i]);
        SortDoubles(magnitudes.data(), 0, 128 * 128 - 1);
        const double t = magnitudes[16133];
        int expectedKept = 0;
        for (int i = 1; i < 128 * 128; ++i)
            expectedKept += std::fabs(coefficients[i]) > t;

        const int kept = KeepLargestCoefficients(m);
        EXPECT_EQ(kept, expectedKept);
        EXPECT_EQ(kept == 250, magnitudes[16133] != magnitudes[16134]);
        EXPECT_LE(kept, 250);
        tiedPictures += kept < 250;
        for (int i = 0; i < 128 * 128; ++i) {
            const bool keep = i != 0 && std::fabs(coefficients[i]) > t;
            ASSERT_EQ(m[i], keep ? (coefficients[i] > 0 ? 1.0 : -1.0) : 0.0) << "element " << i;
        }
    }
    EXPECT_GT(tiedPictures, 0) << "the fixture should produce ties at the threshold";
}

TEST(CollectCoefficientPositions, ListsRowByRowAndStopsAt250PerSign)
{
    TSignatureMatrix m{};
    for (int i = 1; i <= 300; ++i)
        m[i * 50] = 1.0;
    m[5 * 128 + 3] = -1.0;
    m[2 * 128 + 9] = -1.0;
    const TSignatureMatrix before = m;
    TWaveletCoefs pos, neg;
    CollectCoefficientPositions(m, pos, neg);
    EXPECT_EQ(m, before);
    for (int k = 0; k < 250; ++k) {
        const int index = (k + 1) * 50;
        EXPECT_EQ(pos[k], (TWaveletPoint{static_cast<uint8_t>(index / 128), static_cast<uint8_t>(index % 128)}));
    }
    EXPECT_EQ(neg[0], (TWaveletPoint{2, 9}));
    EXPECT_EQ(neg[1], (TWaveletPoint{5, 3}));
    EXPECT_EQ(neg[2], TWaveletPoint{});
}

}  // namespace
