// The catalogue of one search: folder paths, pictures and the pairs found among them. Indices into its arrays
// are what pass between the scanner, the matcher, the sorts and the windows.
#pragma once

#include "engine/LargeBlockAllocator.h"
#include "picture/PictureTypes.h"

#include <QString>
#include <cstdint>
#include <vector>

enum class TCCVStage : uint8_t { None, OnlyTotal, Full };

struct TPicInfo {
    int32_t Time = 0;       // last-write time, local, MS-DOS date (high word) and time (low word)
    int64_t Size = 0;       // bytes
    int32_t Attr = 0;       // attribute bits of the directory entry
    QString FileName;       // name without folder
    int32_t PathInd = 0;    // index into FolderPaths
    bool Deleted = false;   // deleted or moved away by a file action
    TCCVStage CCVStage = TCCVStage::None;
    TWaveletCoefs WaveletCoefsPos{};
    TWaveletCoefs WaveletCoefsNeg{};
    int32_t Height = 0;
    int32_t Width = 0;
    TPreBuffer PreBuffer{};
};

// Bytes a picture's record may take: its signature and head are inline, and 100 000 pictures must fit easily.
constexpr size_t kPictureRecordBudget = 1536;
static_assert(sizeof(TPicInfo) <= kPictureRecordBudget, "a picture record must stay within 1.5 KB");

struct TPicturePair {
    int32_t PicIndex1 = 0;  // the earlier picture when recorded
    int32_t PicIndex2 = 0;  // the picture the matcher was processing
    double Similarity = 0;  // 1..100
    friend bool operator==(const TPicturePair&, const TPicturePair&) = default;
};

using TStringArr = std::vector<QString>;
using TPicList = std::vector<TPicInfo, LargeBlockAllocator<TPicInfo>>;
using TPicturePairs = std::vector<TPicturePair>;

constexpr int32_t kInitialCapacity = 30000;
constexpr int32_t kFallbackCapacity = 15000;
constexpr int32_t kGrowthStep = 1000;  // capacities stay multiples of this, so growth fires exactly once per step

class Catalogue {
public:
    TStringArr FolderPaths;
    TPicList Pictures;
    TPicturePairs PicturePairs;
    int32_t LastPathIndex = -1;
    int32_t LastPicIndex = -1;
    int32_t LastPairIndex = -1;
    int32_t PathCapacity = 0;
    int32_t PicCapacity = 0;
    int32_t PairCapacity = 0;
    int32_t TotalSize = 0;

    // Test seam: when >= 0, any attempt to size an array above this many entries throws std::bad_alloc.
    int64_t AllocationLimitForTests = -1;

    // Folder path (which ends with the delimiter) followed directly by the file name.
    QString PicturePath(int32_t picIndex) const;

    // Empties all three arrays; counters back to -1, capacities and TotalSize to 0.
    void Reset();
    // Pictures and FolderPaths to 30000 entries each, or both to 15000 when either allocation fails.
    // A failure of the fallback propagates.
    void AllocateInitial();
    // Stores the path at LastPathIndex + 1 and applies the growth rule.
    void AppendFolderPath(const QString& path);
    // Advances LastPicIndex and stores the record there. The growth rule is applied separately
    // (ApplyPictureGrowth), because the scanner writes its progress text in between.
    void AppendPicture(TPicInfo record);
    void ApplyPictureGrowth();
    // Capacities of Pictures and FolderPaths become exactly the used counts.
    void TrimPicturesAndPaths();
    // PicturePairs to 30000 entries, or 15000 when that fails.
    void AllocatePairs();
    // Stores the pair at LastPairIndex + 1 and applies the growth rule.
    void AppendPair(const TPicturePair& pair);
    void TrimPairs();
    // Removes every pair holding the picture, keeping the order of the rest; capacity = count kept.
    void RemovePicturePairs(int32_t picIndex);
    // The same for every picture whose entry in `gone` (indexed by picture) is true, in one pass.
    void RemovePairsOfPictures(const std::vector<bool>& gone);
    // Takes the pair at `index` out of the list, keeping the order of the rest.
    void RemovePairAt(int32_t index);
    // Pictures whose files are back where they were (an undone delete, move or batch): they are no longer
    // Deleted, and the pairs the removals above took out with them come back at the rows they had, when
    // their other picture is there too. Undone in the reverse order of the removals, the list is again what it
    // was. Returns how many pairs came back.
    int RestorePicturePairs(const std::vector<int32_t>& pictures);
    // Frees everything at window close. While a search holds the catalogue (see SearchUse) the release is
    // deferred until the search lets go, so the search never touches freed memory.
    void Release();
    bool ReleaseRequested() const { return releasePending_; }

    // Held by a running search for its whole length.
    class SearchUse {
    public:
        explicit SearchUse(Catalogue& c) : c_(c) { ++c_.users_; }
        ~SearchUse();
        SearchUse(const SearchUse&) = delete;
        SearchUse& operator=(const SearchUse&) = delete;
    private:
        Catalogue& c_;
    };

private:
    template <typename Vec> void resizeChecked(Vec& v, int64_t n);
    template <typename Pred> void removePairsWhere(Pred holdsGone);
    void releaseNow();
    int users_ = 0;
    bool releasePending_ = false;
    // Pairs taken out by the removals, each with the row it had then, in the order they were taken.
    struct RemovedPair {
        int64_t Removal;  // which removal took it
        int32_t Row;
        TPicturePair Pair;
    };
    std::vector<RemovedPair> removed_;
    int64_t removals_ = 0;
};
