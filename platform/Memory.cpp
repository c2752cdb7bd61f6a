// Huge-page backed blocks where the system offers them, plain ones elsewhere.
#include "platform/Memory.h"

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
