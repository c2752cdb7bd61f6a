// The results as groups: the connected components of the shown pairs, so that copies and versions of one
// picture that the pair list gives as chains and stars are seen together.
#pragma once

#include "engine/Catalogue.h"
#include "results/PictureFacts.h"

#include <cstdint>
#include <vector>

struct PairGroup {
    std::vector<int32_t> Files;  // picture indices, ascending (scan order)
    std::vector<int32_t> Pairs;  // indices into PicturePairs, in list order
    double MinSimilarity = 0;    // the weakest pair holding the group together
    double MaxSimilarity = 0;
    int64_t FreedBytes = 0;      // what deleting all files but the largest would give back
};

enum class GroupOrder { PairList, Size, Bytes, Similarity };

class ResultGroups {
public:
    // Groups of the given pairs (indices into PicturePairs). Groups come in the order of their first pair in
    // `pairs`; a picture in no listed pair is in no group.
    static ResultGroups Build(const Catalogue& catalogue, const std::vector<int32_t>& pairs,
                              const PictureFacts& facts);

    const std::vector<PairGroup>& Groups() const { return groups_; }
    size_t size() const { return groups_.size(); }
    const PairGroup& operator[](size_t k) const { return groups_[k]; }
    // Index of the group holding the picture, or -1.
    int32_t GroupOf(int32_t picture) const;
    // Every file of every group, ascending.
    std::vector<int32_t> AllFiles() const;

    // Reorders the groups. Size: file count, then freed bytes; Bytes: freed bytes, then file count;
    // Similarity: weakest pair, then strongest; descending puts the larger first. Ties, and PairList, go
    // by the position of the group's first pair in the list, so every order is total.
    void Sort(GroupOrder order, bool descending);

private:
    void reindex();
    std::vector<PairGroup> groups_;
    std::vector<int32_t> firstPair_;  // per group: position in the given pair list of its first pair
    std::vector<int32_t> groupOf_;    // per picture
};

// Bytes that removing every listed file gives back: each file once however many of its names are listed,
// and only when all of its names are (a name kept elsewhere keeps the bytes); a link or a gone file frees
// nothing.
int64_t BytesFreedByRemoving(const Catalogue& catalogue, const std::vector<int32_t>& files,
                             const PictureFacts& facts);
// Bytes of the listed files, each file once however many of its names are listed.
int64_t BytesOfFiles(const Catalogue& catalogue, const std::vector<int32_t>& files, const PictureFacts& facts);
