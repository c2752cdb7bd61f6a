// The fixed per-picture steps after decoding, each timed alone on 128 x 128 work bitmaps of rendered
// natural-looking pictures: what every picture costs however small its file is.
//
//   bench_steps [PICTURES] [ROUNDS]
#include "picture/PictureProcessing.h"

#include "core/PictureFixtures.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

namespace {

TBitmap WorkBitmapOf(const QImage& picture) {
    const QImage small = picture.scaled(128, 128).convertToFormat(QImage::Format_RGB888);
    TBitmap bmp;
    bmp.Reset(128, 128, PixelFormat::Bgr24);
    for (int y = 0; y < 128; ++y) {
        const uchar* line = small.constScanLine(y);
        for (int x = 0; x < 128; ++x) {
            bmp.Row(y)[3 * x] = line[3 * x + 2];
            bmp.Row(y)[3 * x + 1] = line[3 * x + 1];
            bmp.Row(y)[3 * x + 2] = line[3 * x];
        }
    }
    return bmp;
}

// Microseconds per picture of `step`, the best of `rounds` passes over every prepared input.
double PerPicture(int rounds, size_t pictures, const std::function<void(size_t)>& prepare,
                  const std::function<void(size_t)>& step) {
    double best = 1e300;
    for (int r = 0; r < rounds; ++r) {
        double total = 0;
        for (size_t k = 0; k < pictures; ++k) {
            prepare(k);
            QElapsedTimer t;
            t.start();
            step(k);
            total += t.nsecsElapsed() / 1e3;
        }
        best = std::min(best, total / pictures);
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? std::max(1, atoi(argv[1])) : 200;
    const int rounds = argc > 2 ? std::max(1, atoi(argv[2])) : 5;
    std::vector<TBitmap> colour;
    for (int k = 0; k < count; ++k)
        colour.push_back(WorkBitmapOf(fixtures::MakeNaturalPicture(320 + k % 7 * 40, 240 + k % 5 * 30, 500 + k)));
    std::vector<TBitmap> grey(colour.size());
    std::vector<int> average(colour.size());
    for (size_t k = 0; k < colour.size(); ++k) {
        grey[k] = colour[k];
        ApplyGreyPalette(grey[k], 1);
        average[k] = AverageBrightness(grey[k]);
    }
    TBitmap work;
    auto m = std::make_unique<TSignatureMatrix>();
    TWaveletCoefs pos{};
    TWaveletCoefs neg{};

    std::printf("per-picture steps on %d work bitmaps of 128 x 128, best of %d rounds, microseconds per picture\n",
                count, rounds);
    const auto report = [](const char* what, double us) { std::printf("  %-40s %8.1f us\n", what, us); };
    const auto colourIn = [&](size_t k) { work = colour[k]; };
    const auto greyIn = [&](size_t k) { work = grey[k]; };
    double sum = 0;
    double us = PerPicture(rounds, colour.size(), colourIn, [&](size_t) { ConvertToGrey(work); });
    report("ConvertToGrey", us);
    us = PerPicture(rounds, colour.size(), colourIn, [&](size_t) { ApplyGreyPalette(work, 1); });
    report("ApplyGreyPalette (grey, ramp, median)", us);
    sum += us;
    us = PerPicture(rounds, colour.size(), greyIn, [&](size_t) { MedianFilter3x3(work); });
    report("  of it MedianFilter3x3", us);
    us = PerPicture(rounds, colour.size(), greyIn, [&](size_t k) { average[k] = AverageBrightness(work); });
    report("AverageBrightness", us);
    sum += us;
    us = PerPicture(rounds, colour.size(), greyIn, [&](size_t k) { ComputeSignatureMatrix(work, *m, average[k]); });
    report("ComputeSignatureMatrix", us);
    sum += us;
    const auto fill = [&](size_t k) {
        for (int x = 0; x < 128; ++x)
            for (int y = 0; y < 128; ++y)
                (*m)[x * 128 + y] = grey[k].Row(x)[y] - average[k];
    };
    us = PerPicture(rounds, colour.size(), fill, [&](size_t) { HaarTransform2D(*m); });
    report("  of it HaarTransform2D", us);
    const auto transformed = [&](size_t k) {
        fill(k);
        HaarTransform2D(*m);
    };
    us = PerPicture(rounds, colour.size(), transformed, [&](size_t) { KeepLargestCoefficients(*m); });
    report("  of it KeepLargestCoefficients", us);
    const auto signs = [&](size_t k) { ComputeSignatureMatrix(grey[k], *m, average[k]); };
    us = PerPicture(rounds, colour.size(), signs, [&](size_t) { CollectCoefficientPositions(*m, pos, neg); });
    report("CollectCoefficientPositions", us);
    sum += us;
    report("all steps after decoding", sum);
    return 0;
}
