// Grey conversion, palette, median filter, Haar wavelet signature, and the file-head and whole-file
// comparisons used by the pair matcher.
#pragma once

#include "picture/Bitmap.h"
#include "picture/PictureTypes.h"

#include <QString>
#include <array>
#include <functional>

// 128 x 128 doubles, row-major: element (X, Y) at X * 128 + Y.
using TSignatureMatrix = std::array<double, 128 * 128>;

void ConvertToGrey(TBitmap& bmp);
// Grey conversion, 8-bit grey ramp (step a >= 1), median filter.
void ApplyGreyPalette(TBitmap& bmp, int a);
void MedianFilter3x3(TBitmap& bmp);
void SortBytes(uint8_t* a, int lo, int hi);
int AverageBrightness(const TBitmap& bmp);

void ComputeSignatureMatrix(const TBitmap& bmp, TSignatureMatrix& m, int average);
void HaarTransform2D(TSignatureMatrix& m);
void HaarTransform1D(double* row);  // 128 values
int KeepLargestCoefficients(TSignatureMatrix& m);
void SortDoubles(double* a, int lo, int hi);
void CollectCoefficientPositions(const TSignatureMatrix& m, TWaveletCoefs& pos, TWaveletCoefs& neg);

// Fills `head` with the file's first 256 bytes, zero past a short file's end; leaves it unchanged when the
// file cannot be opened.
void ReadFileHead(const QString& path, TPreBuffer& head);
// True when both files open and have the same length and bytes. Compares in 1024-byte blocks and calls
// processMessages (when set) once after each block pair.
bool FilesEqual(const QString& pathA, const QString& pathB, const std::function<void()>& processMessages = {});
