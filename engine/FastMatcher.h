// The matcher's candidate search without a full pass per picture: a compact sketch per earlier picture gives
// an upper bound of the signed positions it can share with the current one, so most candidates are rejected
// after a few word operations, and only the rest are counted exactly. Byte identity is looked up by head,
// size and content hash instead of comparing files down the list. Answers are FindPartnerReference's.
#pragma once

#include "engine/Catalogue.h"
#include "engine/MatchingRules.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <optional>
#include <memory>
#include <unordered_map>
#include <vector>

// Per earlier picture, 1024 bits: one bit per signed position for the positions that pictures keep most often,
// and every other signed position hashed into the remaining bits. The hashed part can put two tokens on one
// bit, so the picture also keeps how many of its tokens share a bit with an earlier one (its collisions);
// the shared bits plus the smaller collision count of the two bound the shared tokens from above.
constexpr int kSketchExactPositions = 256;  // with both signs 512 bits; covers about half of the tokens
constexpr int kSketchHashedBits = 512;
constexpr int kSketchWords = (2 * kSketchExactPositions + kSketchHashedBits) / 64;

struct alignas(64) MatchSketch {
    std::array<uint64_t, kSketchWords> Bits{};
};
static_assert(sizeof(MatchSketch) == 128, "two cache lines per candidate");

struct FastMatcherOptions {
    int Threads = 0;               // threads for one candidate scan, the caller's included; 0: one per core
    int32_t ParallelFrom = 16384;  // fewer indexed pictures than this are scanned on the caller's thread alone
    int32_t BlockSize = 4096;      // pictures per unit of work handed to a thread, nearest first
    bool WideInstructions = true;  // 512-bit popcount where the processor has it (tests turn it off)
};

// Finds the same partner and score as FindPartnerReference for every picture i in increasing order of one
// matching run. The finder indexes each earlier picture once, when the first later picture asks (so a
// picture's stage and record must not change after its own turn), and spreads long candidate scans over
// threads. Its whole-file comparisons are a subset of the reference's, nearest first: only files whose head,
// recorded size and (where several share those) content hash agree are compared. A file's content is hashed
// at most once, and only when another file shares its head and size.
class FastPartnerFinder {
public:
    // `contentHash` hashes a picture's file (HashFileContent when empty).
    explicit FastPartnerFinder(const Catalogue& catalogue, FastMatcherOptions options = {},
                               ContentHashFn contentHash = {});
    ~FastPartnerFinder();
    FastPartnerFinder(const FastPartnerFinder&) = delete;
    FastPartnerFinder& operator=(const FastPartnerFinder&) = delete;

    // The nearest earlier partner of picture i: as FindPartnerReference(catalogue, i, m, onlyIdentical,
    // filesEqual). Calls for one finder must come with increasing i (several for one i may follow each
    // other). With `below` at 0 or more, only pictures below it are candidates: the search for the next
    // partner when the one found was refused.
    PartnerMatch Find(int32_t i, const TSignatureMatrix& m, bool onlyIdentical, const FilesEqualFn& filesEqual,
                      int32_t below = -1);

    // Counters for the benchmarks.
    struct Stats {
        int64_t Candidates = 0;  // sketches looked at
        int64_t Verified = 0;    // candidates whose bound passed and which were counted exactly
        int64_t Hashed = 0;      // files whose content was hashed
    };
    Stats Statistics() const;
    // Bytes held per indexed picture while matching, besides the catalogue: sketch, index, group key, chain and
    // content hash, and at most four slots of the group table. Pictures whose head and size another shares
    // also take a node of the content table.
    static constexpr size_t kBytesPerPicture = sizeof(MatchSketch) + sizeof(uint16_t) + 3 * sizeof(int32_t) +
                                               2 * sizeof(uint64_t) + 4 * sizeof(int32_t);

private:
    struct Query;
    class Pool;

    void catchUp(int32_t i);
    void add(int32_t j);
    uint16_t sketchOf(const TPicInfo& pic, MatchSketch& out) const;
    uint16_t sketchOfMatrix(const TSignatureMatrix& m, MatchSketch& out) const;
    bool isRegular(const TPicInfo& pic);
    void rerank();
    int32_t scanAll(const Query& q, int32_t limit);
    int32_t scanIrregular(const Query& q, int32_t above, int32_t limit) const;
    bool passes(const Query& q, int32_t dense) const;
    void insertGroup(uint64_t key, int32_t dense);
    int32_t lookupGroup(uint64_t key) const;
    void hashMember(int32_t dense);
    std::optional<uint64_t> hashOf(int32_t index);
    PartnerMatch nearestIdentical(int32_t i, int32_t from, int32_t below, const FilesEqualFn& filesEqual);

    const Catalogue& catalogue_;
    FastMatcherOptions options_;
    bool wide_ = false;
    int32_t indexedUpTo_ = 0;  // pictures below this have been looked at by catchUp

    // Structure of arrays over the indexed (Full) pictures, in catalogue order.
    std::vector<int32_t> index_;  // catalogue index
    std::vector<MatchSketch> sketches_;
    std::vector<uint16_t> collisions_;  // per sketch: its tokens that landed on an already set hashed bit
    // Byte identity. A group is the pictures whose head and recorded size hash alike (a collision only costs
    // comparing heads and sizes); once a group has two members, each member's content is hashed.
    std::vector<uint64_t> groupKey_;
    std::vector<int32_t> groupPrev_;    // the next lower indexed picture of the same group, or -1
    std::vector<uint64_t> contentKey_;  // group and content hash together; kNotHashed or kUnreadable
    std::vector<int32_t> contentPrev_;  // the next lower indexed picture with the same content key, or -1
    std::unordered_map<uint64_t, int32_t> contentLatest_;  // content key -> latest indexed picture
    std::vector<int32_t> unreadable_;   // indexed pictures whose file could not be hashed, ascending
    ContentHashFn contentHash_;
    int32_t hashedIndex_ = -1;          // the current picture whose hash was taken before it was indexed
    std::optional<uint64_t> hashedValue_;
    std::vector<int32_t> irregular_; // dense indices whose lists repeat a position or leave the matrix

    // Token (position * 2 + sign) -> its bit in the sketch: an exact bit (< 2 * kSketchExactPositions) or a
    // hashed one. Positions are ranked by how often indexed pictures keep them, re-ranked as the index grows.
    std::vector<uint16_t> slotOfToken_;
    std::vector<int64_t> positionUse_;
    int32_t nextRerank_ = 0;

    std::vector<int32_t> groupTable_;  // open addressing: dense index of the latest picture per group key
    size_t groupCount_ = 0;

    std::atomic<int64_t> candidates_{0};
    std::atomic<int64_t> verified_{0};
    int64_t hashed_ = 0;
    std::unique_ptr<Pool> pool_;
};
