// The fast candidate search: sketches with an upper bound, exact counts for the few candidates the bound lets
// through, head, size and content hashes for byte identity, and the scan spread over threads with the
// nearest pass kept.
#include "engine/FastMatcher.h"

#include "picture/PictureProcessing.h"

#include <algorithm>
#include <bit>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <mutex>
#include <numeric>
#include <thread>

#include <cstddef>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace {

constexpr int kSide = kWorkSize;  // signature positions run over the work bitmap
constexpr int kPositions = kSide * kSide;
constexpr int kTokens = 2 * kPositions;        // position * 2 + sign (0 positive, 1 negative)
constexpr int kExactBits = 2 * kSketchExactPositions;
constexpr int kNeeded = kNeededAgreement;
constexpr int32_t kFirstRerank = 1024;         // positions are re-ranked at 1024, 4096, 16384, ... pictures
constexpr int kRerankGrowth = 4;
constexpr uint64_t kNotHashed = 0;   // content keys that no hash stands for
constexpr uint64_t kUnreadable = 1;

// The hashed bit of a token outside the exact part; a multiplicative hash spreads neighbouring positions.
uint16_t hashedSlotOf(int token) {
    static_assert(kSketchHashedBits == 512);
    return static_cast<uint16_t>(kExactBits + ((static_cast<uint32_t>(token) * 0x9E3779B1u) >> 23));
}

// Head and recorded size: pictures that can only be identical if these agree.
uint64_t groupKeyOf(const TPicInfo& pic) {
    uint64_t h = 0x9E3779B97F4A7C15ull ^ static_cast<uint64_t>(pic.Size);
    for (size_t k = 0; k < pic.PreBuffer.size(); k += 8) {
        uint64_t w;
        std::memcpy(&w, pic.PreBuffer.data() + k, 8);
        h = (h ^ w) * 0xFF51AFD7ED558CCDull;
        h ^= h >> 32;
    }
    return h;
}

uint64_t contentKeyOf(uint64_t group, uint64_t content) {
    uint64_t h = (group ^ (content * 0x9E3779B97F4A7C15ull)) * 0xC4CEB9FE1A85EC53ull;
    h ^= h >> 31;
    return h > kUnreadable ? h : h + 2;
}

// Bits two sketches have in common.
inline int sharedBits(const MatchSketch& a, const MatchSketch& b) {
    int shared = 0;
#pragma GCC unroll 16
    for (int w = 0; w < kSketchWords; ++w)
        shared += std::popcount(a.Bits[w] & b.Bits[w]);
    return shared;
}

// The whole bound for a sketch whose shared bits reach `bits`: the collisions of the pair are at most the
// smaller count of the two.
inline bool boundReaches(int bits, uint16_t collisions, uint16_t queryCollisions) {
    return bits + std::min(collisions, queryCollisions) >= kNeeded;
}

// The hot loop: from `from` down to `lo`, the first sketch whose bound reaches kNeeded, or lo - 1. The query's
// own collisions cap the pair's, so most sketches are settled by their shared bits alone. Compiled twice,
// and the popcnt instruction is used where the processor has it.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
__attribute__((target_clones("popcnt", "default")))
#endif
int32_t nextSurvivor(const MatchSketch* sketches, const uint16_t* collisions, int32_t from, int32_t lo,
                     const MatchSketch& query, uint16_t queryCollisions) {
    const int least = kNeeded - queryCollisions;
    for (int32_t k = from; k >= lo; --k) {
        const int bits = sharedBits(sketches[k], query);
        if (bits >= least && boundReaches(bits, collisions[k], queryCollisions))
            return k;
    }
    return lo - 1;
}

#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define VORALIN_WIDE_SCAN 1
// The same loop on processors with 512-bit popcount: one sketch is two registers.
// GCC 12 warns about the deliberately undefined filler inside its own 512-bit shuffle intrinsics.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
__attribute__((target("avx512f,avx512vpopcntdq")))
int32_t nextSurvivorWide(const MatchSketch* sketches, const uint16_t* collisions, int32_t from, int32_t lo,
                         const MatchSketch& query, uint16_t queryCollisions) {
    static_assert(sizeof(MatchSketch) == 128);
    const auto* q = reinterpret_cast<const char*>(&query);
    const __m512i qFirst = _mm512_load_si512(q);
    const __m512i qSecond = _mm512_load_si512(q + 64);
    const int least = kNeeded - queryCollisions;
    for (int32_t k = from; k >= lo; --k) {
        const auto* s = reinterpret_cast<const char*>(sketches + k);
        const __m512i sum = _mm512_add_epi64(_mm512_popcnt_epi64(_mm512_and_si512(_mm512_load_si512(s), qFirst)),
                                             _mm512_popcnt_epi64(_mm512_and_si512(_mm512_load_si512(s + 64), qSecond)));
        const int bits = static_cast<int>(_mm512_reduce_add_epi64(sum));
        if (bits >= least && boundReaches(bits, collisions[k], queryCollisions))
            return k;
    }
    return lo - 1;
}
#pragma GCC diagnostic pop

bool wideScanAvailable() {
    static const bool available = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vpopcntdq");
    return available;
}
#endif

// Sets the token's bit; true when it was set already (a collision in the hashed part).
bool addToken(MatchSketch& sketch, uint16_t slot) {
    uint64_t& word = sketch.Bits[slot / 64];
    const uint64_t bit = uint64_t{1} << (slot % 64);
    const bool taken = (word & bit) != 0;
    word |= bit;
    return taken;
}

// Diagonal order of the coefficient matrix: the coarse positions that most pictures keep come first.
int coarseness(int position) {
    const int x = position / kSide, y = position % kSide;
    return (x + y) * kSide + x;
}

}  // namespace

struct FastPartnerFinder::Query {
    MatchSketch Sketch;
    uint16_t Collisions = 0;
    const TSignatureMatrix* M = nullptr;
    const TPicInfo* Current = nullptr;
};

// Worker threads that run one task together with the caller and wait for the next.
class FastPartnerFinder::Pool {
public:
    explicit Pool(int workers) {
        for (int w = 0; w < workers; ++w)
            threads_.emplace_back([this] { work(); });
    }
    ~Pool() {
        {
            std::lock_guard lock(mutex_);
            quit_ = true;
        }
        start_.notify_all();
        for (std::thread& t : threads_)
            t.join();
    }
    // Runs `task` on the calling thread and on every worker that wakes before the caller has finished it;
    // returns when all who joined have finished. A worker the system has not scheduled in time is not
    // waited for: the task hands out its work in small pieces, and the caller has taken the rest.
    void Run(const std::function<void()>& task) {
        {
            std::lock_guard lock(mutex_);
            task_ = &task;
            open_ = true;
            ++generation_;
        }
        start_.notify_all();
        task();
        std::unique_lock lock(mutex_);
        open_ = false;
        done_.wait(lock, [this] { return active_ == 0; });
        task_ = nullptr;
    }

private:
    void work() {
        uint64_t seen = 0;
        std::unique_lock lock(mutex_);
        for (;;) {
            start_.wait(lock, [&] { return quit_ || generation_ != seen; });
            if (quit_)
                return;
            seen = generation_;
            if (!open_)
                continue;
            ++active_;
            const std::function<void()>* task = task_;
            lock.unlock();
            (*task)();
            lock.lock();
            if (--active_ == 0)
                done_.notify_one();
        }
    }

    std::mutex mutex_;
    std::condition_variable start_;
    std::condition_variable done_;
    const std::function<void()>* task_ = nullptr;
    uint64_t generation_ = 0;
    bool open_ = false;  // the current task still takes helpers
    int active_ = 0;     // workers inside the current task
    bool quit_ = false;
    std::vector<std::thread> threads_;
};

FastPartnerFinder::FastPartnerFinder(const Catalogue& catalogue, FastMatcherOptions options,
                                     ContentHashFn contentHash)
    : catalogue_(catalogue), options_(options), contentHash_(std::move(contentHash)), slotOfToken_(kTokens),
      positionUse_(kPositions), nextRerank_(kFirstRerank), groupTable_(1024, -1) {
    if (!contentHash_)
        contentHash_ = [](const QString& path) { return HashFileContent(path); };
    if (options_.Threads <= 0)
        options_.Threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    options_.BlockSize = std::max(options_.BlockSize, 1);
#if defined(VORALIN_WIDE_SCAN)
    wide_ = options_.WideInstructions && wideScanAvailable();
#endif
    const auto expected = static_cast<size_t>(std::max(catalogue.PicCapacity, 0));
    index_.reserve(expected);
    sketches_.reserve(expected);
    collisions_.reserve(expected);
    groupKey_.reserve(expected);
    groupPrev_.reserve(expected);
    contentKey_.reserve(expected);
    contentPrev_.reserve(expected);
    rerank();
}

FastPartnerFinder::~FastPartnerFinder() = default;

FastPartnerFinder::Stats FastPartnerFinder::Statistics() const {
    return {candidates_.load(), verified_.load(), hashed_};
}

// Ranks positions by use (coarse first among equals), gives the leading ones exact bits, and rebuilds every
// sketch with the new slots.
void FastPartnerFinder::rerank() {
    std::vector<int> order(kPositions - 1);
    std::iota(order.begin(), order.end(), 1);  // position 0 is never counted
    std::sort(order.begin(), order.end(), [this](int a, int b) {
        if (positionUse_[a] != positionUse_[b])
            return positionUse_[a] > positionUse_[b];
        return coarseness(a) < coarseness(b);
    });
    for (int token = 0; token < kTokens; ++token)
        slotOfToken_[token] = hashedSlotOf(token);
    for (int rank = 0; rank < kSketchExactPositions; ++rank) {
        slotOfToken_[2 * order[rank]] = static_cast<uint16_t>(2 * rank);
        slotOfToken_[2 * order[rank] + 1] = static_cast<uint16_t>(2 * rank + 1);
    }
    size_t irregular = 0;
    for (size_t dense = 0; dense < index_.size(); ++dense) {
        if (irregular < irregular_.size() && irregular_[irregular] == static_cast<int32_t>(dense)) {
            ++irregular;
            continue;
        }
        collisions_[dense] = sketchOf(catalogue_.Pictures[static_cast<size_t>(index_[dense])], sketches_[dense]);
    }
}

// The current picture's signed positions are those of its sign matrix. At most 250 of the 16384 values are
// non-zero, so runs of sixteen are first tested together on their bits (shifted past the sign, so that -0.0
// counts as zero as well) and only the rare non-zero runs are compared as numbers.
uint16_t FastPartnerFinder::sketchOfMatrix(const TSignatureMatrix& m, MatchSketch& out) const {
    uint16_t collisions = 0;
    constexpr int kRun = 16;
    static_assert(kPositions % kRun == 0);
    for (int base = 0; base < kPositions; base += kRun) {
#if defined(__SSE2__)
        const auto* run = reinterpret_cast<const __m128i*>(m.data() + base);
        __m128i any = _mm_setzero_si128();
        for (int k = 0; k < kRun / 2; ++k)
            any = _mm_or_si128(any, _mm_slli_epi64(_mm_loadu_si128(run + k), 1));
        if (_mm_movemask_epi8(_mm_cmpeq_epi8(any, _mm_setzero_si128())) == 0xFFFF)
            continue;
#else
        uint64_t any = 0;
        for (int k = 0; k < kRun; ++k) {
            uint64_t bits;
            std::memcpy(&bits, &m[static_cast<size_t>(base + k)], sizeof bits);
            any |= bits << 1;
        }
        if (any == 0)
            continue;
#endif
        for (int position = std::max(base, 1); position < base + kRun; ++position) {
            if (m[static_cast<size_t>(position)] > 0)
                collisions += addToken(out, slotOfToken_[2 * position]);
            else if (m[static_cast<size_t>(position)] < 0)
                collisions += addToken(out, slotOfToken_[2 * position + 1]);
        }
    }
    return collisions;
}

uint16_t FastPartnerFinder::sketchOf(const TPicInfo& pic, MatchSketch& out) const {
    out = MatchSketch{};
    uint16_t collisions = 0;
    auto take = [&](const TWaveletCoefs& coefs, int sign) {
        for (const TWaveletPoint& p : coefs) {
            const int position = p.X * kSide + p.Y;
            if (position != 0)
                collisions += addToken(out, slotOfToken_[2 * position + sign]);
        }
    };
    take(pic.WaveletCoefsPos, 0);
    take(pic.WaveletCoefsNeg, 1);
    return collisions;
}

// The bound needs each token at most once and every position inside the matrix. Signatures always are like
// that; anything else is kept aside and counted exactly every time.
bool FastPartnerFinder::isRegular(const TPicInfo& pic) {
    std::vector<bool> seen(kTokens);
    auto check = [&](const TWaveletCoefs& coefs, int sign) {
        for (const TWaveletPoint& p : coefs) {
            if (p.X == 0 && p.Y == 0)
                continue;
            if (p.X >= kSide || p.Y >= kSide)
                return false;
            const int token = 2 * (p.X * kSide + p.Y) + sign;
            if (seen[token])
                return false;
            seen[token] = true;
        }
        return true;
    };
    return check(pic.WaveletCoefsPos, 0) && check(pic.WaveletCoefsNeg, 1);
}

void FastPartnerFinder::add(int32_t j) {
    const TPicInfo& pic = catalogue_.Pictures[static_cast<size_t>(j)];
    const auto dense = static_cast<int32_t>(index_.size());
    index_.push_back(j);
    sketches_.emplace_back();
    collisions_.push_back(0);
    groupKey_.push_back(groupKeyOf(pic));
    groupPrev_.push_back(-1);
    contentKey_.push_back(kNotHashed);
    contentPrev_.push_back(-1);
    insertGroup(groupKey_.back(), dense);
    // The second member of a group has both its own content and the first member's hashed; later members
    // find every earlier one hashed.
    if (const int32_t previous = groupPrev_.back(); previous >= 0) {
        hashMember(dense);
        if (contentKey_[static_cast<size_t>(previous)] == kNotHashed)
            hashMember(previous);
    }
    if (isRegular(pic)) {
        collisions_.back() = sketchOf(pic, sketches_.back());
        for (const TWaveletCoefs* coefs : {&pic.WaveletCoefsPos, &pic.WaveletCoefsNeg}) {
            for (const TWaveletPoint& p : *coefs)
                ++positionUse_[p.X * kSide + p.Y];
        }
    } else {
        irregular_.push_back(dense);  // its sketch stays empty, so the scan never stops at it
    }
    if (static_cast<int32_t>(index_.size()) >= nextRerank_) {
        nextRerank_ *= kRerankGrowth;
        rerank();
    }
}

void FastPartnerFinder::catchUp(int32_t i) {
    for (; indexedUpTo_ < i; ++indexedUpTo_) {
        if (catalogue_.Pictures[static_cast<size_t>(indexedUpTo_)].CCVStage == TCCVStage::Full)
            add(indexedUpTo_);
    }
}

void FastPartnerFinder::insertGroup(uint64_t key, int32_t dense) {
    if ((groupCount_ + 1) * 2 > groupTable_.size()) {
        std::vector<int32_t> old(groupTable_.size() * 2, -1);
        old.swap(groupTable_);
        const size_t mask = groupTable_.size() - 1;
        for (int32_t latest : old) {
            if (latest < 0)
                continue;
            size_t slot = groupKey_[static_cast<size_t>(latest)] & mask;
            while (groupTable_[slot] >= 0)
                slot = (slot + 1) & mask;
            groupTable_[slot] = latest;
        }
    }
    const size_t mask = groupTable_.size() - 1;
    for (size_t slot = key & mask;; slot = (slot + 1) & mask) {
        const int32_t latest = groupTable_[slot];
        if (latest < 0) {
            groupTable_[slot] = dense;
            ++groupCount_;
            return;
        }
        if (groupKey_[static_cast<size_t>(latest)] == key) {
            groupPrev_[static_cast<size_t>(dense)] = latest;
            groupTable_[slot] = dense;
            return;
        }
    }
}

int32_t FastPartnerFinder::lookupGroup(uint64_t key) const {
    const size_t mask = groupTable_.size() - 1;
    for (size_t slot = key & mask;; slot = (slot + 1) & mask) {
        const int32_t latest = groupTable_[slot];
        if (latest < 0 || groupKey_[static_cast<size_t>(latest)] == key)
            return latest;
    }
}

// The content hash of picture `index`'s file. The current picture's, taken before it is indexed, is kept
// for the moment it is.
std::optional<uint64_t> FastPartnerFinder::hashOf(int32_t index) {
    if (index == hashedIndex_)
        return hashedValue_;
    hashedValue_ = contentHash_(catalogue_.PicturePath(index));
    hashedIndex_ = index;
    ++hashed_;
    return hashedValue_;
}

void FastPartnerFinder::hashMember(int32_t dense) {
    const auto d = static_cast<size_t>(dense);
    const std::optional<uint64_t> content = hashOf(index_[d]);
    if (!content) {
        // Compared with every later member of its group, as though its hash matched theirs.
        contentKey_[d] = kUnreadable;
        unreadable_.insert(std::lower_bound(unreadable_.begin(), unreadable_.end(), dense), dense);
        return;
    }
    contentKey_[d] = contentKeyOf(groupKey_[d], *content);
    const auto [it, fresh] = contentLatest_.try_emplace(contentKey_[d], dense);
    if (!fresh) {
        contentPrev_[d] = it->second;
        it->second = dense;
    }
}

// The nearest earlier picture at `from` or above, and below `below`, that is byte-identical to picture i. Only pictures of i's
// group whose content hash equals i's (or could not be taken) are compared, nearest first.
PartnerMatch FastPartnerFinder::nearestIdentical(int32_t i, int32_t from, int32_t below,
                                                const FilesEqualFn& filesEqual) {
    const TPicInfo& current = catalogue_.Pictures[static_cast<size_t>(i)];
    const uint64_t group = groupKeyOf(current);
    const int32_t latest = lookupGroup(group);
    if (latest < 0)
        return {};
    std::vector<int32_t> candidates;
    const auto follow = [&candidates](int32_t dense, const std::vector<int32_t>& previous) {
        for (; dense >= 0; dense = previous[static_cast<size_t>(dense)])
            candidates.push_back(dense);
    };
    const bool alone = groupPrev_[static_cast<size_t>(latest)] < 0 &&
                       contentKey_[static_cast<size_t>(latest)] == kNotHashed;
    if (alone) {
        candidates.push_back(latest);  // one comparison costs no more than hashing both files
    } else if (const std::optional<uint64_t> content = hashOf(i); !content) {
        follow(latest, groupPrev_);
    } else {
        const auto it = contentLatest_.find(contentKeyOf(group, *content));
        if (it != contentLatest_.end())
            follow(it->second, contentPrev_);
        for (int32_t dense : unreadable_)
            if (groupKey_[static_cast<size_t>(dense)] == group)
                candidates.push_back(dense);
    }
    std::sort(candidates.begin(), candidates.end(), std::greater<>());
    for (int32_t dense : candidates) {
        const int32_t j = index_[static_cast<size_t>(dense)];
        if (j < from)
            break;
        if (j >= below)
            continue;
        const TPicInfo& candidate = catalogue_.Pictures[static_cast<size_t>(j)];
        if (!MayBeIdentical(candidate, current) ||
            !AspectCompatible(candidate.Width, candidate.Height, current.Width, current.Height))
            continue;
        if (filesEqual(catalogue_.PicturePath(i), catalogue_.PicturePath(j)))
            return {j, kFullScore};
    }
    return {};
}

// A signature partner: compatible proportions and at least 125 shared signed positions, whatever the heads.
bool FastPartnerFinder::passes(const Query& q, int32_t dense) const {
    const TPicInfo& candidate = catalogue_.Pictures[static_cast<size_t>(index_[static_cast<size_t>(dense)])];
    const TPicInfo& current = *q.Current;
    if (!AspectCompatible(candidate.Width, candidate.Height, current.Width, current.Height))
        return false;
    return SignatureAgreement(candidate, *q.M) >= kNeeded;
}

// Over the indexed pictures below dense index `limit`.
int32_t FastPartnerFinder::scanAll(const Query& q, int32_t limit) {
    const int32_t n = limit;
    // The highest passing index in [lo, hi), or -1.
    auto scanRange = [this, &q](int32_t hi, int32_t lo) {
        int64_t verified = 0;
        int32_t found = -1;
        for (int32_t k = hi - 1;; --k) {
#if defined(VORALIN_WIDE_SCAN)
            k = wide_ ? nextSurvivorWide(sketches_.data(), collisions_.data(), k, lo, q.Sketch, q.Collisions)
                      : nextSurvivor(sketches_.data(), collisions_.data(), k, lo, q.Sketch, q.Collisions);
#else
            k = nextSurvivor(sketches_.data(), collisions_.data(), k, lo, q.Sketch, q.Collisions);
#endif
            if (k < lo)
                break;
            ++verified;
            if (passes(q, k)) {
                found = k;
                break;
            }
        }
        candidates_.fetch_add(hi - std::max(found, lo), std::memory_order_relaxed);
        verified_.fetch_add(verified, std::memory_order_relaxed);
        return found;
    };
    if (n < options_.ParallelFrom || options_.Threads < 2)
        return scanRange(n, 0);

    if (!pool_)
        pool_ = std::make_unique<Pool>(options_.Threads - 1);
    // Blocks are handed out nearest first. A block is skipped only when a pass above it is known, so every
    // picture above the final answer has been looked at and the answer is the nearest pass.
    std::atomic<int32_t> nextTop{n};
    std::atomic<int32_t> best{-1};
    const int32_t block = options_.BlockSize;
    pool_->Run([&] {
        for (;;) {
            const int32_t top = nextTop.fetch_sub(block);
            if (top <= 0 || best.load() >= top)
                return;
            const int32_t found = scanRange(top, std::max(top - block, 0));
            int32_t known = best.load();
            while (found > known && !best.compare_exchange_weak(known, found)) {
            }
        }
    });
    return best.load();
}

int32_t FastPartnerFinder::scanIrregular(const Query& q, int32_t above, int32_t limit) const {
    for (auto it = irregular_.rbegin(); it != irregular_.rend() && *it > above; ++it) {
        if (*it < limit && passes(q, *it))
            return *it;
    }
    return -1;
}

PartnerMatch FastPartnerFinder::Find(int32_t i, const TSignatureMatrix& m, bool onlyIdentical,
                                     const FilesEqualFn& filesEqual, int32_t below) {
    catchUp(i);
    if (below < 0 || below > i)
        below = i;
    // Indexed pictures are in catalogue order: those below `below` are a prefix.
    const auto limit =
        static_cast<int32_t>(std::lower_bound(index_.begin(), index_.end(), below) - index_.begin());
    const TPicInfo& current = catalogue_.Pictures[static_cast<size_t>(i)];
    Query q;
    q.M = &m;
    q.Current = &current;

    int32_t signatureDense = -1;
    if (!onlyIdentical) {
        q.Collisions = sketchOfMatrix(m, q.Sketch);
        signatureDense = scanAll(q, limit);
        signatureDense = std::max(signatureDense, scanIrregular(q, signatureDense, limit));
    }
    const int32_t signaturePartner = signatureDense >= 0 ? index_[static_cast<size_t>(signatureDense)] : -1;

    // An identical file at or above the signature partner comes first, as in the plain loop, which asks
    // about identity before it counts.
    const PartnerMatch identical = nearestIdentical(i, std::max(signaturePartner, 0), below, filesEqual);
    if (identical.Partner >= 0 || signaturePartner < 0)
        return identical;
    const TPicInfo& partner = catalogue_.Pictures[static_cast<size_t>(signaturePartner)];
    return {signaturePartner, ScoreOfAgreement(SignatureAgreement(partner, m))};
}
