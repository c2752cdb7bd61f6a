// Grey conversion, palette, median filter, Haar wavelet signature, and the file-head and whole-file
// comparisons used by the pair matcher.
#pragma once

#include "picture/Bitmap.h"
#include "picture/PictureTypes.h"

#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>

// 128 x 128 doubles, row-major: element (X, Y) at X * 128 + Y.
using TSignatureMatrix = std::array<double, kWorkSize * kWorkSize>;

// Replaces each Bgr24 pixel by g = ((R * 0.3) + (G * 0.59)) + (B * 0.11) in 80-bit extended precision,
// truncated; 48 neutral levels come out one lower. Does nothing to a Grey8 bitmap.
void ConvertToGrey(TBitmap& bmp);
// Grey conversion, 8-bit grey ramp (step a >= 1), median filter. Leaves the bitmap Grey8 whose bytes are
// brightness levels (with a = 1, grey g becomes byte g). Throws std::invalid_argument when a < 1.
void ApplyGreyPalette(TBitmap& bmp, int a);
// In place, bottom row first and right to left, so each window already holds the filtered row below and
// the filtered right neighbour. Border pixels, bitmaps under 3 x 3 and Bgr24 bitmaps stay unchanged.
void MedianFilter3x3(TBitmap& bmp);
// Sorts a[lo..hi] ascending (quicksort with a middle pivot); an empty range is left alone.
void SortBytes(uint8_t* a, int lo, int hi);
// Mean byte of a Grey8 bitmap, truncated; 0 for Bgr24 or empty bitmaps.
int AverageBrightness(const TBitmap& bmp);

// Fills m with the 128 x 128 Grey8 bitmap less `average`, transforms it and keeps the signs of the 250
// largest coefficients (fewer on ties, never (0, 0)). Leaves m alone for any other bitmap.
void ComputeSignatureMatrix(const TBitmap& bmp, TSignatureMatrix& m, int average);
// Standard 2-D Haar transform in place: rows, then columns. m(0, 0) becomes the mean.
void HaarTransform2D(TSignatureMatrix& m);
void HaarTransform1D(double* row);  // 128 values; index 0 the mean, then ever finer differences
// Sets the coefficients whose magnitude exceeds the 16134th smallest (the mean counted as 0) to +1 or -1 and
// all others to 0; returns how many were kept (at most 250).
int KeepLargestCoefficients(TSignatureMatrix& m);
void SortDoubles(double* a, int lo, int hi);  // like SortBytes
// Lists the +1 and -1 positions of a sign matrix row by row, up to 250 each, padded with (0, 0).
void CollectCoefficientPositions(const TSignatureMatrix& m, TWaveletCoefs& pos, TWaveletCoefs& neg);

// Fills `head` with the file's first 256 bytes, zero past a short file's end; leaves it unchanged and returns
// false when the file cannot be opened or read (a fifo or device in its place is refused, never waited on).
bool ReadFileHead(const QString& path, TPreBuffer& head);
// True when both files open and have the same length and bytes. Compares in 1024-byte blocks and calls
// processMessages (when set) once after each block pair.
bool FilesEqual(const QString& pathA, const QString& pathB, const std::function<void()>& processMessages = {});
// A 64-bit hash of the file's whole content (length included), nothing when it cannot be opened or read.
// Equal files give equal hashes; equal hashes are only a reason to compare the files. Calls processMessages
// (when set) once per megabyte read.
std::optional<uint64_t> HashFileContent(const QString& path, const std::function<void()>& processMessages = {});
