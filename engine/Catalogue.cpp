// Sizing rules of the catalogue arrays: initial reservation with fallback, growth in steps, trims, release.
#include "engine/Catalogue.h"

#include <algorithm>
#include <cassert>
#include <new>

namespace {
// After an append at index n: grow when n has come within one step of the end and sits on a step boundary.
bool needsGrowth(int32_t n, int32_t capacity) {
    return n >= capacity - kGrowthStep && n % kGrowthStep == 0;
}
}  // namespace

template <typename Vec> void Catalogue::resizeChecked(Vec& v, int64_t n) {
    if (AllocationLimitForTests >= 0 && n > AllocationLimitForTests)
        throw std::bad_alloc();
    v.resize(static_cast<size_t>(n));
}

QString Catalogue::PicturePath(int32_t picIndex) const {
    assert(picIndex >= 0 && static_cast<size_t>(picIndex) < Pictures.size());
    const TPicInfo& p = Pictures[static_cast<size_t>(picIndex)];
    assert(p.PathInd >= 0 && static_cast<size_t>(p.PathInd) < FolderPaths.size());
    return FolderPaths[static_cast<size_t>(p.PathInd)] + p.FileName;
}

void Catalogue::Reset() {
    LastPicIndex = LastPathIndex = LastPairIndex = -1;
    TotalSize = 0;
    PairCapacity = PicCapacity = PathCapacity = 0;
    TPicList().swap(Pictures);
    TStringArr().swap(FolderPaths);
    TPicturePairs().swap(PicturePairs);
    removed_.clear();
}

void Catalogue::AllocateInitial() {
    try {
        resizeChecked(Pictures, kInitialCapacity);
        resizeChecked(FolderPaths, kInitialCapacity);
        PicCapacity = PathCapacity = kInitialCapacity;
    } catch (const std::bad_alloc&) {
        TPicList().swap(Pictures);
        TStringArr().swap(FolderPaths);
        resizeChecked(Pictures, kFallbackCapacity);
        resizeChecked(FolderPaths, kFallbackCapacity);
        PicCapacity = PathCapacity = kFallbackCapacity;
    }
}

void Catalogue::AppendFolderPath(const QString& path) {
    ++LastPathIndex;
    // Growth keeps the array ahead of the counter, so the slot exists already.
    assert(LastPathIndex >= 0 && static_cast<size_t>(LastPathIndex) < FolderPaths.size());
    FolderPaths[static_cast<size_t>(LastPathIndex)] = path;
    if (needsGrowth(LastPathIndex, PathCapacity)) {
        resizeChecked(FolderPaths, int64_t(PathCapacity) + kGrowthStep);
        PathCapacity += kGrowthStep;
    }
}

void Catalogue::AppendPicture(TPicInfo record) {
    ++LastPicIndex;
    assert(LastPicIndex >= 0 && static_cast<size_t>(LastPicIndex) < Pictures.size());
    Pictures[static_cast<size_t>(LastPicIndex)] = std::move(record);
}

void Catalogue::ApplyPictureGrowth() {
    if (needsGrowth(LastPicIndex, PicCapacity)) {
        resizeChecked(Pictures, int64_t(PicCapacity) + kGrowthStep);
        PicCapacity += kGrowthStep;
    }
}

void Catalogue::TrimPicturesAndPaths() {
    // A trim only ever drops the unused tail.
    assert(static_cast<size_t>(LastPathIndex + 1) <= FolderPaths.size());
    assert(static_cast<size_t>(LastPicIndex + 1) <= Pictures.size());
    PathCapacity = LastPathIndex + 1;
    PicCapacity = LastPicIndex + 1;
    FolderPaths.resize(static_cast<size_t>(PathCapacity));
    Pictures.resize(static_cast<size_t>(PicCapacity));
    FolderPaths.shrink_to_fit();
    TrimToSize(Pictures);
}

void Catalogue::AllocatePairs() {
    try {
        resizeChecked(PicturePairs, kInitialCapacity);
        PairCapacity = kInitialCapacity;
    } catch (const std::bad_alloc&) {
        TPicturePairs().swap(PicturePairs);
        resizeChecked(PicturePairs, kFallbackCapacity);
        PairCapacity = kFallbackCapacity;
    }
}

void Catalogue::AppendPair(const TPicturePair& pair) {
    ++LastPairIndex;
    assert(LastPairIndex >= 0 && static_cast<size_t>(LastPairIndex) < PicturePairs.size());
    PicturePairs[static_cast<size_t>(LastPairIndex)] = pair;
    if (needsGrowth(LastPairIndex, PairCapacity)) {
        resizeChecked(PicturePairs, int64_t(PairCapacity) + kGrowthStep);
        PairCapacity += kGrowthStep;
    }
}

void Catalogue::TrimPairs() {
    assert(static_cast<size_t>(LastPairIndex + 1) <= PicturePairs.size());
    PairCapacity = LastPairIndex + 1;
    PicturePairs.resize(static_cast<size_t>(PairCapacity));
    PicturePairs.shrink_to_fit();
}

template <typename Pred> void Catalogue::removePairsWhere(Pred holdsGone) {
    assert(static_cast<size_t>(LastPairIndex + 1) <= PicturePairs.size());
    ++removals_;
    TPicturePairs kept;
    kept.reserve(static_cast<size_t>(LastPairIndex + 1));
    for (int32_t i = 0; i <= LastPairIndex; ++i) {
        const TPicturePair& p = PicturePairs[static_cast<size_t>(i)];
        if (!holdsGone(p.PicIndex1) && !holdsGone(p.PicIndex2))
            kept.push_back(p);
        else
            removed_.push_back({removals_, i, p});
    }
    PicturePairs = std::move(kept);
    LastPairIndex = static_cast<int32_t>(PicturePairs.size()) - 1;
    PairCapacity = LastPairIndex + 1;
}

void Catalogue::RemovePairAt(int32_t index) {
    if (index < 0 || index > LastPairIndex || static_cast<size_t>(index) >= PicturePairs.size())
        return;
    PicturePairs.resize(static_cast<size_t>(LastPairIndex + 1));
    PicturePairs.erase(PicturePairs.begin() + index);
    LastPairIndex = static_cast<int32_t>(PicturePairs.size()) - 1;
    PairCapacity = LastPairIndex + 1;
}

void Catalogue::RemovePicturePairs(int32_t picIndex) {
    removePairsWhere([picIndex](int32_t k) { return k == picIndex; });
}

void Catalogue::RemovePairsOfPictures(const std::vector<bool>& gone) {
    removePairsWhere([&gone](int32_t k) {
        return k >= 0 && static_cast<size_t>(k) < gone.size() && gone[static_cast<size_t>(k)];
    });
}

int Catalogue::RestorePicturePairs(const std::vector<int32_t>& pictures) {
    const auto valid = [this](int32_t k) {
        return k >= 0 && k <= LastPicIndex && static_cast<size_t>(k) < Pictures.size();
    };
    std::vector<bool> back(Pictures.size(), false);
    for (const int32_t k : pictures) {
        if (valid(k)) {
            Pictures[static_cast<size_t>(k)].Deleted = false;
            back[static_cast<size_t>(k)] = true;
        }
    }
    const auto present = [&](int32_t k) { return valid(k) && !Pictures[static_cast<size_t>(k)].Deleted; };
    std::vector<RemovedPair> returning;
    std::vector<RemovedPair> staying;
    for (const RemovedPair& r : removed_) {
        const bool ours = (valid(r.Pair.PicIndex1) && back[static_cast<size_t>(r.Pair.PicIndex1)]) ||
                          (valid(r.Pair.PicIndex2) && back[static_cast<size_t>(r.Pair.PicIndex2)]);
        (ours && present(r.Pair.PicIndex1) && present(r.Pair.PicIndex2) ? returning : staying).push_back(r);
    }
    // The newest removal first, and within one removal in row order: each pair then goes back into the list
    // as it stood just before that removal.
    std::sort(returning.begin(), returning.end(), [](const RemovedPair& a, const RemovedPair& b) {
        return a.Removal != b.Removal ? a.Removal > b.Removal : a.Row < b.Row;
    });
    PicturePairs.resize(static_cast<size_t>(LastPairIndex + 1));
    for (const RemovedPair& r : returning) {
        const size_t row = std::min(static_cast<size_t>(std::max(0, r.Row)), PicturePairs.size());
        PicturePairs.insert(PicturePairs.begin() + static_cast<std::ptrdiff_t>(row), r.Pair);
    }
    removed_ = std::move(staying);
    LastPairIndex = static_cast<int32_t>(PicturePairs.size()) - 1;
    PairCapacity = LastPairIndex + 1;
    return static_cast<int>(returning.size());
}

void Catalogue::Release() {
    if (users_ > 0) {
        releasePending_ = true;
        return;
    }
    releaseNow();
}

void Catalogue::releaseNow() {
    releasePending_ = false;
    TStringArr().swap(FolderPaths);
    TPicList().swap(Pictures);
    LastPairIndex = -1;
    TPicturePairs().swap(PicturePairs);
    std::vector<RemovedPair>().swap(removed_);
    // The counters below are not named by the release itself, but leaving them pointing past empty arrays
    // would let a stray reader index freed storage; empty counts are the honest state.
    LastPathIndex = LastPicIndex = -1;
    PathCapacity = PicCapacity = PairCapacity = 0;
}

Catalogue::SearchUse::~SearchUse() {
    if (--c_.users_ == 0 && c_.releasePending_)
        c_.releaseNow();
}
