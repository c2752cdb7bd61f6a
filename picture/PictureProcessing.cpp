// Grey conversion, grey ramp, median filter and average; the Haar wavelet signature; file heads and
// whole-file comparison. The arithmetic is fixed to the last bit: signatures must come out the same on
// every build, so the grey weights and the transform run in 80-bit extended precision.
#include "picture/PictureProcessing.h"

#include "platform/RegularFile.h"

#include <QFile>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>
#include <stdexcept>
#include <utility>

#if defined(__FAST_MATH__)
#error "PictureProcessing.cpp must not be built with -ffast-math: signatures depend on exact rounding"
#endif

// Extended precision is part of the result, not a speed choice: a platform whose long double is not the
// x87 80-bit format would give other grey levels and other signatures, so it must not build silently.
static_assert(std::numeric_limits<long double>::digits == 64,
              "long double must have a 64-bit significand (x87 extended precision)");

namespace {

constexpr int kSide = 128;                       // work image side; a power of 2 for the Haar levels
constexpr int kCells = kSide * kSide;
constexpr int kThresholdIndex = kCells - kWaveletSlots - 1;  // 16133: everything above it is kept
constexpr int kBlockSize = 1024;                 // whole-file comparison block

// Nearest extended-precision values of the weights; each product and sum rounds in extended precision.
constexpr long double kRedWeight = 0.3L;
constexpr long double kGreenWeight = 0.59L;
constexpr long double kBlueWeight = 0.11L;

// The quicksort both sorts share: middle pivot, crossing indices.
template <typename T>
void QuickSort(T* a, int lo, int hi)
{
    if (lo >= hi)
        return;
    int i = lo;
    int j = hi;
    const T pivot = a[lo + (hi - lo) / 2];
    do {
        while (a[i] < pivot)
            ++i;
        while (a[j] > pivot)
            --j;
        if (i <= j) {
            std::swap(a[i], a[j]);
            ++i;
            --j;
        }
    } while (i <= j);
    if (lo < j)
        QuickSort(a, lo, j);
    if (i < hi)
        QuickSort(a, i, hi);
}

// The fifth of nine bytes in ascending order, as SortBytes would leave it, by a fixed exchange network (19
// compare-exchanges instead of a sort): the median filter runs 16000 times per picture. A network that gives
// the median of every 0/1 input gives it for every input.
uint8_t MedianOfNine(std::array<uint8_t, 9>& p)
{
    const auto order = [&p](int a, int b) {
        if (p[a] > p[b])
            std::swap(p[a], p[b]);
    };
    order(1, 2); order(4, 5); order(7, 8);
    order(0, 1); order(3, 4); order(6, 7);
    order(1, 2); order(4, 5); order(7, 8);
    order(0, 3); order(5, 8); order(4, 7);
    order(3, 6); order(1, 4); order(2, 5);
    order(4, 7); order(4, 2); order(6, 4);
    order(4, 2);
    return p[4];
}

int GreyLevel(uint8_t red, uint8_t green, uint8_t blue)
{
    const long double g = ((static_cast<long double>(red) * kRedWeight) + (static_cast<long double>(green) * kGreenWeight))
                          + (static_cast<long double>(blue) * kBlueWeight);
    return static_cast<int>(g);  // truncation toward zero
}

// For each grey level, the first entry of the ramp for step a whose grey is nearest to it.
std::array<uint8_t, 256> RampLookup(int a)
{
    std::array<int, 256> ramp{};
    for (int i = 0; i < 256; ++i)
        ramp[i] = (a * (i / a)) & 0xFF;
    std::array<uint8_t, 256> lookup{};
    for (int g = 0; g < 256; ++g) {
        int best = 0;
        for (int i = 1; i < 256; ++i)
            if (std::abs(ramp[i] - g) < std::abs(ramp[best] - g))
                best = i;
        lookup[g] = static_cast<uint8_t>(best);
    }
    return lookup;
}

void Transpose(TSignatureMatrix& m)
{
    for (int x = 0; x < kSide; ++x)
        for (int y = x + 1; y < kSide; ++y)
            std::swap(m[x * kSide + y], m[y * kSide + x]);
}

bool IsWorkGrey(const TBitmap& bmp)
{
    return bmp.Format == PixelFormat::Grey8 && bmp.Width == kSide && bmp.Height == kSide
           && bmp.Pixels.size() == static_cast<size_t>(kCells);
}

}  // namespace

void ConvertToGrey(TBitmap& bmp)
{
    if (bmp.Format != PixelFormat::Bgr24)
        return;
    for (int y = 0; y < bmp.Height; ++y) {
        uint8_t* p = bmp.Row(y);
        for (int x = 0; x < bmp.Width; ++x, p += 3) {
            const auto g = static_cast<uint8_t>(GreyLevel(p[2], p[1], p[0]));
            p[0] = p[1] = p[2] = g;
        }
    }
}

void ApplyGreyPalette(TBitmap& bmp, int a)
{
    if (a < 1)
        throw std::invalid_argument("ApplyGreyPalette: the step must be at least 1");
    const std::array<uint8_t, 256> lookup = RampLookup(a);
    ConvertToGrey(bmp);
    const size_t pixels = static_cast<size_t>(bmp.Width) * bmp.Height;
    if (bmp.Format == PixelFormat::Bgr24) {
        // In place: pixel p's grey byte lies at 3p, never before the p it is written to.
        for (size_t p = 0; p < pixels; ++p)
            bmp.Pixels[p] = lookup[bmp.Pixels[3 * p]];
        bmp.Pixels.resize(pixels);  // keeps the capacity, so the next 24-bit load allocates nothing
        bmp.Format = PixelFormat::Grey8;
    } else {
        for (size_t p = 0; p < pixels; ++p)
            bmp.Pixels[p] = lookup[bmp.Pixels[p]];
    }
    MedianFilter3x3(bmp);
}

// Bottom to top, right to left, in place: a pixel's window already holds the filtered row below and the
// filtered right-hand neighbour. That is intended; it smooths more than a filter over unfiltered values.
void MedianFilter3x3(TBitmap& bmp)
{
    if (bmp.Format != PixelFormat::Grey8 || bmp.Height < 3 || bmp.Width < 3)
        return;
    std::array<uint8_t, 9> window{};
    for (int i = bmp.Height - 2; i >= 1; --i) {
        for (int j = bmp.Width - 2; j >= 1; --j) {
            int k = 0;
            for (int r = i - 1; r <= i + 1; ++r) {
                const uint8_t* row = bmp.Row(r);
                for (int c = j - 1; c <= j + 1; ++c)
                    window[k++] = row[c];
            }
            bmp.Row(i)[j] = MedianOfNine(window);
        }
    }
}

void SortBytes(uint8_t* a, int lo, int hi)
{
    QuickSort(a, lo, hi);
}

int AverageBrightness(const TBitmap& bmp)
{
    if (bmp.Format != PixelFormat::Grey8)
        return 0;
    const int64_t pixels = int64_t{bmp.Width} * bmp.Height;
    if (pixels <= 0)
        return 0;
    int64_t sum = 0;
    for (int y = 0; y < bmp.Height; ++y) {
        const uint8_t* row = bmp.Row(y);
        for (int x = 0; x < bmp.Width; ++x)
            sum += row[x];
    }
    return static_cast<int>(sum / pixels);
}

// Only a 128 x 128 grey bitmap fills every element; any other leaves the matrix as it was.
void ComputeSignatureMatrix(const TBitmap& bmp, TSignatureMatrix& m, int average)
{
    if (!IsWorkGrey(bmp))
        return;
    for (int x = 0; x < kSide; ++x) {
        const uint8_t* row = bmp.Row(x);
        for (int y = 0; y < kSide; ++y)
            m[x * kSide + y] = static_cast<double>(int{row[y]} - average);
    }
    HaarTransform2D(m);
    KeepLargestCoefficients(m);
}

void HaarTransform2D(TSignatureMatrix& m)
{
    for (int x = 0; x < kSide; ++x)
        HaarTransform1D(m.data() + x * kSide);
    Transpose(m);
    for (int x = 0; x < kSide; ++x)
        HaarTransform1D(m.data() + x * kSide);
    Transpose(m);
}

// Each division and sum runs in extended precision and is rounded to double when stored, level by level.
void HaarTransform1D(double* row)
{
    const long double rootSide = std::sqrt(static_cast<long double>(kSide));
    const long double rootTwo = std::sqrt(2.0L);
    for (int i = 0; i < kSide; ++i)
        row[i] = static_cast<double>(static_cast<long double>(row[i]) / rootSide);

    std::array<double, kSide> level{};
    for (int h = kSide / 2; h >= 1; h /= 2) {
        for (int i = 0; i < h; ++i) {
            const long double left = row[2 * i];
            const long double right = row[2 * i + 1];
            level[i] = static_cast<double>((left + right) / rootTwo);
            level[h + i] = static_cast<double>((left - right) / rootTwo);
        }
        // Entries from 2h on belong to earlier levels and are already in place.
        std::copy_n(level.begin(), 2 * h, row);
    }
}

// The threshold is the 16134th smallest magnitude; only its value matters, so nth_element finds it
// without a full sort. Magnitudes equal to it are dropped, so ties keep fewer than 250.
int KeepLargestCoefficients(TSignatureMatrix& m)
{
    std::array<double, kCells> magnitudes;  // fixed working storage, no allocation per picture
    magnitudes[0] = 0.0;                    // the mean is never a candidate
    for (int i = 1; i < kCells; ++i)
        magnitudes[i] = std::fabs(m[i]);
    std::nth_element(magnitudes.begin(), magnitudes.begin() + kThresholdIndex, magnitudes.end());
    const double threshold = magnitudes[kThresholdIndex];

    int kept = 0;
    for (int i = 0; i < kCells; ++i) {
        if (i != 0 && std::fabs(m[i]) > threshold) {
            m[i] = m[i] > 0 ? 1.0 : -1.0;
            ++kept;
        } else {
            m[i] = 0.0;
        }
    }
    return kept;
}

void SortDoubles(double* a, int lo, int hi)
{
    QuickSort(a, lo, hi);
}

void CollectCoefficientPositions(const TSignatureMatrix& m, TWaveletCoefs& pos, TWaveletCoefs& neg)
{
    pos.fill(TWaveletPoint{});
    neg.fill(TWaveletPoint{});
    int posCount = 0;
    int negCount = 0;
    for (int x = 0; x < kSide; ++x) {
        for (int y = 0; y < kSide; ++y) {
            const double v = m[x * kSide + y];
            const TWaveletPoint point{static_cast<uint8_t>(x), static_cast<uint8_t>(y)};
            if (v > 0 && posCount < kWaveletSlots)
                pos[posCount++] = point;
            else if (v < 0 && negCount < kWaveletSlots)
                neg[negCount++] = point;
        }
    }
}

// A short file's head is zero past its end, the same for every file, so identical short files have
// identical heads. A read error after opening counts like a failed open.
void ReadFileHead(const QString& path, TPreBuffer& head)
{
    QFile file;
    if (!OpenRegularFile(file, path))
        return;
    TPreBuffer area{};
    if (file.read(reinterpret_cast<char*>(area.data()), kHeadLength) < 0)
        return;
    head = area;
}

bool FilesEqual(const QString& pathA, const QString& pathB, const std::function<void()>& processMessages)
{
    QFile a;
    QFile b;
    if (!OpenRegularFile(a, pathA) || !OpenRegularFile(b, pathB))
        return false;
    std::array<char, kBlockSize> blockA{};
    std::array<char, kBlockSize> blockB{};
    for (;;) {
        const qint64 countA = a.read(blockA.data(), kBlockSize);
        const qint64 countB = b.read(blockB.data(), kBlockSize);
        std::optional<bool> answer;
        if (countA < 0 || countB < 0 || countA != countB)
            answer = false;
        else if (countA == 0)
            answer = true;
        else if (std::memcmp(blockA.data(), blockB.data(), static_cast<size_t>(countA)) != 0)
            answer = false;
        if (processMessages)
            processMessages();
        if (answer)
            return *answer;
    }
}
