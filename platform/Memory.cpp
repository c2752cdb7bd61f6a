// Huge-page backed blocks where the system offers them, plain ones elsewhere.
#include "platform/Memory.h"

#include <cstdint>
#include <cstdlib>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace {
constexpr std::size_t kHugePage = std::size_t{2} << 20;
constexpr std::size_t kHugeFrom = 2 * kHugePage;  // smaller blocks gain little and would waste up to half
}  // namespace

void* AllocateLargeBlock(std::size_t bytes) {
    void* block = nullptr;
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    if (bytes >= kHugeFrom) {
        const std::size_t rounded = (bytes + kHugePage - 1) / kHugePage * kHugePage;
        block = std::aligned_alloc(kHugePage, rounded);
        if (block != nullptr)
            ::madvise(block, rounded, MADV_HUGEPAGE);  // only advice: without huge pages the block works as is
    } else
#endif
    {
        block = std::malloc(bytes > 0 ? bytes : 1);
    }
    if (block == nullptr)
        throw std::bad_alloc();
    return block;
}

void FreeLargeBlock(void* block) noexcept {
    std::free(block);
}

bool DiscardPages(void* begin, std::size_t bytes) noexcept {
#if defined(__linux__)
    constexpr std::uintptr_t kPage = 4096;
    const auto from = (reinterpret_cast<std::uintptr_t>(begin) + kPage - 1) & ~(kPage - 1);
    const auto to = (reinterpret_cast<std::uintptr_t>(begin) + bytes) & ~(kPage - 1);
    if (to > from)
        ::madvise(reinterpret_cast<void*>(from), to - from, MADV_DONTNEED);
    return true;
#else
    (void)begin;
    (void)bytes;
    return false;
#endif
}

#if defined(__GLIBC__) && !defined(__SANITIZE_ADDRESS__)
#include <malloc.h>
#include <sys/mman.h>
#define VORALIN_TUNE_GLIBC 1
#endif

namespace {
#if defined(VORALIN_TUNE_GLIBC)
constexpr int kLargestFromHeap = 32 << 20;   // the allocator's ceiling for this setting on 64-bit systems
constexpr int kKeptFree = 160 << 20;          // freed memory kept before any is given back
constexpr std::size_t kReservedBlocks = 4;    // the heap is grown once by this many of the largest blocks
#endif
}  // namespace

void PrepareMemoryForDecoding() {
#if defined(VORALIN_TUNE_GLIBC)
    // One heap for every thread: per-thread heaps give their memory back after each picture.
    mallopt(M_ARENA_MAX, 1);
    mallopt(M_MMAP_THRESHOLD, kLargestFromHeap);
    mallopt(M_TRIM_THRESHOLD, kKeptFree);
    // Grow the heap once and advise the grown range for huge pages; the memory is only reserved, pages
    // become resident when a decoder first touches them.
    void* blocks[kReservedBlocks] = {};
    const std::size_t blockBytes = static_cast<std::size_t>(kLargestFromHeap) - 4096;
    for (auto& block : blocks)
        block = std::malloc(blockBytes);
    if (blocks[0] != nullptr && blocks[kReservedBlocks - 1] != nullptr) {
        const auto first = reinterpret_cast<std::uintptr_t>(blocks[0]);
        const auto last = reinterpret_cast<std::uintptr_t>(blocks[kReservedBlocks - 1]) + blockBytes;
        const std::uintptr_t begin = (first + kHugePage - 1) & ~std::uintptr_t{kHugePage - 1};
        const std::uintptr_t end = last & ~std::uintptr_t{kHugePage - 1};
        // Only a heap grown in one piece is advised: a heap that had to continue elsewhere is left alone.
        const bool contiguous = last > first && last - first < kReservedBlocks * (blockBytes + (64u << 10));
        if (contiguous && end > begin)
            madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);  // advice only
    }
    for (void* block : blocks)
        std::free(block);
#endif
}
