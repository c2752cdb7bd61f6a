// The one memory ceiling for decoding a picture, shared by every decoder.
#pragma once

#include <cstdint>

// A crafted header (say 60000 x 60000) must end in a decoding error, not in an allocation that takes the
// program down; 512 MiB still admits a full-size 8000 x 8000 bitmap at 4 bytes per pixel.
#ifdef VORALIN_FUZZ_DECODE_CEILING
// Fuzzing builds take a small ceiling so that inputs claiming large sizes stay quick, through the same checks.
constexpr int64_t kMaxDecodeBytes = int64_t{VORALIN_FUZZ_DECODE_CEILING} << 20;
#else
constexpr int64_t kMaxDecodeBytes = int64_t{512} << 20;
#endif

constexpr bool FitsDecodeLimit(int64_t bytes) { return bytes >= 0 && bytes <= kMaxDecodeBytes; }
