// What decides whether an earlier picture is a later one's partner, and with what similarity: the one home
// of these rules for the plain and the fast candidate search, the partner memo and the signature cache.
#pragma once

#include "engine/Catalogue.h"
#include "picture/PictureProcessing.h"
#include "picture/PictureTypes.h"

#include <QString>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <optional>

constexpr int32_t kSmallestSide = 5;        // below this a picture carries too little for a signature
constexpr double kAspectLimit = 1.5;        // proportions may differ by this factor and still pair
constexpr double kSimilarityThreshold = 50; // score at which a candidate becomes the partner
constexpr double kFullScore = 100;          // the score of identical files and of a full agreement
constexpr int kNeededAgreement = 125;       // signed positions that reach the threshold
// The score is relative to a full signature of 250 positions per picture.
static_assert(kNeededAgreement * kFullScore / kWaveletSlots >= kSimilarityThreshold &&
                  (kNeededAgreement - 1) * kFullScore / kWaveletSlots < kSimilarityThreshold,
              "the needed agreement must be the least count whose score reaches the threshold");

// The partner a picture found, if any.
struct PartnerMatch {
    int32_t Partner = -1;  // index of the earlier picture, -1 when none passed
    double Score = 0;      // 100 for identical files, else ScoreOfAgreement
};

// Compares two files completely; the matcher hands in one that processes messages between blocks.
using FilesEqualFn = std::function<bool(const QString& pathA, const QString& pathB)>;
// A hash of a file's whole content, nothing when it cannot be read. Equal files always have equal hashes;
// equal hashes are only a reason to compare the files.
using ContentHashFn = std::function<std::optional<uint64_t>(const QString& path)>;

// Pairs the user has said are not duplicates. The matcher asks before it records a partner; a refused
// candidate is passed over and the search goes on with the next earlier picture, so the picture can still
// pair with a real duplicate.
class CandidateVeto {
public:
    virtual ~CandidateVeto() = default;
    // True when picture `current` must not pair with the earlier picture `earlier`.
    virtual bool Refuses(const Catalogue& catalogue, int32_t earlier, int32_t current) = 0;
};

// True when the matcher leaves a picture of this size out: a side below its minimum or below 5 pixels.
inline bool TooSmallForSearch(int32_t height, int32_t width, int32_t minPicWidth, int32_t minPicHeight) {
    return height < std::max(minPicHeight, kSmallestSide) || width < std::max(minPicWidth, kSmallestSide);
}

// True when the proportions of the two pictures (orientation ignored) differ by at most kAspectLimit.
// Both sides of both pictures must be at least 1.
inline bool AspectCompatible(int32_t width1, int32_t height1, int32_t width2, int32_t height2) {
    const auto ratio = [](int32_t width, int32_t height) {
        return static_cast<double>(std::max(width, height)) / std::min(width, height);
    };
    const double r1 = ratio(width1, height1);
    const double r2 = ratio(width2, height2);
    return std::max(r1, r2) / std::min(r1, r2) <= kAspectLimit;
}

// Whether a whole-file comparison can find two pictures identical: equal heads and equal sizes as the scan
// recorded them. Files of different sizes are never opened to learn what their sizes already say.
inline bool MayBeIdentical(const TPicInfo& earlier, const TPicInfo& current) {
    return earlier.Size == current.Size && earlier.PreBuffer == current.PreBuffer;
}

// Number of `earlier`'s kept positions whose sign agrees with the current sign matrix; empty (0, 0) slots
// never count. At most 500 look-ups, at most 250 when signatures come from the signature code. A position
// past the matrix's end (which signatures never hold) counts as not shared.
inline int SignatureAgreement(const TPicInfo& earlier, const TSignatureMatrix& m) {
    int count = 0;
    const auto take = [&](const TWaveletCoefs& coefs, double sign) {
        for (const TWaveletPoint& p : coefs) {
            const size_t position = static_cast<size_t>(p.X) * kWorkSize + p.Y;
            if (position != 0 && position < m.size() && m[position] * sign > 0)
                ++count;
        }
    };
    take(earlier.WaveletCoefsPos, 1);
    take(earlier.WaveletCoefsNeg, -1);
    return count;
}

inline double ScoreOfAgreement(int count) {
    return count * kFullScore / kWaveletSlots;
}

// Similarity of a pair with score s (0..100): (s - 50) * 2, kept within 1..100.
inline double SimilarityFromScore(double score) {
    return std::clamp((score - kSimilarityThreshold) * 2, 1.0, 100.0);
}
