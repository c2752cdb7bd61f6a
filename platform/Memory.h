// Large blocks of memory, backed by huge pages where the system has them.
#pragma once

#include <cstddef>

// A block of at least `bytes` (one byte for zero); blocks of several megabytes ask for huge pages, which is
// only advice. Throws std::bad_alloc.
void* AllocateLargeBlock(std::size_t bytes);
void FreeLargeBlock(void* block) noexcept;
// Hands the whole pages inside [begin, begin + bytes) of a large block back to the system; they read as
// zero if touched again. False where the system cannot do that, and nothing happens.
bool DiscardPages(void* begin, std::size_t bytes) noexcept;

// Decoders allocate and free tens of megabytes per picture (a progressive JPEG keeps every coefficient of
// the whole picture). With the allocator's defaults each such buffer comes fresh from the system and is
// faulted in page by page at every picture, which on a virtual machine costs a third of a search's CPU.
// Called once at start, before any thread exists: freed decoder memory is kept for the next picture, in
// one heap advised for huge pages. Results do not depend on it; where the allocator is not glibc's it does
// nothing.
void PrepareMemoryForDecoding();
