// Grouping by union-find over picture indices: linear in pairs, so 100 000 pairs take milliseconds.
#include "results/ResultGroups.h"

#include <algorithm>
#include <numeric>
#include <tuple>

namespace {

class DisjointSets {
public:
    explicit DisjointSets(size_t n) : parent_(n) { std::iota(parent_.begin(), parent_.end(), 0); }
    int32_t Find(int32_t k) {
        while (parent_[static_cast<size_t>(k)] != k) {
            int32_t& up = parent_[static_cast<size_t>(k)];
            up = parent_[static_cast<size_t>(up)];  // path halving keeps later finds short
            k = up;
        }
        return k;
    }
    // The smaller root survives, so a group's root is its first picture.
    void Join(int32_t a, int32_t b) {
        a = Find(a);
        b = Find(b);
        if (a == b)
            return;
        if (b < a)
            std::swap(a, b);
        parent_[static_cast<size_t>(b)] = a;
    }

private:
    std::vector<int32_t> parent_;
};

struct NameOfFile {
    uint64_t Device;
    uint64_t Inode;
    int64_t Size;
    uint64_t LinkCount;
};

// The named files that are real files, sorted so that the names of one file lie together.
std::vector<NameOfFile> namesOf(const Catalogue& catalogue, const std::vector<int32_t>& files,
                                const PictureFacts& facts) {
    std::vector<NameOfFile> names;
    names.reserve(files.size());
    for (const int32_t k : files) {
        if (!facts.Exists(k))
            continue;
        const FileFacts f = facts.Of(catalogue, k);
        if (f.SymbolicLink)
            continue;
        names.push_back({f.Device, f.Inode, f.Size, f.LinkCount});
    }
    std::sort(names.begin(), names.end(), [](const NameOfFile& a, const NameOfFile& b) {
        return std::tie(a.Device, a.Inode) < std::tie(b.Device, b.Inode);
    });
    return names;
}

// Calls visit(size, namesListed, linkCount) once per file.
template <typename Visit> void forEachFile(const std::vector<NameOfFile>& names, Visit visit) {
    for (size_t i = 0; i < names.size();) {
        size_t j = i + 1;
        while (j < names.size() && names[j].Device == names[i].Device && names[j].Inode == names[i].Inode)
            ++j;
        visit(names[i].Size, static_cast<uint64_t>(j - i), names[i].LinkCount);
        i = j;
    }
}

}  // namespace

int64_t BytesFreedByRemoving(const Catalogue& catalogue, const std::vector<int32_t>& files,
                             const PictureFacts& facts) {
    int64_t freed = 0;
    forEachFile(namesOf(catalogue, files, facts), [&freed](int64_t size, uint64_t listed, uint64_t links) {
        if (listed >= links)
            freed += size;
    });
    return freed;
}

int64_t BytesOfFiles(const Catalogue& catalogue, const std::vector<int32_t>& files, const PictureFacts& facts) {
    int64_t total = 0;
    forEachFile(namesOf(catalogue, files, facts), [&total](int64_t size, uint64_t, uint64_t) { total += size; });
    return total;
}

ResultGroups ResultGroups::Build(const Catalogue& catalogue, const std::vector<int32_t>& pairs,
                                 const PictureFacts& facts) {
    ResultGroups result;
    const size_t pictureCount = catalogue.Pictures.size();
    DisjointSets sets(pictureCount);
    for (const int32_t i : pairs) {
        const TPicturePair& p = catalogue.PicturePairs[static_cast<size_t>(i)];
        sets.Join(p.PicIndex1, p.PicIndex2);
    }
    // Roots become group numbers in the order of each group's first pair.
    std::vector<int32_t> groupOfRoot(pictureCount, -1);
    for (size_t position = 0; position < pairs.size(); ++position) {
        const TPicturePair& p = catalogue.PicturePairs[static_cast<size_t>(pairs[position])];
        int32_t& g = groupOfRoot[static_cast<size_t>(sets.Find(p.PicIndex1))];
        if (g < 0) {
            g = static_cast<int32_t>(result.groups_.size());
            result.groups_.emplace_back();
            result.firstPair_.push_back(static_cast<int32_t>(position));
            result.groups_.back().MinSimilarity = p.Similarity;
            result.groups_.back().MaxSimilarity = p.Similarity;
        }
        PairGroup& group = result.groups_[static_cast<size_t>(g)];
        group.Pairs.push_back(pairs[position]);
        group.MinSimilarity = std::min(group.MinSimilarity, p.Similarity);
        group.MaxSimilarity = std::max(group.MaxSimilarity, p.Similarity);
    }
    // Files in ascending order fall out of one walk over the pictures.
    for (size_t k = 0; k < pictureCount; ++k) {
        const int32_t g = groupOfRoot[static_cast<size_t>(sets.Find(static_cast<int32_t>(k)))];
        if (g >= 0)
            result.groups_[static_cast<size_t>(g)].Files.push_back(static_cast<int32_t>(k));
    }
    for (PairGroup& group : result.groups_) {
        int64_t largestFreed = 0;
        int64_t total = 0;
        forEachFile(namesOf(catalogue, group.Files, facts), [&](int64_t size, uint64_t listed, uint64_t links) {
            if (listed < links)
                return;
            total += size;
            largestFreed = std::max(largestFreed, size);
        });
        group.FreedBytes = total - largestFreed;
    }
    result.reindex();
    return result;
}

void ResultGroups::reindex() {
    size_t pictures = 0;
    for (const PairGroup& g : groups_)
        pictures = std::max(pictures, g.Files.empty() ? 0 : static_cast<size_t>(g.Files.back()) + 1);
    groupOf_.assign(pictures, -1);
    for (size_t g = 0; g < groups_.size(); ++g) {
        for (const int32_t k : groups_[g].Files)
            groupOf_[static_cast<size_t>(k)] = static_cast<int32_t>(g);
    }
}

int32_t ResultGroups::GroupOf(int32_t picture) const {
    if (picture < 0 || static_cast<size_t>(picture) >= groupOf_.size())
        return -1;
    return groupOf_[static_cast<size_t>(picture)];
}

std::vector<int32_t> ResultGroups::AllFiles() const {
    std::vector<int32_t> files;
    for (size_t k = 0; k < groupOf_.size(); ++k) {
        if (groupOf_[k] >= 0)
            files.push_back(static_cast<int32_t>(k));
    }
    return files;
}

void ResultGroups::Sort(GroupOrder order, bool descending) {
    std::vector<size_t> order_(groups_.size());
    std::iota(order_.begin(), order_.end(), 0);
    // -1, 0 or +1 on the order's own keys, before the direction is applied.
    const auto compareKeys = [&](const PairGroup& a, const PairGroup& b) -> int {
        const auto cmp = [](auto x, auto y) { return x < y ? -1 : (y < x ? 1 : 0); };
        const auto sizeA = a.Files.size();
        const auto sizeB = b.Files.size();
        switch (order) {
        case GroupOrder::PairList:
            return 0;
        case GroupOrder::Size:
            if (const int c = cmp(sizeA, sizeB))
                return c;
            return cmp(a.FreedBytes, b.FreedBytes);
        case GroupOrder::Bytes:
            if (const int c = cmp(a.FreedBytes, b.FreedBytes))
                return c;
            return cmp(sizeA, sizeB);
        case GroupOrder::Similarity:
            if (const int c = cmp(a.MinSimilarity, b.MinSimilarity))
                return c;
            return cmp(a.MaxSimilarity, b.MaxSimilarity);
        }
        return 0;
    };
    std::sort(order_.begin(), order_.end(), [&](size_t x, size_t y) {
        const int c = compareKeys(groups_[x], groups_[y]);
        if (c != 0)
            return descending ? c > 0 : c < 0;
        return firstPair_[x] < firstPair_[y];
    });
    std::vector<PairGroup> groups;
    std::vector<int32_t> firstPair;
    groups.reserve(groups_.size());
    firstPair.reserve(groups_.size());
    for (const size_t k : order_) {
        groups.push_back(std::move(groups_[k]));
        firstPair.push_back(firstPair_[k]);
    }
    groups_ = std::move(groups);
    firstPair_ = std::move(firstPair);
    reindex();
}
