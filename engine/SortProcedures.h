// Orders the pair list in place by either picture's full path or by similarity: a quicksort pass that leaves
// short runs, then an insertion pass that finishes them, with one message-processing point in between.
#pragma once

#include "engine/Catalogue.h"

#include <cstdint>
#include <functional>
#include <utility>

// Path text order: UTF-16 units one by one, with only a-z folded to A-Z (no locale, no accents); a path that
// is a prefix of the other is smaller. Only the sign of the result means anything.
int ComparePathText(const QString& s, const QString& t);

// Full path of picture A.PicIndex1 against that of B.PicIndex1, negated when descending.
int CompareByFirstPath(const TPicList& pictures, const TStringArr& folderPaths, const TPicturePair& a,
                       const TPicturePair& b, bool descending);
// The same for PicIndex2.
int CompareBySecondPath(const TPicList& pictures, const TStringArr& folderPaths, const TPicturePair& a,
                        const TPicturePair& b, bool descending);
// -1, 0 or +1 by Similarity, negated when descending. A NaN, which no search produces, ranks below every
// number so the order stays total and the insertion pass's sentinel stays valid.
int CompareBySimilarity(const TPicturePair& a, const TPicturePair& b, bool descending);

using TPathComparator = int (*)(const TPicList&, const TStringArr&, const TPicturePair&, const TPicturePair&, bool);
using TSimilarityComparator = int (*)(const TPicturePair&, const TPicturePair&, bool);

constexpr int kSortCutOff = 16;        // runs of this many elements or fewer are left to the insertion pass
constexpr int kRangeStackSize = 32;    // pushing the larger part keeps the depth below log2 of a 32-bit range

// Quicksort over a[lo..hi] (both included) with an explicit range stack and the median of three; runs of up
// to 16 elements stay unsorted, but every run is in order with every other run.
template <typename Cmp> void QuickSortPass(TPicturePairs& a, int32_t lo, int32_t hi, Cmp cmp) {
    int32_t stackLo[kRangeStackSize];
    int32_t stackHi[kRangeStackSize];
    int sp = 0;
    stackLo[sp] = lo;
    stackHi[sp] = hi;
    ++sp;
    auto at = [&a](int32_t i) -> TPicturePair& { return a[static_cast<size_t>(i)]; };
    while (sp > 0) {
        --sp;
        int32_t L = stackLo[sp];
        int32_t R = stackHi[sp];
        while (R - L > kSortCutOff - 1) {
            const auto m = static_cast<int32_t>((int64_t(L) + R) / 2);
            if (cmp(at(L), at(m)) > 0)
                std::swap(at(L), at(m));
            if (cmp(at(L), at(R)) > 0)
                std::swap(at(L), at(R));
            if (cmp(at(m), at(R)) > 0)
                std::swap(at(m), at(R));
            const TPicturePair pivot = at(m);
            // A[L] <= pivot <= A[R] after the median of three, so neither scan can leave the range.
            int32_t i = L;
            int32_t j = R;
            for (;;) {
                do --j; while (cmp(at(j), pivot) > 0);
                do ++i; while (cmp(at(i), pivot) < 0);
                if (j <= i)
                    break;
                std::swap(at(i), at(j));
            }
            if (j - L < R - j) {
                stackLo[sp] = j + 1;
                stackHi[sp] = R;
                R = j;
            } else {
                stackLo[sp] = L;
                stackHi[sp] = j;
                L = j + 1;
            }
            ++sp;
        }
    }
}

// Insertion sort over a[lo..hi]. The smallest of the first 16 elements is moved to lo as a sentinel that ends
// every scan, which holds because after QuickSortPass the first run is the smallest.
template <typename Cmp> void InsertionSortPass(TPicturePairs& a, int32_t lo, int32_t hi, Cmp cmp) {
    if (hi <= lo)
        return;
    auto at = [&a](int32_t i) -> TPicturePair& { return a[static_cast<size_t>(i)]; };
    int32_t smallest = lo;
    const int32_t last = std::min(lo + (kSortCutOff - 1), hi);
    for (int32_t i = lo + 1; i <= last; ++i) {
        if (cmp(at(i), at(smallest)) < 0)
            smallest = i;
    }
    if (smallest != lo)
        std::swap(at(lo), at(smallest));
    for (int32_t i = lo + 2; i <= hi; ++i) {
        const TPicturePair key = at(i);
        int32_t j = i;
        while (cmp(key, at(j - 1)) < 0) {
            at(j) = at(j - 1);
            --j;
        }
        at(j) = key;
    }
}

// Sorts pairs[lo..hi] by CompareByFirstPath or CompareBySecondPath. processMessages (may be empty) runs once
// between the passes; nothing may change the lists while it runs. An empty range (hi < lo) is left alone.
void SortPairsByPath(const TPicList& pictures, TPicturePairs& pairs, const TStringArr& folderPaths, int32_t lo,
                     int32_t hi, TPathComparator compare, bool descending,
                     const std::function<void()>& processMessages = {});
// Sorts pairs[lo..hi] by CompareBySimilarity, likewise.
void SortPairsBySimilarity(TPicturePairs& pairs, int32_t lo, int32_t hi, TSimilarityComparator compare,
                           bool descending, const std::function<void()>& processMessages = {});
