// The similarity filter compares what the user reads, the rounded percentage.
#include "results/PairFilter.h"

#include <cmath>

bool PairShown(const TPicturePair& pair, int minSimilarity) {
    if (minSimilarity <= kNoSimilarityFilter)
        return true;
    return std::round(pair.Similarity) >= minSimilarity;
}

std::vector<int32_t> ShownPairs(const Catalogue& catalogue, int minSimilarity) {
    std::vector<int32_t> shown;
    shown.reserve(static_cast<size_t>(catalogue.LastPairIndex + 1));
    for (int32_t i = 0; i <= catalogue.LastPairIndex; ++i) {
        if (PairShown(catalogue.PicturePairs[static_cast<size_t>(i)], minSimilarity))
            shown.push_back(i);
    }
    return shown;
}
