// Large blocks of memory, backed by huge pages where the system has them.
#pragma once

#include <cstddef>

// A block of at least `bytes` (one byte for zero); blocks of several megabytes ask for huge pages, which is
// only advice. Throws std::bad_alloc.
void* AllocateLargeBlock(std::size_t bytes);
void FreeLargeBlock(void* block) noexcept;
