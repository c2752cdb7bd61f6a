// Records that a picture's signature and file head are stored in; shared by the picture code and the catalogue.
#pragma once

#include <array>
#include <cstdint>

// Coefficient rows and columns run 0..127, so a byte each keeps the catalogue record compact.
struct TWaveletPoint {
    uint8_t X = 0;  // row (vertical frequency)
    uint8_t Y = 0;  // column (horizontal frequency)
    friend bool operator==(const TWaveletPoint&, const TWaveletPoint&) = default;
};

// The side of the square work bitmap every picture is stretched onto; a power of 2 for the Haar levels.
constexpr int kWorkSize = 128;

constexpr int kWaveletSlots = 250;  // coefficients kept per sign
constexpr int kHeadLength = 256;    // bytes of a file's head kept for the identity pre-check

// Slots without a kept coefficient hold (0, 0); (0, 0) itself is never kept, so it marks an empty slot.
using TWaveletCoefs = std::array<TWaveletPoint, kWaveletSlots>;
using TPreBuffer = std::array<uint8_t, kHeadLength>;
