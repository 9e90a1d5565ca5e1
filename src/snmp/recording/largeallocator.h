#pragma once

#include <cstddef>
#include <new>

// Memory for arrays of tens of megabytes read at random. On Linux such blocks are asked to be
// backed by huge pages: with ordinary pages nearly every random read also misses the processor's
// address translation cache, which costs as much as the read itself.
void *allocateLarge(std::size_t bytes);
void freeLarge(void *block, std::size_t bytes);

template <typename T> struct LargeAllocator
{
    using value_type = T;

    LargeAllocator() = default;
    template <typename U> LargeAllocator(const LargeAllocator<U> &) noexcept {}

    T *allocate(std::size_t count)
    {
        if (count > std::size_t(-1) / sizeof(T))
            throw std::bad_array_new_length();
        return static_cast<T *>(allocateLarge(count * sizeof(T)));
    }
    void deallocate(T *block, std::size_t count) noexcept { freeLarge(block, count * sizeof(T)); }

    template <typename U> bool operator==(const LargeAllocator<U> &) const noexcept { return true; }
};
