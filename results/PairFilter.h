// The minimum-similarity filter over the pair list: which pairs the views and the CSV export show.
#pragma once

#include "engine/Catalogue.h"

#include <cstdint>
#include <vector>

constexpr int kNoSimilarityFilter = 0;  // every pair is at least 1 %, so 0 hides nothing

// True when the pair's similarity, rounded as it is shown (halves away from zero), is at least
// minSimilarity percent. A filter of 0 or below shows every pair.
bool PairShown(const TPicturePair& pair, int minSimilarity);

// Indices of the shown pairs of PicturePairs[0 .. LastPairIndex], in list order.
std::vector<int32_t> ShownPairs(const Catalogue& catalogue, int minSimilarity);
