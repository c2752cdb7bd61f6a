// Storage for the catalogue's big arrays. A search starts its picture list at 30000 records, about 40 MB,
// and the list is written once through; page by page that is ten thousand page faults before the first
// folder is read. Blocks of several megabytes therefore ask the system for huge pages where it has them.
#pragma once

#include "platform/Memory.h"

#include <cstddef>
#include <new>
#include <vector>

template <typename T>
struct LargeBlockAllocator {
    using value_type = T;

    LargeBlockAllocator() = default;
    template <typename U>
    LargeBlockAllocator(const LargeBlockAllocator<U>&) noexcept {}

    T* allocate(std::size_t n) {
        if (n > static_cast<std::size_t>(-1) / sizeof(T))
            throw std::bad_array_new_length();
        return static_cast<T*>(AllocateLargeBlock(n * sizeof(T)));
    }
    void deallocate(T* p, std::size_t) noexcept { FreeLargeBlock(p); }

    template <typename U>
    bool operator==(const LargeBlockAllocator<U>&) const noexcept { return true; }
};

// Shrinks a vector to its size without a second copy of it: the unused tail's pages go back to the system
// where it allows that, so a search of 100 000 pictures never holds its list twice at its end.
template <typename T>
void TrimToSize(std::vector<T, LargeBlockAllocator<T>>& v) {
    if (!DiscardPages(v.data() + v.size(), (v.capacity() - v.size()) * sizeof(T)))
        v.shrink_to_fit();
}
