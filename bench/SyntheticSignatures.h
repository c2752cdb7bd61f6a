// Natural-looking 128 x 128 grey scenes for the matching benchmarks, and their real wavelet signatures.
// Scenes are smooth fields with soft blobs, hard-edged shapes and grain; a variant moves and recolours the
// same shapes a little, so variants of one scene share much of their signature without being duplicates.
#pragma once

#include "picture/Bitmap.h"
#include "picture/PictureProcessing.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace synth {

constexpr int kSide = 128;

struct Shape {
    double x, y, radius, level;  // centre and size in 0..1, brightness offset
    bool hard;                   // a sharp edge (disc or box) rather than a soft blob
    bool box;
};

struct Scene {
    double base = 128;
    double rampAngle = 0, rampStrength = 0;
    std::vector<std::array<double, 4>> waves;  // frequency x, frequency y, phase, amplitude
    std::vector<Shape> shapes;
};

inline Scene RandomScene(std::mt19937_64& rng) {
    std::uniform_real_distribution<double> unit(0, 1);
    Scene s;
    s.base = 70 + 110 * unit(rng);
    s.rampAngle = 6.2831853 * unit(rng);
    s.rampStrength = 80 * unit(rng);
    for (int k = 0; k < 6; ++k) {
        const double fx = 1 + 7 * unit(rng), fy = 1 + 7 * unit(rng);
        // Amplitude falls with frequency, as in photographs.
        s.waves.push_back({fx, fy, 6.2831853 * unit(rng), 40 * unit(rng) / std::hypot(fx, fy)});
    }
    const int shapes = 3 + static_cast<int>(unit(rng) * 6);
    for (int k = 0; k < shapes; ++k)
        s.shapes.push_back({unit(rng), unit(rng), 0.05 + 0.3 * unit(rng), 160 * unit(rng) - 80, unit(rng) < 0.6,
                            unit(rng) < 0.5});
    return s;
}

// The same scene slightly changed: shapes move by up to `shift` of the frame and change brightness, as in
// two photographs of one subject taken a moment apart.
inline Scene Perturb(const Scene& scene, double shift, std::mt19937_64& rng) {
    std::uniform_real_distribution<double> around(-1, 1);
    Scene s = scene;
    s.base += 10 * shift * around(rng);
    for (auto& w : s.waves)
        w[2] += 6 * shift * around(rng);
    for (Shape& sh : s.shapes) {
        sh.x += shift * around(rng);
        sh.y += shift * around(rng);
        sh.level += 30 * shift * around(rng);
    }
    return s;
}

// Draws the scene with grain from `grainSeed` into a 24-bit work bitmap, as decoding would leave it.
inline void Render(const Scene& s, uint64_t grainSeed, TBitmap& bmp) {
    bmp.Reset(kSide, kSide, PixelFormat::Bgr24);
    std::mt19937_64 grain(grainSeed);
    for (int row = 0; row < kSide; ++row) {
        const double v = row / double(kSide - 1);
        uint8_t* p = bmp.Row(row);
        for (int col = 0; col < kSide; ++col, p += 3) {
            const double u = col / double(kSide - 1);
            double g = s.base + s.rampStrength * (std::cos(s.rampAngle) * u + std::sin(s.rampAngle) * v - 0.5);
            for (const auto& w : s.waves)
                g += w[3] * std::sin(6.2831853 * (w[0] * u + w[1] * v) + w[2]);
            for (const Shape& sh : s.shapes) {
                const double dx = u - sh.x, dy = v - sh.y;
                if (sh.hard) {
                    const bool inside = sh.box ? (std::abs(dx) < sh.radius && std::abs(dy) < sh.radius * 0.7)
                                               : dx * dx + dy * dy < sh.radius * sh.radius;
                    if (inside)
                        g += sh.level;
                } else {
                    g += sh.level * std::exp(-(dx * dx + dy * dy) / (sh.radius * sh.radius));
                }
            }
            g += static_cast<int>(grain() % 7) - 3;
            const auto byte = static_cast<uint8_t>(std::clamp(g, 0.0, 255.0));
            p[0] = p[1] = p[2] = byte;
        }
    }
}

struct Signature {
    TSignatureMatrix m;
    TWaveletCoefs pos;
    TWaveletCoefs neg;
};

// The signature steps the matcher runs on a decoded picture.
inline void Sign(TBitmap& work, Signature& out) {
    ApplyGreyPalette(work, 1);
    const int average = AverageBrightness(work);
    ComputeSignatureMatrix(work, out.m, average);
    CollectCoefficientPositions(out.m, out.pos, out.neg);
}

}  // namespace synth
