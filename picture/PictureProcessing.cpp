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
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#if defined(__FAST_MATH__)
#error "PictureProcessing.cpp must not be built with -ffast-math: signatures depend on exact rounding"
#endif

// Extended precision is part of the result, not a speed choice: a platform whose long double is not the
// x87 80-bit format would give other grey levels and other signatures, so it must not build silently.
static_assert(std::numeric_limits<long double>::digits == 64,
              "long double must have a 64-bit significand (x87 extended precision)");

namespace {

constexpr int kSide = kWorkSize;
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

int GreyLevel(uint8_t red, uint8_t green, uint8_t blue)
{
    const long double g = ((static_cast<long double>(red) * kRedWeight) + (static_cast<long double>(green) * kGreenWeight))
                          + (static_cast<long double>(blue) * kBlueWeight);
    return static_cast<int>(g);  // truncation toward zero
}

constexpr unsigned kReciprocal = 5243;  // ceil(2^19 / 100)
constexpr unsigned kReciprocalShift = 19;
constexpr bool ReciprocalDividesExactly()
{
    for (unsigned sum = 0; sum <= 255 * 100; ++sum)
        if (((sum * kReciprocal) >> kReciprocalShift) != sum / 100)
            return false;
    return true;
}
static_assert(ReciprocalDividesExactly(), "the multiply-shift must divide every weighted sum by 100");

// The extended-precision sum differs from the exact one by far less than 0.01, so it truncates to
// (30 R + 59 G + 11 B) div 100 except where that sum is a multiple of 100: there the rounding can land just
// below the whole number. Those colours are settled once by the formula and kept as one bit each. For given
// R and G the multiples of 100 need B = c mod 100 (11 is invertible mod 100), so B div 100 (0..2) picks the bit.
class GreyTable {
public:
    GreyTable()
    {
        for (int red = 0; red < 256; ++red) {
            for (int green = 0; green < 256; ++green) {
                for (int blue = 0; blue < 256; ++blue) {
                    const int sum = 30 * red + 59 * green + 11 * blue;
                    if (sum % 100 == 0 && GreyLevel(red, green, blue) != sum / 100)
                        lower_[bitOf(red, green, blue) / 64] |= uint64_t{1} << (bitOf(red, green, blue) % 64);
                }
            }
        }
    }

    uint8_t Level(uint8_t red, uint8_t green, uint8_t blue) const
    {
        const unsigned sum = 30u * red + 59u * green + 11u * blue;
        const unsigned quotient = (sum * kReciprocal) >> kReciprocalShift;  // sum / 100 for every sum <= 25500
        if (sum != quotient * 100)
            return static_cast<uint8_t>(quotient);
        const unsigned bit = bitOf(red, green, blue);
        return static_cast<uint8_t>(quotient - ((lower_[bit / 64] >> (bit % 64)) & 1));
    }

private:
    static constexpr unsigned bitOf(unsigned red, unsigned green, unsigned blue)
    {
        return (red * 256 + green) * 3 + blue / 100;
    }
    std::array<uint64_t, 256 * 256 * 3 / 64> lower_{};  // 24 KB
};

const GreyTable& Greys()
{
    static const GreyTable table;
    return table;
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

double ScaledByRootSide(double value);  // in extended precision, rounded to double
void HaarLevels(double* row);             // the levels of a scaled row, finest last

// `rowPass` on every row, then the whole one-dimensional transform on every column.
void TransformRowsThenColumns(TSignatureMatrix& m, void (*rowPass)(double*))
{
    for (int x = 0; x < kSide; ++x)
        rowPass(m.data() + x * kSide);
    Transpose(m);
    for (int x = 0; x < kSide; ++x)
        HaarTransform1D(m.data() + x * kSide);
    Transpose(m);
}

}  // namespace

void ConvertToGrey(TBitmap& bmp)
{
    if (bmp.Format != PixelFormat::Bgr24)
        return;
    const GreyTable& greys = Greys();
    for (int y = 0; y < bmp.Height; ++y) {
        uint8_t* p = bmp.Row(y);
        for (int x = 0; x < bmp.Width; ++x, p += 3)
            p[0] = p[1] = p[2] = greys.Level(p[2], p[1], p[0]);
    }
}

void ApplyGreyPalette(TBitmap& bmp, int a)
{
    if (a < 1)
        throw std::invalid_argument("ApplyGreyPalette: the step must be at least 1");
    // Step 1 maps every grey to itself; the search only ever asks for that, once per picture.
    static const std::array<uint8_t, 256> identity = RampLookup(1);
    const std::array<uint8_t, 256> lookup = a == 1 ? identity : RampLookup(a);
    const size_t pixels = static_cast<size_t>(bmp.Width) * bmp.Height;
    if (bmp.Format == PixelFormat::Bgr24) {
        // Grey conversion and the ramp in one pass, in place: pixel p's colour lies at 3p, never before the
        // byte p it is written to. The three grey copies ConvertToGrey would write are never read.
        const GreyTable& greys = Greys();
        uint8_t* data = bmp.Pixels.data();
        for (size_t p = 0; p < pixels; ++p)
            data[p] = lookup[greys.Level(data[3 * p + 2], data[3 * p + 1], data[3 * p])];
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
//
// The median of nine is the median of three numbers taken from the window's sorted columns: the largest of
// their minimums, the median of their medians and the smallest of their maximums. Of a pixel's three
// columns only the right one holds a value written in this row (the neighbour just filtered), so the other
// columns, whose values are all settled before the row starts, are sorted and paired for the whole row first
// and each pixel only adds its right neighbour. No branches: the bytes are data, their order unpredictable.
namespace {

#if defined(__SSE2__)
// Each pixel waits for its right-hand neighbour, so one row is a chain of dependent steps; but of the row
// below a pixel needs only the three pixels beneath it, which that row filtered two steps earlier. So
// sixteen rows run at once, each two pixels behind the one below it, one byte lane each: every step filters
// one pixel in each row, with the same exchanges as the one-row filter below. The lanes' inputs are
// gathered first, along those slanted lines, so that each step reads three whole vectors per row.
constexpr int kLanes = 16;
constexpr int kMaxLaneSteps = 256;  // lane arithmetic is in bytes: the steps of one band must fit in them

struct alignas(16) Lanes {
    uint8_t Byte[kLanes];
};

inline __m128i LoadLanes(const Lanes& v) { return _mm_load_si128(reinterpret_cast<const __m128i*>(v.Byte)); }
inline void StoreLanes(Lanes& v, __m128i x) { _mm_store_si128(reinterpret_cast<__m128i*>(v.Byte), x); }
inline __m128i Choose(__m128i mask, __m128i ifSet, __m128i otherwise)
{
    return _mm_or_si128(_mm_and_si128(mask, ifSet), _mm_andnot_si128(mask, otherwise));
}
inline __m128i AtLeast(__m128i a, __m128i b) { return _mm_cmpeq_epi8(_mm_max_epu8(a, b), a); }  // unsigned a >= b

inline void SortColumnLanes(__m128i a, __m128i b, __m128i middle, __m128i& lo, __m128i& mid, __m128i& hi)
{
    const __m128i pairLo = _mm_min_epu8(a, b);
    const __m128i pairHi = _mm_max_epu8(a, b);
    lo = _mm_min_epu8(pairLo, middle);
    hi = _mm_max_epu8(pairHi, middle);
    mid = _mm_max_epu8(pairLo, _mm_min_epu8(pairHi, middle));
}

bool FitsLanes(int width) { return width + 2 * kLanes + 1 <= kMaxLaneSteps; }

void MedianFilterInLanes(TBitmap& bmp)
{
    const int width = bmp.Width;
    const int last = width - 2;                     // the rightmost filtered pixel
    const int steps = last + 2 * (kLanes - 1);      // row k filters pixel last - t + 2k at step t
    // Index u + 1 holds, for each row k, the byte at column last - u + 2k: the step's own column at u = t,
    // its left neighbour at t + 1 and its right one at t - 1.
    std::array<Lanes, kMaxLaneSteps> above, own, below, out;
    Lanes twice{};
    for (int k = 0; k < kLanes; ++k)
        twice.Byte[k] = static_cast<uint8_t>(2 * k);
    const __m128i k2 = LoadLanes(twice);
    const __m128i lastK2 = _mm_add_epi8(k2, _mm_set1_epi8(static_cast<char>(last - 1)));

    for (int bottom = bmp.Height - 2; bottom >= 1; bottom -= kLanes) {
        const int rows = std::min(kLanes, bottom);
        // Lanes past the band's rows and columns past the picture's sides are never used; they hold zero.
        const auto gather = [&](std::array<Lanes, kMaxLaneSteps>& into, int rowOffset) {
            std::memset(into.data(), 0, sizeof(Lanes) * static_cast<size_t>(steps + 3));
            for (int k = 0; k < rows; ++k) {
                const uint8_t* row = bmp.Row(bottom - k + rowOffset) + last + 2 * k;  // at u = 0
                const int from = std::max(-1, 2 * k - 1);
                const int to = std::min(steps + 1, last + 2 * k);
                for (int u = from; u <= to; ++u)
                    into[static_cast<size_t>(u + 1)].Byte[k] = row[-u];
            }
        };
        gather(above, -1);
        gather(own, 0);
        gather(below, 1);
        Lanes present{};
        for (int k = 0; k < rows; ++k)
            present.Byte[k] = 0xFF;
        const __m128i inBand = LoadLanes(present);

        __m128i lo = _mm_setzero_si128(), mid = lo, hi = lo, right = lo;
        for (int t = 0; t < steps; ++t) {
            const __m128i step = _mm_set1_epi8(static_cast<char>(t));
            const __m128i active = _mm_and_si128(inBand, _mm_and_si128(AtLeast(step, k2), AtLeast(lastK2, step)));
            // A row's first pixel: its middle column is the rightmost filtered one, its right neighbour the border.
            const __m128i starting = _mm_cmpeq_epi8(step, k2);
            __m128i startLo, startMid, startHi;
            SortColumnLanes(LoadLanes(above[t + 1]), LoadLanes(below[t + 1]), LoadLanes(own[t + 1]), startLo, startMid,
                            startHi);
            lo = Choose(starting, startLo, lo);
            mid = Choose(starting, startMid, mid);
            hi = Choose(starting, startHi, hi);
            right = Choose(starting, LoadLanes(own[t]), right);

            __m128i leftLo, leftMid, leftHi;
            SortColumnLanes(LoadLanes(above[t + 2]), LoadLanes(below[t + 2]), LoadLanes(own[t + 2]), leftLo, leftMid,
                            leftHi);
            const __m128i twoLo = _mm_max_epu8(leftLo, lo);
            const __m128i twoHi = _mm_min_epu8(leftHi, hi);
            const __m128i twoMidLo = _mm_min_epu8(leftMid, mid);
            const __m128i twoMidHi = _mm_max_epu8(leftMid, mid);
            __m128i rightLo, rightMid, rightHi;
            SortColumnLanes(LoadLanes(above[t]), LoadLanes(below[t]), right, rightLo, rightMid, rightHi);
            const __m128i low = _mm_max_epu8(twoLo, rightLo);
            const __m128i high = _mm_min_epu8(twoHi, rightHi);
            const __m128i middle = _mm_max_epu8(twoMidLo, _mm_min_epu8(twoMidHi, rightMid));
            const __m128i filtered =
                _mm_max_epu8(_mm_min_epu8(low, middle), _mm_min_epu8(_mm_max_epu8(low, middle), high));
            StoreLanes(out[static_cast<size_t>(t)], filtered);
            right = Choose(active, filtered, right);
            lo = Choose(active, leftLo, lo);
            mid = Choose(active, leftMid, mid);
            hi = Choose(active, leftHi, hi);
            // The row above reads this pixel as its lower neighbour two steps on.
            Lanes& fed = below[static_cast<size_t>(t + 3)];
            StoreLanes(fed, Choose(_mm_slli_si128(active, 1), _mm_slli_si128(filtered, 1), LoadLanes(fed)));
        }
        for (int k = 0; k < rows; ++k) {
            uint8_t* row = bmp.Row(bottom - k);
            for (int j = last; j >= 1; --j)
                row[j] = out[static_cast<size_t>(last - j + 2 * k)].Byte[k];
        }
    }
}
#endif

// One row at a time, for pictures too wide for the lanes and systems without them.
void MedianFilterByRows(TBitmap& bmp)
{
    const auto width = static_cast<size_t>(bmp.Width);
    std::vector<uint8_t> scratch(6 * width);
    uint8_t* pairLo = scratch.data();           // per column: min and max of the rows above and below
    uint8_t* pairHi = pairLo + width;
    uint8_t* twoLo = pairHi + width;            // per pixel j: of columns j - 1 and j, the larger minimum,
    uint8_t* twoHi = twoLo + width;             // the smaller maximum, and their medians in order
    uint8_t* twoMidLo = twoHi + width;
    uint8_t* twoMidHi = twoMidLo + width;
    const auto columnOf = [&](size_t c, uint8_t middle, uint8_t& lo, uint8_t& mid, uint8_t& hi) {
        lo = std::min(pairLo[c], middle);
        hi = std::max(pairHi[c], middle);
        mid = std::max(pairLo[c], std::min(pairHi[c], middle));
    };
    for (int i = bmp.Height - 2; i >= 1; --i) {
        const uint8_t* above = bmp.Row(i - 1);
        const uint8_t* below = bmp.Row(i + 1);
        uint8_t* row = bmp.Row(i);
        for (size_t c = 0; c < width; ++c) {
            pairLo[c] = std::min(above[c], below[c]);
            pairHi[c] = std::max(above[c], below[c]);
        }
        uint8_t leftLo, leftMid, leftHi;
        columnOf(0, row[0], leftLo, leftMid, leftHi);
        for (size_t j = 1; j + 1 < width; ++j) {
            uint8_t lo, mid, hi;
            columnOf(j, row[j], lo, mid, hi);
            twoLo[j] = std::max(leftLo, lo);
            twoHi[j] = std::min(leftHi, hi);
            twoMidLo[j] = std::min(leftMid, mid);
            twoMidHi[j] = std::max(leftMid, mid);
            leftLo = lo;
            leftMid = mid;
            leftHi = hi;
        }
        uint8_t right = row[width - 1];
        for (size_t j = width - 2; j >= 1; --j) {
            uint8_t lo, mid, hi;
            columnOf(j + 1, right, lo, mid, hi);
            const uint8_t low = std::max(twoLo[j], lo);
            const uint8_t high = std::min(twoHi[j], hi);
            const uint8_t middle = std::max(twoMidLo[j], std::min(twoMidHi[j], mid));
            right = std::max(std::min(low, middle), std::min(std::max(low, middle), high));
            row[j] = right;
        }
    }
}

}  // namespace

void MedianFilter3x3(TBitmap& bmp)
{
    if (bmp.Format != PixelFormat::Grey8 || bmp.Height < 3 || bmp.Width < 3)
        return;
#if defined(__SSE2__)
    if (FitsLanes(bmp.Width)) {
        MedianFilterInLanes(bmp);
        return;
    }
#endif
    MedianFilterByRows(bmp);
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
    // The rows' first step divides each value by the square root of the side. Here every value is a whole
    // number from -255 to 255, so those divisions are done once for all pictures: the same extended-precision
    // quotients, without a sixth of the transform's divisions.
    static const std::array<double, 511> scaled = [] {
        std::array<double, 511> table{};
        for (int v = -255; v <= 255; ++v)
            table[static_cast<size_t>(v + 255)] = ScaledByRootSide(static_cast<double>(v));
        return table;
    }();
    for (int x = 0; x < kSide; ++x) {
        const uint8_t* row = bmp.Row(x);
        for (int y = 0; y < kSide; ++y)
            m[x * kSide + y] = scaled[static_cast<size_t>(int{row[y]} - average + 255)];
    }
    TransformRowsThenColumns(m, HaarLevels);
    KeepLargestCoefficients(m);
}

void HaarTransform2D(TSignatureMatrix& m)
{
    TransformRowsThenColumns(m, HaarTransform1D);
}

// Each division and sum runs in extended precision and is rounded to double when stored, level by level.
void HaarTransform1D(double* row)
{
    for (int i = 0; i < kSide; ++i)
        row[i] = ScaledByRootSide(row[i]);
    HaarLevels(row);
}

namespace {

const long double kRootSide = std::sqrt(static_cast<long double>(kSide));

double ScaledByRootSide(double value)
{
    return static_cast<double>(static_cast<long double>(value) / kRootSide);
}

void HaarLevels(double* row)
{
    const long double rootTwo = std::sqrt(2.0L);
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

}  // namespace

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
bool ReadFileHead(const QString& path, TPreBuffer& head)
{
    QFile file;
    if (!OpenRegularFile(file, path))
        return false;
    TPreBuffer area{};
    if (file.read(reinterpret_cast<char*>(area.data()), kHeadLength) < 0)
        return false;
    head = area;
    return true;
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

std::optional<uint64_t> HashFileContent(const QString& path, const std::function<void()>& processMessages)
{
    constexpr qint64 kHashBlock = 1 << 20;  // large reads; the window gets a turn after each
    QFile file;
    if (!OpenRegularFile(file, path))
        return std::nullopt;
    thread_local std::vector<char> block(kHashBlock);  // kept: a search hashes many small files in a row
    uint64_t hash = 0x9E3779B97F4A7C15ull;
    uint64_t length = 0;
    const auto mix = [&hash](uint64_t word) {
        hash = (hash ^ word) * 0xFF51AFD7ED558CCDull;
        hash ^= hash >> 29;
    };
    // Words are taken whole across reads, so the hash does not depend on how the reads split the file.
    qint64 carried = 0;
    for (;;) {
        const qint64 count = file.read(block.data() + carried, kHashBlock - carried);
        if (count < 0)
            return std::nullopt;
        if (count == 0)
            break;
        length += static_cast<uint64_t>(count);
        const qint64 filled = carried + count;
        qint64 k = 0;
        for (; k + 8 <= filled; k += 8) {
            uint64_t word;
            std::memcpy(&word, block.data() + k, sizeof word);
            mix(word);
        }
        carried = filled - k;
        std::memmove(block.data(), block.data() + k, static_cast<size_t>(carried));
        if (processMessages)
            processMessages();
    }
    if (carried > 0) {
        uint64_t word = 0;
        std::memcpy(&word, block.data(), static_cast<size_t>(carried));
        mix(word);
    }
    mix(length);
    return hash;
}
